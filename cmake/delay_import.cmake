# zarvik_delay_import(NAME DLL <file name> DEF <def> [USAGE <target>] [LIBS <lib>...]
#                     [DEPENDS <target>...]): an INTERFACE target NAME that links a delay-import
# library for the DLL <file name>, made by dlltool from the module definition <def>. A program linked with it does not load the DLL at start; the first
# call into it does, and the DLL appears in the program's delay-import table, not its import
# table. Data exports are left out: data cannot be delay-loaded, so a program that uses any fails
# to link instead of binding late to a wrong address. USAGE is the target whose include folders
# and link libraries (those besides its import library) go with NAME; DEPENDS names the targets
# that make the DLL (and <def>, when the linker writes it).
#
# Run as a script (cmake -DIN=<def> -DOUT=<file> -P delay_import.cmake) it writes <def> without
# its DATA lines.
if(CMAKE_SCRIPT_MODE_FILE)
  file(STRINGS ${IN} lines)
  set(text "")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "[ \t]DATA[ \t]*$")
      string(APPEND text "${line}\n")
    endif()
  endforeach()
  file(WRITE ${OUT} "${text}")
  return()
endif()

set(ZARVIK_DELAY_IMPORT_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(zarvik_delay_import name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DLL;DEF;USAGE" "LIBS;DEPENDS")
  find_program(ZARVIK_DLLTOOL NAMES ${TOOLCHAIN_PREFIX}-dlltool REQUIRED)
  set(lib ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/lib${name}.a)
  set(code_def ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
  set(depends ${arg_DEPENDS} ${ZARVIK_DELAY_IMPORT_SCRIPT})
  if(EXISTS ${arg_DEF})
    list(APPEND depends ${arg_DEF})  # a file of the tree (one the linker writes has no rule)
  endif()
  add_custom_command(
    OUTPUT ${lib}
    COMMAND ${CMAKE_COMMAND} -DIN=${arg_DEF} -DOUT=${code_def} -P ${ZARVIK_DELAY_IMPORT_SCRIPT}
    COMMAND ${ZARVIK_DLLTOOL} -d ${code_def} -D ${arg_DLL} -y ${lib}
    DEPENDS ${depends}
    BYPRODUCTS ${code_def}
    COMMENT "Delay-import library ${name}")
  add_custom_target(${name}_lib DEPENDS ${lib})
  add_library(${name} INTERFACE)
  target_link_libraries(${name} INTERFACE ${lib} ${arg_LIBS})
  if(arg_USAGE)
    target_include_directories(${name}
      INTERFACE $<TARGET_PROPERTY:${arg_USAGE},INTERFACE_INCLUDE_DIRECTORIES>)
  endif()
  add_dependencies(${name} ${name}_lib)
endfunction()
