# The floor program also times the recording-device count the client asks at every join.
target_link_libraries(bench_join PRIVATE winmm)
