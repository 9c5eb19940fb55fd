# The engine's pure rules are tested directly; the channel server runs inside the test process.
target_sources(unit_agora PRIVATE ${CMAKE_SOURCE_DIR}/sdk/agora/src/join_rules.cpp)
target_include_directories(unit_agora PRIVATE ${CMAKE_SOURCE_DIR}/sdk/agora/src)
target_link_libraries(unit_agora PRIVATE channel_server_core)
target_link_libraries(unit_agora PRIVATE winmm)
