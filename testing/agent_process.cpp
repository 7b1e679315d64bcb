#include "testing/agent_process.h"

#include <chrono>
#include <sstream>
#include <thread>

namespace zelsnmp::testing_support {
namespace {

constexpr std::string_view kListeningPrefix = "agentsim listening on ";
constexpr std::string_view kAnsweredPrefix = "answered ";
constexpr auto kAnswerWait = std::chrono::seconds(2);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

}  // namespace

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
  const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
  for (;;) {
    std::vector<std::string> answers;
    std::istringstream output(Output());
    for (std::string line; std::getline(output, line);) {
      if (line.starts_with(kAnsweredPrefix)) answers.push_back(line);
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
