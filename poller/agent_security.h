// AgentSecurity: the SNMPv3 side of the poll pass. Each agent whose options ask for version 3
// (and hold no mistake) gets one UsmSession, made from its options and kept for the task's
// life, so that what it learnt of the agent's engine (ID, boots, clock) carries from pass to
// pass. All sessions share one key cache: a user's passphrase becomes its master key once per
// distinct passphrase and hash, at Prepare (configuration load), so that a thousand agents of
// one user cost one derivation and no pass pays for it.
//
// After each v3 request the pass hands the session's outcome to NoteOutcome, which writes why
// to the logs once per change: an error line when the agent starts refusing (a usmStats Report,
// a failed discovery, no keys, no agreed clock, an encrypted request left unanswered after the
// engine authenticated the request) or refuses differently, a message line when it answers
// again. An answer from another engine ID than the last answer's (a replaced device) and one of
// a higher boots count (a restart) each write one message line. Silence is not written here:
// the pass traces it as for any agent. No line holds a passphrase or key; the sessions never
// log.
//
// Used by the poller's one thread.

#ifndef ZELSNMP_POLLER_AGENT_SECURITY_H_
#define ZELSNMP_POLLER_AGENT_SECURITY_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "poller/poll_config.h"
#include "snmp/usm_keys.h"
#include "snmp/usm_session.h"

namespace zelsnmp {

class AgentSecurity {
 public:
  AgentSecurity() = default;
  AgentSecurity(const AgentSecurity&) = delete;
  AgentSecurity& operator=(const AgentSecurity&) = delete;

  // Makes the session of every v3 agent of `config` not polled with one already (by section
  // name), and derives its master keys now. Sessions of agents no longer there go.
  void Prepare(const PollConfig& config);

  // The session of agent `agent` (as indexed in the last prepared configuration); null for a
  // v2c agent or one whose options hold a mistake.
  UsmSession* SessionOf(std::size_t agent) const;

  // The outcome `status` of a request to agent `agent` of `config`: logged when it changed.
  void NoteOutcome(const PollConfig& config, std::size_t agent, const UsmStatus& status);

  // The key cache the sessions share; the notification receiver checks v3 notifications with
  // the same master keys.
  UsmKeyCache& keys() { return keys_; }

  // Master keys derived so far (for measuring that agents share them).
  std::size_t MasterKeyDerivations() const { return keys_.MasterKeyDerivations(); }

 private:
  struct AgentSession {
    std::string section_name;
    std::unique_ptr<UsmSession> session;
    // The outcome last written to a log: kNone or kAnswered while nothing is wrong.
    UsmStatus logged;
    // The engine of the last answer, and its boots count; empty before the first answer.
    std::string answered_engine_id;
    std::int32_t answered_boots = 0;
  };

  // After an answer: a message line when the engine's ID or boots count changed since the last.
  static void NoteEngine(AgentSession& kept, const std::string& section);

  // Declared first, so that it outlives the sessions that hold keys of it.
  UsmKeyCache keys_;
  std::vector<AgentSession> sessions_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_AGENT_SECURITY_H_
