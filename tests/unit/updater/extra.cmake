# Loopback sockets for the download tests; the update window draws its skin from zarvik.ui, and
# the report test starts report.exe.
target_link_libraries(unit_${name} PRIVATE ws2_32)
if(TARGET skin)
  add_dependencies(unit_${name} skin)
endif()
add_dependencies(unit_${name} report zarvik)
# A configuration without a trusted update key stops unless unsigned updates are asked for: a
# scratch project per setting, configured by the host's cmake.
add_test(NAME update_signing_fails_closed
         COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR}
                 -DWORK=${CMAKE_BINARY_DIR}/update-signing-check
                 -P ${CMAKE_SOURCE_DIR}/tests/cmake/update_signing_check.cmake)
set_tests_properties(update_signing_fails_closed PROPERTIES TIMEOUT 120 LABELS unit)
# The kill-at-every-step table starts the installed client once per step: a test entry of its own.
set(unit_long_suites InstallKilled)
