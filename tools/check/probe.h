// The probe of the configuration check: each agent asked once, with the task's own client and
// the task's own request, and for each line what the task would write into its point and why.
// No TM server is touched.
//
// The requests are the ones the poll pass sends (v2c GetRequests with every OID of the agent,
// in consecutive requests of @max-oids bindings when it has one, to its host and port); the
// client waits `timeout_ms` for each answer (the agent's @timeout when it has one), as the task
// waits 5000 ms. When a request is refused with tooBig or gets no answer, the largest request
// the device answers is looked for (size_probe.h). An agent whose options hold a mistake is
// not asked, as the task does not ask it. A line bound to a table row by a key column's value
// is resolved first by the pass's own walk of that column (poller/row_book.h); its note tells
// the index found, that none was, or how many rows hold the key.
//
// A v3 agent is asked through a session of its own, made from its options as the task makes
// it; the result tells what the exchange learnt of the agent's engine (ID, boots, time), the
// security level reached, and the Report or failure that ended it. No passphrase or key is in
// the result.

#ifndef ZELSNMP_TOOLS_CHECK_PROBE_H_
#define ZELSNMP_TOOLS_CHECK_PROBE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "poller/point_write.h"
#include "poller/poll_config.h"
#include "snmp/snmp_message.h"
#include "snmp/usm_session.h"
#include "tools/check/size_probe.h"

namespace zelsnmp::check {

struct ProbedLine {
  bool has_binding = false;
  TSNMPMib binding;  // the reply binding of the line's OID, when there is one
  PointWrite write;
  // What the line's source and modifiers made of it, when the line is not a bare OID.
  std::string note = {};
};

// What the probe of a v3 agent learnt.
struct ProbedEngine {
  std::string engine_id;     // bytes; empty when not discovered
  bool clock_known = false;  // boots and time came in an authenticated message
  std::int32_t boots = 0;
  std::int32_t time = 0;
  SecurityLevel level = SecurityLevel::kNoAuthNoPriv;  // the level asked and, when answered,
                                                       // reached
  UsmStatus status;                                    // how the exchange ended
  std::int32_t max_message_size = 0;  // the engine's msgMaxSize; 0 when it did not say
};

struct ProbeResult {
  bool sent = true;               // false: the host does not resolve, nothing was sent
  bool not_polled = false;        // the agent's options hold a mistake: nothing was sent
  bool answered = false;          // a datagram came and decoded
  std::int32_t error_status = 0;  // of the answer
  std::string from;               // the address the answer came from
  std::int64_t elapsed_ms = 0;
  std::vector<ProbedLine> lines;  // one per line of the agent, in order
  // The largest request the device answers, found when a request was refused with tooBig or
  // got no answer.
  std::optional<SizeProbe> size;
  std::optional<ProbedEngine> engine;  // for a v3 agent that was asked
};

ProbeResult ProbeAgent(const AgentEntry& agent, std::int32_t timeout_ms);
// The result for an agent whose host does not resolve: nothing sent, every line as for no
// answer.
ProbeResult NotSent(const AgentEntry& agent);

// What a write does, for people: "slSetStatus 0", "slSetAnalogFlags 0x0001", "nothing".
std::string DescribeWrite(const PointWrite& write);
// Why, in a few words.
std::string DescribeReason(const PointWrite& write);
// The v3 part of a probe, for people: "engine 80001f88..., boots 3, time 1200; authPriv reached"
// or why it was refused, with the Report's counter by name.
std::string DescribeProbedEngine(const ProbedEngine& engine, bool answered);

// "5 (genErr)": an error status with its name, when it has one.
std::string DescribeErrorStatus(std::int32_t error_status);

// The binding's value and type: "3000000000 (Counter32)", "noSuchObject", "(none)".
std::string DescribeBinding(const ProbedLine& line);

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_PROBE_H_
