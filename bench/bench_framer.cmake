# The framing benchmark includes the channel protocol's header.
target_include_directories(bench_framer PRIVATE ${CMAKE_SOURCE_DIR}/sdk/agora/protocol)
