# Cross-compiles the same tree for 64-bit Windows with MinGW-w64 (posix thread model). This build
# runs under wine64 on machines that cannot run 32-bit programs; it is not shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
