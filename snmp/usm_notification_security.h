// UsmNotificationSecurity: the checks of the user-based security model for the notifications
// of one v3 section (its user, protocols and passphrases), behind the receiver's seam
// (snmp/message_security.h).
//
// A message counts only at the section's own user and security level or above it as far as
// the section's keys reach: below the section's level it is dropped (an unauthenticated
// notification is as trustworthy as a community, so only a noAuthNoPriv section takes one).
// The checks run in the order of the answers to polls, each only once the one before passed:
// header, user and level; the digest, in constant time, before anything is decrypted or read;
// the engine ID and its time window; decryption; then the scoped PDU, whose PDU must be the
// notification the message is. Its contextEngineID is not compared: a sender names there the
// engine whose data the notification carries, which net-snmp's tools make their own engine
// rather than the one that secures the message, and the bindings are believed by the section
// either way.
//
// A trap (a message without the reportable flag) has the device as its authoritative engine.
// Its digest is checked with the user's keys localized to the engine ID it carries (the
// shared key cache keeps those of engines the task knows; the key of an engine it does not
// know is derived from the cached master key and not kept). When the session that polls the
// section knows its engine (discovered and its clock learnt), the trap must come from that
// engine and its clock must not lie more than 150 seconds behind the session's estimate
// (a higher boots count is a restart the next poll will learn). Otherwise the first
// authentic trap teaches the engine's ID, boots and time, and later ones must keep within
// that clock's window; at most kMaxLearntEngines engines are remembered per section, the one
// unused longest forgotten first. Two authentic traps of one second carry the same boots and
// time, so equal clocks are no replay: an exact replay within the window is recognised by its
// authentication parameters, of which the last kRememberedDigests are kept with their time.
//
// An inform (reportable) has the task's own engine (snmp/usm_authority.h) as its
// authoritative one. A message that names another engine ID (the sender's discovery, with an
// empty one) is answered with an unauthenticated Report of usmStatsUnknownEngineIDs carrying
// the task's engine ID, boots and time; an authentic inform outside the task's time window
// (the sender's time synchronisation, at boots and time 0) with an authenticated Report of
// usmStatsNotInTimeWindows. Nothing else is answered with a Report: an unknown user, a wrong
// digest, a level too low or a failed decryption is dropped without a word, so that nobody
// on a configured address can learn user names or try passphrases from the answers. A
// believed inform is answered by Response() at its own level, encrypted with a fresh salt at
// authPriv.
//
// Nothing here logs, and no key or passphrase leaves it. Used by one thread.

#ifndef ZELSNMP_SNMP_USM_NOTIFICATION_SECURITY_H_
#define ZELSNMP_SNMP_USM_NOTIFICATION_SECURITY_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "snmp/message_security.h"
#include "snmp/usm_authority.h"
#include "snmp/usm_engine.h"
#include "snmp/usm_keys.h"
#include "snmp/usm_session.h"

namespace zelsnmp {

class UsmNotificationSecurity final : public IncomingSecurity {
 public:
  static constexpr std::size_t kMaxLearntEngines = 4;
  static constexpr std::size_t kRememberedDigests = 256;

  // `keys` is shared with the sessions that poll and must outlive this. `polled`: the engine
  // as the session that polls the section knows it, or null; `authority`: the task's own
  // engine, or null when informs are not taken. Both must outlive this.
  UsmNotificationSecurity(UsmSecurity security, UsmKeyCache& keys, const UsmEngineState* polled,
                          UsmAuthority* authority);

  IncomingFault Check(const ReceivedNotification& received, Notification& notification,
                      std::string& answer, Clock::time_point now) override;
  std::string Response(const Notification& inform, Clock::time_point now) override;

  SecurityLevel level() const { return level_; }

 private:
  struct LearntEngine {
    UsmEngineState state;
    std::uint64_t last_use = 0;
  };
  struct RememberedDigest {
    std::array<char, 48> bytes{};
    std::size_t length = 0;
    Clock::time_point at{};
  };

  IncomingFault CheckTrap(const ReceivedNotification& received, Notification& notification,
                          Clock::time_point now);
  IncomingFault CheckInform(const ReceivedNotification& received, Notification& notification,
                            std::string& answer, Clock::time_point now);
  // User and level: kNone when the message is this section's to check further.
  IncomingFault CheckUserAndLevel(const DecodedV3Message& message) const;
  // Decrypts (with `priv_key` when the message is private) and reads the scoped PDU, whose
  // contextEngineID must be `engine_id` and whose PDU must be of `pdu_type`.
  IncomingFault ReadScopedPdu(const DecodedV3Message& message, const SecretBytes& priv_key,
                              std::int32_t pdu_type, Notification& notification) const;
  // The clock learnt for `engine_id` (taught by this message when new).
  EngineTimeliness CheckLearntClock(std::string_view engine_id, std::int32_t boots,
                                    std::int32_t time, Clock::time_point now);
  bool Replayed(std::string_view digest, Clock::time_point now) const;
  void Remember(std::string_view digest, Clock::time_point now);
  bool PolledEngineKnown() const;

  UsmSecurity security_;
  SecurityLevel level_;
  UsmKeyCache& keys_;
  const UsmEngineState* polled_;
  UsmAuthority* authority_;
  std::vector<LearntEngine> learnt_;
  std::uint64_t uses_ = 0;
  std::vector<RememberedDigest> digests_;  // a ring of kRememberedDigests once full
  std::size_t next_digest_ = 0;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_NOTIFICATION_SECURITY_H_
