# libgcrypt, the cryptographic library behind snmp/usm_crypto.h, as the imported target
# zelsnmp::gcrypt.
#
#   Linux: pkg-config's libgcrypt, else libgcrypt-config, else a plain header and library search;
#   linked with the programs.
#   Windows (the mingw-w64 cross builds): the header only. The programs load libgcrypt-20.dll
#   and libgpg-error-0.dll, which it needs, at run time from beside them, and only for SNMPv3
#   (snmp/usm_crypto_gcrypt_win32.cpp), so that zelSNMP.exe imports neither (nor ws2_32.dll,
#   which libgpg-error-0.dll imports) and a v2c site needs zelSNMP.exe alone. The two DLLs go
#   beside every program that may need them: the test programs and zelSNMP.exe in the build
#   tree (zelsnmp_copy_crypto_dlls) and zelSNMP.exe in the installed deliverable.
#
# Sets ZELSNMP_CRYPTO_RUNTIME_DLLS (Windows: the two DLL paths; elsewhere empty).

set(ZELSNMP_CRYPTO_RUNTIME_DLLS "")

if(WIN32)
  find_path(ZELSNMP_GCRYPT_INCLUDE_DIR gcrypt.h)
  # The import library is not linked; it only tells where the package put the DLLs.
  find_library(ZELSNMP_GCRYPT_LIBRARY NAMES libgcrypt.dll.a gcrypt)
  if(NOT ZELSNMP_GCRYPT_INCLUDE_DIR OR NOT ZELSNMP_GCRYPT_LIBRARY)
    message(FATAL_ERROR "libgcrypt for Windows not found: install libgcrypt-mingw-w64-dev "
                        "(scripts/setup.sh windows)")
  endif()
  get_filename_component(gcrypt_lib_dir ${ZELSNMP_GCRYPT_LIBRARY} DIRECTORY)
  foreach(dll libgcrypt-20.dll libgpg-error-0.dll)
    string(MAKE_C_IDENTIFIER ${dll} dll_variable)
    find_file(ZELSNMP_${dll_variable} ${dll} PATHS ${gcrypt_lib_dir}/../bin
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT ZELSNMP_${dll_variable})
      message(FATAL_ERROR "${dll} not found beside ${ZELSNMP_GCRYPT_LIBRARY}")
    endif()
    list(APPEND ZELSNMP_CRYPTO_RUNTIME_DLLS ${ZELSNMP_${dll_variable}})
  endforeach()
  add_library(zelsnmp::gcrypt INTERFACE IMPORTED)
  target_include_directories(zelsnmp::gcrypt INTERFACE ${ZELSNMP_GCRYPT_INCLUDE_DIR})
else()
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(ZELSNMP_GCRYPT QUIET IMPORTED_TARGET libgcrypt)
  endif()
  add_library(zelsnmp::gcrypt INTERFACE IMPORTED)
  if(ZELSNMP_GCRYPT_FOUND)
    target_link_libraries(zelsnmp::gcrypt INTERFACE PkgConfig::ZELSNMP_GCRYPT)
  else()
    find_program(ZELSNMP_LIBGCRYPT_CONFIG libgcrypt-config)
    if(ZELSNMP_LIBGCRYPT_CONFIG)
      execute_process(COMMAND ${ZELSNMP_LIBGCRYPT_CONFIG} --cflags OUTPUT_VARIABLE gcrypt_cflags
                      OUTPUT_STRIP_TRAILING_WHITESPACE)
      execute_process(COMMAND ${ZELSNMP_LIBGCRYPT_CONFIG} --libs OUTPUT_VARIABLE gcrypt_libs
                      OUTPUT_STRIP_TRAILING_WHITESPACE)
      separate_arguments(gcrypt_cflags)
      separate_arguments(gcrypt_libs)
      target_compile_options(zelsnmp::gcrypt INTERFACE ${gcrypt_cflags})
      target_link_libraries(zelsnmp::gcrypt INTERFACE ${gcrypt_libs})
    else()
      find_path(ZELSNMP_GCRYPT_INCLUDE_DIR gcrypt.h)
      find_library(ZELSNMP_GCRYPT_LIBRARY gcrypt)
      if(NOT ZELSNMP_GCRYPT_INCLUDE_DIR OR NOT ZELSNMP_GCRYPT_LIBRARY)
        message(FATAL_ERROR "libgcrypt not found: install libgcrypt20-dev (scripts/setup.sh)")
      endif()
      target_include_directories(zelsnmp::gcrypt INTERFACE ${ZELSNMP_GCRYPT_INCLUDE_DIR})
      target_link_libraries(zelsnmp::gcrypt INTERFACE ${ZELSNMP_GCRYPT_LIBRARY})
    endif()
  endif()
endif()

# Copies the library's DLLs beside `target`'s program after each link (Windows only), so that
# the program starts in the build tree, under Wine too.
function(zelsnmp_copy_crypto_dlls target)
  if(ZELSNMP_CRYPTO_RUNTIME_DLLS)
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${CMAKE_COMMAND} -E copy_if_different
                               ${ZELSNMP_CRYPTO_RUNTIME_DLLS} $<TARGET_FILE_DIR:${target}>
                       VERBATIM)
  endif()
endfunction()
