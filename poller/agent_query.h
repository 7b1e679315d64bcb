// The request the poll pass sends to one agent, shared with the configuration check's probe so
// that both send exactly the same.

#ifndef ZELSNMP_POLLER_AGENT_QUERY_H_
#define ZELSNMP_POLLER_AGENT_QUERY_H_

#include <cstddef>
#include <vector>

#include "poller/poll_config.h"
#include "poller/row_book.h"
#include "snmp/snmp_client.h"
#include "snmp/usm_session.h"

namespace zelsnmp {

// Resets `query` and fills it for lines [first, end) of `agent`: its community, version 2c, a
// GetRequest with one NULL binding per line in order, the lines `skipped` marks left out (an
// empty `skipped` leaves out none). Lines that ask the device nothing (device points, lines
// with a mistake) get no binding; sysUpTime.0 is added at the end when a rate line is asked
// and no line asks for it, or when only device points would have been asked.
// With `rows` (poller/row_book.h), a row line whose row is found asks COLUMN.index, and the
// request asks KEYCOLUMN.index of each of its rows once, behind the lines and before
// sysUpTime.0, which a request with a row line also carries (a restart walks again); a row not
// found is asked nothing.
void FillAgentRequest(TSNMPRec& query, const AgentEntry& agent, std::size_t first,
                      std::size_t end, const std::vector<bool>& skipped,
                      const AgentRows* rows = nullptr);

// Points the client at `agent`: TargetHost its host, and TargetPort, Timeout and Retries its
// options where it has them (the client's own settings stay where it has none).
void AimAgentClient(TSNMPSend& client, const AgentEntry& agent);

// The client's query filled for every line of `agent`, and the client aimed at it.
void FillAgentQuery(TSNMPSend& client, const AgentEntry& agent);

// The session settings the options of a v3 agent give.
UsmSecurity SecurityOf(const AgentOptions& options);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_AGENT_QUERY_H_
