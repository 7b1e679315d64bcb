// The request the poll pass sends to one agent, shared with the configuration check's probe so
// that both send exactly the same.

#ifndef ZELSNMP_POLLER_AGENT_QUERY_H_
#define ZELSNMP_POLLER_AGENT_QUERY_H_

#include <cstddef>
#include <vector>

#include "poller/poll_config.h"
#include "snmp/snmp_client.h"

namespace zelsnmp {

// Resets `query` and fills it for lines [first, end) of `agent`: its community, version 2c, a
// GetRequest with one NULL binding per line in order, the lines `skipped` marks left out (an
// empty `skipped` leaves out none).
void FillAgentRequest(TSNMPRec& query, const AgentEntry& agent, std::size_t first,
                      std::size_t end, const std::vector<bool>& skipped);

// The client's query filled for every line of `agent`, and the client pointed at the agent:
// TargetHost its host, TargetPort its @port when it has one.
void FillAgentQuery(TSNMPSend& client, const AgentEntry& agent);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_AGENT_QUERY_H_
