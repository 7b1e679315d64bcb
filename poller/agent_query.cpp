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

UsmSecurity SecurityOf(const AgentOptions& options) {
  UsmSecurity security;
  security.user_name = options.user.value_or("");
  security.auth = options.auth;
  security.auth_passphrase = options.auth_passphrase;
  security.priv = options.priv;
  security.priv_passphrase = options.priv_passphrase;
  security.context_name = options.context.value_or("");
  security.pinned_engine_id = options.engine_id.value_or("");
  return security;
}

}  // namespace zelsnmp
