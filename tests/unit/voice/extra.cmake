# The channel server runs inside the test process.
target_link_libraries(unit_voice PRIVATE channel_server_core)
