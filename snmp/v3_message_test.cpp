#include "snmp/v3_message.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "snmp/snmp_message.h"
#include "snmp/usm_discovery.h"

namespace zelsnmp {
namespace {

std::string Hex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

// What snmpget sends to discover an engine (-v3 -l noAuthNoPriv -u x), captured
// from a UDP socket: msgID 0x6082B3AE, request ID 0x3F042298, an empty user name.
const std::string kCapturedDiscovery = Hex(
    "303e020103301102046082b3ae020300ffe30401040201030410300e04000201000201000400040004003014"
    "04000400a00e02043f0422980201000201003000");

const std::string kEngineId("\x80\x00\x1f\x88\x04" "engine", 11);

ScopedPdu SampleScopedPdu() {
  TSNMPRec request;
  request.PDUType = PduGetRequest;
  request.ID = 99;
  request.AddBinding("1.3.6.1.2.1.1.3.0", "", TagNull);
  request.AddBinding("1.3.6.1.2.1.1.5.0", std::string(140, 'n'), TagOctetString);
  return {kEngineId, "ctx", request.EncodePdu()};
}

UsmSecurityParameters SampleSecurity() {
  return {kEngineId, 7, 123456, "operator", "", "saltsalt"};
}

struct FlagCase {
  std::uint8_t flags;
  std::size_t auth_length;
};

class V3RoundTrip : public ::testing::TestWithParam<FlagCase> {};

// Every flag combination: the decoded fields encode to the same bytes, the digest written in
// place is where the decoder says and zeroing it gives back the signed bytes, and every prefix
// (and a byte more) is refused.
TEST_P(V3RoundTrip, EncodesDecodesAndFindsTheDigest) {
  const FlagCase flag_case = GetParam();
  const V3Header header{0x12345678, kV3MaxMessageSizeBytes, flag_case.flags, kUserSecurityModel};
  const bool priv = (flag_case.flags & kV3FlagPriv) != 0;
  const std::string data = priv ? std::string(160, '\xA5') : EncodeScopedPdu(SampleScopedPdu());
  EncodedV3Message sent = EncodeV3Message(header, SampleSecurity(), flag_case.auth_length, data);
  const std::string signed_bytes = sent.bytes;
  const std::string code(flag_case.auth_length, '\x5C');
  EXPECT_FALSE(PlaceAuthenticationCode(sent, code + "x"));
  ASSERT_TRUE(PlaceAuthenticationCode(sent, code));

  DecodedV3Message got;
  ASSERT_TRUE(DecodeV3Message(sent.bytes, got));
  EXPECT_EQ(got.header.message_id, header.message_id);
  EXPECT_EQ(got.header.flags, flag_case.flags);
  EXPECT_EQ(got.security.user_name, "operator");
  EXPECT_EQ(got.security.auth_parameters, code);
  EXPECT_EQ(got.data, data);
  EXPECT_EQ(EncodeV3Message(got.header, got.security, flag_case.auth_length, got.data).bytes,
            signed_bytes);
  EXPECT_EQ(WithZeroedAuthParameters(sent.bytes, got), signed_bytes);
  if (!priv) {
    ScopedPdu scoped;
    ASSERT_TRUE(DecodeScopedPdu(got.data, scoped));
    EXPECT_EQ(scoped.context_name, "ctx");
    EXPECT_EQ(scoped.pdu, SampleScopedPdu().pdu);
  }
  for (std::size_t length = 0; length < sent.bytes.size(); ++length) {
    EXPECT_FALSE(DecodeV3Message(sent.bytes.substr(0, length), got)) << length;
  }
  EXPECT_FALSE(DecodeV3Message(sent.bytes + '\0', got));
}

INSTANTIATE_TEST_SUITE_P(Flags, V3RoundTrip,
                         ::testing::Values(FlagCase{0, 0}, FlagCase{kV3FlagReportable, 0},
                                           FlagCase{kV3FlagAuth, 12},
                                           FlagCase{kV3FlagAuth | kV3FlagReportable, 24},
                                           FlagCase{kV3FlagAuth | kV3FlagPriv, 32},
                                           FlagCase{kV3FlagAuth | kV3FlagPriv | kV3FlagReportable,
                                                    48},
                                           // Reserved bits are carried, not refused.
                                           FlagCase{0x80 | kV3FlagAuth, 12}));

// The discovery request is byte for byte what snmpget sends with the same IDs.
TEST(V3Message, DiscoveryRequestMatchesCapturedBytes) {
  EXPECT_EQ(EncodeDiscoveryRequest(0x6082B3AE, 0x3F042298), kCapturedDiscovery);
}

// Well-formed BER that is not a message the task takes.
TEST(V3Message, RefusesWhatItCannotTake) {
  const std::string data = EncodeScopedPdu(SampleScopedPdu());
  auto encoded = [&](V3Header header, std::string engine_id, std::string user, std::string body) {
    UsmSecurityParameters security = SampleSecurity();
    security.engine_id = engine_id;
    security.user_name = user;
    return EncodeV3Message(header, security, 12, body).bytes;
  };
  const V3Header good{1, kV3MaxMessageSizeBytes, kV3FlagAuth, kUserSecurityModel};
  TSNMPRec v2c;
  v2c.Version = kSnmpVersion2c;
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"privacy without authentication",
       encoded({1, kV3MaxMessageSizeBytes, kV3FlagPriv, kUserSecurityModel}, kEngineId, "u", data)},
      {"other security model",
       encoded({1, kV3MaxMessageSizeBytes, kV3FlagAuth, 2}, kEngineId, "u", data)},
      {"max size below 484", encoded({1, 483, kV3FlagAuth, kUserSecurityModel}, kEngineId, "u",
                                     data)},
      {"negative msgID", encoded({-1, kV3MaxMessageSizeBytes, kV3FlagAuth, kUserSecurityModel},
                                 kEngineId, "u", data)},
      {"engine ID over 32 bytes", encoded(good, std::string(33, 'e'), "u", data)},
      {"user name over 32 bytes", encoded(good, kEngineId, std::string(33, 'u'), data)},
      {"plaintext data not a SEQUENCE", encoded(good, kEngineId, "u", BuildBerObject("x", 4))},
      {"a v2c message", v2c.EncodeMessage()},
  };
  for (const auto& c : cases) {
    DecodedV3Message got;
    EXPECT_FALSE(DecodeV3Message(c.bytes, got)) << c.what;
  }
}

