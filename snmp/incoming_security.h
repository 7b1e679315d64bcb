// IncomingSecurity: how a received notification is secured, as the receiver checks it against
// one configured sender (a section of the configuration).
//
// The notification receiver (poller/notification_receiver.h) holds one of these per section
// that may send, and asks each section of the datagram's source address in turn whether the
// datagram is that section's. Two kinds stand behind the seam:
//   - CommunitySecurity: a v1 or v2c section; the message's community must equal the
//     section's (the receiver has decoded the message already);
//   - UsmNotificationSecurity (snmp/usm_notification_security.h): a v3 section; its user and
//     at least its security level, the digest, the engine and its time window, decryption, in
//     that order, as for answers to polls. A trap's authoritative engine is the device; an
//     inform's is the task's own (snmp/usm_authority.h), which also answers the sender's
//     discovery and time synchronisation with a Report.
//
// A check never logs; its fault says why the datagram is not the section's, and the receiver
// logs the reason. Used by one thread.

#ifndef ZELSNMP_SNMP_INCOMING_SECURITY_H_
#define ZELSNMP_SNMP_INCOMING_SECURITY_H_

#include <chrono>
#include <string>
#include <string_view>
#include <utility>

#include "snmp/notification_message.h"
#include "snmp/v3_message.h"

namespace zelsnmp {

// Why a datagram is not a section's notification. Ordered by how far the checks got, so that
// of several sections of one address the reason of the one that came furthest is told.
enum class IncomingFault {
  kNone,
  kWrongCommunity,    // v1/v2c: another community
  kUnknownUser,       // v3: another user name
  kLevelTooLow,       // v3: a security level below the section's
  kWrongDigest,       // v3: the digest does not verify (passphrase or protocol)
  kWrongEngineId,     // v3: authentic, but from another engine than the polled one
  kNotInTimeWindow,   // v3: authentic, but outside the engine's time window
  kReplay,            // v3: the same authentic trap again within the time window
  kDecryptionFailed,  // v3: authentic, but its scoped PDU does not decrypt or decode
  kNotANotification,  // v3: a well-formed PDU of another type
  kMalformed,         // v3: the PDU inside does not decode
  kAnswered,          // v3: a discovery or time synchronisation, answered with a Report
};

// A received datagram as the receiver decoded it: a version-3 message's header and security
// parameters in `v3`, null for v1 and v2c.
struct ReceivedNotification {
  std::string_view bytes;
  const DecodedV3Message* v3 = nullptr;
};

class IncomingSecurity {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~IncomingSecurity() = default;

  // Whether `received` is this section's notification. For v1 and v2c `notification` holds the
  // decoded message already; for v3 the check fills it once the message is believed. A
  // datagram to send back to the sender (a Report) is put into `answer`, which is left empty
  // otherwise.
  virtual IncomingFault Check(const ReceivedNotification& received, Notification& notification,
                              std::string& answer, Clock::time_point now) = 0;

  // The Response to an inform that Check believed, secured as the inform came.
  virtual std::string Response(const Notification& inform, Clock::time_point now) = 0;
};

// A v1 or v2c section: its community.
class CommunitySecurity final : public IncomingSecurity {
 public:
  explicit CommunitySecurity(std::string community) : community_(std::move(community)) {}

  IncomingFault Check(const ReceivedNotification& received, Notification& notification,
                      std::string& answer, Clock::time_point now) override;
  std::string Response(const Notification& inform, Clock::time_point now) override;

 private:
  std::string community_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_INCOMING_SECURITY_H_
