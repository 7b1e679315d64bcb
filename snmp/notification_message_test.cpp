#include "snmp/notification_message.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "testing/hostile_datagrams.h"

namespace zelsnmp {
namespace {

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// As net-snmp's snmptrap and snmpinform sent them.
const std::string kV1Trap = FromHex(
    "304902010004067075626c6963a43c06072b06010401bf0840047f000001020106020111430316f9bf3020300c"
    "06072b060104010701020147301006072b060104010702040568656c6c6f");
const std::string kInform = FromHex(
    "305302010104067075626c6963a64602041d2037560201000201003038300f06082b06010201010300430316f9"
    "c13017060a2b06010603010104010006092b0601060301010503300c06072b060104010701020149");
const std::string kV3Trap = FromHex(
    "3081970201033011020464be9804020300ffe30401000201030420301e04088000000001020304020101020316"
    "fa26040664657669636504000400305d041180001f8880f517e6080b88176b000000000400a74602040eb3b224"
    "0201000201003038300f06082b06010201010300430316fa263017060a2b06010603010104010006092b060106"
    "0301010503300c06072b06010401070102014a");

// `bytes` with byte `at` (counted from the end when negative) set to `value`.
std::string With(std::string bytes, int at, char value) {
  bytes[at >= 0 ? static_cast<std::size_t>(at) : bytes.size() + at] = value;
  return bytes;
}

struct DecodeCase {
  const char* name;
  std::string datagram;
  NotificationFault fault;
};

TEST(NotificationMessageTest, TakesWellFormedNotificationsAndRefusesAtTheFirstFault) {
  const std::vector<DecodeCase> cases = {
      {"v1 trap", kV1Trap, NotificationFault::kNone},
      {"v2c inform", kInform, NotificationFault::kNone},
      {"v2c trap", With(kInform, 13, static_cast<char>(PduTrapV2)), NotificationFault::kNone},
      {"v3", kV3Trap, NotificationFault::kVersion3},
      {"a response", testing_support::IntegerResponse(7, "1.3.6.1.2.1.1.3.0", 5),
       NotificationFault::kNotANotification},
      {"a v1 trap PDU in a v2c message", With(kV1Trap, 4, 1),
       NotificationFault::kNotANotification},
      {"an inform in a v1 message", With(kInform, 4, 0), NotificationFault::kNotANotification},
      {"version 2", With(kInform, 4, 2), NotificationFault::kMalformed},
      {"cut short", kInform.substr(0, kInform.size() - 1), NotificationFault::kMalformed},
      {"a byte behind", kInform + std::string(1, '\0'), NotificationFault::kMalformed},
      {"indefinite length", With(kInform, 1, static_cast<char>(0x80)),
       NotificationFault::kMalformed},
      {"binding value of no SNMP type", With(kInform, -3, 0x30), NotificationFault::kMalformed},
      {"binding without OID", With(kInform, -12, 0x04), NotificationFault::kMalformed},
      {"generic trap 7", With(kV1Trap, 32, 7), NotificationFault::kMalformed},
      {"agent address of 3 bytes", With(kV1Trap, 25, 3), NotificationFault::kMalformed},
      {"nested SEQUENCEs", testing_support::NestedSequences(1400, 3),
       NotificationFault::kNotANotification},
      {"longer than a datagram", std::string(kMaxNotificationBytes + 1, '0'),
       NotificationFault::kTooLong},
      {"empty", "", NotificationFault::kMalformed},
  };
  for (const DecodeCase& c : cases) {
    Notification notification;
    EXPECT_EQ(DecodeNotification(c.datagram, notification), c.fault) << c.name;
  }
}

TEST(NotificationMessageTest, ReadsTheTrapHeaderAndAnswersTheInformWithItsBindings) {
  Notification trap;
  ASSERT_EQ(DecodeNotification(kV1Trap, trap), NotificationFault::kNone);
  EXPECT_EQ(trap.community, "public");
  EXPECT_EQ(trap.enterprise, "1.3.6.1.4.1.8072");
  EXPECT_EQ(trap.agent_address, "127.0.0.1");
  EXPECT_EQ(trap.generic_trap, 6);
  EXPECT_EQ(trap.specific_trap, 17);
  ASSERT_EQ(trap.bindings.size(), 2u);
  EXPECT_EQ(trap.bindings[0].OidText, "1.3.6.1.4.1.7.1");
  EXPECT_EQ(trap.bindings[0].ValueText, "71");
  EXPECT_EQ(trap.bindings[1].ValueText, "hello");

  Notification inform;
  ASSERT_EQ(DecodeNotification(kInform, inform), NotificationFault::kNone);
  EXPECT_EQ(inform.pdu_type, PduInformRequest);
  TSNMPRec response;
  ASSERT_TRUE(response.DecodeMessage(EncodeInformResponse(inform)));
  EXPECT_EQ(response.Version, kSnmpVersion2c);
  EXPECT_EQ(response.PDUType, PduResponse);
  EXPECT_EQ(response.ID, inform.request_id);
  EXPECT_EQ(response.Community, "public");
  EXPECT_EQ(response.ErrorStatus, 0);
  ASSERT_EQ(response.BindingCount(), 3);
  EXPECT_EQ(response.BindingValue("1.3.6.1.6.3.1.1.4.1.0"), "1.3.6.1.6.3.1.1.5.3");
  EXPECT_EQ(response.BindingValue("1.3.6.1.4.1.7.1"), "73");
}

}  // namespace
}  // namespace zelsnmp
