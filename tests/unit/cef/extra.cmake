# The engine's own tests also reach its insides (src/common, src/renderer), which its clients
# cannot see.
target_include_directories(unit_cef PRIVATE ${CMAKE_SOURCE_DIR}/sdk/cef)
# cef-probe.exe: a browser-process program on the engine that records its client's handler calls,
# driven by the end-to-end tests (tests/e2e/test_engine*.py).
add_executable(cef-probe ${CMAKE_CURRENT_SOURCE_DIR}/unit/cef/probe/cef_probe.cpp)
target_link_libraries(cef-probe PRIVATE cef)
target_include_directories(cef-probe PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/unit/cef/probe
                                            ${CMAKE_CURRENT_SOURCE_DIR})  # support/
