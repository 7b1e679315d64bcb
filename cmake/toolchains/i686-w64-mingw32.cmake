# Cross build for 32-bit Windows (the production target: the complex's host libraries are 32-bit)
# with Debian's mingw-w64 compilers.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZELSNMP_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
