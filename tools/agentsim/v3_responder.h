// The version-3 side of the agent simulator: what its authoritative engine (AgentEngine) does
// with a received message, as the user-based security model's receiver of a request, and the
// bytes of the messages it sends back.
//
// A received message is checked in this order; the first failure is counted and, when the
// message is reportable, answered with an unauthenticated Report naming the counter:
//   the engine ID is not the engine's own (also empty: discovery)  usmStatsUnknownEngineIDs
//   the user is not the engine's user                               usmStatsUnknownUserNames
//   the level is above what the user is configured for              usmStatsUnsupportedSecLevels
//   the digest is wrong                                             usmStatsWrongDigests
//   boots differ or the time is more than 150 s off the engine's    usmStatsNotInTimeWindows
//     (this Report is authenticated, authNoPriv, and carries the engine's clock)
//   the scoped PDU cannot be decrypted, or decrypted is no scoped   usmStatsDecryptionErrors
//     PDU (a wrong privacy key gives noise)
// A message that passes is a request to answer at its own level. A request below the user's
// configured level passes the security model but is refused with authorizationError (16) and
// no bindings, as an agent whose access rules ask for the configured level does. Messages that
// do not decode are dropped. Every Report carries the engine's ID, boots and time, the request's msgID and,
// where the PDU could be read, its request ID (else 0).
//
// Nothing here prints; keys stay inside AgentEngine.

#ifndef ZELSNMP_TOOLS_AGENTSIM_V3_RESPONDER_H_
#define ZELSNMP_TOOLS_AGENTSIM_V3_RESPONDER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "snmp/snmp_message.h"
#include "snmp/usm_reports.h"
#include "snmp/v3_message.h"
#include "tools/agentsim/agent_engine.h"

namespace zelsnmp::agentsim {

inline constexpr std::int32_t kErrorStatusAuthorizationError = 16;

// A version-3 request the engine accepted.
struct V3Request {
  std::int32_t message_id = 0;
  SecurityLevel level = SecurityLevel::kNoAuthNoPriv;
  std::string user_name;
  std::string context_name;
  // The PDU, with Version set to v2c so that the v2c answer rules apply to it.
  TSNMPRec pdu;
  // authorizationError when the level is below the user's; else 0.
  std::int32_t refusal_status = 0;
};

struct V3Received {
  std::optional<V3Request> request;  // to be answered
  std::string report;                // the Report to send back; empty when none
  UsmReport report_kind = UsmReport::kNone;
  std::uint32_t report_count = 0;    // the counter's value the Report carries
  std::int32_t message_id = 0;
  SecurityLevel report_level = SecurityLevel::kNoAuthNoPriv;
};

// What the engine does with `datagram`, a version-3 message, at `now`.
V3Received ReceiveV3Message(AgentEngine& engine, std::string_view datagram,
                            AgentEngine::Clock::time_point now);

// The Response carrying `answer` (a PDU built by the v2c rules) to `request`, at the request's
// level, with the engine's clock at `now`; with `wrong_digest` its digest is spoiled. Marks the
// engine's clock as shown when authenticated. Empty when the encryption fails.
std::string EncodeV3Answer(AgentEngine& engine, const V3Request& request, TSNMPRec answer,
                           bool wrong_digest, AgentEngine::Clock::time_point now);

// Forged unauthenticated Reports to `request`: a notInTimeWindows from the engine's ID and an
// unknownEngineIDs from a bogus engine, both with boots and time near their maximum. A client
// that believes them loses its engine or its clock.
std::vector<std::string> ForgedReports(const AgentEngine& engine, const V3Request& request);

// "v3 id=REQUEST-ID msg-id=N user="NAME" level=LEVEL": the part of an answered line that
// stands for a v2c request's version, ID and community.
std::string DescribeV3Security(const V3Request& request);

}  // namespace zelsnmp::agentsim

#endif  // ZELSNMP_TOOLS_AGENTSIM_V3_RESPONDER_H_
