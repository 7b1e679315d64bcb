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

void AimAgentClient(TSNMPSend& client, const AgentEntry& agent) {
  const AgentOptions& options = agent.options;
  client.TargetHost = agent.Host();
  if (options.port) client.TargetPort = std::to_string(*options.port);
  if (options.timeout_ms) client.Timeout = *options.timeout_ms;
  if (options.retries) client.Retries = *options.retries;
}

void FillAgentQuery(TSNMPSend& client, const AgentEntry& agent) {
  FillAgentRequest(client.Query(), agent, 0, agent.lines.size(), {});
  AimAgentClient(client, agent);
}

}  // namespace zelsnmp
