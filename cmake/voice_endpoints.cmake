# Where the voice engine finds its channel server, fixed at build time. The default is the
# channel server that the demo and the end-to-end tests start on this machine.
set(ZARVIK_CHANNEL_SERVER_HOST "127.0.0.1" CACHE STRING "Voice channel server address")
if(NOT DEFINED ZARVIK_CHANNEL_SERVER_PORT)
  # Beside the demo service's port unless set, so developers' builds do not collide.
  math(EXPR _voice_port "${ZARVIK_DEMO_PORT} + 1")
  set(ZARVIK_CHANNEL_SERVER_PORT ${_voice_port} CACHE STRING "Voice channel server port")
endif()

# The scripts and end-to-end tests read them from the build folder.
file(WRITE ${CMAKE_BINARY_DIR}/voice.env
  "ZARVIK_CHANNEL_SERVER_HOST=${ZARVIK_CHANNEL_SERVER_HOST}\n"
  "ZARVIK_CHANNEL_SERVER_PORT=${ZARVIK_CHANNEL_SERVER_PORT}\n")
