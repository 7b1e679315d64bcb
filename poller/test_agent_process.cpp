#include "poller/test_agent_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace zelsnmp::testing_support {

namespace {

constexpr std::string_view kListeningPrefix = "agentsim listening on ";
constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(5);

}  // namespace

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

AgentProcess::AgentProcess(const std::string& listen, const std::filesystem::path& data_file,
                           const std::vector<std::string>& options,
                           std::filesystem::path output_file)
    : output_file_(std::move(output_file)) {
  std::vector<std::string> arguments = {ZELSNMP_AGENTSIM, "--listen", listen, "--data",
                                        data_file.string()};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const std::string output_path = output_file_.string();
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
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool AgentProcess::WaitUntilListening() {
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (Port().empty()) {
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string AgentProcess::Port() const {
  const std::string output = Output();
  const size_t start = output.find(kListeningPrefix);
  if (start == std::string::npos) return "";
  const size_t end = output.find('\n', start);
  if (end == std::string::npos) return "";
  const std::string endpoint = output.substr(start + kListeningPrefix.size(),
                                             end - start - kListeningPrefix.size());
  return endpoint.substr(endpoint.rfind(':') + 1);
}

std::string AgentProcess::Output() const { return ReadFile(output_file_); }

std::vector<std::string> AgentProcess::Answers() const {
  std::vector<std::string> answers;
  std::istringstream in(Output());
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("answered ", 0) == 0) answers.push_back(line);
  }
  return answers;
}

}  // namespace zelsnmp::testing_support
