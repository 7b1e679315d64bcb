// One GetRequest of 10 OIDs and its Response over loopback, against the minimal responder
// (bench_responder), with our client and with net-snmp's synchronous GET, beside a raw UDP
// ping-pong of the same datagrams. The responder is started by this program and inherits its
// CPU affinity: run it under `taskset -c 0` to put both ends on one CPU.
//
// The version-3 pair (authPriv, SHA-256 and AES-128) talks to net-snmp's snmpd, started here
// on a loopback port with a user of its own, since the minimal responder speaks no version 3;
// both sides read the same 10 scalars of one agent, and the CPU time is the client's alone.

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
#include "snmp/usm_session.h"

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

// net-snmp's snmpd with one authPriv user, in a directory of its own, stopped at the end.
class Snmpd {
 public:
  static constexpr const char* kUser = "benchv3";
  static constexpr const char* kAuthPassphrase = "bench auth passphrase";
  static constexpr const char* kPrivPassphrase = "bench priv passphrase";

  Snmpd() {
    char dir[] = "/tmp/zelsnmp-bench-snmpd-XXXXXX";
    if (mkdtemp(dir) == nullptr) return;
    dir_ = dir;
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    port_ = ntohs(local.sin_port);
    close(fd);
    const std::string config = "createUser " + std::string(kUser) + " SHA-256 \"" +
                               kAuthPassphrase + "\" AES \"" + kPrivPassphrase +
                               "\"\nrouser " + kUser + " priv\n";
    FILE* file = std::fopen((dir_ + "/snmpd.conf").c_str(), "w");
    if (file == nullptr) return;
    std::fputs(config.c_str(), file);
    std::fclose(file);
    const std::string command = "HOME=" + dir_ + " SNMPCONFPATH=" + dir_ +
                                " SNMP_PERSISTENT_DIR=" + dir_ +
                                "/persist MIBS= /usr/sbin/snmpd -f -Lo -C -c " + dir_ +
                                "/snmpd.conf udp:127.0.0.1:" + std::to_string(port_) + " >" +
                                dir_ + "/log 2>&1 & echo $! >" + dir_ + "/pid";
    if (std::system(command.c_str()) != 0) port_ = 0;
    usleep(500000);
  }
  ~Snmpd() {
    if (dir_.empty()) return;
    const std::string command = "kill $(cat " + dir_ + "/pid) 2>/dev/null; sleep 0.2; rm -rf " + dir_;
    if (std::system(command.c_str()) != 0) return;
  }
  int port() const { return port_; }

 private:
  std::string dir_;
  int port_ = 0;
};

const char* const kSystemScalars[kBindingCount] = {
    "1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.2.0", "1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.1.4.0",
    "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.6.0", "1.3.6.1.2.1.1.7.0", "1.3.6.1.2.1.1.8.0",
    "1.3.6.1.2.1.2.1.0", "1.3.6.1.2.1.11.1.0"};

void BM_Exchange10_V3AuthPriv_Ours(benchmark::State& state) {
  Snmpd snmpd;
  if (snmpd.port() == 0) {
    state.SkipWithError("snmpd cannot be started");
    return;
  }
  UsmKeyCache keys;
  UsmSecurity security;
  security.user_name = Snmpd::kUser;
  security.auth = AuthProtocol::kSha256;
  security.auth_passphrase = SecretBytes(Snmpd::kAuthPassphrase);
  security.priv = PrivProtocol::kAes128;
  security.priv_passphrase = SecretBytes(Snmpd::kPrivPassphrase);
  UsmSession session(std::move(security), keys);
  session.PrepareKeys();
  TSNMPSend client;
  client.TargetHost = "127.0.0.1";
  client.TargetPort = std::to_string(snmpd.port());
  client.Security = &session;
  auto get = [&] {
    TSNMPRec& query = client.Query();
    query.ResetMessage();
    for (const char* oid : kSystemScalars) query.AddBinding(oid, "", TagNull);
    query.PDUType = PduGetRequest;
    return client.SendQuery() && client.Reply().BindingCount() == kBindingCount;
  };
  // Discovery and the engine's clock, outside the timed loop as for net-snmp's side.
  if (!get()) state.SkipWithError("no answer");
  for (auto _ : state) {
    if (!get()) state.SkipWithError("no answer");
  }
}

void BM_Exchange10_V3AuthPriv_NetSnmp(benchmark::State& state) {
  Snmpd snmpd;
  void* session = snmpd.port() == 0 ? nullptr
                                    : NetSnmpOpenV3Session(snmpd.port(), 5000, Snmpd::kUser,
                                                           Snmpd::kAuthPassphrase,
                                                           Snmpd::kPrivPassphrase);
  if (session == nullptr) {
    state.SkipWithError("net-snmp cannot open a session");
    return;
  }
  std::vector<BindingSpec> specs;
  for (const char* oid : kSystemScalars) {
    BindingSpec spec;
    spec.oid_text = oid;
    for (const char* arc = oid; *arc != '\0';) {
      char* end = nullptr;
      spec.oid.push_back(static_cast<std::uint32_t>(std::strtoul(arc, &end, 10)));
      arc = *end == '.' ? end + 1 : end;
    }
    specs.push_back(std::move(spec));
  }
  NetSnmpNames* names = NetSnmpPrepareNames(specs);
  if (!NetSnmpSyncGet(session, names)) state.SkipWithError("no answer");
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
BENCHMARK(BM_Exchange10_V3AuthPriv_Ours)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Exchange10_V3AuthPriv_NetSnmp)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Exchange10_RawUdp)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zelsnmp::bench
