// libFuzzer target: arbitrary bytes through the receiving side of SNMPv3 notifications, as the
// receiver runs them: DecodeNotification, DecodeV3Message, then the checks of a v3 section
// (user "ops", SHA-256 and AES, the passphrases of the seed datagrams, captured from net-snmp's
// snmptrap and snmpinform) with the task's own engine for informs. Promises checked: a believed
// notification is an SNMPv2-Trap without the reportable flag or an InformRequest with it; every
// answer (a Report, or the Response to an inform) is a well-formed version-3 message of the
// task's engine answering the message's msgID; a fresh section gives the same verdict twice.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_require.h"
#include "snmp/message_security.h"
#include "snmp/notification_message.h"
#include "snmp/snmp_message.h"
#include "snmp/usm_authority.h"
#include "snmp/usm_keys.h"
#include "snmp/usm_notification_security.h"
#include "snmp/v3_message.h"
#include "util/secret_bytes.h"

namespace {

zelsnmp::UsmSecurity SeedUser() {
  zelsnmp::UsmSecurity security;
  security.user_name = "ops";
  security.auth = zelsnmp::AuthProtocol::kSha256;
  security.auth_passphrase = zelsnmp::SecretBytes(std::string_view("fuzz auth passphrase"));
  security.priv = zelsnmp::PrivProtocol::kAes128;
  security.priv_passphrase = zelsnmp::SecretBytes(std::string_view("fuzz priv passphrase"));
  return security;
}

void RequireAnswerOf(const std::string& answer, const zelsnmp::DecodedV3Message& to,
                     const zelsnmp::UsmAuthority& authority) {
  zelsnmp::DecodedV3Message decoded;
  Require(zelsnmp::DecodeV3Message(answer, decoded));
  Require(decoded.header.message_id == to.header.message_id);
  Require(decoded.security.engine_id == authority.engine_id());
  Require((decoded.header.flags & zelsnmp::kV3FlagReportable) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelsnmp;
  static UsmKeyCache* keys = new UsmKeyCache();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Notification notification;
  if (DecodeNotification(bytes, notification) != NotificationFault::kVersion3) return 0;
  DecodedV3Message message;
  if (!DecodeV3Message(bytes, message)) return 0;
  // Fixed times, so that a run is repeatable: the seeds' clocks lie in both windows.
  const auto start = IncomingSecurity::Clock::time_point() + std::chrono::hours(1);
  const auto now = start + std::chrono::seconds(5);
  IncomingFault faults[2];
  for (IncomingFault& fault : faults) {
    UsmAuthority authority(AuthoritativeEngineId("TMS", "."), 1, start);
    UsmNotificationSecurity section(SeedUser(), *keys, nullptr, &authority);
    std::string answer;
    fault = section.Check({bytes, &message}, notification, answer, now);
    if (!answer.empty()) RequireAnswerOf(answer, message, authority);
    if (fault != IncomingFault::kNone) continue;
    Require(notification.version == kSnmpVersion3);
    const bool reportable = (message.header.flags & kV3FlagReportable) != 0;
    Require(notification.pdu_type == (reportable ? PduInformRequest : PduTrapV2));
    if (reportable) {
      const std::string response = section.Response(notification, now);
      Require(!response.empty());
      RequireAnswerOf(response, message, authority);
    }
  }
  Require(faults[0] == faults[1]);
  return 0;
}
