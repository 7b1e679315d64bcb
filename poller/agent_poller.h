// AgentPoller: the poll pass, one SNMP GetRequest per configured agent with the answers written
// into the TM points bound to their OIDs.
//
// The poller owns the one SNMP client of the poll cycle and keeps it from pass to pass, so that
// its socket and local port stay the same; the client is replaced by a fresh one only after its
// SendQuery raised. For each agent, in configuration order, a pass sends one v2c GetRequest with
// a NULL binding per section line and then:
//   - on an answer with error status 0, traces each line's value and writes it into its point
//     as point_write.h decides (a conversion-error trace line for a "#TT" value that is no
//     number, "Floating point overflow" in the error log for one beyond the single range; a
//     value the device did not report flags the point as for no answer); other lines are only
//     traced;
//   - on no answer, or an answer whose error status is not 0 (it carries no valid values), sets
//     flags 0x0001 on the agent's "#TC" and "#TT" points; "#TS" points keep what they had.
// Every trace and error line carries its data verbatim. A pass never throws: an exception ends
// the pass and its message goes to the error log, "SendQuery " in front when SendQuery raised.
//
// With more than one request in flight allowed (SetRequestsInFlight), a pass keeps up to that
// many agents' requests in flight on the client's socket (poller/windowed_pass.cpp) and writes
// the same lines and points, in the same order, as the serial pass would for the same answers.
//
// Single-threaded; each SendQuery blocks for at most the client's time-out.

#ifndef ZELSNMP_POLLER_AGENT_POLLER_H_
#define ZELSNMP_POLLER_AGENT_POLLER_H_

#include <cstdint>
#include <functional>
#include <memory>

#include "poller/poll_config.h"
#include "snmp/snmp_client.h"

namespace zelsnmp {

class AgentPoller {
 public:
  // Makes a client; the poll cycle's makes one with its defaults (port 161, 5000 ms). Tests
  // give one that points elsewhere.
  using ClientFactory = std::function<std::unique_ptr<TSNMPSend>()>;

  explicit AgentPoller(std::int32_t tm_connection, ClientFactory make_client = {});

  // One poll pass over every agent of `config`.
  void RunPass(const PollConfig& config);

  // How many agents' requests a pass keeps in flight at once; 1 (the default) polls them one
  // after the other.
  void SetRequestsInFlight(int count) { requests_in_flight_ = count; }

 private:
  // False when SendQuery raised: the pass ends there.
  bool PollAgent(const AgentEntry& agent);
  void WriteAnswer(const AgentEntry& agent);
  void FlagSilentAgent(const AgentEntry& agent);
  void ReplaceClient();
  // The effects of the agent's answer in the client's Reply (`answered`) or of its silence.
  void ApplyReply(const AgentEntry& agent, bool answered);
  // RunPass with several requests in flight (windowed_pass.cpp).
  void RunWindowedPass(const PollConfig& config);

  std::int32_t tm_connection_;
  ClientFactory make_client_;
  std::unique_ptr<TSNMPSend> client_;
  int requests_in_flight_ = 1;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_AGENT_POLLER_H_
