#include "snmp/usm_notification_security.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "snmp/snmp_message.h"
#include "snmp/usm_auth.h"
#include "snmp/usm_privacy.h"

namespace zelsnmp {
namespace {

// A replay is recognised as long as the clock it carries could still be in the window.
constexpr auto kDigestMemory = std::chrono::seconds(2 * UsmEngineState::kTimeWindowSeconds);

// The request ID of a plaintext scoped PDU, for a Report that answers it; 0 when unreadable.
std::int32_t PlainRequestId(const DecodedV3Message& message) {
  if ((message.header.flags & kV3FlagPriv) != 0) return 0;
  ScopedPdu scoped;
  TSNMPRec pdu;
  if (!DecodeScopedPdu(message.data, scoped) || !pdu.DecodePduHeader(scoped.pdu)) return 0;
  return pdu.ID;
}

void NoteOrigin(const DecodedV3Message& message, const ScopedPdu& scoped,
                Notification& notification) {
  V3NotificationOrigin& origin = notification.origin;
  origin.message_id = message.header.message_id;
  origin.flags = message.header.flags;
  origin.user_name = message.security.user_name;
  origin.context_engine_id = scoped.context_engine_id;
  origin.context_name = scoped.context_name;
}

}  // namespace

UsmNotificationSecurity::UsmNotificationSecurity(UsmSecurity security, UsmKeyCache& keys,
                                                 const UsmEngineState* polled,
                                                 UsmAuthority* authority)
    : security_(std::move(security)),
      level_(LevelOf(security_)),
      keys_(keys),
      polled_(polled),
      authority_(authority) {}

IncomingFault UsmNotificationSecurity::Check(const ReceivedNotification& received,
                                             Notification& notification, std::string& answer,
                                             Clock::time_point now) {
  answer.clear();
  if (received.v3 == nullptr) return IncomingFault::kUnknownUser;
  // A confirmed notification asks for an answer and has the receiver as its authority.
  if ((received.v3->header.flags & kV3FlagReportable) != 0) {
    return CheckInform(received, notification, answer, now);
  }
  return CheckTrap(received, notification, now);
}

IncomingFault UsmNotificationSecurity::CheckUserAndLevel(const DecodedV3Message& message) const {
  if (message.security.user_name != security_.user_name) return IncomingFault::kUnknownUser;
  // Below the section's level it is not believed; above, the section has no keys to check it.
  if (SecurityLevelOf(message.header.flags) != level_) return IncomingFault::kLevelTooLow;
  return IncomingFault::kNone;
}

bool UsmNotificationSecurity::PolledEngineKnown() const {
  return polled_ != nullptr && polled_->discovered() && polled_->synchronized();
}

IncomingFault UsmNotificationSecurity::CheckTrap(const ReceivedNotification& received,
                                                 Notification& notification,
                                                 Clock::time_point now) {
  const DecodedV3Message& message = *received.v3;
  const UsmSecurityParameters& parameters = message.security;
  if (IncomingFault fault = CheckUserAndLevel(message); fault != IncomingFault::kNone) {
    return fault;
  }
  const std::string& engine_id = parameters.engine_id;
  if (engine_id.empty() || engine_id.size() > kV3MaxEngineIdBytes) {
    return IncomingFault::kWrongEngineId;
  }
  if (level_ == SecurityLevel::kNoAuthNoPriv) {
    if (PolledEngineKnown() && engine_id != polled_->engine_id()) {
      return IncomingFault::kWrongEngineId;
    }
    return ReadScopedPdu(message, SecretBytes(), PduTrapV2, notification);
  }
  const bool known_engine =
      (PolledEngineKnown() && engine_id == polled_->engine_id()) ||
      std::any_of(learnt_.begin(), learnt_.end(), [&](const LearntEngine& learnt) {
        return learnt.state.engine_id() == engine_id;
      });
  // Keys of an engine the task knows are kept; an engine only named costs a localization from
  // the cached master key and fills nothing.
  const std::string_view passphrase = security_.auth_passphrase.view();
  const SecretBytes auth_key =
      known_engine ? keys_.AuthenticationKey(security_.auth, passphrase, engine_id)
                   : keys_.AuthenticationKeyNotKept(security_.auth, passphrase, engine_id);
  if (!AuthenticationCodeMatches(security_.auth, auth_key,
                                 WithZeroedAuthParameters(received.bytes, message),
                                 parameters.auth_parameters)) {
    return IncomingFault::kWrongDigest;
  }
  if (PolledEngineKnown()) {
    if (engine_id != polled_->engine_id()) return IncomingFault::kWrongEngineId;
    const std::int32_t boots = polled_->engine_boots();
    const bool timely =
        boots < UsmEngineState::kMaxEngineBoots &&
        (parameters.engine_boots > boots ||
         (parameters.engine_boots == boots &&
          std::int64_t{parameters.engine_time} + UsmEngineState::kTimeWindowSeconds >=
              std::int64_t{polled_->EstimatedEngineTime(now)}));
    if (!timely) return IncomingFault::kNotInTimeWindow;
  } else if (CheckLearntClock(engine_id, parameters.engine_boots, parameters.engine_time, now) !=
             EngineTimeliness::kInTimeWindow) {
    return IncomingFault::kNotInTimeWindow;
  }
  if (Replayed(parameters.auth_parameters, now)) return IncomingFault::kReplay;
  SecretBytes priv_key;
  if (level_ == SecurityLevel::kAuthPriv) {
    priv_key = keys_.PrivacyKey(security_.auth, security_.priv, security_.priv_passphrase.view(),
                                engine_id);
  }
  const IncomingFault fault = ReadScopedPdu(message, priv_key, PduTrapV2, notification);
  if (fault == IncomingFault::kNone) Remember(parameters.auth_parameters, now);
  return fault;
}

IncomingFault UsmNotificationSecurity::CheckInform(const ReceivedNotification& received,
                                                   Notification& notification, std::string& answer,
                                                   Clock::time_point now) {
  const DecodedV3Message& message = *received.v3;
  const UsmSecurityParameters& parameters = message.security;
  if (authority_ == nullptr) return IncomingFault::kWrongEngineId;
  const std::string& our_engine = authority_->engine_id();
  AuthorityAnswer report{message.header.message_id, SecurityLevel::kNoAuthNoPriv,
                         parameters.user_name, our_engine, std::string()};
  if (parameters.engine_id != our_engine) {
    // The sender's discovery (or a message for an engine this is not): tell it who we are.
    answer = authority_->Report(report, UsmReport::kUnknownEngineId, PlainRequestId(message), now);
    return IncomingFault::kAnswered;
  }
  if (IncomingFault fault = CheckUserAndLevel(message); fault != IncomingFault::kNone) {
    return fault;
  }
  SecretBytes auth_key;
  if (level_ != SecurityLevel::kNoAuthNoPriv) {
    auth_key =
        keys_.AuthenticationKey(security_.auth, security_.auth_passphrase.view(), our_engine);
    if (!AuthenticationCodeMatches(security_.auth, auth_key,
                                   WithZeroedAuthParameters(received.bytes, message),
                                   parameters.auth_parameters)) {
      return IncomingFault::kWrongDigest;
    }
    if (!authority_->InTimeWindow(parameters.engine_boots, parameters.engine_time, now)) {
      report.level = SecurityLevel::kAuthNoPriv;
      report.auth = security_.auth;
      report.auth_key = &auth_key;
      answer =
          authority_->Report(report, UsmReport::kNotInTimeWindow, PlainRequestId(message), now);
      // Boots and time 0 are how a sender asks for the clock; anything else came too late.
      const bool synchronising = parameters.engine_boots == 0 && parameters.engine_time == 0;
      return synchronising ? IncomingFault::kAnswered : IncomingFault::kNotInTimeWindow;
    }
  }
  SecretBytes priv_key;
  if (level_ == SecurityLevel::kAuthPriv) {
    priv_key = keys_.PrivacyKey(security_.auth, security_.priv, security_.priv_passphrase.view(),
                                our_engine);
  }
  return ReadScopedPdu(message, priv_key, PduInformRequest, notification);
}

IncomingFault UsmNotificationSecurity::ReadScopedPdu(const DecodedV3Message& message,
                                                     const SecretBytes& priv_key,
                                                     std::int32_t pdu_type,
                                                     Notification& notification) const {
  const UsmSecurityParameters& parameters = message.security;
  const bool encrypted = (message.header.flags & kV3FlagPriv) != 0;
  std::string plaintext;
  std::string_view scoped_bytes = message.data;
  if (encrypted) {
    if (priv_key.empty() ||
        !DecryptScopedPdu(security_.priv, priv_key, parameters.engine_boots, parameters.engine_time,
                          parameters.privacy_parameters, message.data, plaintext)) {
      return IncomingFault::kDecryptionFailed;
    }
    scoped_bytes = plaintext;
  }
  ScopedPdu scoped;
  // Decrypted with the wrong key, the bytes are noise: that is how a wrong privacy passphrase
  // shows.
  if (!DecodeScopedPdu(scoped_bytes, scoped)) {
    return encrypted ? IncomingFault::kDecryptionFailed : IncomingFault::kMalformed;
  }
  switch (DecodeScopedNotificationPdu(scoped.pdu, notification)) {
    case NotificationFault::kNone:
      break;
    case NotificationFault::kNotANotification:
      return IncomingFault::kNotANotification;
    default:
      return IncomingFault::kMalformed;
  }
  if (notification.pdu_type != pdu_type) return IncomingFault::kNotANotification;
  NoteOrigin(message, scoped, notification);
  return IncomingFault::kNone;
}

EngineTimeliness UsmNotificationSecurity::CheckLearntClock(std::string_view engine_id,
                                                           std::int32_t boots, std::int32_t time,
                                                           Clock::time_point now) {
  auto learnt = std::find_if(learnt_.begin(), learnt_.end(), [&](const LearntEngine& known) {
    return known.state.engine_id() == engine_id;
  });
  if (learnt == learnt_.end()) {
    if (learnt_.size() >= kMaxLearntEngines) {
      learnt = std::min_element(
          learnt_.begin(), learnt_.end(),
          [](const LearntEngine& a, const LearntEngine& b) { return a.last_use < b.last_use; });
      *learnt = LearntEngine{};
    } else {
      learnt = learnt_.emplace(learnt_.end());
    }
    // Known without asking: the authentic trap names it.
    learnt->state.BeginRequest();
    learnt->state.BeginDiscovery();
    learnt->state.AcceptDiscoveredEngineId(engine_id);
  }
  learnt->last_use = ++uses_;
  return learnt->state.CheckAuthenticated(engine_id, boots, time, now);
}

bool UsmNotificationSecurity::Replayed(std::string_view digest, Clock::time_point now) const {
  for (const RememberedDigest& remembered : digests_) {
    if (remembered.length == digest.size() && now - remembered.at < kDigestMemory &&
        std::memcmp(remembered.bytes.data(), digest.data(), digest.size()) == 0) {
      return true;
    }
  }
  return false;
}

void UsmNotificationSecurity::Remember(std::string_view digest, Clock::time_point now) {
  RememberedDigest remembered;
  remembered.length = std::min(digest.size(), remembered.bytes.size());
  std::memcpy(remembered.bytes.data(), digest.data(), remembered.length);
  remembered.at = now;
  if (digests_.size() < kRememberedDigests) {
    digests_.push_back(remembered);
    return;
  }
  digests_[next_digest_] = remembered;
  next_digest_ = (next_digest_ + 1) % kRememberedDigests;
}

std::string UsmNotificationSecurity::Response(const Notification& inform, Clock::time_point now) {
  if (authority_ == nullptr) return std::string();
  const V3NotificationOrigin& origin = inform.origin;
  const std::string& engine_id = authority_->engine_id();
  AuthorityAnswer answer{origin.message_id, SecurityLevelOf(origin.flags), origin.user_name,
                         origin.context_engine_id, origin.context_name};
  SecretBytes auth_key;
  SecretBytes priv_key;
  if (answer.level != SecurityLevel::kNoAuthNoPriv) {
    auth_key = keys_.AuthenticationKey(security_.auth, security_.auth_passphrase.view(), engine_id);
    answer.auth = security_.auth;
    answer.auth_key = &auth_key;
  }
  if (answer.level == SecurityLevel::kAuthPriv) {
    priv_key = keys_.PrivacyKey(security_.auth, security_.priv, security_.priv_passphrase.view(),
                                engine_id);
    answer.priv = security_.priv;
    answer.priv_key = &priv_key;
  }
  return authority_->Secure(answer, EncodeInformResponsePdu(inform), now);
}

}  // namespace zelsnmp
