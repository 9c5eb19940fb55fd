# The content network's scheduler and pull host, fixed at build time. Both default to the demo
# service on this machine: the scheduler is asked at its root path, the pull host only appears in
# the WS_URL header of the request.
set(ZARVIK_STREAM_SCHEDULER_HOST "127.0.0.1:${ZARVIK_DEMO_PORT}" CACHE STRING
    "Streaming-node scheduler: host[:port], no scheme, no path")
set(ZARVIK_STREAM_PULL_HOST "127.0.0.1:${ZARVIK_DEMO_PORT}" CACHE STRING
    "Pull host of the stream network, the prefix of the WS_URL header value")

configure_file(${CMAKE_SOURCE_DIR}/src/web/stream_hosts.h.in
               ${CMAKE_BINARY_DIR}/src/generated/web/stream_hosts.h)

file(APPEND ${CMAKE_BINARY_DIR}/demo.env
  "ZARVIK_STREAM_SCHEDULER_HOST=${ZARVIK_STREAM_SCHEDULER_HOST}\n"
  "ZARVIK_STREAM_PULL_HOST=${ZARVIK_STREAM_PULL_HOST}\n")
