#include "testing/peer_programs.h"

#include <cstdlib>
#include <thread>

#include "net/block_socket.h"
#include "testing/temp_directory.h"

namespace zelsnmp::testing_support {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr auto kStopLimit = std::chrono::seconds(10);
constexpr std::chrono::seconds kSnmpdStartLimit(20);
constexpr std::chrono::seconds kSnmpsimdStartLimit(30);
// snmpd logs its version once its ports are open.
constexpr std::string_view kSnmpdReady = "NET-SNMP version";
constexpr std::string_view kSnmpsimdReady = "Listening at UDP/";
constexpr int kPortAttempts = 5;

struct Peer {
  std::string_view name;
  std::string_view path;  // where Debian installs it
  std::string_view package;
};

constexpr Peer kPeers[] = {
    {"snmpd", "/usr/sbin/snmpd", "snmpd"},        {"snmpget", "/usr/bin/snmpget", "snmp"},
    {"snmpwalk", "/usr/bin/snmpwalk", "snmp"},    {"snmptrap", "/usr/bin/snmptrap", "snmp"},
    {"snmpsimd", "/usr/bin/snmpsimd", "snmpsim"},
};

// Where `name` is: its Debian path, else found on PATH; empty when neither.
std::string PeerPath(std::string_view name) {
  for (const Peer& peer : kPeers) {
    if (peer.name == name && ProgramAvailable(std::string(peer.path))) {
      return std::string(peer.path);
    }
  }
  return ProgramAvailable(std::string(name)) ? std::string(name) : "";
}

std::string ReadFrom(const fs::path& path, std::size_t offset) {
  const std::string text = ReadFile(path);
  return offset < text.size() ? text.substr(offset) : "";
}

}  // namespace

int RunShell(const std::string& command) {
  return std::system(command.c_str());
}

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

std::string PeersUnavailable(std::initializer_list<std::string_view> programs) {
  for (std::string_view name : programs) {
    if (!NativePeersRunnable()) {
      // The Wine end-to-end run polls a native snmpd instead.
      return std::string(name) + " is a Linux program, which a Windows test program cannot start";
    }
    if (!PeerPath(name).empty()) continue;
    std::string reason = std::string(name) + " is not installed";
    for (const Peer& peer : kPeers) {
      if (peer.name == name) reason += " (Debian package " + std::string(peer.package) + ")";
    }
    return reason;
  }
  return "";
}

std::string NetSnmpEnvironment(const fs::path& home) {
  const fs::path conf = home / "conf";
  const fs::path persist = home / "persist";
  fs::create_directories(conf);
  fs::create_directories(persist);
  return "HOME=" + ShellQuote(home.string()) + " SNMPCONFPATH=" + ShellQuote(conf.string()) + ":" +
         ShellQuote(persist.string()) + " SNMP_PERSISTENT_DIR=" + ShellQuote(persist.string()) +
         " MIBS= ";
}

ToolRun RunNetSnmpTool(const fs::path& home, const std::string& command) {
  const std::string environment = NetSnmpEnvironment(home);
  const fs::path output = home / "tool.out";
  const fs::path errors = home / "tool.err";
  ToolRun run;
  run.status = RunShell(environment + command + " </dev/null >" + ShellQuote(output.string()) +
                        " 2>" + ShellQuote(errors.string()));
  run.output = ReadFile(output);
  run.errors = ReadFile(errors);
  return run;
}

