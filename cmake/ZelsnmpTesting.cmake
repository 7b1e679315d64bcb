# Test, benchmark and fuzzer helpers shared by the subsystem folders.
#
#   zelsnmp_add_test(NAME source...)       GoogleTest executable linked with zelsnmp_core and
#                                          the test support of testing/, registered with
#                                          CTest test by test (in a cross build the tests are
#                                          listed when CTest runs, through the emulator).
#   zelsnmp_add_benchmark(NAME source...)  Google Benchmark executable (not run by CTest).
#   zelsnmp_add_fuzzer(NAME source...)     libFuzzer target, when the compiler provides it.

if(ZELSNMP_BUILD_TESTS)
  enable_testing()
  include(GoogleTest)
  find_package(GTest CONFIG QUIET)
  if(NOT TARGET GTest::gtest_main)
    find_package(GTest QUIET)
  endif()
  if(NOT TARGET GTest::gtest_main)
    # Debian's googletest package ships the sources; build them when no library is packaged
    # (always in a cross build: the packaged library is for this machine).
    set(ZELSNMP_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
    if(NOT EXISTS ${ZELSNMP_GTEST_SOURCE_DIR}/CMakeLists.txt)
      message(FATAL_ERROR "GoogleTest not found: install libgtest-dev or googletest")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(${ZELSNMP_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # GoogleTest's own build names its targets GTest::... already (since 1.11).
    foreach(gtest_target gtest gtest_main)
      if(NOT TARGET GTest::${gtest_target})
        add_library(GTest::${gtest_target} ALIAS ${gtest_target})
      endif()
    endforeach()
  endif()
endif()

function(zelsnmp_add_test name)
  if(NOT ZELSNMP_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE zelsnmp_core zelsnmp_test_support GTest::gtest_main)
  if(COMMAND zelsnmp_copy_crypto_dlls)
    zelsnmp_copy_crypto_dlls(${name})  # Windows: the cryptographic library's DLLs beside it
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Listing the tests runs the program through the emulator: at test time, not at every build.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST
                         PROPERTIES ENVIRONMENT "ZELSNMP_BINARY_DIR=${CMAKE_BINARY_DIR}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "ZELSNMP_BINARY_DIR=${CMAKE_BINARY_DIR}")
  endif()
endfunction()

if(ZELSNMP_BUILD_BENCHMARKS)
  find_package(benchmark QUIET)
endif()

function(zelsnmp_add_benchmark name)
  if(NOT ZELSNMP_BUILD_BENCHMARKS OR NOT TARGET benchmark::benchmark)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE zelsnmp_core benchmark::benchmark_main)
endfunction()

function(zelsnmp_add_fuzzer name)
  if(NOT ZELSNMP_BUILD_FUZZERS)
    return()
  endif()
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(WARNING "libFuzzer needs clang; ${name} is not built")
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE zelsnmp_core)
endfunction()
