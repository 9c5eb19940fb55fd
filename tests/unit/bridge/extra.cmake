# bridge-probe.exe: the client's renderer (the real ClientAppRenderer) under a small browser
# process that stands in for the main window, driven by the end-to-end tests
# (tests/e2e/test_bridge*.py).
add_executable(bridge-probe ${CMAKE_CURRENT_SOURCE_DIR}/unit/bridge/probe/bridge_probe.cpp)
target_link_libraries(bridge-probe PRIVATE zarvik_core)
target_include_directories(bridge-probe PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})  # support/
