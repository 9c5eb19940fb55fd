# The static MinGW builds of the third-party libraries (scripts/build-deps.sh).
if(NOT ZARVIK_DEPS_PREFIX)
  message(FATAL_ERROR "Set ZARVIK_DEPS_PREFIX to the prefix printed by scripts/build-deps.sh")
endif()
list(PREPEND CMAKE_PREFIX_PATH ${ZARVIK_DEPS_PREFIX})

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
find_package(CURL REQUIRED CONFIG)
find_package(jsoncpp REQUIRED CONFIG)
find_package(GTest REQUIRED CONFIG)

add_library(zarvik_minizip STATIC IMPORTED GLOBAL)
set_target_properties(zarvik_minizip PROPERTIES
  IMPORTED_LOCATION ${ZARVIK_DEPS_PREFIX}/lib/libminizip.a
  INTERFACE_INCLUDE_DIRECTORIES ${ZARVIK_DEPS_PREFIX}/include
  INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
add_library(minizip::minizip ALIAS zarvik_minizip)

add_library(zarvik_duktape STATIC IMPORTED GLOBAL)
set_target_properties(zarvik_duktape PROPERTIES
  IMPORTED_LOCATION ${ZARVIK_DEPS_PREFIX}/lib/libduktape.a
  INTERFACE_INCLUDE_DIRECTORIES ${ZARVIK_DEPS_PREFIX}/include/duktape)
add_library(duktape::duktape ALIAS zarvik_duktape)

add_library(zarvik_tinyxml2 STATIC IMPORTED GLOBAL)
set_target_properties(zarvik_tinyxml2 PROPERTIES
  IMPORTED_LOCATION ${ZARVIK_DEPS_PREFIX}/lib/libtinyxml2.a
  INTERFACE_INCLUDE_DIRECTORIES ${ZARVIK_DEPS_PREFIX}/include)
add_library(tinyxml2::tinyxml2 ALIAS zarvik_tinyxml2)

# jsoncpp's static target name differs between its versions.
if(TARGET JsonCpp::JsonCpp)
  set(ZARVIK_JSONCPP JsonCpp::JsonCpp)
elseif(TARGET jsoncpp_static)
  set(ZARVIK_JSONCPP jsoncpp_static)
else()
  set(ZARVIK_JSONCPP jsoncpp_lib)
endif()

# libsodium (minimal build): Ed25519 signatures and SHA-256 for the updater.
add_library(zarvik_sodium STATIC IMPORTED GLOBAL)
set_target_properties(zarvik_sodium PROPERTIES
  IMPORTED_LOCATION ${ZARVIK_DEPS_PREFIX}/lib/libsodium.a
  INTERFACE_INCLUDE_DIRECTORIES ${ZARVIK_DEPS_PREFIX}/include
  INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC
  INTERFACE_LINK_LIBRARIES advapi32)
add_library(sodium::sodium ALIAS zarvik_sodium)

# libopus: the voice engine's audio codec. Its build is fortified (_FORTIFY_SOURCE), so it calls
# the checked memcpy and memset of MinGW's libssp.
add_library(zarvik_opus STATIC IMPORTED GLOBAL)
set_target_properties(zarvik_opus PROPERTIES
  IMPORTED_LOCATION ${ZARVIK_DEPS_PREFIX}/lib/libopus.a
  INTERFACE_INCLUDE_DIRECTORIES ${ZARVIK_DEPS_PREFIX}/include
  INTERFACE_LINK_LIBRARIES ssp)
add_library(opus::opus ALIAS zarvik_opus)
