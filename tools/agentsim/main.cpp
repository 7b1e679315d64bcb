// agentsim: a small SNMP agent for running and testing the task without devices. It answers
// v1 and v2c GetRequests from a .snmprec data file and can misbehave on request; see
// tools/agentsim/README.md.

#include <iostream>
#include <string>
#include <vector>

#include "tools/agentsim/agent_options.h"
#include "tools/agentsim/agent_server.h"
#include "tools/agentsim/device_counters.h"
#include "tools/agentsim/snmprec.h"
#include "tools/agentsim/stop_signal.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitBadData = 1;
// With --lenient, the errors of the first skipped lines are shown; the rest only counted.
constexpr std::size_t kSkippedLinesShown = 10;

}  // namespace

int main(int argc, char** argv) {
  using namespace zelsnmp::agentsim;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  AgentOptionsResult parsed = ParseAgentOptions(arguments);
  if (parsed.show_help) {
    std::cout << AgentUsage();
    return 0;
  }
  if (parsed.show_version) {
    std::cout << AgentVersion() << "\n";
    return 0;
  }
  if (!parsed.error.empty()) {
    std::cerr << "agentsim: " << parsed.error << "\n" << AgentUsage();
    return kExitUsage;
  }
  SnmprecParseResult data = LoadSnmprecFile(parsed.options.data_path, parsed.options.lenient);
  if (!data.error.empty()) {
    std::cerr << "agentsim: " << data.error << std::endl;
    return kExitBadData;
  }
  if (!data.skipped.empty()) {
    for (std::size_t i = 0; i < data.skipped.size() && i < kSkippedLinesShown; ++i) {
      std::cerr << "agentsim: skipped " << data.skipped[i] << "\n";
    }
    std::cerr << "agentsim: " << parsed.options.data_path << ": " << data.skipped.size()
              << " malformed line(s) skipped" << std::endl;
  }
  if (const std::string wrong = DeviceCounters::Check(data.data, parsed.options.counters);
      !wrong.empty()) {
    std::cerr << "agentsim: " << wrong << std::endl;
    return kExitUsage;
  }
  InstallStopSignalHandlers();
  return RunAgent(parsed.options, data.data, StopRequested);
}
