#include "snmp/snmp_message.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "testing/hostile_datagrams.h"

namespace zelsnmp {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

const std::string kSysUpTime = "1.3.6.1.2.1.1.3.0";

const std::string kWorkedExample =
    Bytes({0x30, 0x20, 0x02, 0x01, 0x01, 0x04, 0x00, 0xA0, 0x19, 0x02, 0x01, 0x01,
           0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x0E, 0x30, 0x0C, 0x06, 0x08,
           0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x03, 0x00, 0x05, 0x00});

TSNMPRec WorkedExampleMessage() {
  TSNMPRec message;
  message.Version = kSnmpVersion2c;
  message.Community = "";
  message.PDUType = PduGetRequest;
  message.AddBinding(kSysUpTime, "", TagNull);
  return message;
}

void ExpectResetState(const TSNMPRec& message) {
  EXPECT_EQ(message.Version, 0);
  EXPECT_EQ(message.PDUType, 0);
  EXPECT_EQ(message.ErrorStatus, 0);
  EXPECT_EQ(message.ErrorIndex, 0);
  EXPECT_EQ(message.Community, "vxkfqz");
  EXPECT_EQ(message.BindingCount(), 0);
}

// A Response with several bindings of different kinds, long enough for long-form lengths.
TSNMPRec SampleResponse() {
  TSNMPRec message;
  message.Version = kSnmpVersion2c;
  message.Community = "public";
  message.PDUType = PduResponse;
  message.ID = 4711;
  message.AddBinding(kSysUpTime, "123456", TagTimeTicks);
  message.AddBinding("1.3.6.1.2.1.1.5.0", std::string(150, 'n'), TagOctetString);
  message.AddBinding("1.3.6.1.2.1.2.2.1.10.130", "4000000000", TagCounter32);
  message.AddBinding("1.3.6.1.2.1.2.2.1.8.1", "1", TagInteger);
  message.AddBinding("1.3.6.1.2.1.4.20.1.1.10.0.0.1", "10.0.0.1", TagIpAddress);
  return message;
}

TEST(TSNMPRec, FreshMessage) {
  TSNMPRec message;
  ExpectResetState(message);
  EXPECT_EQ(message.ID, 1);
}

TEST(TSNMPRec, WorkedExampleEncodesByteForByte) {
  TSNMPRec message = WorkedExampleMessage();
  EXPECT_EQ(message.EncodeMessage(), kWorkedExample);
  EXPECT_EQ(message.ID, 2);
  std::string second = message.EncodeMessage();
  EXPECT_EQ(second.substr(9, 3), Bytes({0x02, 0x01, 0x02}));
  EXPECT_EQ(message.ID, 3);
}

TEST(TSNMPRec, NoBindingsEncodesEmptyList) {
  TSNMPRec message = WorkedExampleMessage();
  message.ResetMessage();
  message.Version = kSnmpVersion2c;
  message.Community = "";
  message.PDUType = PduGetRequest;
  EXPECT_EQ(message.EncodeMessage(),
            Bytes({0x30, 0x12, 0x02, 0x01, 0x01, 0x04, 0x00, 0xA0, 0x0B, 0x02,
                   0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x00}));
}

TEST(TSNMPRec, WorkedExampleDecodesToSameFields) {
  TSNMPRec message;
  ASSERT_TRUE(message.DecodeMessage(kWorkedExample));
  EXPECT_EQ(message.Version, 1);
  EXPECT_EQ(message.Community, "");
  EXPECT_EQ(message.PDUType, 0xA0);
  EXPECT_EQ(message.ID, 1);
  ASSERT_EQ(message.BindingCount(), 1);
  EXPECT_EQ(message.Bindings()[0].OidText, kSysUpTime);
  EXPECT_EQ(message.Bindings()[0].ValueTag, TagNull);
}

TEST(TSNMPRec, ResetKeepsIdAndRestoresTheRest) {
  TSNMPRec message = WorkedExampleMessage();
  message.ErrorStatus = 5;
  for (int i = 0; i < 3; ++i) message.EncodeMessage();
  message.ResetMessage();
  EXPECT_EQ(message.ID, 4);
  ExpectResetState(message);
}

TEST(TSNMPRec, IdWrapsWithoutError) {
  TSNMPRec message = WorkedExampleMessage();
  message.ID = 2147483647;
  std::string first = message.EncodeMessage();
  EXPECT_EQ(message.ID, -2147483647 - 1);
  EXPECT_NE(first.find(Bytes({0x02, 0x04, 0x7F, 0xFF, 0xFF, 0xFF})), std::string::npos);
  std::string second = message.EncodeMessage();
  EXPECT_NE(second.find(Bytes({0x02, 0x04, 0x80, 0x00, 0x00, 0x00})), std::string::npos);
  EXPECT_EQ(message.ID, -2147483647);
}

TEST(TSNMPRec, GetBulkNamesShareStorage) {
  TSNMPRec message;
  message.NonRepeaters() = 3;
  message.MaxRepetitions() = 25;
  EXPECT_EQ(message.ErrorStatus, 3);
  EXPECT_EQ(message.ErrorIndex, 25);
}

// The walk's requests, byte for byte as the protocol lays them out by hand: a GetNext and a
// GetBulk (non-repeaters 0, max-repetitions 25) of ifDescr, and back again.
TEST(TSNMPRec, WalkRequestsEncodeByteForByte) {
  struct WalkCase {
    int pdu;
    std::int32_t non_repeaters;
    std::int32_t repetitions;
    std::string bytes;
  };
  // Request ID 1, the two counts, one binding of ifDescr with NULL.
  const auto pdu = [](int tag, int repetitions) {
    return Bytes({tag, 0x1A, 0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, repetitions, 0x30,
                  0x0F, 0x30, 0x0D, 0x06, 0x09, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x02, 0x02, 0x01,
                  0x02, 0x05, 0x00});
  };
  const std::string head = Bytes({0x30, 0x27, 0x02, 0x01, 0x01, 0x04, 0x06}) + "public";
  const WalkCase cases[] = {
      {PduGetBulkRequest, 0, 25, head + pdu(0xA5, 0x19)},
      {PduGetNextRequest, 0, 0, head + pdu(0xA1, 0x00)},
  };
  for (const WalkCase& c : cases) {
    TSNMPRec message;
    message.Version = kSnmpVersion2c;
    message.Community = "public";
    message.PDUType = c.pdu;
    message.NonRepeaters() = c.non_repeaters;
    message.MaxRepetitions() = c.repetitions;
    message.AddBinding("1.3.6.1.2.1.2.2.1.2", "", TagNull);
    EXPECT_EQ(message.EncodeMessage(), c.bytes) << c.pdu;
    TSNMPRec decoded;
    ASSERT_TRUE(decoded.DecodeMessage(c.bytes));
    EXPECT_EQ(decoded.PDUType, c.pdu);
    EXPECT_EQ(decoded.MaxRepetitions(), c.repetitions);
    EXPECT_EQ(decoded.BindingValue("1.3.6.1.2.1.2.2.1.2"), "");
  }
}

// --- Value items by value tag ---------------------------------------------------------------

struct ValueCase {
  std::string name;
  int tag;
  std::string text;
  std::string item;  // the encoded value item
  friend void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }
};

