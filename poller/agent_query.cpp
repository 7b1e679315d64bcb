#include "poller/agent_query.h"

#include <algorithm>
#include <string>

#include "poller/value_rules.h"
#include "snmp/ber.h"
#include "snmp/snmp_message.h"

namespace zelsnmp {

void FillAgentRequest(TSNMPRec& query, const AgentEntry& agent, std::size_t first,
                      std::size_t end, const std::vector<bool>& skipped, const AgentRows* rows) {
  query.ResetMessage();
  query.Community = agent.Community();
  query.Version = kSnmpVersion2c;
  bool rate = false;
  bool device_point = false;
  std::size_t added = 0;
  // The key instances of the rows asked, each once.
  std::vector<const std::string*> key_oids;
  for (std::size_t line = first; line < end; ++line) {
    const PointLine& point = agent.lines[line];
    if (point.Source().bare) {
      if (skipped.empty() || !skipped[line]) {
        query.AddBinding(point.Value(), "", TagNull);
        ++added;
      }
      continue;
    }
    device_point = device_point || point.Source().DevicePoint();
    if (!skipped.empty() && skipped[line]) continue;
    if (rows != nullptr && line < rows->lines.size() && rows->lines[line].state == RowState::kFound) {
      const RowLine& row = rows->lines[line];
      query.AddBinding(row.oid, "", TagNull);
      if (std::find_if(key_oids.begin(), key_oids.end(), [&](const std::string* oid) {
            return *oid == row.key_oid;
          }) == key_oids.end()) {
        key_oids.push_back(&row.key_oid);
      }
      // The device's clock comes along, so that a restart is seen and the rows walked again.
      rate = true;
      ++added;
      continue;
    }
    if (!point.Source().OnWire()) continue;
    query.AddBinding(point.Oid(), "", TagNull);
    rate = rate || point.Source().rate;
    ++added;
  }
  for (const std::string* key_oid : key_oids) query.AddBinding(*key_oid, "", TagNull);
  // A rate's time base is the device's own clock, asked in the same request unless a line
  // asks for it already; a device with only device points is asked for it too, so that it is
  // asked at all.
  if (rate || (added == 0 && device_point)) {
    bool asked = false;
    for (const TSNMPMib& binding : query.Bindings()) {
      asked = asked || binding.OidText == kSysUpTimeOid;
    }
    if (!asked) query.AddBinding(std::string(kSysUpTimeOid), "", TagNull);
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
