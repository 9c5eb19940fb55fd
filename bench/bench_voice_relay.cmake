# The relay benchmark runs the channel server in its own process, from the server's library.
target_link_libraries(bench_voice_relay PRIVATE channel_server_core)
