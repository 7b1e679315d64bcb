// The request the poll pass sends to one agent, shared with the configuration check's probe so
// that both send exactly the same.

#ifndef ZELSNMP_POLLER_AGENT_QUERY_H_
#define ZELSNMP_POLLER_AGENT_QUERY_H_

#include "poller/poll_config.h"
#include "snmp/snmp_client.h"

namespace zelsnmp {

// Resets the client's query and fills it for `agent`: TargetHost the agent's host, its
// community, version 2c, a GetRequest with one NULL binding per section line in order.
void FillAgentQuery(TSNMPSend& client, const AgentEntry& agent);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_AGENT_QUERY_H_
