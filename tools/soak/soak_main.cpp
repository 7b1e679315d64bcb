// zelsnmp_soak: the poll pass run back to back, without the poll cycle's one-second waits, for
// long-running checks of memory and descriptors (scripts/soak.sh).
//
//   zelsnmp_soak CONFIG PASSES [TIMEOUT_MS]
//
// Loads CONFIG as the task does (the file is deleted), connects to TM server "SOAK" of the
// stand-in site (ZELSNMP_SITE), and runs PASSES poll passes with a client whose receive
// time-out is TIMEOUT_MS (default 20). Every 1000 passes, and after the last, it prints
//   pass N rss_kb R hwm_kb H fds F
// taken from /proc/self: resident memory, its peak, and the open descriptors.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include "host/scadalink.h"
#include "poller/agent_poller.h"
#include "poller/poll_config.h"
#include "snmp/snmp_client.h"

namespace {

constexpr long kSampleEvery = 1000;

long StatusKb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

long OpenDescriptors() {
  std::error_code error;
  std::filesystem::directory_iterator fds("/proc/self/fd", error);
  if (error) return -1;
  return static_cast<long>(std::distance(fds, std::filesystem::directory_iterator()));
}

void Sample(long pass) {
  std::cout << "pass " << pass << " rss_kb " << StatusKb("VmRSS") << " hwm_kb " << StatusKb("VmHWM")
            << " fds " << OpenDescriptors() << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: zelsnmp_soak CONFIG PASSES [TIMEOUT_MS]\n";
    return 2;
  }
  const long passes = std::atol(argv[2]);
  const int timeout_ms = argc > 3 ? std::atoi(argv[3]) : 20;
  const zelsnmp::PollConfig config = zelsnmp::LoadPollConfig(argv[1]);
  const std::int32_t connection = slConnect(".", "SOAK", 0, nullptr, 0);
  if (connection <= 0 || config.agents.empty()) {
    std::cerr << "zelsnmp_soak: no TM server SOAK or no agent in " << argv[1] << "\n";
    return 1;
  }
  zelsnmp::AgentPoller poller(connection, [timeout_ms] {
    auto client = std::make_unique<zelsnmp::TSNMPSend>();
    client->Timeout = timeout_ms;
    return client;
  });
  for (long pass = 1; pass <= passes; ++pass) {
    poller.RunPass(config);
    if (pass % kSampleEvery == 0 || pass == passes) Sample(pass);
  }
  slDisconnect(connection);
  return 0;
}
