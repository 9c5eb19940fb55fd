# Configures a scratch project that includes cmake/update_signing.cmake with the trust settings of
# each row and checks whether the configuration stops: a build without demo signing and without a
# key must not configure unless unsigned updates are asked for.
#   cmake -DROOT=<source tree> -DWORK=<scratch folder> -P update_signing_check.cmake
if(NOT ROOT OR NOT WORK)
  message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -DWORK=<scratch folder> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()
set(key 0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef)
# what | arguments (blank-separated) | expected: "stops" or "configures"
set(rows
  "no demo signing, no key|-DZARVIK_DEMO_UPDATE_SIGNING=OFF|stops"
  "no demo signing, no key, unsigned asked for|-DZARVIK_DEMO_UPDATE_SIGNING=OFF -DZARVIK_ALLOW_UNSIGNED_UPDATES=ON|configures"
  "no demo signing, a key|-DZARVIK_DEMO_UPDATE_SIGNING=OFF -DZARVIK_UPDATE_PUBLIC_KEY=${key}|configures"
  "no demo signing, a malformed key, unsigned asked for|-DZARVIK_DEMO_UPDATE_SIGNING=OFF -DZARVIK_UPDATE_PUBLIC_KEY=1234 -DZARVIK_ALLOW_UNSIGNED_UPDATES=ON|stops")
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/source)
file(WRITE ${WORK}/source/CMakeLists.txt
  "cmake_minimum_required(VERSION 3.16)\nproject(update_signing_check NONE)\n"
  "set(ZARVIK_DEPS_PREFIX ${WORK}/no-deps)\ninclude(${ROOT}/cmake/update_signing.cmake)\n")
set(failures 0)
set(index 0)
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 what)
  list(GET fields 1 arguments)
  list(GET fields 2 expected)
  separate_arguments(arguments UNIX_COMMAND "${arguments}")
  math(EXPR index "${index} + 1")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${WORK}/source -B ${WORK}/build-${index} ${arguments}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(result EQUAL 0)
    set(seen configures)
  else()
    set(seen stops)
  endif()
  if(NOT seen STREQUAL expected)
    message(SEND_ERROR "${what}: ${seen}, expected it ${expected}\n${err}")
    math(EXPR failures "${failures} + 1")
  elseif(expected STREQUAL "stops" AND NOT err MATCHES "ZARVIK_")
    message(SEND_ERROR "${what}: stopped without naming the setting\n${err}")
    math(EXPR failures "${failures} + 1")
  else()
    message(STATUS "${what}: ${seen}")
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} row(s) of the update signing check failed")
endif()
