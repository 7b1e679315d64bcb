// The poll pass at scale: AGENTS agents of OIDS OIDs each at /pWINDOW with host calls that do
// nothing, against the agentsim processes that scripts/bench.sh --scale starts in a network
// namespace of its own: answering agents on 127.0.1.1 .. 127.0.1.HOSTS, silent ones (every
// tenth agent with --silent-tenth) on 127.0.2.1, all on port 161. The first pass, which learns
// who is silent, is not timed; then PASSES passes are. In the same run it measures the floor:
// the same request datagrams sent and their answers received over a raw UDP socket with as many
// in flight, one send and one receive each. Prints the figures as markdown table rows.
//
//   scale_benchmark AGENTS OIDS WINDOW HOSTS PASSES [--silent-tenth]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "host/scadalink.h"
#include "poller/agent_poller.h"
#include "poller/poll_config.h"
#include "snmp/ber.h"
#include "snmp/snmp_message.h"

namespace zelsnmp::bench {
namespace {

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string Oid(int line) {
  return "1.3.6.1.2.1.2.2.1." + std::to_string(10 + line % 12) + "." + std::to_string(1 + line);
}

bool Silent(int agent, bool silent_tenth) {
  return silent_tenth && agent % 10 == 9;
}

std::string Host(int agent, int hosts, bool silent_tenth) {
  if (Silent(agent, silent_tenth)) return "127.0.2.1";
  return "127.0.1." + std::to_string(1 + agent % hosts);
}

std::string ConfigText(int agents, int oids, int hosts, bool silent_tenth) {
  static const char* const kKinds[] = {"#TC", "#TT", "#TS"};
  std::string text;
  for (int a = 0; a < agents; ++a) {
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about "..." + std::string.
    text += "[";
    text += Host(a, hosts, silent_tenth);
    text += ":public";
    text += std::to_string(a);
    text += "]\r\n";
    for (int l = 0; l < oids; ++l) {
      text += std::string(kKinds[l % 3]) + std::to_string(1 + a / 1000) + ":" +
              std::to_string(a % 1000) + ":" + std::to_string(l) + "=" + Oid(l) + "\r\n";
    }
  }
  return text;
}

long VmHwmKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// CPU seconds per exchange of the raw floor: every answering agent's request datagram sent and
// its answer received, `window` in flight, on one blocking socket.
double RawFloor(int agents, int oids, int window, int hosts) {
  std::vector<std::string> datagrams;
  std::vector<sockaddr_in> peers;
  for (int a = 0; a < agents; ++a) {
    TSNMPRec query;
    query.Version = kSnmpVersion2c;
    query.Community = "public" + std::to_string(a);
    query.PDUType = PduGetRequest;
    query.ID = 1000 + a;
    for (int l = 0; l < oids; ++l) query.AddBinding(Oid(l), "", TagNull);
    datagrams.push_back(query.EncodeMessage());
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(161);
    inet_pton(AF_INET, Host(a, hosts, false).c_str(), &peer.sin_addr);
    peers.push_back(peer);
  }
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int room = window * 65536;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
  timeval wait{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  auto send = [&](int a) {
    sendto(fd, datagrams[a].data(), datagrams[a].size(), 0,
           reinterpret_cast<const sockaddr*>(&peers[a]), sizeof peers[a]);
  };
  static char buffer[65536];
  const double start = CpuSeconds();
  int sent = 0;
  int received = 0;
  for (; sent < std::min(window, agents); ++sent) send(sent);
  while (received < agents) {
    if (recv(fd, buffer, sizeof buffer, 0) < 0) break;  // an answer lost: stop counting
    ++received;
    if (sent < agents) send(sent++);
  }
  const double cpu = CpuSeconds() - start;
  close(fd);
  return received > 0 ? cpu / received : 0;
}

std::string Micro(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f µs", seconds * 1e6);
  return text;
}

int Main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr,
                 "usage: scale_benchmark AGENTS OIDS WINDOW HOSTS PASSES [--silent-tenth]\n");
    return 2;
  }
  const int agents = std::atoi(argv[1]);
  const int oids = std::atoi(argv[2]);
  const int window = std::atoi(argv[3]);
  const int hosts = std::atoi(argv[4]);
  const int passes = std::atoi(argv[5]);
  const bool silent_tenth = argc > 6 && std::string(argv[6]) == "--silent-tenth";

  const std::string path = "/tmp/zelsnmp_scale_bench_" + std::to_string(getpid()) + ".cfg";
  std::ofstream(path, std::ios::binary) << ConfigText(agents, oids, hosts, silent_tenth);
  const PollConfig config = LoadPollConfig(path);
  AgentPoller poller(1);
  poller.SetRequestsInFlight(window);
  const double first_start = WallSeconds();
  poller.RunPass(config);
  const double first_pass = WallSeconds() - first_start;
  std::vector<double> walls;
  std::vector<double> cpus;
  for (int p = 0; p < passes; ++p) {
    const double wall = WallSeconds();
    const double cpu = CpuSeconds();
    poller.RunPass(config);
    walls.push_back(WallSeconds() - wall);
    cpus.push_back(CpuSeconds() - cpu);
  }
  const long hwm = VmHwmKib();
  const int answering = silent_tenth ? agents - agents / 10 : agents;
  const double floor = RawFloor(answering, oids, window, hosts);
  const double per_agent = Median(cpus) / agents;

  const std::string name = std::to_string(agents) + " agents x " + std::to_string(oids) +
                           " OIDs, /p" + std::to_string(window) +
                           (silent_tenth ? ", 10 % silent" : "");
  std::printf("| %s | pass (median of %d) | %.2f s (first pass %.2f s%s) |\n", name.c_str(), passes,
              Median(walls), first_pass, silent_tenth ? ", time-out 5 s" : "");
  std::printf("| %s | task CPU per agent per pass | %s (%.2f s per pass) |\n", name.c_str(),
              Micro(per_agent).c_str(), Median(cpus));
  std::printf("| %s | raw UDP floor per exchange, same run | %s; task / floor %.1f |\n",
              name.c_str(), Micro(floor).c_str(), floor > 0 ? per_agent / floor : 0.0);
  std::printf("| %s | VmHWM | %.1f MiB |\n", name.c_str(), static_cast<double>(hwm) / 1024);
  std::remove(path.c_str());
  return 0;
}

}  // namespace
}  // namespace zelsnmp::bench

int main(int argc, char** argv) {
  return zelsnmp::bench::Main(argc, argv);
}
