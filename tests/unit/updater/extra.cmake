# Loopback sockets for the download tests; the update window draws its skin from zarvik.ui, and
# the report test starts report.exe.
target_link_libraries(unit_${name} PRIVATE ws2_32)
if(TARGET skin)
  add_dependencies(unit_${name} skin)
endif()
add_dependencies(unit_${name} report zarvik)
