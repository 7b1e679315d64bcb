// Test support: the agent simulator (tools/agentsim) run as a real process. The constructor
// starts it and waits until it listens; the destructor asks it to stop (SIGTERM; on Windows it
// is terminated) and waits for it. Its data file and its output (standard output and error
// together) live in a temporary directory of its own; from the output come the port it listens
// on and the requests it answered.

#ifndef ZELSNMP_TESTING_AGENT_PROCESS_H_
#define ZELSNMP_TESTING_AGENT_PROCESS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "testing/temp_directory.h"

namespace zelsnmp::testing_support {

class AgentProcess {
 public:
  // agentsim --listen `listen` --data <`snmprec` in a file> `options`... where `listen` is
  // ADDRESS (port 161) or ADDRESS:PORT (":0" for any free port).
  AgentProcess(const std::string& listen, const std::string& snmprec,
               const std::vector<std::string>& options = {});
  ~AgentProcess();
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  // False when it failed to start or to bind within ten seconds; Output() tells why.
  bool listening() const { return !port_.empty(); }
  const std::string& address() const { return address_; }
  const std::string& port() const { return port_; }
  std::string Output() const;
  // The lines of answered requests, after waiting up to two seconds for at least `at_least`.
  std::vector<std::string> Answers(std::size_t at_least = 0) const;
  // The lines of received requests ("received SENDER id=N at=MS"), likewise.
  std::vector<std::string> Requests(std::size_t at_least = 0) const;
  // True when the output holds `text`, after waiting up to two seconds for it: the agent
  // writes a line after its datagram went out, so a peer may see the datagram first.
  bool OutputShows(std::string_view text) const;

 private:
  std::string ListeningPort() const;
  std::vector<std::string> LinesStartingWith(std::string_view prefix,
                                             std::size_t at_least) const;

  TempDirectory directory_;
  std::string address_;
  std::string port_;
  std::intptr_t process_ = -1;  // the process id on POSIX, its handle on Windows
};

// False where agents on different 127.0.0.x addresses cannot be told apart: Wine binds every
// such socket to the wildcard address, so they share one port space and answer from 127.0.0.1.
// Tests that need agents at distinct addresses skip there (the Wine end-to-end run polls
// native agents instead).
bool DistinctLoopbackAgents();

// The value of "key=" in an agentsim log line; empty when absent.
std::string LogField(const std::string& line, const std::string& key);

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_TESTING_AGENT_PROCESS_H_
