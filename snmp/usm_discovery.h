// Discovery of an agent's version-3 engine: the request that asks for its engine ID, and the
// reading of the Report that answers it.
//
// The request is unauthenticated and unencrypted, reportable, with an empty engine ID, an empty
// user name, an empty context and a GetRequest without bindings; the engine answers with a
// Report naming its engine ID (and, in its binding, usmStatsUnknownEngineIDs). The answer is
// not authenticated, so only its engine ID is of use, and only to a discovery under way (see
// UsmEngineState).

#ifndef ZELSNMP_SNMP_USM_DISCOVERY_H_
#define ZELSNMP_SNMP_USM_DISCOVERY_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "snmp/usm_reports.h"

namespace zelsnmp {

// The discovery request's bytes.
std::string EncodeDiscoveryRequest(std::int32_t message_id, std::int32_t request_id);

struct DiscoveryReport {
  std::string engine_id;
  // As the engine reported them, unauthenticated: for information only.
  std::int32_t engine_boots = 0;
  std::int32_t engine_time = 0;
  std::int32_t max_message_size = 0;   // the engine's msgMaxSize
  UsmReport report = UsmReport::kNone;  // the counter the Report names
};

// Reads `bytes` as the answer to the discovery request of `message_id`: a well-formed version-3
// message of that msgID without authentication or privacy whose scoped PDU holds a Report, from
// an engine whose ID is 1 to 32 bytes long. False otherwise; `report` is then unspecified.
bool DecodeDiscoveryReport(std::string_view bytes, std::int32_t message_id,
                           DiscoveryReport& report);

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_DISCOVERY_H_
