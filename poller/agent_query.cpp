#include "poller/agent_query.h"

#include <string>

#include "snmp/ber.h"
#include "snmp/snmp_message.h"

namespace zelsnmp {

void FillAgentRequest(TSNMPRec& query, const AgentEntry& agent, std::size_t first,
                      std::size_t end, const std::vector<bool>& skipped) {
  query.ResetMessage();
  query.Community = agent.Community();
  query.Version = kSnmpVersion2c;
  for (std::size_t line = first; line < end; ++line) {
    if (skipped.empty() || !skipped[line]) {
      query.AddBinding(agent.lines[line].Value(), "", TagNull);
    }
  }
  query.PDUType = PduGetRequest;
}

void FillAgentQuery(TSNMPSend& client, const AgentEntry& agent) {
  FillAgentRequest(client.Query(), agent, 0, agent.lines.size(), {});
  client.TargetHost = agent.Host();
  if (agent.options.port) client.TargetPort = std::to_string(*agent.options.port);
}

}  // namespace zelsnmp
