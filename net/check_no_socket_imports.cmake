# Fails when any of the programs in FILES (a ;-list) imports a socket library at link time:
# the socket interface is loaded by name at run time, never through the import table.
#   cmake -DOBJDUMP=<target objdump> -DFILES=<a.exe;b.exe> -P check_no_socket_imports.cmake
foreach(file IN LISTS FILES)
  execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${file} failed")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]*" imports "${dump}")
  if(NOT imports)
    message(FATAL_ERROR "${file}: no import table found")
  endif()
  string(TOLOWER "${imports}" imports_lower)
  if(imports_lower MATCHES "ws2_32|wship6|wsock32")
    message(FATAL_ERROR "${file} imports a socket library: ${imports}")
  endif()
  message(STATUS "${file}: ${imports}")
endforeach()
