// The notifications a device sends on its own: the v1 Trap-PDU, the SNMPv2-Trap and the
// InformRequest of a v1 or v2c message, read strictly, and the Response that acknowledges an
// inform.
//
// DecodeNotification takes a received datagram as a whole and gives a Notification only when
// every item is well formed: one outer SEQUENCE filling the datagram exactly, definite lengths
// of at most four bytes, single-byte tags, no item running past the one that holds it and
// nothing left over inside any of them, the header items of the right types, a PDU type that
// belongs to the version (Trap-PDU with version 1, SNMPv2-Trap and InformRequest with 2c), and
// each binding a SEQUENCE of an OBJECT IDENTIFIER and one primitive value of a type SNMP knows.
// Anything else is refused at the first fault, with what was wrong; nothing is rendered before
// the whole datagram has been checked, so a hostile datagram costs a walk of its bytes and no
// more. A version-3 message is recognised by its version number and not read further here: its
// security is checked first (snmp/message_security.h), and only then is the PDU of its scoped
// PDU read, by DecodeScopedNotificationPdu, with the same strictness.
//
// Values are rendered as the poll's answers render them (snmp/ber.h), so a binding reaches the
// points by the same rules as an answer. Nothing here keeps state; any thread may use it.

#ifndef ZELSNMP_SNMP_NOTIFICATION_MESSAGE_H_
#define ZELSNMP_SNMP_NOTIFICATION_MESSAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "snmp/snmp_message.h"

namespace zelsnmp {

// The largest UDP payload over IPv4; a datagram longer than that is refused unread.
inline constexpr std::size_t kMaxNotificationBytes = 65507;

enum class NotificationFault {
  kNone,
  kTooLong,        // longer than kMaxNotificationBytes
  kMalformed,      // not well-formed BER, or bytes left over
  kNotANotification,  // a well-formed message of another PDU type, or a PDU of another version
  kVersion3,       // an SNMPv3 message
};

// How a version-3 notification came: what its Response (to an inform) carries back.
struct V3NotificationOrigin {
  std::int32_t message_id = 0;
  std::uint8_t flags = 0;  // the msgFlags of the notification
  std::string user_name;
  std::string context_engine_id;
  std::string context_name;
};

struct Notification {
  std::int32_t version = 0;  // kSnmpVersion1, kSnmpVersion2c or kSnmpVersion3
  std::string community;     // empty for version 3
  V3NotificationOrigin origin;  // version 3 only
  std::int32_t pdu_type = 0;  // PduTrap, PduTrapV2 or PduInformRequest
  std::int32_t request_id = 0;  // 0 for a v1 trap
  // v1 Trap-PDU only.
  std::string enterprise;     // dotted OID
  std::string agent_address;  // dotted IPv4 address
  std::int32_t generic_trap = 0;
  std::int32_t specific_trap = 0;
  std::uint32_t time_stamp = 0;
  std::vector<TSNMPMib> bindings;
  // The content of the binding list as received, for the Response to an inform.
  std::string binding_list;
};

// Fills `out` from `datagram`; kNone when it is a notification, else why not (`out` is then
// partly filled and means nothing, except `version` for kVersion3).
NotificationFault DecodeNotification(std::string_view datagram, Notification& out);

// Reads the PDU item of a version-3 scoped PDU (`pdu_bytes` exactly one item) as an
// SNMPv2-Trap or InformRequest, as strictly as DecodeNotification; `out.version` becomes
// kSnmpVersion3. kNotANotification for a well-formed PDU of another type (a v1 Trap-PDU too).
NotificationFault DecodeScopedNotificationPdu(std::string_view pdu_bytes, Notification& out);

// The Response to `inform`: the same version, community, request ID and bindings, error status
// and index 0.
std::string EncodeInformResponse(const Notification& inform);
// The Response PDU item alone, for a version-3 answer's scoped PDU.
std::string EncodeInformResponsePdu(const Notification& inform);

// "Trap", "SNMPv2-Trap" or "InformRequest": how the trace names the PDU type.
std::string_view NotificationKindName(std::int32_t pdu_type);

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_NOTIFICATION_MESSAGE_H_
