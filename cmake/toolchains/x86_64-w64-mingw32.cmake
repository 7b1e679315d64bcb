# Cross build for 64-bit Windows (kept building so that nothing assumes a pointer width)
# with Debian's mingw-w64 compilers. The -posix thread variant is named because the win32 variant
# has no std::thread/std::mutex. Everything is linked statically, so the executables need no DLL
# of the compiler (libgcc, libstdc++, winpthread). Cross-built programs (tests, test discovery)
# run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(ZELSNMP_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZELSNMP_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELSNMP_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELSNMP_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${ZELSNMP_MINGW_TRIPLET}-objdump CACHE FILEPATH "objdump of the target")

set(CMAKE_FIND_ROOT_PATH /usr/${ZELSNMP_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(ZELSNMP_WINE wine)
if(ZELSNMP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELSNMP_WINE})
endif()
