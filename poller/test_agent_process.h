// AgentProcess: the agent simulator (tools/agentsim) run as a real process for tests of the
// poll pass and of the whole task. It is asked to stop (SIGTERM) and waited for when the object
// goes. Its standard output and error go to a file, from which the port it really listens on
// and the requests it answered can be read.
//
// Needs ZELSNMP_AGENTSIM, the simulator's path, defined by the build.

#ifndef ZELSNMP_POLLER_TEST_AGENT_PROCESS_H_
#define ZELSNMP_POLLER_TEST_AGENT_PROCESS_H_

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zelsnmp::testing_support {

class AgentProcess {
 public:
  // agentsim --listen `listen` --data `data_file` `options`..., output into `output_file`.
  AgentProcess(const std::string& listen, const std::filesystem::path& data_file,
               const std::vector<std::string>& options, std::filesystem::path output_file);
  ~AgentProcess();
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  // Waits up to 10 s for the "listening on" line; false when it did not come (the process
  // failed to start or to bind).
  bool WaitUntilListening();
  // The port of the listening line; empty before it.
  std::string Port() const;
  std::string Output() const;
  // The lines of answered requests.
  std::vector<std::string> Answers() const;

 private:
  pid_t pid_ = -1;
  std::filesystem::path output_file_;
};

// Writes `text` into `path` byte for byte.
void WriteFile(const std::filesystem::path& path, const std::string& text);
std::string ReadFile(const std::filesystem::path& path);

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_POLLER_TEST_AGENT_PROCESS_H_
