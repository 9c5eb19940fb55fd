# What both MinGW-w64 toolchain files share; they set TOOLCHAIN_PREFIX and the processor first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

# The dependency prefix made by scripts/build-deps.sh, then the MinGW sysroot.
set(ZARVIK_DEPS_PREFIX "" CACHE PATH "Prefix of the static MinGW dependency build")
set(CMAKE_FIND_ROOT_PATH ${ZARVIK_DEPS_PREFIX} /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the Windows test programs through Wine. For the x86-64 build the scripts put a `wine`
# first on PATH that always starts the 64-bit loader (scripts/wine-env.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
