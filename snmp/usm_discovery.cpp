#include "snmp/usm_discovery.h"

#include "snmp/snmp_message.h"
#include "snmp/v3_message.h"

namespace zelsnmp {

std::string EncodeDiscoveryRequest(std::int32_t message_id, std::int32_t request_id) {
  TSNMPRec probe;
  probe.PDUType = PduGetRequest;
  probe.ID = request_id;
  ScopedPdu scoped;
  scoped.pdu = probe.EncodePdu();
  V3Header header;
  header.message_id = message_id;
  header.flags = kV3FlagReportable;
  return EncodeV3Message(header, UsmSecurityParameters{}, 0, EncodeScopedPdu(scoped)).bytes;
}

bool DecodeDiscoveryReport(std::string_view bytes, std::int32_t message_id,
                           DiscoveryReport& report) {
  DecodedV3Message message;
  if (!DecodeV3Message(bytes, message) || message.header.message_id != message_id) return false;
  if ((message.header.flags & (kV3FlagAuth | kV3FlagPriv)) != 0) return false;
  const std::string& engine_id = message.security.engine_id;
  if (engine_id.empty() || engine_id.size() > kV3MaxEngineIdBytes) return false;
  ScopedPdu scoped;
  TSNMPRec pdu;
  if (!DecodeScopedPdu(message.data, scoped) || !pdu.DecodePdu(scoped.pdu) ||
      pdu.PDUType != PduReport) {
    return false;
  }
  report.engine_id = engine_id;
  report.engine_boots = message.security.engine_boots;
  report.engine_time = message.security.engine_time;
  report.max_message_size = message.header.max_size;
  report.report = UsmReportOf(pdu);
  return true;
}

}  // namespace zelsnmp
