#include "poller/agent_query.h"

#include "snmp/ber.h"
#include "snmp/snmp_message.h"

namespace zelsnmp {

void FillAgentQuery(TSNMPSend& client, const AgentEntry& agent) {
  TSNMPRec& query = client.Query();
  query.ResetMessage();
  query.Community = agent.Community();
  client.TargetHost = agent.Host();
  query.Version = kSnmpVersion2c;
  for (const PointLine& line : agent.lines) query.AddBinding(line.Value(), "", TagNull);
  query.PDUType = PduGetRequest;
}

}  // namespace zelsnmp
