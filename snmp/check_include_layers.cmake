# Fails when an include points back up the layers of the SNMP side:
#   poller -> snmp exchange and window -> message security -> security models -> cryptography.
# Each rule names the sources it covers (globs under SOURCE_DIR, tests excepted) and the
# includes they must not have.
#   cmake -DSOURCE_DIR=<repository root> -P check_include_layers.cmake
cmake_minimum_required(VERSION 3.20)
set(rules
  # The message security seam and the security models know neither the exchange nor its users.
  "snmp/message_security.*|snmp/community_security.*|snmp/usm_*.h|snmp/usm_*.cpp|snmp/v3_message.*"
  "snmp/snmp_client\\.h|snmp/request_window\\.h|poller/|tools/"
  # The cryptography knows algorithms only: no protocol names, no session, no seam.
  "snmp/usm_crypto*.h|snmp/usm_crypto*.cpp"
  "snmp/usm_protocol_names\\.h|snmp/usm_session\\.h|snmp/message_security\\.h|snmp/snmp_client\\.h|snmp/request_window\\.h|poller/"
  # The poller reaches the security model through the seam, the session and the protocol
  # names; only the report of a missing cryptographic library asks the cryptography itself.
  "poller/*.h|poller/*.cpp"
  "snmp/usm_crypto_gcrypt\\.h|snmp/usm_auth\\.h|snmp/usm_privacy\\.h")
set(crypto_reporters "poller/crypto_availability.h" "poller/crypto_availability.cpp")

set(failures "")
list(LENGTH rules rule_items)
math(EXPR last "${rule_items} - 1")
foreach(index RANGE 0 ${last} 2)
  math(EXPR forbidden_index "${index} + 1")
  list(GET rules ${index} globs)
  list(GET rules ${forbidden_index} forbidden)
  string(REPLACE "|" ";" globs "${globs}")
  set(patterns "")
  foreach(glob IN LISTS globs)
    list(APPEND patterns "${SOURCE_DIR}/${glob}")
  endforeach()
  file(GLOB files RELATIVE ${SOURCE_DIR} ${patterns})
  foreach(file IN LISTS files)
    if(file MATCHES "_test\\.cpp$|_test_[a-z_]*\\.h$|_benchmark\\.cpp$")
      continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      if(line MATCHES "^#include \"(${forbidden})")
        list(APPEND failures "${file}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

# The poller asks the cryptography only to report that the library is missing.
file(GLOB poller_files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/poller/*.h ${SOURCE_DIR}/poller/*.cpp)
foreach(file IN LISTS poller_files)
  if(file IN_LIST crypto_reporters OR file MATCHES "_test\\.cpp$")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^#include \"snmp/usm_crypto\\.h\"")
  if(includes)
    list(APPEND failures "${file}: ${includes}")
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Includes that point back up:\n  ${text}")
endif()
message(STATUS "include layers hold")
