#include "testing/agent_process.h"

#include <chrono>
#include <string>
#include <sstream>
#include <thread>

namespace zelsnmp::testing_support {
namespace {

constexpr std::string_view kListeningPrefix = "agentsim listening on ";
constexpr std::string_view kAnsweredPrefix = "answered ";
constexpr std::string_view kReceivedPrefix = "received ";
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

std::string AgentProcess::Output() const {
  // On Windows the simulator's standard output is in text mode: its lines end in CR LF.
  std::string output = ReadFile(directory_.PathOf("output.log"));
  std::erase(output, '\r');
  return output;
}

std::vector<std::string> AgentProcess::Answers(std::size_t at_least) const {
  return LinesStartingWith(kAnsweredPrefix, at_least);
}

std::vector<std::string> AgentProcess::Requests(std::size_t at_least) const {
  return LinesStartingWith(kReceivedPrefix, at_least);
}

bool AgentProcess::OutputShows(std::string_view text) const {
  const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
  for (;;) {
    if (Output().find(text) != std::string::npos) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
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
