// Test support: programs nobody here wrote, run as peers of the tests: net-snmp's snmpd and its
// command-line tools (snmpget, ...) and Debian's snmpsimd. Each keeps to directories of its own
// in the test's temporary directory (its configuration path, its persistent state, its home), so
// that a test neither reads nor writes /var/lib/snmp or ~/.snmp and runs alike on a machine that
// has never run one. A tool's standard output, where its answer is, is kept apart from its
// standard error, where net-snmp also announces each directory it creates.
//
// The peers are Linux programs: a Windows test program (run under Wine) cannot start them, and
// PeersUnavailable() says so.

#ifndef ZELSNMP_TESTING_PEER_PROGRAMS_H_
#define ZELSNMP_TESTING_PEER_PROGRAMS_H_

#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zelsnmp::testing_support {

// Runs a shell command; its exit status.
int RunShell(const std::string& command);
// Quotes `text` for the shell.
std::string ShellQuote(const std::string& text);
// True when the program can be found on PATH or at the given path.
bool ProgramAvailable(const std::string& program);
// A UDP port on `address` that was free a moment ago.
int FreeUdpPort(const std::string& address);

// False in a Windows test program, which cannot start the peers.
bool NativePeersRunnable();
// True when the test program runs as the user root (never in a Windows test program).
bool RunsAsRoot();

// Why the peer `programs` ("snmpd", "snmpget", "snmpsimd", ...) cannot be run here; empty when
// they can. Names the first one missing with its Debian package.
std::string PeersUnavailable(std::initializer_list<std::string_view> programs);

// The shell assignments, ending in a blank, under which a net-snmp program keeps to `home`:
// home/conf and home/persist its configuration path, home/persist its persistent state (read
// back at its next start), `home` its home directory; no MIB is loaded. Creates the directories.
std::string NetSnmpEnvironment(const std::filesystem::path& home);

struct ToolRun {
  int status = -1;
  std::string output;  // standard output
  std::string errors;  // standard error
};

// Runs net-snmp's `command` ("snmpget -v2c ...") with `home` as its own directories.
ToolRun RunNetSnmpTool(const std::filesystem::path& home, const std::string& command);

// A peer started in the background by a shell command; stopped (SIGTERM, then waited for) by
// Stop() or the destructor.
class PeerProcess {
 public:
  PeerProcess() = default;
  ~PeerProcess() { Stop(); }
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Starts `command`, its standard output and error appended to `log`, its process id written to
  // `pid_file`; true once `log` holds `ready_text` after what it held before, false when the
  // program ended first or did not get there within `limit` (it is then stopped).
  bool Start(const std::string& command, const std::filesystem::path& log,
             const std::filesystem::path& pid_file, std::string_view ready_text,
             std::chrono::seconds limit);
  // Ends it and waits until it is gone (at most ten seconds).
  void Stop();

 private:
  bool Running() const;

  std::string pid_;
};

// net-snmp's snmpd on 127.0.0.1, keeping to `home` as NetSnmpEnvironment() says, its
// configuration in home/conf/snmpd.conf and its log in home/snmpd.log.
class SnmpdProcess {
 public:
  explicit SnmpdProcess(std::filesystem::path home);

  // Writes `config` and starts snmpd; true once it listens. The port is chosen at the first
  // start (again when snmpd could not start on it: another program may have taken it) and kept
  // for the restarts.
  bool Start(const std::string& config);
  // Ends it and waits until it has saved its persistent state and gone.
  void Stop() { process_.Stop(); }
  // Removes the persistent state: started again, the agent is another engine.
  void ForgetState() const;

  const std::string& port() const { return port_; }
  std::string Log() const;

 private:
  std::filesystem::path home_;
  std::string port_;
  PeerProcess process_;
};

// Debian's snmpsimd keeping to `home`: home/data its data files, home/cache its index cache,
// home/snmpsimd.log its log. As root it drops to nobody (it refuses to run as root), so the
// directories are opened to others.
class SnmpsimdProcess {
 public:
  // Serves `data_files` (file name, .snmprec contents; the name less its ending is the
  // community or the v3 context) on IPv4 `address` and `port` (empty: a free one) with `options`
  // beside; started here, listening() once its log says it listens, within 30 seconds.
  SnmpsimdProcess(std::filesystem::path home, const std::string& address, std::string port,
                  const std::vector<std::pair<std::string, std::string>>& data_files,
                  const std::vector<std::string>& options);

  bool listening() const { return listening_; }
  const std::string& port() const { return port_; }
  void Stop() { process_.Stop(); }
  // Its log, which holds the v3 keys it was given.
  std::string Log() const;

 private:
  std::filesystem::path home_;
  std::string port_;
  bool listening_ = false;
  PeerProcess process_;
};

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_TESTING_PEER_PROGRAMS_H_
