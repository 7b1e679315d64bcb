#include "tools/agentsim/v3_responder.h"

#include <cstdlib>

#include "snmp/ber.h"
#include "snmp/usm_auth.h"
#include "snmp/usm_privacy.h"
#include "tools/agentsim/agent_responder.h"

namespace zelsnmp::agentsim {
namespace {

// The bogus engine of the forged unknownEngineIDs Report.
constexpr std::string_view kForgedEngineId = "\x80\x00\x7e\xd9\x04"
                                             "forged";
constexpr std::int32_t kForgedBoots = 2147483646;
constexpr std::int32_t kForgedTime = 2147483000;

std::uint8_t FlagsOf(SecurityLevel level) {
  switch (level) {
    case SecurityLevel::kNoAuthNoPriv:
      return 0;
    case SecurityLevel::kAuthNoPriv:
      return kV3FlagAuth;
    case SecurityLevel::kAuthPriv:
      return kV3FlagAuth | kV3FlagPriv;
  }
  return 0;
}

// Everything that varies between the messages the engine sends.
struct Outgoing {
  std::int32_t message_id = 0;
  SecurityLevel level = SecurityLevel::kNoAuthNoPriv;
  std::string engine_id;
  EngineClock clock;
  std::string user_name;
  std::string context_name;
  bool wrong_digest = false;
};

// The whole message; empty when the encryption fails.
std::string EncodeOutgoing(const AgentEngine& engine, const Outgoing& out, TSNMPRec pdu) {
  ScopedPdu scoped;
  scoped.context_engine_id = out.engine_id;
  scoped.context_name = out.context_name;
  scoped.pdu = pdu.EncodePdu();
  std::string data = EncodeScopedPdu(scoped);

  UsmSecurityParameters security;
  security.engine_id = out.engine_id;
  security.engine_boots = out.clock.boots;
  security.engine_time = out.clock.time;
  security.user_name = out.user_name;
  if (out.level == SecurityLevel::kAuthPriv) {
    std::string encrypted;
    if (!EncryptScopedPdu(engine.priv_protocol(), engine.priv_key(), out.clock.boots,
                          out.clock.time, data, encrypted, security.privacy_parameters)) {
      return std::string();
    }
    data = std::move(encrypted);
  }
  V3Header header;
  header.message_id = out.message_id;
  header.max_size = engine.max_message_size();
  header.flags = FlagsOf(out.level);
  const bool authenticated = out.level != SecurityLevel::kNoAuthNoPriv;
  EncodedV3Message message = EncodeV3Message(
      header, security, authenticated ? AuthParameterLength(engine.auth_protocol()) : 0, data);
  if (authenticated) {
    std::string code = AuthenticationCode(engine.auth_protocol(), engine.auth_key(), message.bytes);
    if (out.wrong_digest && !code.empty()) code[0] = static_cast<char>(code[0] ^ 0x5A);
    if (!PlaceAuthenticationCode(message, code)) return std::string();
  }
  return message.bytes;
}

TSNMPRec ReportPdu(std::int32_t request_id, UsmReport report, std::uint32_t count) {
  TSNMPRec pdu;
  pdu.PDUType = PduReport;
  pdu.ID = request_id;
  pdu.AddBinding(UsmReportOid(report), std::to_string(count), TagCounter32);
  return pdu;
}

// The request ID of a plaintext scoped PDU; 0 when it cannot be read.
std::int32_t RequestIdOf(std::string_view scoped_pdu_bytes) {
  ScopedPdu scoped;
  TSNMPRec pdu;
  if (!DecodeScopedPdu(scoped_pdu_bytes, scoped) || !pdu.DecodePduHeader(scoped.pdu)) return 0;
  return pdu.ID;
}

}  // namespace

V3Received ReceiveV3Message(AgentEngine& engine, std::string_view datagram,
                            AgentEngine::Clock::time_point now) {
  V3Received received;
  DecodedV3Message message;
  if (!DecodeV3Message(datagram, message)) return received;
  received.message_id = message.header.message_id;
  const SecurityLevel level = SecurityLevelOf(message.header.flags);
  const bool reportable = (message.header.flags & kV3FlagReportable) != 0;
  const std::string& user = message.security.user_name;

  auto refuse = [&](UsmReport report, std::int32_t request_id) {
    received.report_kind = report;
    received.report_count = engine.CountReport(report);
    if (!reportable) return received;
    Outgoing out;
    out.message_id = message.header.message_id;
    out.engine_id = engine.engine_id();
    out.clock = engine.ClockAt(now);
    out.user_name = user;
    if (report == UsmReport::kNotInTimeWindow) out.level = SecurityLevel::kAuthNoPriv;
    received.report_level = out.level;
    received.report =
        EncodeOutgoing(engine, out, ReportPdu(request_id, report, received.report_count));
    if (out.level != SecurityLevel::kNoAuthNoPriv) engine.ClockShown();
    return received;
  };
  const std::int32_t plain_request_id =
      level == SecurityLevel::kAuthPriv ? 0 : RequestIdOf(message.data);

  if (message.security.engine_id != engine.engine_id()) {
    return refuse(UsmReport::kUnknownEngineId, plain_request_id);
  }
  if (!engine.KnowsUser(user)) return refuse(UsmReport::kUnknownUserName, plain_request_id);
  if (level > engine.user_level() || !engine.keys_ready()) {
    return refuse(UsmReport::kUnsupportedSecurityLevel, plain_request_id);
  }
  if (level != SecurityLevel::kNoAuthNoPriv) {
    if (!AuthenticationCodeMatches(engine.auth_protocol(), engine.auth_key(),
                                   WithZeroedAuthParameters(datagram, message),
                                   message.security.auth_parameters)) {
      return refuse(UsmReport::kWrongDigest, plain_request_id);
    }
    const EngineClock clock = engine.ClockAt(now);
    if (clock.boots == UsmEngineState::kMaxEngineBoots ||
        message.security.engine_boots != clock.boots ||
        std::abs(static_cast<std::int64_t>(message.security.engine_time) - clock.time) >
            UsmEngineState::kTimeWindowSeconds) {
      return refuse(UsmReport::kNotInTimeWindow, plain_request_id);
    }
  }
  std::string plaintext;
  if (level == SecurityLevel::kAuthPriv) {
    if (!DecryptScopedPdu(engine.priv_protocol(), engine.priv_key(),
                          message.security.engine_boots, message.security.engine_time,
                          message.security.privacy_parameters, message.data, plaintext)) {
      return refuse(UsmReport::kDecryptionError, 0);
    }
  }
  ScopedPdu scoped;
  V3Request request;
  if (!DecodeScopedPdu(level == SecurityLevel::kAuthPriv ? plaintext : message.data, scoped) ||
      !request.pdu.DecodePdu(scoped.pdu)) {
    // Deciphered with another key, the bytes are noise: the requester's privacy key is wrong.
    if (level == SecurityLevel::kAuthPriv) return refuse(UsmReport::kDecryptionError, 0);
    return received;
  }
  request.message_id = message.header.message_id;
  request.level = level;
  request.user_name = user;
  request.context_name = scoped.context_name;
  request.pdu.Version = kSnmpVersion2c;
  if (level < engine.user_level()) request.refusal_status = kErrorStatusAuthorizationError;
  received.request = std::move(request);
  return received;
}

std::string EncodeV3Answer(AgentEngine& engine, const V3Request& request, TSNMPRec answer,
                           bool wrong_digest, AgentEngine::Clock::time_point now) {
  Outgoing out;
  out.message_id = request.message_id;
  out.level = request.level;
  out.engine_id = engine.engine_id();
  out.clock = engine.ClockAt(now);
  out.user_name = request.user_name;
  out.context_name = request.context_name;
  out.wrong_digest = wrong_digest;
  std::string bytes = EncodeOutgoing(engine, out, std::move(answer));
  if (request.level != SecurityLevel::kNoAuthNoPriv) engine.ClockShown();
  return bytes;
}

std::vector<std::string> ForgedReports(const AgentEngine& engine, const V3Request& request) {
  Outgoing out;
  out.message_id = request.message_id;
  out.user_name = request.user_name;
  out.clock = {kForgedBoots, kForgedTime};
  std::vector<std::string> reports;
  out.engine_id = engine.engine_id();
  reports.push_back(EncodeOutgoing(
      engine, out, ReportPdu(request.pdu.ID, UsmReport::kNotInTimeWindow, 1)));
  out.engine_id = std::string(kForgedEngineId);
  reports.push_back(EncodeOutgoing(
      engine, out, ReportPdu(request.pdu.ID, UsmReport::kUnknownEngineId, 1)));
  return reports;
}

std::string DescribeV3Security(const V3Request& request) {
  return "v3 id=" + std::to_string(request.pdu.ID) + " msg-id=" +
         std::to_string(request.message_id) + " user=\"" + PrintableText(request.user_name) +
         "\" level=" + std::string(SecurityLevelName(request.level));
}

}  // namespace zelsnmp::agentsim
