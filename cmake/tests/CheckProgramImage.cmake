# Checks the tables of a Windows program image with objdump -p:
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<zelSNMP.exe> -P CheckProgramImage.cmake
# The export table must name lpszServerTypeString and lpszServerTraceName (the trace facility
# finds them there by name); the import table must name no DLL of the compiler's run-time.
# objdump translates its headings: read them in the C locale.
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
message(STATUS "${PROGRAM}: both name buffers exported, no compiler DLL imported")