// A decrypted scoped PDU keeps the padding of the cipher behind it; a cut one is refused.
TEST(V3Message, ScopedPduIgnoresPaddingAndRefusesPrefixes) {
  const std::string item = EncodeScopedPdu(SampleScopedPdu());
  ScopedPdu scoped;
  ASSERT_TRUE(DecodeScopedPdu(item + std::string(7, '\x07'), scoped));
  EXPECT_EQ(scoped.pdu, SampleScopedPdu().pdu);
  for (std::size_t length = 0; length < item.size(); ++length) {
    EXPECT_FALSE(DecodeScopedPdu(item.substr(0, length), scoped)) << length;
  }
  EXPECT_FALSE(DecodeScopedPdu(BuildBerObject(BuildBerObject("", TagOctetString) +
                                                  BuildBerObject("", TagOctetString) +
                                                  BuildBerObject("\x02\x01\x00", TagInteger),
                                              TagSequence),
                               scoped))
      << "the PDU must be a constructed item";
}

TEST(V3Message, FitOfAnswer) {
  using Level = SecurityLevel;
  const struct {
    std::int32_t message_id;
    std::uint8_t flags;
    Level request_level;
    AnswerFit expected;
  } cases[] = {
      {5, kV3FlagAuth | kV3FlagPriv, Level::kAuthPriv, AnswerFit::kSameLevel},
      {5, kV3FlagAuth, Level::kAuthPriv, AnswerFit::kLowerLevel},
      {5, 0, Level::kAuthNoPriv, AnswerFit::kLowerLevel},
      {5, kV3FlagAuth, Level::kNoAuthNoPriv, AnswerFit::kNotAnAnswer},
      {6, 0, Level::kNoAuthNoPriv, AnswerFit::kNotAnAnswer},
  };
  for (const auto& c : cases) {
    const V3Header answer{c.message_id, kV3MaxMessageSizeBytes, c.flags, kUserSecurityModel};
    EXPECT_EQ(FitOfAnswer(answer, 5, c.request_level), c.expected) << int{c.flags};
    EXPECT_EQ(SecurityLevelOf(RequestFlags(c.request_level)), c.request_level);
  }
}

}  // namespace
}  // namespace zelsnmp
