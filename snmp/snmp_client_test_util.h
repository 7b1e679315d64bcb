// Test helpers for running net-snmp's snmpd and snmpget beside the exchange tests: shell
// commands, quoting, and a free port to give snmpd.

#ifndef ZELSNMP_SNMP_SNMP_CLIENT_TEST_UTIL_H_
#define ZELSNMP_SNMP_SNMP_CLIENT_TEST_UTIL_H_

#include <string>

namespace zelsnmp::testing {

// Runs a shell command; its exit status.
int RunShell(const std::string& command);

// Quotes `text` for the shell.
std::string ShellQuote(const std::string& text);

// True when the program can be found on PATH or at the given path.
bool ProgramAvailable(const std::string& program);

// A UDP port on `address` that was free a moment ago.
int FreeUdpPort(const std::string& address);

}  // namespace zelsnmp::testing

#endif  // ZELSNMP_SNMP_SNMP_CLIENT_TEST_UTIL_H_
