# Cross build for 64-bit Windows (kept building so that nothing assumes a pointer width) with
# Debian's mingw-w64 compilers.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZELSNMP_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
