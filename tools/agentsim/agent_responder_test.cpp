#include "tools/agentsim/agent_responder.h"

#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "snmp/ber.h"

namespace zelsnmp::agentsim {
namespace {

const std::string kSysDescr = "1.3.6.1.2.1.1.1.0";
const std::string kSysUpTime = "1.3.6.1.2.1.1.3.0";
const std::string kMissing = "1.3.6.1.2.1.1.99.0";
const std::string kHighCounter = "1.3.6.1.2.1.31.1.1.1.6.1";

SnmprecData SampleData() {
  return ParseSnmprec("1.3.6.1.2.1.1.1.0|4|Switch\n"
                      "1.3.6.1.2.1.1.3.0|67|4711\n"
                      "1.3.6.1.2.1.31.1.1.1.6.1|70|5000000000\n")
      .data;
}

TSNMPRec Request(std::int32_t version, std::initializer_list<std::string> oids) {
  TSNMPRec request;
  request.Version = version;
  request.Community = "public";
  request.PDUType = PduGetRequest;
  request.ID = 77;
  for (const std::string& oid : oids) request.AddBinding(oid, "", TagNull);
  return request;
}

// The answer as the client sees it: through the encoder and the decoder.
TSNMPRec OverTheWire(TSNMPRec answer) {
  TSNMPRec decoded;
  EXPECT_TRUE(decoded.DecodeMessage(answer.EncodeMessage()));
  return decoded;
}

TEST(AgentResponderTest, V2cAnswersValuesAndNoSuchObject) {
  auto answer = BuildAnswer(Request(kSnmpVersion2c, {kSysDescr, kMissing, kHighCounter}),
                            SampleData(), std::nullopt);
  ASSERT_TRUE(answer);
  TSNMPRec decoded = OverTheWire(*answer);
  EXPECT_EQ(decoded.PDUType, PduResponse);
  EXPECT_EQ(decoded.Version, kSnmpVersion2c);
  EXPECT_EQ(decoded.ID, 77);
  EXPECT_EQ(decoded.Community, "public");
  EXPECT_EQ(decoded.ErrorStatus, 0);
  ASSERT_EQ(decoded.BindingCount(), 3);
  EXPECT_EQ(decoded.Bindings()[0].ValueText, "Switch");
  EXPECT_EQ(decoded.Bindings()[0].ValueTag, TagOctetString);
  EXPECT_EQ(decoded.Bindings()[1].OidText, kMissing);
  EXPECT_EQ(decoded.Bindings()[1].ValueTag, TagNoSuchObject);
  EXPECT_EQ(decoded.Bindings()[1].ValueText, "");
  EXPECT_EQ(decoded.Bindings()[2].ValueText, "5000000000");
  EXPECT_EQ(decoded.Bindings()[2].ValueTag, TagCounter64);
}

TEST(AgentResponderTest, V2cCanLeaveMissingOidsOut) {
  auto answer = BuildAnswer(Request(kSnmpVersion2c, {kMissing, kSysDescr}), SampleData(),
                            std::nullopt, true);
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->BindingCount(), 1);
  EXPECT_EQ(answer->Bindings()[0].OidText, kSysDescr);
}

TEST(AgentResponderTest, V1MissingOidGivesNoSuchNameWithIndex) {
  auto answer = BuildAnswer(Request(kSnmpVersion1, {kSysDescr, kSysUpTime, kMissing}),
                            SampleData(), std::nullopt);
  ASSERT_TRUE(answer);
  TSNMPRec decoded = OverTheWire(*answer);
  EXPECT_EQ(decoded.Version, kSnmpVersion1);
  EXPECT_EQ(decoded.ErrorStatus, kErrorStatusNoSuchName);
  EXPECT_EQ(decoded.ErrorIndex, 3);
  ASSERT_EQ(decoded.BindingCount(), 3);
  for (const TSNMPMib& binding : decoded.Bindings()) EXPECT_EQ(binding.ValueTag, TagNull);
}

TEST(AgentResponderTest, V1CannotCarryCounter64) {
  auto answer = BuildAnswer(Request(kSnmpVersion1, {kHighCounter}), SampleData(), std::nullopt);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->ErrorStatus, kErrorStatusNoSuchName);
  EXPECT_EQ(answer->ErrorIndex, 1);
}

TEST(AgentResponderTest, V1AnswersKnownOids) {
  auto answer = BuildAnswer(Request(kSnmpVersion1, {kSysUpTime}), SampleData(), std::nullopt);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->ErrorStatus, 0);
  EXPECT_EQ(answer->BindingValue(kSysUpTime), "4711");
}

