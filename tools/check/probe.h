// The probe of the configuration check: each agent asked once, with the task's own client and
// the task's own request, and for each line what the task would write into its point and why.
// No TM server is touched.
//
// The request is the one the poll pass sends (one v2c GetRequest with every OID of the agent);
// the client waits `timeout_ms` for the answer, as the task waits 5000 ms, so a silent agent
// costs its time-out once.

#ifndef ZELSNMP_TOOLS_CHECK_PROBE_H_
#define ZELSNMP_TOOLS_CHECK_PROBE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "poller/point_write.h"
#include "poller/poll_config.h"
#include "snmp/snmp_message.h"

namespace zelsnmp::check {

struct ProbedLine {
  bool has_binding = false;
  TSNMPMib binding;  // the reply binding of the line's OID, when there is one
  PointWrite write;
};

struct ProbeResult {
  bool sent = true;               // false: the host does not resolve, nothing was sent
  bool answered = false;          // a datagram came and decoded
  std::int32_t error_status = 0;  // of the answer
  std::string from;               // the address the answer came from
  std::int64_t elapsed_ms = 0;
  std::vector<ProbedLine> lines;  // one per line of the agent, in order
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
