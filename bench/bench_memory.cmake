# The memory probe reads other processes' counters.
target_link_libraries(bench_memory PRIVATE psapi)
