#include "snmp/snmp_client_test_util.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "net/block_socket.h"

namespace zelsnmp::testing {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProcessWait = std::chrono::seconds(5);
constexpr auto kLogWait = std::chrono::seconds(2);
constexpr auto kPollInterval = std::chrono::milliseconds(5);
const std::string kListeningPrefix = "agentsim listening on ";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TempDirectory::TempDirectory() {
  std::random_device random;
  std::uniform_int_distribution<unsigned long long> digits;
  do {
    path_ = std::filesystem::temp_directory_path() /
            ("zelsnmp_test_" + std::to_string(digits(random)));
  } while (!std::filesystem::create_directory(path_));
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadTextFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

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

AgentProcess::AgentProcess(const std::string& address, const std::string& data,
                           const std::vector<std::string>& options)
    : address_(address) {
  const auto data_path = directory_.path() / "agent.snmprec";
  const auto out_path = directory_.path() / "out.log";
  const auto pid_path = directory_.path() / "pid";
  WriteTextFile(data_path, data);
  std::string command = ShellQuote(ZELSNMP_AGENTSIM_PATH) + " --listen " +
                        ShellQuote(address + ":0") + " --data " + ShellQuote(data_path.string());
  for (const std::string& option : options) command += " " + ShellQuote(option);
  command += " >" + ShellQuote(out_path.string()) + " 2>" +
             ShellQuote((directory_.path() / "err.log").string()) + " & echo $! >" +
             ShellQuote(pid_path.string());
  if (RunShell(command) != 0) return;
  pid_ = ReadTextFile(pid_path);
  while (!pid_.empty() && (pid_.back() == '\n' || pid_.back() == ' ')) pid_.pop_back();

  auto deadline = Clock::now() + kProcessWait;
  while (Clock::now() < deadline) {
    for (const std::string& line : Lines(ReadTextFile(out_path))) {
      if (line.rfind(kListeningPrefix, 0) == 0) {
        port_ = line.substr(line.rfind(':') + 1);
        return;
      }
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

AgentProcess::~AgentProcess() {
  if (pid_.empty()) return;
  RunShell("kill -TERM " + pid_ + " 2>/dev/null");
  // Wait for the stop line so that the process is gone before its files are removed.
  auto deadline = Clock::now() + kProcessWait;
  while (Clock::now() < deadline) {
    if (ReadTextFile(directory_.path() / "out.log").find("agentsim stopped") != std::string::npos) {
      return;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  RunShell("kill -KILL " + pid_ + " 2>/dev/null");
}

std::vector<std::string> AgentProcess::AnsweredLines(std::size_t count) const {
  auto deadline = Clock::now() + kLogWait;
  std::vector<std::string> answered;
  for (;;) {
    answered.clear();
    for (const std::string& line : Lines(ReadTextFile(directory_.path() / "out.log"))) {
      if (line.rfind("answered ", 0) == 0) answered.push_back(line);
    }
    if (answered.size() >= count || Clock::now() >= deadline) return answered;
    std::this_thread::sleep_for(kPollInterval);
  }
}

std::string AgentProcess::StandardError() const {
  return ReadTextFile(directory_.path() / "err.log");
}

std::string LogField(const std::string& line, const std::string& key) {
  std::size_t start = line.find(" " + key + "=");
  if (start == std::string::npos) return {};
  start += key.size() + 2;
  return line.substr(start, line.find(' ', start) - start);
}

}  // namespace zelsnmp::testing
