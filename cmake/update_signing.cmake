# The key the updater trusts. With a key, a manifest is installed only with a good detached
# signature "update.ini.sig" and a package hash; without one, "Size" and "SHA256" are checked
# when the manifest carries them.
set(ZARVIK_UPDATE_PUBLIC_KEY "" CACHE STRING
    "Ed25519 public key (64 hex digits) that signs update manifests; empty: none")
# The demo service is this build's update service: with this on (the default, like the demo
# hosts), a key pair is made once per build folder with the signing tool, the client trusts its
# public key and the demo service signs with its secret key. A shipped build names its hosts and
# its key and turns this off.
option(ZARVIK_DEMO_UPDATE_SIGNING "Sign the demo service's manifests with a key made here" ON)
# A build that trusts no key installs whatever manifest and package its update host serves. That
# has to be asked for: without demo signing and without a key the configuration stops.
option(ZARVIK_ALLOW_UNSIGNED_UPDATES
       "Build a client without a trusted update key (it installs unsigned manifests)" OFF)
if(NOT ZARVIK_DEMO_UPDATE_SIGNING AND ZARVIK_UPDATE_PUBLIC_KEY STREQUAL "" AND
   NOT ZARVIK_ALLOW_UNSIGNED_UPDATES)
  message(FATAL_ERROR
    "No update key: ZARVIK_DEMO_UPDATE_SIGNING is off and ZARVIK_UPDATE_PUBLIC_KEY is empty, so "
    "this client would install unsigned updates. Name the key that signs the manifests "
    "(-DZARVIK_UPDATE_PUBLIC_KEY=<64 hex digits>), or set -DZARVIK_ALLOW_UNSIGNED_UPDATES=ON to "
    "build such a client on purpose.")
endif()

set(ZARVIK_UPDATE_SIGN_TOOL "")
set(ZARVIK_UPDATE_SECRET_KEY_FILE "")
set(ZARVIK_TRUSTED_UPDATE_KEY "${ZARVIK_UPDATE_PUBLIC_KEY}")

# The signing tool runs on this machine, so it is built with the machine's own compiler against
# the libsodium that scripts/build-deps.sh built for it.
set(sign_source ${CMAKE_SOURCE_DIR}/tools/update-sign/update_sign.c)
set(sign_tool ${CMAKE_BINARY_DIR}/host/update_sign)
set(host_sodium ${ZARVIK_DEPS_PREFIX}/host)
if(EXISTS ${host_sodium}/lib/libsodium.a)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${sign_source})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host)
  execute_process(
    COMMAND cc -O2 -Wall ${sign_source} -I${host_sodium}/include ${host_sodium}/lib/libsodium.a
            -o ${sign_tool}
    RESULT_VARIABLE sign_built OUTPUT_QUIET ERROR_VARIABLE sign_errors)
  if(sign_built EQUAL 0)
    set(ZARVIK_UPDATE_SIGN_TOOL ${sign_tool})
  else()
    message(WARNING "The update signing tool did not build:\n${sign_errors}")
  endif()
endif()

if(ZARVIK_DEMO_UPDATE_SIGNING AND ZARVIK_UPDATE_PUBLIC_KEY STREQUAL "")
  if(NOT ZARVIK_UPDATE_SIGN_TOOL)
    message(FATAL_ERROR "Demo update signing needs the signing tool (rebuild the dependencies)")
  endif()
  set(key_dir ${CMAKE_BINARY_DIR}/update-signing)
  if(NOT EXISTS ${key_dir}/demo.pub)
    file(MAKE_DIRECTORY ${key_dir})
    execute_process(COMMAND ${sign_tool} keygen ${key_dir}/demo.key ${key_dir}/demo.pub
                    RESULT_VARIABLE keygen_result)
    if(NOT keygen_result EQUAL 0)
      message(FATAL_ERROR "Cannot make the demo update key pair")
    endif()
  endif()
  file(READ ${key_dir}/demo.pub ZARVIK_TRUSTED_UPDATE_KEY)
  string(STRIP "${ZARVIK_TRUSTED_UPDATE_KEY}" ZARVIK_TRUSTED_UPDATE_KEY)
  set(ZARVIK_UPDATE_SECRET_KEY_FILE ${key_dir}/demo.key)
endif()

string(LENGTH "${ZARVIK_TRUSTED_UPDATE_KEY}" key_length)
if(NOT ZARVIK_TRUSTED_UPDATE_KEY MATCHES "^[0-9a-fA-F]*$" OR
   NOT (key_length EQUAL 0 OR key_length EQUAL 64))
  message(FATAL_ERROR "ZARVIK_UPDATE_PUBLIC_KEY must be 64 hex digits or empty")
endif()

# The demo service (started with the values of demo.env in its environment) signs with these.
file(APPEND ${CMAKE_BINARY_DIR}/demo.env
  "ZARVIK_UPDATE_SIGN_TOOL=${ZARVIK_UPDATE_SIGN_TOOL}\n"
  "ZARVIK_UPDATE_SECRET_KEY=${ZARVIK_UPDATE_SECRET_KEY_FILE}\n"
  "ZARVIK_UPDATE_PUBLIC_KEY=${ZARVIK_TRUSTED_UPDATE_KEY}\n")
