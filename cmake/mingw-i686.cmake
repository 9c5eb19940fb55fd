# Cross-compiles for 32-bit Windows with MinGW-w64 (posix thread model, so std::thread works).
# This is the shipped client: the game is 32-bit and starts it.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
