// Test helpers for the SNMP exchange: temporary directories and agents run as real processes
// (the project's agent simulator, net-snmp's snmpd) on loopback addresses.

#ifndef ZELSNMP_SNMP_SNMP_CLIENT_TEST_UTIL_H_
#define ZELSNMP_SNMP_SNMP_CLIENT_TEST_UTIL_H_

#include <filesystem>
#include <string>
#include <vector>

namespace zelsnmp::testing {

// A fresh directory under the system's temporary directory, removed with the object.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void WriteTextFile(const std::filesystem::path& path, const std::string& text);
std::string ReadTextFile(const std::filesystem::path& path);

// Runs a shell command; its exit status.
int RunShell(const std::string& command);

// Quotes `text` for the shell.
std::string ShellQuote(const std::string& text);

// True when the program can be found on PATH or at the given path.
bool ProgramAvailable(const std::string& program);

// A UDP port on `address` that was free a moment ago.
int FreeUdpPort(const std::string& address);

// One agentsim process answering on `address` with a system-chosen port; stopped with
// SIGTERM by the destructor. `data` is the .snmprec text, `options` further command words.
class AgentProcess {
 public:
  AgentProcess(const std::string& address, const std::string& data,
               const std::vector<std::string>& options = {});
  ~AgentProcess();
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  bool started() const { return !port_.empty(); }
  const std::string& address() const { return address_; }
  const std::string& port() const { return port_; }
  // The "answered" lines logged so far, after waiting (at most two seconds) for `count`.
  std::vector<std::string> AnsweredLines(std::size_t count = 0) const;
  std::string StandardError() const;

 private:
  TempDirectory directory_;
  std::string address_;
  std::string port_;
  std::string pid_;
};

// The value of "key=" in an agentsim log line ("" when absent).
std::string LogField(const std::string& line, const std::string& key);

}  // namespace zelsnmp::testing

#endif  // ZELSNMP_SNMP_SNMP_CLIENT_TEST_UTIL_H_