TEST(AgentResponderTest, UnansweredRequests) {
  // SNMPv1 has no GetBulk.
  TSNMPRec v1_bulk = Request(kSnmpVersion1, {kSysDescr});
  v1_bulk.PDUType = PduGetBulkRequest;
  TSNMPRec set = Request(kSnmpVersion2c, {kSysDescr});
  set.PDUType = PduSetRequest;
  TSNMPRec version3 = Request(kSnmpVersion3, {kSysDescr});
  TSNMPRec response = Request(kSnmpVersion2c, {kSysDescr});
  response.PDUType = PduResponse;
  for (const TSNMPRec& request : {v1_bulk, set, version3, response}) {
    EXPECT_FALSE(BuildAnswer(request, SampleData(), std::nullopt));
  }
  EXPECT_FALSE(BuildAnswer(Request(kSnmpVersion2c, {kSysDescr}), SampleData(), "private"));
  EXPECT_TRUE(BuildAnswer(Request(kSnmpVersion2c, {kSysDescr}), SampleData(), "public"));
}

// GetNext and GetBulk walk the data in OID order (numbers, not text: .1.3 before .1.10).
TEST(AgentResponderTest, WalksTheDataInOidOrder) {
  const SnmprecData data = ParseSnmprec(
                               "1.3.6.1.2.1.2.2.1.2.10|4|eth1\n"
                               "1.3.6.1.2.1.2.2.1.2.3|4|eth0\n"
                               "1.3.6.1.2.1.2.2.1.4.3|2|1500\n"
                               "1.3.6.1.2.1.1.3.0|67|4711\n"
                               "1.3.6.1.2.1.31.1.1.1.6.1|70|5000000000\n")
                               .data;
  struct WalkCase {
    const char* name;
    std::int32_t version;
    int pdu;
    std::int32_t non_repeaters;
    std::int32_t repetitions;
    std::vector<std::string> oids;
    std::int32_t error_status;
    std::vector<std::string> answered;  // OID=tag:value, in order
  };
  const WalkCase cases[] = {
      {"GetNext from a column", kSnmpVersion2c, PduGetNextRequest, 0, 0,
       {"1.3.6.1.2.1.2.2.1.2", "1.3.6.1.2.1.2.2.1.2.3"}, 0,
       {"1.3.6.1.2.1.2.2.1.2.3=4:eth0", "1.3.6.1.2.1.2.2.1.2.10=4:eth1"}},
      {"GetNext past the end", kSnmpVersion2c, PduGetNextRequest, 0, 0,
       {"1.3.6.1.2.1.31.1.1.1.6.1"}, 0, {"1.3.6.1.2.1.31.1.1.1.6.1=130:"}},
      {"v1 steps over Counter64 to the end", kSnmpVersion1, PduGetNextRequest, 0, 0,
       {"1.3.6.1.2.1.2.2.1.4.3"}, kErrorStatusNoSuchName, {"1.3.6.1.2.1.2.2.1.4.3=5:"}},
      {"GetBulk of three rows", kSnmpVersion2c, PduGetBulkRequest, 1, 3,
       {"1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.2.2.1.2"}, 0,
       {"1.3.6.1.2.1.2.2.1.2.3=4:eth0", "1.3.6.1.2.1.2.2.1.2.3=4:eth0",
        "1.3.6.1.2.1.2.2.1.2.10=4:eth1", "1.3.6.1.2.1.2.2.1.4.3=2:1500"}},
      {"GetBulk ends at the end of the view", kSnmpVersion2c, PduGetBulkRequest, 0, 50,
       {"1.3.6.1.2.1.2.2.1.4.3"}, 0,
       {"1.3.6.1.2.1.31.1.1.1.6.1=70:5000000000", "1.3.6.1.2.1.31.1.1.1.6.1=130:"}},
      {"GetBulk with negative counts", kSnmpVersion2c, PduGetBulkRequest, -1, -1,
       {"1.3.6.1.2.1.1.3.0"}, 0, {}},
  };
  for (const WalkCase& c : cases) {
    SCOPED_TRACE(c.name);
    TSNMPRec request = Request(c.version, {});
    for (const std::string& oid : c.oids) request.AddBinding(oid, "", TagNull);
    request.PDUType = c.pdu;
    request.NonRepeaters() = c.non_repeaters;
    request.MaxRepetitions() = c.repetitions;
    auto answer = BuildAnswer(OverTheWire(request), data, std::nullopt);
    ASSERT_TRUE(answer);
    const TSNMPRec decoded = OverTheWire(*answer);
    EXPECT_EQ(decoded.ErrorStatus, c.error_status);
    std::vector<std::string> answered;
    for (const TSNMPMib& binding : decoded.Bindings()) {
      answered.push_back(binding.OidText + "=" + std::to_string(binding.ValueTag) + ":" +
                         binding.ValueText);
    }
    EXPECT_EQ(answered, c.answered);
  }
}

