# Cross-compiling for 64-bit Windows with MinGW-w64: the same program, run natively where the machine
# starts no 32-bit program.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake)