class ValueItemTest : public ::testing::TestWithParam<ValueCase> {};
TEST_P(ValueItemTest, EncodesAsExpected) {
  TSNMPRec message;
  message.AddBinding(kSysUpTime, GetParam().text, GetParam().tag);
  std::string bytes = message.EncodeMessage();
  const std::string& item = GetParam().item;
  ASSERT_GE(bytes.size(), item.size());
  EXPECT_EQ(bytes.substr(bytes.size() - item.size()), item);
}

const ValueCase kValueCases[] = {
    {"NullIgnoresText", TagNull, "abc", Bytes({0x05, 0x00})},
    {"IpAddress", TagIpAddress, "10.0.0.1", Bytes({0x40, 0x04, 0x0A, 0x00, 0x00, 0x01})},
    {"IpAddressLow8Bits", TagIpAddress, "300.1.2.3", Bytes({0x40, 0x04, 0x2C, 0x01, 0x02, 0x03})},
    {"IpAddressMissingParts", TagIpAddress, "10.1", Bytes({0x40, 0x04, 0x0A, 0x01, 0x00, 0x00})},
    {"IpAddressSpacesAndExtra", TagIpAddress, " 10 . 2 .3.4.5",
     Bytes({0x40, 0x04, 0x0A, 0x02, 0x03, 0x04})},
    {"IntegerMinusOne", TagInteger, "-1", Bytes({0x02, 0x04, 0xFF, 0xFF, 0xFF, 0xFF})},
    {"IntegerNotANumber", TagInteger, "abc", Bytes({0x02, 0x01, 0x00})},
    {"Counter32Above2p31", TagCounter32, "2147483648",
     Bytes({0x41, 0x05, 0x00, 0x80, 0x00, 0x00, 0x00})},
    {"Counter32Max", TagCounter32, "4294967295", Bytes({0x41, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF})},
    {"Counter32TooLarge", TagCounter32, "4294967296", Bytes({0x41, 0x01, 0x00})},
    {"Counter32MinusOnePattern", TagCounter32, "-1",
     Bytes({0x41, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF})},
    {"Gauge32Hex", TagGauge32, "$10", Bytes({0x42, 0x01, 0x10})},
    {"TimeTicks200", TagTimeTicks, "200", Bytes({0x43, 0x02, 0x00, 0xC8})},
    {"Counter64Max", TagCounter64, "18446744073709551615",
     Bytes({0x46, 0x09, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
    {"Counter64NotANumber", TagCounter64, "abc", Bytes({0x46, 0x01, 0x00})},
    {"ObjectId", TagObjectId, "1.3.6", Bytes({0x06, 0x02, 0x2B, 0x06})},
    {"OctetStringRaw", TagOctetString, Bytes({'a', 0x00, 0xFF}),
     Bytes({0x04, 0x03, 'a', 0x00, 0xFF})},
    {"OpaqueRaw", TagOpaque, "xy", Bytes({0x44, 0x02, 'x', 'y'})},
};

INSTANTIATE_TEST_SUITE_P(Message, ValueItemTest, ::testing::ValuesIn(kValueCases),
                         [](const auto& test_info) { return test_info.param.name; });

// --- Round trips ----------------------------------------------------------------------------

TEST(TSNMPRec, EveryValueTagRoundTrips) {
  TSNMPRec sent;
  sent.Version = kSnmpVersion1;
  sent.Community = Bytes({'c', 0x00, 0xE9});
  sent.PDUType = PduResponse;
  sent.ID = -77;
  sent.ErrorStatus = 2;
  sent.ErrorIndex = 1;
  const TSNMPMib bindings[] = {
      {"1.3.6.1.1", "-5", TagInteger},
      {"1.3.6.1.2", "2147483647", TagInteger},
      {"1.3.6.1.3", Bytes({0x00, 0x01, 0x80, 0xFF}), TagOctetString},
      {"1.3.6.1.4", "", TagNull},
      {"1.3.6.1.5", "1.3.6.1.4.1.9.2147483647", TagObjectId},
      {"1.3.6.1.6", "192.168.0.255", TagIpAddress},
      {"1.3.6.1.7", "4294967295", TagCounter32},
      {"1.3.6.1.8", "3000000000", TagGauge32},
      {"1.3.6.1.9", "0", TagTimeTicks},
      {"1.3.6.1.10", "opaque", TagOpaque},
      {"1.3.6.1.11", "18446744073709551615", TagCounter64},
      {"1.3.6.1.12", "", TagNoSuchObject},
      {"1.3.6.1.13", "", TagNoSuchInstance},
      {"1.3.6.1.14", "", TagEndOfMibView},
  };
  for (int copy = 0; copy < 12; ++copy) {  // enough bytes for two-byte long-form lengths
    for (const TSNMPMib& b : bindings) sent.AddBinding(b.OidText, b.ValueText, b.ValueTag);
  }
  std::string bytes = sent.EncodeMessage();
  ASSERT_GT(bytes.size(), 256u);

  TSNMPRec received;
  ASSERT_TRUE(received.DecodeMessage(bytes));
  EXPECT_EQ(received.Version, 0);
  EXPECT_EQ(received.Community, sent.Community);
  EXPECT_EQ(received.PDUType, PduResponse);
  EXPECT_EQ(received.ID, -77);
  EXPECT_EQ(received.ErrorStatus, 2);
  EXPECT_EQ(received.ErrorIndex, 1);
  ASSERT_EQ(received.BindingCount(), sent.BindingCount());
  for (int i = 0; i < sent.BindingCount(); ++i) {
    const TSNMPMib& expected = sent.Bindings()[i];
    const TSNMPMib& actual = received.Bindings()[i];
    EXPECT_EQ(actual.OidText, expected.OidText);
    EXPECT_EQ(actual.ValueText, expected.ValueText) << expected.OidText;
    EXPECT_EQ(actual.ValueTag, expected.ValueTag);
  }
  // Encoding the decoded message again gives the same bytes.
  EXPECT_EQ(received.EncodeMessage(), bytes);
}

TEST(TSNMPRec, DecodeFailuresLeaveResetState) {
  std::string cut = kWorkedExample.substr(0, kWorkedExample.size() - 1);
  const std::string failures[] = {Bytes({0x30}), Bytes({0x02, 0x01, 0x01}), cut,
                                  Bytes({0x30, 0x82, 0x01}), ""};
  for (const std::string& bytes : failures) {
    TSNMPRec message = SampleResponse();
    message.ID = 99;
    EXPECT_FALSE(message.DecodeMessage(bytes));
    ExpectResetState(message);
    EXPECT_EQ(message.ID, 99);
  }
}

TEST(TSNMPRec, BytesAfterOuterContentAreIgnored) {
  TSNMPRec message;
  ASSERT_TRUE(message.DecodeMessage(kWorkedExample + Bytes({0x30, 0x05, 0x06, 0x01, 0x2B})));
  EXPECT_EQ(message.BindingCount(), 1);
  EXPECT_EQ(message.ID, 1);
}

TEST(TSNMPRec, ResponseWithErrorKeepsBindingsAndExceptionValues) {
  TSNMPRec sent;
  sent.Version = kSnmpVersion2c;
  sent.PDUType = PduResponse;
  sent.ErrorStatus = 2;
  sent.ErrorIndex = 1;
  sent.AddBinding(kSysUpTime, "", TagNoSuchObject);
  TSNMPRec received;
  ASSERT_TRUE(received.DecodeMessage(sent.EncodeMessage()));
  EXPECT_EQ(received.PDUType, 162);
  EXPECT_EQ(received.ErrorStatus, 2);
  EXPECT_EQ(received.ErrorIndex, 1);
  ASSERT_EQ(received.BindingCount(), 1);
  EXPECT_EQ(received.Bindings()[0].ValueText, "");
  EXPECT_EQ(received.Bindings()[0].ValueTag, 0x80);
}

TEST(TSNMPRec, BindingValueFindsFirstExactMatch) {
  TSNMPRec message;
  message.AddBinding(kSysUpTime, "first", TagOctetString);
  message.AddBinding(kSysUpTime, "second", TagOctetString);
  message.AddBinding("1.3.6.1.2.1.1.5.0", "Name", TagOctetString);
  EXPECT_EQ(message.BindingValue(kSysUpTime), "first");
  EXPECT_EQ(message.BindingValue("1.3.6.1.2.1.1.5.0"), "Name");
  EXPECT_EQ(message.BindingValue("1.3.6.1.2.1.1.5"), "");
  EXPECT_EQ(message.BindingValue("." + kSysUpTime), "");
  EXPECT_EQ(message.BindingValue(kSysUpTime + std::string(1, '\0')), "");
  EXPECT_EQ(message.BindingCount(), 3);
}

TEST(TSNMPRec, DecodedOidMatchesOnlyCanonicalText) {
  TSNMPRec received;
  ASSERT_TRUE(received.DecodeMessage(SampleResponse().EncodeMessage()));
  EXPECT_EQ(received.BindingValue("1.3.6.1.2.1.2.2.1.10.130"), "4000000000");
  EXPECT_EQ(received.BindingValue("1.3.6.1.2.1.2.2.1.10.0130"), "");
  EXPECT_EQ(received.BindingValue(".1.3.6.1.2.1.1.3.0"), "");
}

// --- Messages the system never sends --------------------------------------------------------

TEST(TSNMPRec, VersionThreeIsRecognisedWithoutBindings) {
  std::string global_data = BuildBerObject(BuildBerObject(EncodeBerInteger(77), TagInteger) +
                                               BuildBerObject(EncodeBerInteger(1500), TagInteger) +
                                               BuildBerObject("\x04", TagOctetString) +
                                               BuildBerObject(EncodeBerInteger(3), TagInteger),
                                           TagSequence);
  std::string binding = BuildBerObject(
      BuildBerObject(OidTextToBer(kSysUpTime), TagObjectId) + BuildBerObject("", TagNull),
      TagSequence);
  std::string pdu = BuildBerObject(BuildBerObject(EncodeBerInteger(5), TagInteger) +
                                       BuildBerObject(EncodeBerInteger(0), TagInteger) +
                                       BuildBerObject(EncodeBerInteger(0), TagInteger) +
                                       BuildBerObject(binding, TagSequence),
                                   PduGetRequest);
  std::string scoped_pdu = BuildBerObject(
      BuildBerObject("", TagOctetString) + BuildBerObject("", TagOctetString) + pdu, TagSequence);
  std::string bytes = BuildBerObject(BuildBerObject(EncodeBerInteger(3), TagInteger) + global_data +
                                         BuildBerObject("", TagOctetString) + scoped_pdu,
                                     TagSequence);
  TSNMPRec message;
  ASSERT_TRUE(message.DecodeMessage(bytes));
  EXPECT_EQ(message.Version, 3);
  EXPECT_EQ(message.PDUType, 0);
  EXPECT_EQ(message.ID, 0);
  EXPECT_EQ(message.Community, "vxkfqz");
  EXPECT_EQ(message.BindingCount(), 0);
}

TEST(TSNMPRec, TrapKeepsItsVariableBindings) {
  std::string binding = BuildBerObject(
      BuildBerObject(OidTextToBer(kSysUpTime), TagObjectId) + BuildBerObject("\x05", TagTimeTicks),
      TagSequence);
  std::string pdu = BuildBerObject(BuildBerObject(OidTextToBer("1.3.6.1.4.1.9"), TagObjectId) +
                                       BuildBerObject(Bytes({10, 0, 0, 1}), TagIpAddress) +
                                       BuildBerObject(EncodeBerInteger(6), TagInteger) +
                                       BuildBerObject(EncodeBerInteger(1), TagInteger) +
                                       BuildBerObject(EncodeBerUnsigned(100), TagTimeTicks) +
                                       BuildBerObject(binding, TagSequence),
                                   PduTrap);
  std::string bytes = BuildBerObject(BuildBerObject(EncodeBerInteger(0), TagInteger) +
                                         BuildBerObject("public", TagOctetString) + pdu,
                                     TagSequence);
  TSNMPRec message;
  message.ID = 42;
  ASSERT_TRUE(message.DecodeMessage(bytes));
  EXPECT_EQ(message.PDUType, PduTrap);
  EXPECT_EQ(message.Community, "public");
  EXPECT_EQ(message.ID, 0);
  ASSERT_EQ(message.BindingCount(), 1);
  EXPECT_EQ(message.BindingValue(kSysUpTime), "5");
  EXPECT_EQ(message.Bindings()[0].ValueTag, TagTimeTicks);
}

// --- Damaged input ---------------------------------------------------------------------------

void ExpectSaneDecode(const std::string& bytes) {
  TSNMPRec message;
  bool taken = message.DecodeMessage(bytes);
  if (!taken) ExpectResetState(message);
  ASSERT_LE(static_cast<std::size_t>(message.BindingCount()), bytes.size() / 2);
  for (const TSNMPMib& binding : message.Bindings()) {
    ASSERT_FALSE(binding.OidText.empty());
    ASSERT_GE(binding.ValueTag, 0);
    ASSERT_LE(binding.ValueTag, 255);
  }
}

TEST(TSNMPRec, EveryPrefixOfResponseIsRefused) {
  const std::string full = SampleResponse().EncodeMessage();
  for (std::size_t length = 0; length < full.size(); ++length) {
    TSNMPRec message;
    EXPECT_FALSE(message.DecodeMessage(full.substr(0, length))) << length;
    ExpectResetState(message);
  }
}

// Offsets, in encoded Response bytes, at which each binding item ends.
std::vector<std::size_t> BindingEnds(const std::string& bytes) {
  std::size_t position = 1;
  DecodeBerLength(bytes, position);
  int tag = 0;
  for (int item = 0; item < 7; ++item) ReadBerItem(bytes, position, tag);  // header to list
  std::vector<std::size_t> ends;
  while (position < bytes.size()) {
    position += ReadBerItem(bytes, position, tag).size();
    ends.push_back(position);
  }
  return ends;
}

// The same prefixes with the outer length made to fit them: the inner items are then cut
// short inside a whole message. Every binding that lies wholly before the cut still decodes
// unchanged; what follows a cut item is read on from behind its length bytes and may give
// further (meaningless) bindings, but always a defined result.
TEST(TSNMPRec, EveryPrefixOfContentDecodesDefined) {
  TSNMPRec original;
  const std::string full = SampleResponse().EncodeMessage();
  ASSERT_TRUE(original.DecodeMessage(full));
  const std::vector<std::size_t> ends = BindingEnds(full);
  ASSERT_EQ(ends.size(), static_cast<std::size_t>(original.BindingCount()));
  ASSERT_EQ(ends.back(), full.size());
  std::size_t header = 1;
  DecodeBerLength(full, header);
  for (std::size_t cut = header; cut <= full.size(); ++cut) {
    std::string bytes = BuildBerObject(full.substr(header, cut - header), TagSequence);
    TSNMPRec message;
    ASSERT_TRUE(message.DecodeMessage(bytes)) << cut;
    ExpectSaneDecode(bytes);
    std::size_t whole = 0;
    while (whole < ends.size() && ends[whole] <= cut) ++whole;
    ASSERT_GE(static_cast<std::size_t>(message.BindingCount()), whole) << cut;
    for (std::size_t i = 0; i < whole; ++i) {
      EXPECT_EQ(message.Bindings()[i].OidText, original.Bindings()[i].OidText);
      EXPECT_EQ(message.Bindings()[i].ValueText, original.Bindings()[i].ValueText);
      EXPECT_EQ(message.Bindings()[i].ValueTag, original.Bindings()[i].ValueTag);
    }
  }
}

// A datagram of about 16,000 nested SEQUENCEs: every level is stepped into, none is copied, so
// the texts decoded stay in proportion to the datagram (they were copied per level before, some
// 350 MB for this one). The header decodes alone to the same fields.
TEST(TSNMPRec, NestedSequencesDecodeInProportionToTheirSize) {
  const std::string bytes = testing_support::NestedSequences(65000, 4711);
  ASSERT_GT(bytes.size(), 64000u);
  ASSERT_LE(bytes.size(), 65000u);
  TSNMPRec header;
  ASSERT_TRUE(header.DecodeHeader(bytes));
  EXPECT_EQ(header.ID, 4711);
  EXPECT_EQ(header.PDUType, PduResponse);
  EXPECT_EQ(header.BindingCount(), 0);
  TSNMPRec message;
  ASSERT_TRUE(message.DecodeMessage(bytes));
  EXPECT_EQ(message.ID, 4711);
  std::size_t text_bytes = 0;
  for (const TSNMPMib& b : message.Bindings()) text_bytes += b.OidText.size() + b.ValueText.size();
  EXPECT_LE(text_bytes, bytes.size());
  // A binding with a real OID whose value nests: the value gives empty text with its tag.
  std::string nest = BuildBerObject(BuildBerObject(EncodeBerInteger(1), TagInteger), TagSequence);
  std::string binding = BuildBerObject(
      BuildBerObject(OidTextToBer("1.3.6.1.2.1.1.3.0"), TagObjectId) + nest, TagSequence);
  std::string pdu = BuildBerObject(EncodeBerInteger(5), TagInteger) +
                    BuildBerObject(EncodeBerInteger(0), TagInteger) +
                    BuildBerObject(EncodeBerInteger(0), TagInteger) +
                    BuildBerObject(binding, TagSequence);
  ASSERT_TRUE(message.DecodeMessage(BuildBerObject(BuildBerObject(EncodeBerInteger(1), TagInteger) +
                                                       BuildBerObject("public", TagOctetString) +
                                                       BuildBerObject(pdu, PduResponse),
                                                   TagSequence)));
  ASSERT_GE(message.BindingCount(), 1);
  EXPECT_EQ(message.Bindings()[0].ValueText, "");
  EXPECT_EQ(message.Bindings()[0].ValueTag, TagSequence);
}

TEST(TSNMPRec, MutatedResponsesGiveDefinedResults) {
  const std::string full = SampleResponse().EncodeMessage();
  std::mt19937 random(1234567);
  for (int round = 0; round < 5000; ++round) {
    std::string bytes = full;
    int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
      std::size_t at = random() % bytes.size();
      switch (random() % 4) {
        case 0:
          bytes[at] = static_cast<char>(random());
          break;
        case 1:
          bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8)));
          break;
        case 2:
          bytes.erase(at, 1 + random() % 3);
          break;
        default:
          bytes.insert(at, 1, static_cast<char>(random()));
          break;
      }
    }
    if (random() % 8 == 0) bytes.resize(random() % (bytes.size() + 1));
    ExpectSaneDecode(bytes);
    // Again with the outer header rebuilt, so that the walk over the damaged inside runs.
    if (bytes.size() > 2) ExpectSaneDecode(BuildBerObject(bytes.substr(2), TagSequence));
    if (HasFatalFailure()) return;
  }
}

