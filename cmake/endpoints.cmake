# Service hosts, fixed at build time. The defaults point at the demo service on this machine:
# edition 0 on 127.0.0.1, edition 1 on 127.0.0.2, both on the one demo port, so a test can tell
# the editions apart by the address a request reached.
set(ZARVIK_DEMO_PORT 18080 CACHE STRING "Port of the demo service (all demo hosts)")

set(ZARVIK_WEB_HOST_0 "127.0.0.1:${ZARVIK_DEMO_PORT}" CACHE STRING "Web host, edition 0")
set(ZARVIK_WEB_HOST_1 "127.0.0.2:${ZARVIK_DEMO_PORT}" CACHE STRING "Web host, edition 1")
set(ZARVIK_FORUM_HOST "127.0.0.1:${ZARVIK_DEMO_PORT}" CACHE STRING "Forum host (update help page)")
set(ZARVIK_UPDATE_HOST_0 "127.0.0.1:${ZARVIK_DEMO_PORT}" CACHE STRING "Update file host, edition 0")
set(ZARVIK_UPDATE_HOST_1 "127.0.0.2:${ZARVIK_DEMO_PORT}" CACHE STRING "Update file host, edition 1")

# The scripts and end-to-end tests read the same values from the build folder.
file(WRITE ${CMAKE_BINARY_DIR}/demo.env
  "ZARVIK_DEMO_PORT=${ZARVIK_DEMO_PORT}\n"
  "ZARVIK_WEB_HOST_0=${ZARVIK_WEB_HOST_0}\n"
  "ZARVIK_WEB_HOST_1=${ZARVIK_WEB_HOST_1}\n"
  "ZARVIK_FORUM_HOST=${ZARVIK_FORUM_HOST}\n"
  "ZARVIK_UPDATE_HOST_0=${ZARVIK_UPDATE_HOST_0}\n"
  "ZARVIK_UPDATE_HOST_1=${ZARVIK_UPDATE_HOST_1}\n")
