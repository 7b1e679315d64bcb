// The probe of the configuration check: each agent asked once, with the task's own client and
// the task's own request, and for each line what the task would write into its point and why.
// No TM server is touched.
//
// The requests are the ones the poll pass sends (v2c GetRequests with every OID of the agent,
// in consecutive requests of @max-oids bindings when it has one, to its host and port); the
// client waits `timeout_ms` for each answer (the agent's @timeout when it has one), as the task
// waits 5000 ms. When a request is refused with tooBig or gets no answer, the largest request
// the device answers is looked for (size_probe.h). An agent whose options hold a mistake is
// not asked, as the task does not ask it.

#ifndef ZELSNMP_TOOLS_CHECK_PROBE_H_
#define ZELSNMP_TOOLS_CHECK_PROBE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "poller/point_write.h"
#include "poller/poll_config.h"
#include "snmp/snmp_message.h"
#include "tools/check/size_probe.h"

namespace zelsnmp::check {

struct ProbedLine {
  bool has_binding = false;
  TSNMPMib binding;  // the reply binding of the line's OID, when there is one
  PointWrite write;
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
};

ProbeResult ProbeAgent(const AgentEntry& agent, std::int32_t timeout_ms);
// The result for an agent whose host does not resolve: nothing sent, every line as for no
// answer.
ProbeResult NotSent(const AgentEntry& agent);

// What a write does, for people: "slSetStatus 0", "slSetAnalogFlags 0x0001", "nothing".
std::string DescribeWrite(const PointWrite& write);
// Why, in a few words.
std::string DescribeReason(const PointWrite& write);
// The binding's value and type: "3000000000 (Counter32)", "noSuchObject", "(none)".
std::string DescribeBinding(const ProbedLine& line);

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_PROBE_H_
