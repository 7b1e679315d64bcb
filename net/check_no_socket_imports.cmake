# Fails when any of the programs in FILES (a ;-list) imports a socket library at link time:
# the socket interface is loaded by name at run time, never through the import table.
#   cmake -DOBJDUMP=<target objdump> -DFILES=<a.exe;b.exe> -P check_no_socket_imports.cmake
foreach(file IN LISTS FILES)
  get_filename_component(name ${file} NAME)
  set(dump_file ${CMAKE_CURRENT_BINARY_DIR}/${name}.objdump.txt)
  # objdump's headings are translated under a Russian locale.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${OBJDUMP} -p ${file}
                  OUTPUT_FILE ${dump_file} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${file} failed")
  endif()
  file(STRINGS ${dump_file} imports REGEX "DLL Name: ")
  file(REMOVE ${dump_file})
  if(NOT imports)
    message(FATAL_ERROR "${file}: no import table found")
  endif()
  string(TOLOWER "${imports}" imports_lower)
  if(imports_lower MATCHES "ws2_32|wship6|wsock32")
    message(FATAL_ERROR "${file} imports a socket library: ${imports}")
  endif()
  message(STATUS "${file}: ${imports}")
endforeach()
