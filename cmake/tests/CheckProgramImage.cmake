# Checks the tables of a Windows program image with objdump -p:
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<zelSNMP.exe> -DIMPORTS=<a.dll;b.dll>
#         [-DOTHER_IMPORTS=ON] -P CheckProgramImage.cmake
# The export table must name lpszServerTypeString and lpszServerTraceName (the trace facility
# finds them there by name); the import table must name no DLL of the compiler's run-time, and
# exactly the DLLs of IMPORTS (any case), so that the list the README gives stays true. With
# OTHER_IMPORTS (a build linked with the complex's own host libraries) further DLLs may follow.
# objdump translates its headings: read them in the C locale.
cmake_policy(SET CMP0057 NEW)
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${OBJDUMP} -p ${PROGRAM}
                OUTPUT_VARIABLE image RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${PROGRAM} failed: ${result}")
endif()

string(FIND "${image}" "[Ordinal/Name Pointer] Table" table_start)
if(table_start EQUAL -1)
  message(FATAL_ERROR "${PROGRAM} has no export name table")
endif()
string(SUBSTRING "${image}" ${table_start} -1 export_names)
foreach(name lpszServerTypeString lpszServerTraceName)
  if(NOT export_names MATCHES "\\][ \t]+${name}\n")
    message(FATAL_ERROR "${name} is not exported by name from ${PROGRAM}")
  endif()
endforeach()

string(TOLOWER "${image}" lower_image)
foreach(runtime libgcc libstdc++ libwinpthread)
  string(FIND "${lower_image}" "dll name: ${runtime}" imported)
  if(NOT imported EQUAL -1)
    message(FATAL_ERROR "${PROGRAM} imports a DLL of the compiler: ${runtime}")
  endif()
endforeach()
string(REGEX MATCHALL "dll name: [^\n]+" imported_lines "${lower_image}")
set(imported)
foreach(line IN LISTS imported_lines)
  string(REGEX REPLACE "^dll name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  list(APPEND imported "${dll}")
endforeach()
list(REMOVE_DUPLICATES imported)
list(SORT imported)
string(TOLOWER "${IMPORTS}" expected)
list(SORT expected)
foreach(dll IN LISTS expected)
  if(NOT dll IN_LIST imported)
    message(FATAL_ERROR "${PROGRAM} no longer imports ${dll}; it imports: ${imported}")
  endif()
endforeach()
if(NOT OTHER_IMPORTS)
  foreach(dll IN LISTS imported)
    if(NOT dll IN_LIST expected)
      message(FATAL_ERROR "${PROGRAM} imports ${dll} as well; it imports: ${imported}")
    endif()
  endforeach()
endif()
message(STATUS "${PROGRAM}: both name buffers exported, imports ${imported}")