// The encoding of a message made anew from the public fields of `message`, once.
std::string EncodedAnew(const TSNMPRec& message) {
  TSNMPRec anew;
  anew.Version = message.Version;
  anew.Community = message.Community;
  anew.PDUType = message.PDUType;
  anew.ID = message.ID;
  anew.ErrorStatus = message.ErrorStatus;
  anew.ErrorIndex = message.ErrorIndex;
  for (const TSNMPMib& b : message.Bindings()) anew.AddBinding(b.OidText, b.ValueText, b.ValueTag);
  return anew.EncodeMessage();
}

// One message used again and again (decoded into, added to, encoded) must give exactly what a
// fresh message gives: the storage and the encoding it keeps between uses never show.
TEST(TSNMPRec, ReusedMessageBehavesLikeAFreshOne) {
  const std::string full = SampleResponse().EncodeMessage();
  std::mt19937 random(7654321);
  TSNMPRec reused;
  for (int round = 0; round < 2000; ++round) {
    std::string bytes = full;
    bytes[random() % bytes.size()] = static_cast<char>(random());
    bytes.resize(random() % (bytes.size() + 1));
    if (round % 3 == 0)
      bytes = BuildBerObject(bytes.substr(std::min<std::size_t>(2, bytes.size())), TagSequence);
    TSNMPRec fresh;
    ASSERT_EQ(reused.DecodeMessage(bytes), fresh.DecodeMessage(bytes));
    ASSERT_EQ(reused.BindingCount(), fresh.BindingCount());
    for (int i = 0; i < fresh.BindingCount(); ++i) {
      EXPECT_EQ(reused.Bindings()[i].OidText, fresh.Bindings()[i].OidText);
      EXPECT_EQ(reused.Bindings()[i].ValueText, fresh.Bindings()[i].ValueText);
      EXPECT_EQ(reused.Bindings()[i].ValueTag, fresh.Bindings()[i].ValueTag);
    }
    for (int step = 0; step < 3; ++step) {
      const std::string expected = EncodedAnew(reused);
      ASSERT_EQ(reused.EncodeMessage(), expected) << "round " << round << ", step " << step;
      if (step == 1) reused.AddBinding("1.3.6.1.2.1.1.5.0", "added", TagOctetString);
    }
    if (round % 5 == 0) reused.ResetMessage();
  }
}