TEST(AgentResponderTest, ErrorAnswerCarriesTheStatusAndNoBindings) {
  const TSNMPRec answer =
      OverTheWire(BuildErrorAnswer(Request(kSnmpVersion2c, {kSysDescr, kSysUpTime}), 1));
  EXPECT_EQ(answer.PDUType, PduResponse);
  EXPECT_EQ(answer.ID, 77);
  EXPECT_EQ(answer.Community, "public");
  EXPECT_EQ(answer.ErrorStatus, 1);
  EXPECT_EQ(answer.ErrorIndex, 0);
  EXPECT_EQ(answer.BindingCount(), 0);
}

struct FaultCase {
  const char* name;
  std::vector<std::string> arguments;  // options after --listen and --data
  int oids;                            // the request asks for the first `oids` OIDs
  bool answered;
  std::int32_t error_status;
  std::int32_t error_index;
  std::int32_t bindings;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class AnswerFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(AnswerFaultTest, ShapesTheAnswer) {
  const FaultCase& c = GetParam();
  std::vector<std::string> arguments = {"--listen", "127.0.0.2", "--data", "f"};
  arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
  const AgentOptionsResult parsed = ParseAgentOptions(arguments);
  ASSERT_EQ(parsed.error, "");
  const std::string oids[] = {kSysDescr, kSysUpTime, kMissing};
  TSNMPRec request = Request(kSnmpVersion2c, {});
  for (int i = 0; i < c.oids; ++i) request.AddBinding(oids[i], "", TagNull);
  auto answer = BuildAnswer(request, SampleData(), std::nullopt);
  ASSERT_TRUE(answer);
  auto shaped = ApplyAnswerFaults(request, *answer, parsed.options);
  ASSERT_EQ(shaped.has_value(), c.answered);
  if (!shaped) return;
  const TSNMPRec decoded = OverTheWire(*shaped);
  EXPECT_EQ(decoded.ID, 77);
  EXPECT_EQ(decoded.ErrorStatus, c.error_status);
  EXPECT_EQ(decoded.ErrorIndex, c.error_index);
  EXPECT_EQ(decoded.BindingCount(), c.bindings);
}

// The answer to all three OIDs takes 76 bytes.
INSTANTIATE_TEST_SUITE_P(
    Options, AnswerFaultTest,
    ::testing::Values(
        FaultCase{"NoFault", {}, 3, true, 0, 0, 3},
        FaultCase{"MaxOidsReached", {"--max-oids", "3"}, 3, true, 0, 0, 3},
        FaultCase{"MaxOidsExceeded", {"--max-oids", "2"}, 3, true, 1, 0, 0},
        FaultCase{"DropAboveReached", {"--drop-above", "2"}, 2, true, 0, 0, 2},
        FaultCase{"DropAboveExceeded", {"--drop-above", "2"}, 3, false, 0, 0, 0},
        FaultCase{"DropBeforeTooBig", {"--drop-above", "1", "--max-oids", "1"}, 2, false, 0, 0,
                  0},
        FaultCase{"MaxSizeFits", {"--max-size", "76"}, 3, true, 0, 0, 3},
        FaultCase{"MaxSizeExceeded", {"--max-size", "75"}, 3, true, 1, 0, 0},
        FaultCase{"ErrorIndexNamesTheBinding", {"--error-index-for", kSysUpTime.c_str()}, 3,
                  true, 2, 2, 3},
        FaultCase{"ErrorIndexOwnStatus",
                  {"--error-index-for", kSysUpTime.c_str(), "--error-status", "5"}, 2, true, 5,
                  2, 2},
        FaultCase{"ErrorIndexOidNotAsked", {"--error-index-for", kSysUpTime.c_str()}, 1, true,
                  0, 0, 1},
        FaultCase{"ErrorStatusForAll", {"--error-status", "5"}, 2, true, 5, 0, 0}),
    [](const auto& test_info) { return std::string(test_info.param.name); });

TEST(AgentResponderTest, LogLineIsOneEscapedLine) {
  TSNMPRec request = Request(kSnmpVersion2c, {kSysDescr, kSysUpTime});
  request.Community = "pub\nlic\"";
  auto answer = BuildAnswer(request, SampleData(), std::nullopt);
  ASSERT_TRUE(answer);
  EXPECT_EQ(DescribeAnswer(request, *answer, "127.0.0.1:40000"),
            "answered 127.0.0.1:40000 v2c id=77 community=\"pub\\x0Alic\\x22\" "
            "oids=1.3.6.1.2.1.1.1.0,1.3.6.1.2.1.1.3.0 answer-id=77 error-status=0 "
            "error-index=0");
}

}  // namespace
}  // namespace zelsnmp::agentsim
