# The part of the Windows cross builds that both targets share: Debian's mingw-w64 compilers of
# ZELSNMP_MINGW_TRIPLET (set by the including toolchain file) in their -posix thread variant,
# because the win32 variant has no std::thread/std::mutex; everything linked statically, so the
# executables need no DLL of the compiler (libgcc, libstdc++, winpthread); cross-built programs
# (tests, test discovery) run through Wine.
set(CMAKE_SYSTEM_NAME Windows)

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