// The PDU alone is the tail of the whole message, and reads back to the same fields; a Report
// reads like a Response.
TEST(TSNMPRec, PduAloneIsTheMessageTail) {
  for (int pdu_type : {PduResponse, PduReport}) {
    TSNMPRec sent = SampleResponse();
    sent.PDUType = pdu_type;
    sent.ErrorStatus = 2;
    sent.ErrorIndex = 1;
    const std::string message = sent.EncodeMessage();
    sent.ID = 4711;
    const std::string pdu = sent.EncodePdu();
    EXPECT_EQ(sent.ID, 4712);
    ASSERT_LT(pdu.size(), message.size());
    EXPECT_EQ(message.substr(message.size() - pdu.size()), pdu);

    TSNMPRec received;
    ASSERT_TRUE(received.DecodePdu(pdu + "trailing padding"));
    EXPECT_EQ(received.PDUType, pdu_type);
    EXPECT_EQ(received.ID, 4711);
    EXPECT_EQ(received.ErrorStatus, 2);
    EXPECT_EQ(received.ErrorIndex, 1);
    EXPECT_EQ(received.Community, kDefaultCommunity);
    ASSERT_EQ(received.BindingCount(), sent.BindingCount());
    EXPECT_EQ(received.BindingValue("1.3.6.1.2.1.2.2.1.10.130"), "4000000000");
    received.ID = 4711;
    EXPECT_EQ(received.EncodePdu(), pdu);

    ASSERT_TRUE(received.DecodePduHeader(pdu));
    EXPECT_EQ(received.ID, 4711);
    EXPECT_EQ(received.BindingCount(), 0);
    for (std::size_t length = 0; length < pdu.size(); ++length) {
      EXPECT_FALSE(received.DecodePdu(pdu.substr(0, length))) << length;
      ExpectResetState(received);
    }
  }
}

TEST(ErrorStatusName, TheProtocolsNamesByNumber) {
  const struct {
    std::int32_t status;
    std::string_view name;
  } cases[] = {{0, "noError"},
               {1, "tooBig"},
               {2, "noSuchName"},
               {5, "genErr"},
               {9, "wrongEncoding"},
               {13, "resourceUnavailable"},
               {16, "authorizationError"},
               {18, "inconsistentName"},
               {19, ""},
               {-1, ""}};
  for (const auto& c : cases) EXPECT_EQ(ErrorStatusName(c.status), c.name) << c.status;
}

}  // namespace
}  // namespace zelsnmp