bool PeerProcess::Start(const std::string& command, const fs::path& log, const fs::path& pid_file,
                        std::string_view ready_text, std::chrono::seconds limit) {
  Stop();
  const std::size_t logged_before = ReadFile(log).size();
  fs::remove(pid_file);
  RunShell(command + " </dev/null >>" + ShellQuote(log.string()) + " 2>&1 & echo $! >" +
           ShellQuote(pid_file.string()));
  pid_ = ReadFile(pid_file);
  while (!pid_.empty() && (pid_.back() == '\n' || pid_.back() == '\r')) pid_.pop_back();
  if (pid_.empty()) return false;
  const auto deadline = Clock::now() + limit;
  while (ReadFrom(log, logged_before).find(ready_text) == std::string::npos) {
    if (!Running() || Clock::now() > deadline) {
      Stop();
      return false;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

bool PeerProcess::Running() const {
  // Gone, or a zombie that nobody has reaped yet, counts as ended.
  return RunShell("ps -o stat= -p " + pid_ + " 2>/dev/null | grep -qv '^Z'") == 0;
}

void PeerProcess::Stop() {
  if (pid_.empty()) return;
  RunShell("kill -TERM " + pid_ + " 2>/dev/null");
  const auto deadline = Clock::now() + kStopLimit;
  while (Running()) {
    if (Clock::now() > deadline) {
      RunShell("kill -KILL " + pid_ + " 2>/dev/null");
      break;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  pid_.clear();
}

SnmpdProcess::SnmpdProcess(fs::path home) : home_(std::move(home)) {}

bool SnmpdProcess::Start(const std::string& config) {
  const std::string environment = NetSnmpEnvironment(home_);
  WriteFile(home_ / "conf" / "snmpd.conf", config);
  const std::string program = ShellQuote(PeerPath("snmpd"));
  // Another program may take a free port between its choice and snmpd's start: at the first
  // start another one is chosen then.
  const int attempts = port_.empty() ? kPortAttempts : 1;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (attempts > 1) port_ = std::to_string(FreeUdpPort("127.0.0.1"));
    if (process_.Start(environment + program + " -f -Lo udp:127.0.0.1:" + port_,
                       home_ / "snmpd.log", home_ / "snmpd.pid", kSnmpdReady, kSnmpdStartLimit)) {
      return true;
    }
  }
  return false;
}

void SnmpdProcess::ForgetState() const {
  fs::remove_all(home_ / "persist");
}

std::string SnmpdProcess::Log() const {
  return ReadFile(home_ / "snmpd.log");
}

SnmpsimdProcess::SnmpsimdProcess(fs::path home, const std::string& address, std::string port,
                                 const std::vector<std::pair<std::string, std::string>>& data_files,
                                 const std::vector<std::string>& options)
    : home_(std::move(home)), port_(std::move(port)) {
  fs::create_directories(home_ / "data");
  fs::create_directories(home_ / "cache");
  for (const auto& [name, contents] : data_files) WriteFile(home_ / "data" / name, contents);
  // nobody reads the data and writes the index cache.
  const fs::perms open = fs::perms::others_read | fs::perms::others_exec | fs::perms::group_read |
                         fs::perms::group_exec;
  for (const fs::path& folder : {home_.parent_path(), home_, home_ / "data"}) {
    fs::permissions(folder, open, fs::perm_options::add);
  }
  for (const auto& file : fs::directory_iterator(home_ / "data")) {
    fs::permissions(file.path(), fs::perms::others_read, fs::perm_options::add);
  }
  fs::permissions(home_ / "cache", fs::perms::all);
  std::string command = "HOME=" + ShellQuote(home_.string()) + " " +
                        ShellQuote(PeerPath("snmpsimd")) +
                        " --process-user=nobody --process-group=nogroup" +
                        " --data-dir=" + ShellQuote((home_ / "data").string()) +
                        " --cache-dir=" + ShellQuote((home_ / "cache").string());
  for (const std::string& option : options) {
    command += ' ';
    command += ShellQuote(option);
  }
  // As for snmpd, a port chosen here is chosen again when it was taken before the start.
  const int attempts = port_.empty() ? kPortAttempts : 1;
  for (int attempt = 0; attempt < attempts && !listening_; ++attempt) {
    if (attempts > 1) port_ = std::to_string(FreeUdpPort(address));
    // It logs to standard error, into a file opened before it drops to nobody.
    listening_ = process_.Start(
        command + " --agent-udpv4-endpoint=" + ShellQuote(address + ":" + port_),
        home_ / "snmpsimd.log", home_ / "snmpsimd.pid", kSnmpsimdReady, kSnmpsimdStartLimit);
  }
}

std::string SnmpsimdProcess::Log() const {
  return ReadFile(home_ / "snmpsimd.log");
}

}  // namespace zelsnmp::testing_support
