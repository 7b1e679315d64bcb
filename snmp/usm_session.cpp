#include "snmp/usm_session.h"

#include <utility>

#include "snmp/request_id.h"
#include "snmp/usm_auth.h"
#include "snmp/usm_discovery.h"
#include "snmp/usm_privacy.h"

namespace zelsnmp {
SecurityLevel LevelOf(const UsmSecurity& security) {
  if (security.auth == AuthProtocol::kNone) return SecurityLevel::kNoAuthNoPriv;
  if (security.priv == PrivProtocol::kNone) return SecurityLevel::kAuthNoPriv;
  return SecurityLevel::kAuthPriv;
}

UsmSession::UsmSession(UsmSecurity security, UsmKeyCache& keys)
    : security_(std::move(security)), keys_(keys), level_(LevelOf(security_)) {
  if (!security_.pinned_engine_id.empty()) PinEngine();
}

void UsmSession::PinEngine() {
  // The engine is known without asking: a "discovery" that takes the pinned ID at once.
  engine_.BeginRequest();
  engine_.BeginDiscovery();
  engine_.AcceptDiscoveredEngineId(security_.pinned_engine_id);
}

bool UsmSession::PrepareKeys() {
  if (level_ == SecurityLevel::kNoAuthNoPriv) return true;
  bool ok = keys_.PrepareMasterKey(security_.auth, security_.auth_passphrase.view());
  if (level_ == SecurityLevel::kAuthPriv) {
    ok = keys_.PrepareMasterKey(security_.auth, security_.priv_passphrase.view()) && ok;
  }
  return ok;
}

const std::string& UsmSession::UsmStatusText(const UsmStatus& status) {
  if (status.outcome == UsmOutcome::kReport) return UsmReportText(status.report);
  return UsmOutcomeText(status.outcome);
}

bool UsmSession::KeysForEngine() {
  if (level_ == SecurityLevel::kNoAuthNoPriv) return true;
  if (!engine_.discovered()) return false;
  if (!auth_key_.empty() && keyed_engine_id_ == engine_.engine_id()) return true;
  auth_key_ = SecretBytes();
  priv_key_ = SecretBytes();
  SecretBytes auth = keys_.AuthenticationKey(security_.auth, security_.auth_passphrase.view(),
                                             engine_.engine_id());
  SecretBytes priv;
  if (level_ == SecurityLevel::kAuthPriv) {
    priv = keys_.PrivacyKey(security_.auth, security_.priv, security_.priv_passphrase.view(),
                            engine_.engine_id());
    if (priv.empty()) return false;
  }
  if (auth.empty()) return false;
  auth_key_ = std::move(auth);
  priv_key_ = std::move(priv);
  keyed_engine_id_ = engine_.engine_id();
  return true;
}

SecuredStep UsmSession::Fail(UsmStatus status) {
  status_ = status;
  return SecuredStep::kFailed;
}

bool UsmSession::BeginRequest(TSNMPRec& query, SecuredRequest& request, Clock::time_point now) {
  request = SecuredRequest{};
  request.request_id = query.ID;
  request.pdu = query.EncodePdu();
  if (engine_.discovered()) return SendRequest(request, now) == SecuredStep::kSend;
  if (!security_.pinned_engine_id.empty()) {
    PinEngine();
    return SendRequest(request, now) == SecuredStep::kSend;
  }
  return StartDiscovery(request) == SecuredStep::kSend;
}

bool UsmSession::BeginDiscovery(SecuredRequest& request) {
  // The allowance is the request's own, so that requests of one session in flight together
  // each have theirs; the engine state is asked afresh each time.
  if (request.rediscovered) return false;
  request.rediscovered = true;
  engine_.BeginRequest();
  return engine_.BeginDiscovery();
}

SecuredStep UsmSession::StartDiscovery(SecuredRequest& request) {
  if (!BeginDiscovery(request)) return Fail({UsmOutcome::kDiscoveryFailed, UsmReport::kNone});
  return DiscoveryStep(request);
}

SecuredStep UsmSession::DiscoveryStep(SecuredRequest& request) {
  request.discovery_step = true;
  request.has_pending_report = false;
  request.step_id = DrawRequestId(request.step_id + 1);
  request.datagram = EncodeDiscoveryRequest(request.step_id, DrawRequestId(1));
  return SecuredStep::kSend;
}

SecuredStep UsmSession::SendRequest(SecuredRequest& request, Clock::time_point now) {
  if (!KeysForEngine()) return Fail({UsmOutcome::kNoKeys, UsmReport::kNone});
  request.discovery_step = false;
  request.has_pending_report = false;
  request.step_id = DrawRequestId(request.step_id + 1);
  const EngineClock clock = engine_.ClockToSend(now);
  request.sent_without_clock = !engine_.synchronized();
  UsmSecurityParameters parameters{engine_.engine_id(), clock.boots, clock.time,
                                   security_.user_name, std::string(), std::string()};
  std::string data =
      EncodeScopedPdu({engine_.engine_id(), security_.context_name, request.pdu});
  if (level_ == SecurityLevel::kAuthPriv) {
    std::string encrypted;
    if (!EncryptScopedPdu(security_.priv, priv_key_, clock.boots, clock.time, data, encrypted,
                          parameters.privacy_parameters)) {
      return Fail({UsmOutcome::kNoKeys, UsmReport::kNone});
    }
    data = std::move(encrypted);
  }
  const V3Header header{request.step_id, kV3MaxMessageSizeBytes, RequestFlags(level_),
                        kUserSecurityModel};
  EncodedV3Message message =
      EncodeV3Message(header, parameters, AuthParameterLength(security_.auth), data);
  if (level_ != SecurityLevel::kNoAuthNoPriv &&
      !PlaceAuthenticationCode(message,
                               AuthenticationCode(security_.auth, auth_key_, message.bytes))) {
    return Fail({UsmOutcome::kNoKeys, UsmReport::kNone});
  }
  const std::int32_t engine_takes = engine_.max_message_size();
  if (engine_takes > 0 && message.bytes.size() > static_cast<std::size_t>(engine_takes)) {
    return Fail({UsmOutcome::kRequestTooLarge, UsmReport::kNone});
  }
  request.datagram = std::move(message.bytes);
  return SecuredStep::kSend;
}

SecuredStep UsmSession::Rediscover(SecuredRequest& request, Clock::time_point now, UsmStatus failure) {
  if (!BeginDiscovery(request)) return Fail(failure);
  if (security_.pinned_engine_id.empty()) return DiscoveryStep(request);
  // A pinned engine keeps its ID: only its clock is forgotten and learnt again.
  engine_.AcceptDiscoveredEngineId(security_.pinned_engine_id);
  return SendRequest(request, now);
}

void UsmSession::StepFailed(const SecuredRequest& request) {
  if (request.discovery_step) engine_.AbandonDiscovery();
  status_ = {UsmOutcome::kNoAnswer, UsmReport::kNone};
}

SecuredStep UsmSession::StepTimedOut(SecuredRequest& request, Clock::time_point now) {
  if (request.discovery_step) {
    engine_.AbandonDiscovery();
    return Fail({UsmOutcome::kDiscoveryFailed, UsmReport::kNone});
  }
  if (request.has_pending_report) {
    request.has_pending_report = false;
    return ActOnReport(request, static_cast<UsmReport>(request.pending_report), now);
  }
  if (request.saw_untimely) return Fail({UsmOutcome::kNotInTime, UsmReport::kNone});
  // The engine knows the user and its authentication key, yet the encrypted request got
  // nothing back: an engine that cannot decrypt drops it without a word.
  if (request.authenticated_answer && !request.decrypted_answer &&
      level_ == SecurityLevel::kAuthPriv) {
    return Fail({UsmOutcome::kEncryptedUnanswered, UsmReport::kNone});
  }
  return Fail({UsmOutcome::kNoAnswer, UsmReport::kNone});
}

SecuredStep UsmSession::TakeDiscoveryAnswer(SecuredRequest& request, std::string_view bytes,
                                        Clock::time_point now) {
  DiscoveryReport report;
  if (!DecodeDiscoveryReport(bytes, request.step_id, report)) return SecuredStep::kDrop;
  // Another request of the session may have learnt the same ID first.
  if (!engine_.AcceptDiscoveredEngineId(report.engine_id) &&
      !(engine_.discovered() && engine_.engine_id() == report.engine_id)) {
    return SecuredStep::kDrop;
  }
  engine_.NoteMaxMessageSize(report.max_message_size);
  return SendRequest(request, now);
}

SecuredStep UsmSession::TakeDatagram(SecuredRequest& request, std::string_view bytes, TSNMPRec& reply,
                                 Clock::time_point now) {
  if (request.discovery_step) return TakeDiscoveryAnswer(request, bytes, now);
  // The cheapest checks first: the header, then the digest, and only then the content.
  DecodedV3Message message;
  if (!DecodeV3Message(bytes, message)) return SecuredStep::kDrop;
  const AnswerFit fit = FitOfAnswer(message.header, request.step_id, level_);
  if (fit == AnswerFit::kNotAnAnswer) return SecuredStep::kDrop;
  const UsmSecurityParameters& security = message.security;
  const bool authenticated = (message.header.flags & kV3FlagAuth) != 0;
  EngineTimeliness timeliness = EngineTimeliness::kInTimeWindow;
  if (authenticated) {
    if (security.user_name != security_.user_name || !KeysForEngine()) return SecuredStep::kDrop;
    const SecretBytes* key = &auth_key_;
    SecretBytes other_key;
    const bool other_engine = security.engine_id != engine_.engine_id();
    if (other_engine) {
      // Checked once per request, so that a stream of messages naming engines cannot make
      // the task localize keys without end; the key is not kept.
      if (request.tried_other_engine || security.engine_id.empty() ||
          security.engine_id.size() > kV3MaxEngineIdBytes) {
        return SecuredStep::kDrop;
      }
      request.tried_other_engine = true;
      other_key = keys_.AuthenticationKeyNotKept(security_.auth, security_.auth_passphrase.view(),
                                                 security.engine_id);
      key = &other_key;
    }
    if (!AuthenticationCodeMatches(security_.auth, *key,
                                   WithZeroedAuthParameters(bytes, message),
                                   security.auth_parameters)) {
      return SecuredStep::kDrop;
    }
    // The agent now speaks as another engine (it was replaced, or given a new ID).
    if (other_engine) return Rediscover(request, now, {UsmOutcome::kNoAnswer, UsmReport::kNone});
    engine_.NoteMaxMessageSize(message.header.max_size);
    timeliness =
        engine_.CheckAuthenticated(security.engine_id, security.engine_boots,
                                   security.engine_time, now);
  }
  std::string plaintext;
  std::string_view scoped_bytes = message.data;
  if ((message.header.flags & kV3FlagPriv) != 0) {
    if (level_ != SecurityLevel::kAuthPriv || priv_key_.empty() ||
        !DecryptScopedPdu(security_.priv, priv_key_, security.engine_boots,
                          security.engine_time, security.privacy_parameters, message.data,
                          plaintext)) {
      return SecuredStep::kDrop;
    }
    scoped_bytes = plaintext;
  }
  ScopedPdu scoped;
  if (!DecodeScopedPdu(scoped_bytes, scoped) || !reply.DecodePduHeader(scoped.pdu)) {
    reply.ResetMessage();
    return SecuredStep::kDrop;
  }
  // The privacy keys work, whatever becomes of the answer.
  if (!plaintext.empty()) request.decrypted_answer = true;
  if (reply.PDUType == PduReport) {
    TSNMPRec report;
    if (!report.DecodePdu(scoped.pdu)) return SecuredStep::kDrop;
    reply.ResetMessage();
    return TakeReport(request, report, authenticated, timeliness, now);
  }
  if (fit != AnswerFit::kSameLevel || reply.PDUType != PduResponse ||
      reply.ID != request.request_id || security.engine_id != engine_.engine_id() ||
      scoped.context_engine_id != engine_.engine_id()) {
    reply.ResetMessage();
    return SecuredStep::kDrop;
  }
  if (timeliness != EngineTimeliness::kInTimeWindow) {
    // Authentic and of this step's fresh msgID, so no replay: the engine's clock went back.
    // Forget the clock and learn it anew, once.
    request.saw_untimely = true;
    reply.ResetMessage();
    return Rediscover(request, now, {UsmOutcome::kNotInTime, UsmReport::kNone});
  }
  if (!reply.DecodePdu(scoped.pdu)) return SecuredStep::kDrop;
  reply.Version = kSnmpVersion3;
  status_ = {UsmOutcome::kAnswered, UsmReport::kNone};
  return SecuredStep::kAnswered;
}

SecuredStep UsmSession::TakeReport(SecuredRequest& request, const TSNMPRec& pdu, bool authenticated,
                               EngineTimeliness timeliness, Clock::time_point now) {
  const UsmReport report = UsmReportOf(pdu);
  if (authenticated) request.authenticated_answer = true;
  if (report == UsmReport::kNotInTimeWindow) {
    // Only the engine itself can teach its clock; an unauthenticated one teaches nothing.
    if (!authenticated) return SecuredStep::kDrop;
    if (timeliness != EngineTimeliness::kInTimeWindow) {
      // The engine's clock went back (it lost its boots count): forget it and learn anew.
      return Rediscover(request, now, {UsmOutcome::kNotInTime, UsmReport::kNone});
    }
    // The answer to a request sent without a clock is how the clock is learnt; only a resend
    // after that is the one the request is allowed.
    if (!request.sent_without_clock) {
      if (request.resent) return Fail({UsmOutcome::kNotInTime, UsmReport::kNone});
      request.resent = true;
    }
    return SendRequest(request, now);
  }
  if (!authenticated && level_ != SecurityLevel::kNoAuthNoPriv) {
    // Anyone may send these; the authentic answer may still follow.
    if (!request.has_pending_report) {
      request.pending_report = static_cast<int>(report);
      request.has_pending_report = true;
    }
    return SecuredStep::kDrop;
  }
  return ActOnReport(request, report, now);
}

SecuredStep UsmSession::ActOnReport(SecuredRequest& request, UsmReport report, Clock::time_point now) {
  const UsmStatus refused{UsmOutcome::kReport, report};
  switch (report) {
    case UsmReport::kUnknownEngineId:
      // The engine does not know the ID the request named: learn it again.
      return Rediscover(request, now, refused);
    case UsmReport::kWrongDigest:
    case UsmReport::kDecryptionError:
      // Keys that worked for the last request fail now: the engine changed under them.
      if (status_.outcome == UsmOutcome::kAnswered) return Rediscover(request, now, refused);
      return Fail(refused);
    default:
      return Fail(refused);
  }
}

}  // namespace zelsnmp
