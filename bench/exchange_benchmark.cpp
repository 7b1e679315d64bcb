// One GetRequest of 10 OIDs and its Response over loopback, against the minimal responder
// (bench_responder), with our client and with net-snmp's synchronous GET, beside a raw UDP
// ping-pong of the same datagrams. The responder is started by this program and inherits its
// CPU affinity: run it under `taskset -c 0` to put both ends on one CPU.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_vectors.h"
#include "bench/netsnmp_side.h"
#include "snmp/snmp_client.h"

namespace zelsnmp::bench {
namespace {

constexpr int kBindingCount = 10;

// A responder process in `mode`, stopped when the benchmark ends.
class Responder {
 public:
  explicit Responder(const char* mode) {
    int out[2];
    if (pipe(out) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      execl(ZELSNMP_BENCH_RESPONDER, ZELSNMP_BENCH_RESPONDER, mode, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    char text[16] = {};
    ssize_t n = read(out[0], text, sizeof text - 1);
    close(out[0]);
    port_ = n > 0 ? std::atoi(text) : 0;
    if (port_ == 0) {
      std::fprintf(stderr, "exchange_benchmark: the responder did not start\n");
      std::exit(1);
    }
  }
  ~Responder() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

void BM_Exchange10_Ours(benchmark::State& state) {
  Responder responder("snmp");
  const auto specs = RequestBindings(kBindingCount);
  TSNMPSend client;
  client.TargetHost = "127.0.0.1";
  client.TargetPort = std::to_string(responder.port());
  for (auto _ : state) {
    TSNMPRec& query = client.Query();
    query.ResetMessage();
    query.Community = kCommunity;
    query.Version = kSnmpVersion2c;
    for (const BindingSpec& spec : specs) query.AddBinding(spec.oid_text, "", TagNull);
    query.PDUType = PduGetRequest;
    if (!client.SendQuery()) state.SkipWithError("no answer");
  }
}

void BM_Exchange10_NetSnmp(benchmark::State& state) {
  Responder responder("snmp");
  void* session = NetSnmpOpenSession(responder.port(), 5000);
  if (session == nullptr) {
    state.SkipWithError("net-snmp cannot open a session");
    return;
  }
  NetSnmpNames* names = NetSnmpPrepareNames(RequestBindings(kBindingCount));
  for (auto _ : state) {
    if (!NetSnmpSyncGet(session, names)) state.SkipWithError("no answer");
  }
  NetSnmpCloseSession(session);
}

// The floor: the same request bytes out, the same response bytes back, nothing encoded or
// decoded.
void BM_Exchange10_RawUdp(benchmark::State& state) {
  Responder responder("raw");
  const std::string request = OurBytes(PduGetRequest, RequestBindings(kBindingCount));
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  peer.sin_port = htons(static_cast<std::uint16_t>(responder.port()));
  char buffer[65536];
  for (auto _ : state) {
    sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
    sockaddr_in from{};
    socklen_t from_length = sizeof from;
    benchmark::DoNotOptimize(recvfrom(fd, buffer, sizeof buffer, 0,
                                      reinterpret_cast<sockaddr*>(&from), &from_length));
  }
  close(fd);
}

BENCHMARK(BM_Exchange10_Ours)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Exchange10_NetSnmp)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Exchange10_RawUdp)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zelsnmp::bench
