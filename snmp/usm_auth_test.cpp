// Authentication codes against responses that net-snmp's snmpd signed (users of
// usm_test_vectors.h, captured with snmpget -d): the code we compute over the message with its
// code zeroed is the one snmpd sent, and only that code of that length matches.

#include "snmp/usm_auth.h"

#include <gtest/gtest.h>

#include "snmp/usm_protocol_names.h"
#include "snmp/usm_test_util.h"
#include "snmp/usm_test_vectors.h"

namespace zelsnmp {
namespace {

using testing_support::Bytes;
using testing_support::Hex;

TEST(UsmAuth, ParameterLengths) {
  const struct {
    AuthProtocol protocol;
    std::size_t length;
  } cases[] = {
      {AuthProtocol::kNone, 0},    {AuthProtocol::kMd5, 12},    {AuthProtocol::kSha1, 12},
      {AuthProtocol::kSha224, 16}, {AuthProtocol::kSha256, 24}, {AuthProtocol::kSha384, 32},
      {AuthProtocol::kSha512, 48},
  };
  for (const auto& c : cases) EXPECT_EQ(AuthParameterLength(c.protocol), c.length);
}

TEST(UsmAuth, CodesOfMessagesSnmpdSigned) {
  const struct {
    AuthProtocol protocol;
    std::string_view message;
    std::string_view code;
  } cases[] = {
      {AuthProtocol::kMd5,
       "3076020103301102044ce0476a020300ffe3040101020103042c302a040c0000000000000000000000"
       "020201010201010404754d4435040c0b0b34325b2d34ac4b547c5004003030040c00000000000000"
       "00000000020400a21e02043aeacb670201000201003010300e06082b060102010105000402766d",
       "0b0b34325b2d34ac4b547c50"},
      {AuthProtocol::kSha512,
       "30819d0201033011020433500c91020300ffe304010102010304533051040c00000000000000000000"
       "0002020101020101040775534841353132043094d64daaad287258d5fd265bc48536535f4e83121284"
       "6585cff1c2267b84009bbe29533ff4741ce1a12a2755ad2e95e704003030040c00000000000000000000"
       "00020400a21e020423905fd60201000201003010300e06082b060102010105000402766d",
       "94d64daaad287258d5fd265bc48536535f4e831212846585cff1c2267b84009b"
       "be29533ff4741ce1a12a2755ad2e95e7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(AuthProtocolName(c.protocol));
    SecretBytes key;
    for (const auto& v : testing_support::kAuthKeyVectors) {
      if (v.protocol == c.protocol) key = SecretBytes(Bytes(v.localized_key));
    }
    const std::string code = Bytes(c.code);
    std::string zeroed = Bytes(c.message);
    const std::size_t at = zeroed.find(code);
    ASSERT_NE(at, std::string::npos);
    zeroed.replace(at, code.size(), std::string(code.size(), '\0'));

    EXPECT_EQ(Hex(AuthenticationCode(c.protocol, key, zeroed)), c.code);
    EXPECT_TRUE(AuthenticationCodeMatches(c.protocol, key, zeroed, code));

    std::string flipped = code;
    flipped.back() ^= 1;
    EXPECT_FALSE(AuthenticationCodeMatches(c.protocol, key, zeroed, flipped));
    EXPECT_FALSE(AuthenticationCodeMatches(c.protocol, key, zeroed, code.substr(1)));
    EXPECT_FALSE(AuthenticationCodeMatches(c.protocol, key, zeroed, code + '\0'));
    EXPECT_FALSE(AuthenticationCodeMatches(c.protocol, key, zeroed + " ", code));
    EXPECT_FALSE(AuthenticationCodeMatches(c.protocol, key.Prefix(8), zeroed, code));
    EXPECT_FALSE(AuthenticationCodeMatches(c.protocol, SecretBytes(), zeroed, code));
  }
  EXPECT_EQ(AuthenticationCode(AuthProtocol::kNone, SecretBytes("key"), "message"), "");
  EXPECT_FALSE(AuthenticationCodeMatches(AuthProtocol::kNone, SecretBytes("key"), "message", ""));
}

}  // namespace
}  // namespace zelsnmp
