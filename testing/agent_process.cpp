#include "testing/agent_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

namespace zelsnmp::testing_support {
namespace {

constexpr std::string_view kListeningPrefix = "agentsim listening on ";
constexpr std::string_view kAnsweredPrefix = "answered ";
constexpr std::string_view kReceivedPrefix = "received ";
constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(5);
constexpr auto kAnswerWait = std::chrono::seconds(2);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

}  // namespace

AgentProcess::AgentProcess(const std::string& listen, const std::string& snmprec,
                           const std::vector<std::string>& options)
    : address_(listen.substr(0, listen.rfind(':'))) {
  std::vector<std::string> arguments = {ZELSNMP_AGENTSIM, "--listen", listen, "--data",
                                        directory_.Write("agent.snmprec", snmprec)};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const std::string output_path = directory_.PathOf("output.log");
  pid_ = fork();
  if (pid_ == 0) {
    const int input = open("/dev/null", O_RDONLY);
    const int output = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (input < 0 || output < 0 || dup2(input, 0) < 0 || dup2(output, 1) < 0 ||
        dup2(output, 2) < 0) {
      _exit(126);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }

  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (pid_ > 0 && (port_ = ListeningPort()).empty()) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
    } else if (std::chrono::steady_clock::now() > deadline) {
      break;
    } else {
      std::this_thread::sleep_for(kPollInterval);
    }
  }
}

AgentProcess::~AgentProcess() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      return;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

std::string AgentProcess::ListeningPort() const {
  const std::string output = Output();
  const std::size_t start = output.find(kListeningPrefix);
  if (start == std::string::npos) return "";
  const std::size_t end = output.find('\n', start);
  if (end == std::string::npos) return "";
  const std::string endpoint = output.substr(start, end - start);
  return endpoint.substr(endpoint.rfind(':') + 1);
}

std::string AgentProcess::Output() const { return ReadFile(directory_.PathOf("output.log")); }

std::vector<std::string> AgentProcess::Answers(std::size_t at_least) const {
  return LinesStartingWith(kAnsweredPrefix, at_least);
}

std::vector<std::string> AgentProcess::Requests(std::size_t at_least) const {
  return LinesStartingWith(kReceivedPrefix, at_least);
}

std::vector<std::string> AgentProcess::LinesStartingWith(std::string_view prefix,
                                                         std::size_t at_least) const {
  const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
  for (;;) {
    std::vector<std::string> answers;
    std::istringstream output(Output());
    for (std::string line; std::getline(output, line);) {
      if (line.starts_with(prefix)) answers.push_back(line);
    }
    if (answers.size() >= at_least || std::chrono::steady_clock::now() >= deadline) {
      return answers;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

std::string LogField(const std::string& line, const std::string& key) {
  std::size_t start = line.find(" " + key + "=");
  if (start == std::string::npos) return {};
  start += key.size() + 2;
  return line.substr(start, line.find(' ', start) - start);
}

}  // namespace zelsnmp::testing_support
