# The shadow benchmark races the fast drawing against the per-pixel reference of the unit tests.
target_sources(bench_shadow PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit/shadow/shadow_reference.cpp)
target_include_directories(bench_shadow PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit/shadow)
