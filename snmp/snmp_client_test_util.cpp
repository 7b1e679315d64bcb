#include "snmp/snmp_client_test_util.h"

#include <cstdlib>

#include "net/block_socket.h"

namespace zelsnmp::testing {

int RunShell(const std::string& command) { return std::system(command.c_str()); }

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool ProgramAvailable(const std::string& program) {
  return RunShell("command -v " + ShellQuote(program) + " >/dev/null 2>&1") == 0;
}

int FreeUdpPort(const std::string& address) {
  TUDPBlockSocket probe;
  probe.BindLocal(address, "0");
  return probe.LastErrorCode() == 0 ? probe.LocalPortNumber() : 0;
}

}  // namespace zelsnmp::testing
