// Starting and stopping the agent simulator process on POSIX: fork and exec, SIGTERM.

#include "testing/agent_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace zelsnmp::testing_support {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(5);
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
  process_ = fork();
  if (process_ == 0) {
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
  while (process_ > 0 && (port_ = ListeningPort()).empty()) {
    int status = 0;
    if (waitpid(process_, &status, WNOHANG) == process_) {
      process_ = -1;
    } else if (std::chrono::steady_clock::now() > deadline) {
      break;
    } else {
      std::this_thread::sleep_for(kPollInterval);
    }
  }
}

AgentProcess::~AgentProcess() {
  if (process_ <= 0) return;
  kill(process_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
  int status = 0;
  while (waitpid(process_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(process_, SIGKILL);
      waitpid(process_, &status, 0);
      return;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

}  // namespace zelsnmp::testing_support
