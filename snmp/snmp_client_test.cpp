#include "snmp/snmp_client.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/ip_literal.h"
#include "net/socket_error.h"
#include "net/socket_test_util.h"
#include "snmp/ber.h"
#include "snmp/scripted_responder.h"
#include "testing/agent_process.h"

namespace zelsnmp {
namespace {

using Clock = std::chrono::steady_clock;
using testing_support::AgentProcess;
using testing_support::LogField;
using testing::RecordedWait;
using testing::ScopedSocketInterface;
using testing::ScriptedResponder;
using testing::WaitRecorder;
using testing::WaitRecordingBinding;

const std::string kSysDescr = "1.3.6.1.2.1.1.1.0";
const std::string kSysUpTime = "1.3.6.1.2.1.1.3.0";
const std::string kIfInOctets = "1.3.6.1.2.1.2.2.1.10.1";
const std::string kMissing = "1.3.6.1.2.1.1.99.0";
constexpr int kShortTimeoutMs = 300;

std::string AgentData(const std::string& name, const std::string& octets) {
  return "# test agent\n" + kSysDescr + "|4|" + name + "\n" + kSysUpTime + "|67|4711\n" +
         kIfInOctets + "|65|" + octets + "\n";
}

// ADDR:PORT of the client in an agent's "answered ADDR:PORT ..." line.
std::string SenderOf(const std::string& line) {
  const std::size_t start = std::string("answered ").size();
  return line.substr(start, line.find(' ', start) - start);
}

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The poll cycle's way of asking an agent.
void PrepareQuery(TSNMPSend& client, const AgentProcess& agent,
                  std::initializer_list<std::string> oids,
                  std::int32_t version = kSnmpVersion2c) {
  client.Query().ResetMessage();
  client.Query().Community = "public";
  client.Query().Version = version;
  client.Query().PDUType = PduGetRequest;
  for (const std::string& oid : oids) client.Query().AddBinding(oid, "", TagNull);
  client.TargetHost = agent.address();
  client.TargetPort = agent.port();
}

// The address an agent's answers come from: its own, except under Wine, where an agent bound
// to any 127.0.0.x address sends from 127.0.0.1.
std::string SenderSeen(const AgentProcess& agent) {
  return testing_support::DistinctLoopbackAgents() ? agent.address() : "127.0.0.1";
}

void ExpectFailedReceiveState(const TSNMPSend& client) {
  EXPECT_EQ(client.HostIP(), "0.0.0.0");
  EXPECT_EQ(client.Reply().BindingCount(), 0);
  EXPECT_EQ(client.Reply().PDUType, 0);
  EXPECT_EQ(client.Reply().Community, "vxkfqz");
}

class SNMPSendTest : public ::testing::Test {
 protected:
  void SetUp() override { client_.Timeout = kShortTimeoutMs; }
  TSNMPSend client_;
};

TEST(SNMPSendConstructionTest, FreshObject) {
  TSNMPSend client;
  EXPECT_EQ(client.TargetHost, "127.0.0.1");
  EXPECT_EQ(client.TargetPort, "161");
  EXPECT_EQ(client.IPInterface, "0.0.0.0");
  EXPECT_EQ(client.Timeout, 5000);
  EXPECT_EQ(client.UserName, "");
  EXPECT_EQ(client.Password, "");
  EXPECT_EQ(client.HostIP(), "");
  EXPECT_EQ(client.Buffer, "");
  EXPECT_EQ(client.Query().ID, 1);
  EXPECT_EQ(client.Reply().ID, 1);
  EXPECT_EQ(client.Query().BindingCount(), 0);
  EXPECT_EQ(client.Query().Community, "vxkfqz");
  EXPECT_EQ(client.Sock().Owner, &client);
  EXPECT_FALSE(client.Sock().RaiseExcept);
  EXPECT_EQ(client.Sock().Handle(), kInvalidSocketHandle);
  EXPECT_FALSE(client.SentRequestId().has_value());
  EXPECT_EQ(TIPClient().TargetPort, "0");
}

// The request ID the query of the last exchange went out with.
std::int32_t SentId(const TSNMPSend& client) {
  return client.SentRequestId().value_or(0);
}

// The ID the message's own rule leaves behind one that was encoded.
std::int32_t RaisedId(std::int32_t id) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(id) + 1u);
}

TEST_F(SNMPSendTest, RequestIdsAreFreshPerRequestFromOneLocalPort) {
  AgentProcess first("127.0.0.2:0", AgentData("first", "10"));
  AgentProcess second("127.0.0.3:0", AgentData("second", "20"));
  ASSERT_TRUE(first.listening() && second.listening()) << first.Output();

  const AgentProcess* order[] = {&first, &second, &first};
  std::set<std::int32_t> ids;
  for (int i = 0; i < 3; ++i) {
    PrepareQuery(client_, *order[i], {kSysDescr, kIfInOctets});
    ASSERT_TRUE(client_.SendQuery()) << client_.LastErrorText();
    EXPECT_GT(SentId(client_), 0);
    EXPECT_EQ(client_.Reply().ID, SentId(client_));
    EXPECT_EQ(client_.Query().ID, RaisedId(SentId(client_)));
    ids.insert(SentId(client_));
    EXPECT_EQ(client_.HostIP(), SenderSeen(*order[i]));
    EXPECT_EQ(client_.Reply().BindingValue(kSysDescr), order[i] == &first ? "first" : "second");
    EXPECT_EQ(client_.LastErrorCode(), 0);
  }
  EXPECT_EQ(ids.size(), 3u);  // equal draws have a chance of about 2^-30
  // Not 1, 2, 3: a device that saw one request cannot name the next.
  EXPECT_NE(ids, (std::set<std::int32_t>{1, 2, 3}));

  auto first_lines = first.Answers(2);
  auto second_lines = second.Answers(1);
  ASSERT_EQ(first_lines.size(), 2u);
  ASSERT_EQ(second_lines.size(), 1u);
  EXPECT_TRUE(ids.count(std::stoi(LogField(first_lines[0], "id"))));
  EXPECT_TRUE(ids.count(std::stoi(LogField(second_lines[0], "id"))));
  EXPECT_EQ(SenderOf(first_lines[0]), SenderOf(second_lines[0]));
  EXPECT_EQ(SenderOf(first_lines[0]), SenderOf(first_lines[1]));
}

// The fault the exchange guards against: an answer that comes after its request timed out
// lies queued when the next request, to another agent, waits for its answer.
TEST_F(SNMPSendTest, LateAnswerToEarlierRequestIsDroppedAndTheRightOneTaken) {
  AgentProcess slow("127.0.0.2:0", AgentData("slow", "111"), {"--delay", "600"});
  AgentProcess prompt("127.0.0.3:0", AgentData("prompt", "222"));
  ASSERT_TRUE(slow.listening() && prompt.listening());

  PrepareQuery(client_, slow, {kSysDescr, kIfInOctets});
  EXPECT_FALSE(client_.SendQuery());
  EXPECT_EQ(client_.LastErrorCode(), kSocketErrorTimedOut);

  ASSERT_TRUE(testing::WaitForPending(client_.Sock())) << "the late answer never came";
  ASSERT_EQ(slow.Answers(1).size(), 1u);

  PrepareQuery(client_, prompt, {kSysDescr, kIfInOctets});
  ASSERT_TRUE(client_.SendQuery()) << client_.LastErrorText();
  EXPECT_EQ(client_.Reply().ID, SentId(client_));
  EXPECT_EQ(client_.HostIP(), SenderSeen(prompt));
  EXPECT_EQ(client_.Reply().BindingValue(kSysDescr), "prompt");
  EXPECT_EQ(client_.Reply().BindingValue(kIfInOctets), "222");
  TSNMPRec accepted;
  ASSERT_TRUE(accepted.DecodeMessage(client_.Buffer));
  EXPECT_EQ(accepted.ID, SentId(client_));
}

TEST_F(SNMPSendTest, SilentAgentCostsOneTimeoutAndLeavesTheFailedState) {
  ScopedSocketInterface recorded(WaitRecordingBinding());
  AgentProcess silent("127.0.0.2:0", AgentData("silent", "1"), {"--silent"});
  ASSERT_TRUE(silent.listening());
  PrepareQuery(client_, silent, {kSysDescr});
  auto start = Clock::now();
  EXPECT_FALSE(client_.SendQuery());
  EXPECT_GE(MillisecondsSince(start), kShortTimeoutMs - 10);
  // At most one wait ran out (none when a loaded machine passed the deadline before the
  // wait began), and none was meant to last longer than the time-out: read from what the
  // socket asked the platform, not from the time the machine took.
  EXPECT_LE(WaitRecorder::TimedOutOf(client_.Sock().Handle()).size(), 1u);
  for (const RecordedWait& wait : WaitRecorder::Of(client_.Sock().Handle())) {
    EXPECT_LE(wait.timeout_ms, kShortTimeoutMs);
  }
  EXPECT_EQ(client_.LastErrorCode(), kSocketErrorTimedOut);
  EXPECT_EQ(client_.LastErrorText(), "Connection timed out");
  EXPECT_EQ(client_.Sock().LastErrorCode(), kSocketErrorTimedOut);
  EXPECT_EQ(client_.Buffer, "");
  ExpectFailedReceiveState(client_);
  EXPECT_EQ(client_.Query().ID, RaisedId(SentId(client_)));
}

TEST_F(SNMPSendTest, WrongIdAnswerIsNotTaken) {
  AgentProcess confused("127.0.0.2:0", AgentData("confused", "1"), {"--wrong-id"});
  ASSERT_TRUE(confused.listening());
  PrepareQuery(client_, confused, {kSysDescr});
  EXPECT_FALSE(client_.SendQuery());
  EXPECT_EQ(client_.LastErrorCode(), kSocketErrorTimedOut);
  EXPECT_EQ(client_.Buffer, "");
  ExpectFailedReceiveState(client_);
  auto lines = confused.Answers(1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(LogField(lines[0], "answer-id"), std::to_string(SentId(client_)));
}

TEST_F(SNMPSendTest, GarbageBeforeTheAnswerIsDropped) {
  AgentProcess noisy("127.0.0.2:0", AgentData("noisy", "5"), {"--garbage-first"});
  ASSERT_TRUE(noisy.listening());
  PrepareQuery(client_, noisy, {kSysDescr});
  ASSERT_TRUE(client_.SendQuery()) << client_.LastErrorText();
  EXPECT_EQ(client_.Reply().BindingValue(kSysDescr), "noisy");
  EXPECT_EQ(client_.HostIP(), SenderSeen(noisy));
  EXPECT_EQ(client_.Buffer.front(), '\x30');
}

// The socket reports a 0-byte datagram as "Connection reset by peer", the way it sees an ICMP
// port-unreachable; the exchange ends on it. The answer behind it is left queued and must not
// become the answer to the next request.
TEST_F(SNMPSendTest, EmptyDatagramBeforeTheAnswerEndsTheExchangeWithoutLeakingIt) {
  AgentProcess empty("127.0.0.2:0", AgentData("empty", "5"), {"--empty-first"});
  AgentProcess plain("127.0.0.3:0", AgentData("plain", "6"));
  ASSERT_TRUE(empty.listening() && plain.listening());
  PrepareQuery(client_, empty, {kSysDescr});
  EXPECT_FALSE(client_.SendQuery());
  EXPECT_EQ(client_.LastErrorCode(), kSocketErrorConnectionReset);
  ExpectFailedReceiveState(client_);

  ASSERT_TRUE(testing::WaitForPending(client_.Sock()));
  PrepareQuery(client_, plain, {kSysDescr});
  ASSERT_TRUE(client_.SendQuery()) << client_.LastErrorText();
  EXPECT_EQ(client_.Reply().BindingValue(kSysDescr), "plain");
  EXPECT_EQ(client_.Reply().ID, SentId(client_));
}

TEST_F(SNMPSendTest, RepeatedAnswerIsNotTakenForTheNextRequest) {
  AgentProcess echo("127.0.0.2:0", AgentData("echo", "7"), {"--twice"});
  ASSERT_TRUE(echo.listening());
  PrepareQuery(client_, echo, {kSysDescr});
  ASSERT_TRUE(client_.SendQuery());
  ASSERT_TRUE(testing::WaitForPending(client_.Sock()));
  PrepareQuery(client_, echo, {kIfInOctets});
  ASSERT_TRUE(client_.SendQuery());
  EXPECT_EQ(client_.Reply().ID, SentId(client_));
  EXPECT_EQ(client_.Reply().BindingValue(kIfInOctets), "7");
  EXPECT_EQ(client_.Reply().BindingCount(), 1);
}

TEST_F(SNMPSendTest, AnswerFromAnotherAddressIsAcceptedAndNamed) {
  if (!testing_support::DistinctLoopbackAgents()) {
    GTEST_SKIP() << "agents at distinct loopback addresses cannot be told apart here (Wine)";
  }
  AgentProcess multihomed("127.0.0.3:0", AgentData("multihomed", "8"), {"--from", "127.0.0.4"});
  ASSERT_TRUE(multihomed.listening()) << multihomed.Output();
  PrepareQuery(client_, multihomed, {kSysDescr});
  ASSERT_TRUE(client_.SendQuery()) << client_.LastErrorText();
  EXPECT_EQ(client_.HostIP(), "127.0.0.4");
  EXPECT_EQ(client_.Reply().BindingValue(kSysDescr), "multihomed");
}

TEST_F(SNMPSendTest, CommunityOfTheQueryDecidesWhetherTheAgentAnswers) {
  AgentProcess strict("127.0.0.2:0", AgentData("strict", "9"), {"--community", "private"});
  ASSERT_TRUE(strict.listening());
  PrepareQuery(client_, strict, {kSysDescr});
  EXPECT_FALSE(client_.SendQuery());
  PrepareQuery(client_, strict, {kSysDescr});
  client_.Query().Community = "private";
  ASSERT_TRUE(client_.SendQuery());
  EXPECT_EQ(client_.Reply().Community, "private");
}

TEST_F(SNMPSendTest, ValuesExceptionsAndErrorStatusKeepTheirTags) {
  AgentProcess agent("127.0.0.2:0",
                     "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.99.1\n"
                     "1.3.6.1.2.1.4.20.1.1.10.0.0.1|64|10.0.0.1\n"
                     "1.3.6.1.2.1.31.1.1.1.6.1|70|5000000000\n"
                     "1.3.6.1.2.1.2.2.1.6.1|4x|0050569a0b0c\n"
                     "1.3.6.1.2.1.2.2.1.5.1|66|4294967295\n"
                     "1.3.6.1.2.1.1.7.0|2|-72\n"
                     "1.3.6.1.2.1.1.8.0|129|\n"
                     "1.3.6.1.2.1.1.9.0|130|\n");
  ASSERT_TRUE(agent.listening()) << agent.Output();
  PrepareQuery(client_, agent,
               {"1.3.6.1.2.1.1.2.0", "1.3.6.1.2.1.4.20.1.1.10.0.0.1", "1.3.6.1.2.1.31.1.1.1.6.1",
                "1.3.6.1.2.1.2.2.1.6.1", "1.3.6.1.2.1.2.2.1.5.1", "1.3.6.1.2.1.1.7.0", kMissing,
                "1.3.6.1.2.1.1.8.0", "1.3.6.1.2.1.1.9.0"});
  ASSERT_TRUE(client_.SendQuery());
  struct Expected {
    std::string text;
    int tag;
  };
  const Expected expected[] = {
      {"1.3.6.1.4.1.99.1", TagObjectId},
      {"10.0.0.1", TagIpAddress},
      {"5000000000", TagCounter64},
      {std::string("\x00\x50\x56\x9a\x0b\x0c", 6), TagOctetString},
      {"4294967295", TagGauge32},
      {"-72", TagInteger},
      {"", TagNoSuchObject},
      {"", TagNoSuchInstance},
      {"", TagEndOfMibView}};
  const auto& bindings = client_.Reply().Bindings();
  ASSERT_EQ(bindings.size(), std::size(expected));
  for (std::size_t i = 0; i < bindings.size(); ++i) {
    EXPECT_EQ(bindings[i].ValueText, expected[i].text) << bindings[i].OidText;
    EXPECT_EQ(bindings[i].ValueTag, expected[i].tag) << bindings[i].OidText;
  }
  EXPECT_EQ(client_.Reply().ErrorStatus, 0);

  PrepareQuery(client_, agent, {"1.3.6.1.2.1.1.7.0", kMissing}, kSnmpVersion1);
  ASSERT_TRUE(client_.SendQuery());
  EXPECT_EQ(client_.Reply().Version, kSnmpVersion1);
  EXPECT_EQ(client_.Reply().ErrorStatus, 2);
  EXPECT_EQ(client_.Reply().ErrorIndex, 2);
}

// One deadline for the whole wait: datagrams that are not the answer do not lengthen it.
TEST_F(SNMPSendTest, StreamOfOtherDatagramsDoesNotExtendTheWait) {
  ScopedSocketInterface recorded(WaitRecordingBinding());
  AgentProcess silent("127.0.0.2:0", AgentData("silent", "1"), {"--silent"});
  AgentProcess plain("127.0.0.3:0", AgentData("plain", "1"));
  ASSERT_TRUE(silent.listening() && plain.listening());
  PrepareQuery(client_, plain, {kSysDescr});
  ASSERT_TRUE(client_.SendQuery());
  auto lines = plain.Answers(1);
  ASSERT_EQ(lines.size(), 1u);
  const std::string client_sender = SenderOf(lines[0]);
  const std::string client_port = client_sender.substr(client_sender.rfind(':') + 1);

  // Ahead of each of the client's first waits, at least kPauseMs pass and then a datagram
  // that is not the answer arrives, which ends that wait. The deadline was set before the
  // first pause, so a wait after `pauses` of them can be meant for at most the time-out less
  // the pauses: a wait that the stream lengthened asks for more.
  constexpr int kPauseMs = 40;
  constexpr int kStream = 5;
  TUDPBlockSocket sender;
  sender.BindLocal("127.0.0.5", "0");
  sender.ConnectTo("127.0.0.1", client_port);
  const SocketHandle client_socket = client_.Sock().Handle();
  struct Asked {
    int timeout_ms;
    int pauses;
  };
  std::vector<Asked> asked;
  int pauses = 0;
  WaitRecorder::SetBefore([&](SocketHandle handle, int timeout_ms) {
    if (handle != client_socket) return;
    asked.push_back({timeout_ms, pauses});
    if (timeout_ms == 0 || pauses == kStream) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPauseMs));
    sender.SendDatagram("GARBAGE");
    ++pauses;
  });
  PrepareQuery(client_, silent, {kSysDescr});
  auto start = Clock::now();
  EXPECT_FALSE(client_.SendQuery());
  long long elapsed = MillisecondsSince(start);
  WaitRecorder::SetBefore(nullptr);
  EXPECT_EQ(client_.LastErrorCode(), kSocketErrorTimedOut);
  EXPECT_GE(elapsed, kShortTimeoutMs - 10);
  // Fewer than kStream when a loaded machine stretched the pauses past the deadline.
  EXPECT_GE(pauses, 1);
  for (const Asked& wait : asked) {
    EXPECT_LE(wait.timeout_ms, kShortTimeoutMs - wait.pauses * kPauseMs) << wait.pauses;
  }
  EXPECT_LE(WaitRecorder::TimedOutOf(client_socket).size(), 1u);
  EXPECT_EQ(client_.Buffer, "");
  ExpectFailedReceiveState(client_);
}

// The reply is released when the exchange starts, whatever becomes of the send.
TEST(SNMPSendFailureTest, FailedSendKeepsTheEncodedQueryAndResetsTheReply) {
  testing::ScopedSocketInterface lookups(testing::UnresolvableHostBinding());
  ASSERT_TRUE(lookups.loaded());
  TSNMPSend client;
  client.Timeout = kShortTimeoutMs;
  client.Reply().AddBinding(kSysDescr, "kept", TagOctetString);
  client.TargetHost = std::string(testing::kUnresolvableHost);
  client.Query().PDUType = PduGetRequest;
  client.Query().AddBinding(kSysDescr, "", TagNull);
  EXPECT_FALSE(client.SendQuery());
  EXPECT_EQ(client.LastErrorCode(), kSocketErrorHostNotFound);
  EXPECT_EQ(client.Reply().BindingCount(), 0);
  EXPECT_EQ(client.HostIP(), "");
  TSNMPRec sent;
  ASSERT_TRUE(sent.DecodeMessage(client.Buffer));
  EXPECT_GT(sent.ID, 0);
  EXPECT_EQ(client.SentRequestId(), sent.ID);
}

TEST(SNMPSendFailureTest, ReceiveWithoutTransmitWaitsForNothing) {
  TSNMPSend client;
  client.Timeout = 50;
  TSNMPRec reply;
  reply.AddBinding(kSysDescr, "old", TagOctetString);
  EXPECT_FALSE(client.ReceiveReply(reply));
  EXPECT_EQ(reply.BindingCount(), 0);
  EXPECT_EQ(client.HostIP(), "0.0.0.0");
}

// A query for `oid` to host:port the way the pass fills it.
void PrepareQueryTo(TSNMPSend& client, const std::string& host, const std::string& port,
                    const std::string& oid) {
  client.Query().ResetMessage();
  client.Query().Version = kSnmpVersion2c;
  client.Query().PDUType = PduGetRequest;
  client.Query().AddBinding(oid, "", TagNull);
  client.TargetHost = host;
  client.TargetPort = port;
}

struct RetryCase {
  const char* name;
  const char* host;  // as written in TargetHost; the responder listens there
  int retries;
  int timeout_ms;
  int dropped;   // tries the responder does not answer
  int delay_ms;  // how late it answers the next one
  bool answered;
  int tries;  // datagrams the responder sees
  // When set, the answer waits besides its delay until this many tries arrived (the delay
  // then counts from the last), so that it falls in a later try by the order of events.
  int held_until_try = 0;
};

void PrintTo(const RetryCase& c, std::ostream* os) { *os << c.name; }

class SNMPSendRetryTest : public ::testing::TestWithParam<RetryCase> {};

TEST_P(SNMPSendRetryTest, SameDatagramAgainUntilTheLastDeadline) {
  const RetryCase& c = GetParam();
  const std::string address(WithoutIPv6Brackets(c.host));
  if (address == "::1" && !testing::IPv6LoopbackAvailable()) GTEST_SKIP() << "no ::1 here";
  ScopedSocketInterface recorded(WaitRecordingBinding());
  ScriptedResponder responder(
      address,
      {{kSysDescr, {c.dropped, std::chrono::milliseconds(c.delay_ms), c.held_until_try}}});
  ASSERT_TRUE(responder.listening());
  TSNMPSend client;
  client.Timeout = c.timeout_ms;
  client.Retries = c.retries;
  PrepareQueryTo(client, c.host, responder.port(), kSysDescr);
  const auto start = Clock::now();
  EXPECT_EQ(client.SendQuery(), c.answered) << client.LastErrorText();
  const long long elapsed = MillisecondsSince(start);
  const std::vector<std::string> tries = responder.Tries(kSysDescr, c.tries);
  ASSERT_EQ(static_cast<int>(tries.size()), c.tries);
  TSNMPRec first;
  ASSERT_TRUE(first.DecodeMessage(tries[0]));
  EXPECT_EQ(first.ID, SentId(client));
  for (const std::string& again : tries) EXPECT_EQ(again, tries[0]);
  if (c.answered) {
    EXPECT_EQ(client.HostIP(), address);
    EXPECT_EQ(client.Reply().BindingValue(kSysDescr), "answer to " + kSysDescr);
  } else {
    const int all_tries_ms = (c.retries + 1) * c.timeout_ms;
    EXPECT_EQ(client.LastErrorCode(), kSocketErrorTimedOut);
    EXPECT_GE(elapsed, all_tries_ms - 10);
    // Each try waited out at most once, and no wait was meant to last longer than a try.
    const SocketHandle socket = address == "::1" ? client.Sock6().Handle() : client.Sock().Handle();
    EXPECT_LE(static_cast<int>(WaitRecorder::TimedOutOf(socket).size()), c.retries + 1);
    for (const RecordedWait& wait : WaitRecorder::Of(socket)) {
      EXPECT_LE(wait.timeout_ms, c.timeout_ms);
    }
    ExpectFailedReceiveState(client);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SNMPSendRetryTest,
    ::testing::Values(
        RetryCase{"FirstTryAnswered", "127.0.0.1", 0, 300, 0, 0, true, 1},
        RetryCase{"NoRetriesOneTry", "127.0.0.1", 0, 150, 9, 0, false, 1},
        RetryCase{"ThirdTryAnswered", "127.0.0.1", 2, 150, 2, 0, true, 3},
        RetryCase{"EveryTryDropped", "127.0.0.1", 1, 150, 9, 0, false, 2},
        RetryCase{"FirstTryAnsweredDuringTheSecond", "127.0.0.1", 1, 300, 0, 0, true, 2, 2},
        // The answer goes out long after the last deadline: a platform wait may end a little
        // past its time-out (seen under Wine), and an answer already there is then taken.
        RetryCase{"AnswerAfterTheLastDeadline", "127.0.0.1", 1, 150, 0, 2000, false, 2, 2},
        RetryCase{"IPv6ThirdTryAnswered", "::1", 2, 150, 2, 0, true, 3},
        RetryCase{"IPv6InBracketsSecondTryAnswered", "[::1]", 1, 150, 1, 0, true, 2}),
    [](const ::testing::TestParamInfo<RetryCase>& param) { return std::string(param.param.name); });

// One client, targets of both families one after the other: each family has its one socket
// and keeps its local port.
TEST(SNMPSendFamilyTest, EachFamilyKeepsItsSocketAndLocalPort) {
  if (!testing::IPv6LoopbackAvailable()) GTEST_SKIP() << "no ::1 here";
  ScriptedResponder v4("127.0.0.1", {});
  ScriptedResponder v6("::1", {});
  ASSERT_TRUE(v4.listening() && v6.listening());
  TSNMPSend client;
  client.Timeout = 2000;
  const std::pair<const ScriptedResponder*, std::string> order[] = {
      {&v4, "127.0.0.1"}, {&v6, "::1"}, {&v4, "127.0.0.1"}, {&v6, "[::1]"}};
  int step = 0;
  for (const auto& [responder, host] : order) {
    PrepareQueryTo(client, host, responder->port(), "1.3.6.1.4.1.7." + std::to_string(++step));
    ASSERT_TRUE(client.SendQuery()) << host << ": " << client.LastErrorText();
    EXPECT_EQ(client.HostIP(), host == "127.0.0.1" ? "127.0.0.1" : "::1");
  }
  EXPECT_FALSE(client.Sock().UsesIPv6());
  EXPECT_TRUE(client.Sock6().UsesIPv6());
  for (const ScriptedResponder* responder : {&v4, &v6}) {
    const std::vector<std::uint16_t> ports = responder->SenderPorts();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0], ports[1]);
  }
}

// Lookups where "agent6.test" has only the IPv6 loopback address, so that no name server is
// asked.
std::int32_t LookupWithIPv6OnlyName(const char* node, const char* service,
                                    const AddressLookupHints& hints, SocketAddress& first) {
  if (node != nullptr && std::string_view(node) == "agent6.test") {
    if (hints.family != SocketApi().family_ip6) return kSocketErrorHostNotFound;
    node = "::1";
  }
  return testing::platform_get_address_info(node, service, hints, first);
}

TEST(SNMPSendFamilyTest, NameWithOnlyAnIPv6AddressGoesOverIPv6) {
  if (!testing::IPv6LoopbackAvailable()) GTEST_SKIP() << "no ::1 here";
  static const SocketInterfaceBinding binding{
      [](std::string_view name, SocketInterface& table) {
        const bool loaded = PlatformSocketInterfaceBinding().load_library(name, table);
        testing::platform_get_address_info = table.get_address_info;
        table.get_address_info = LookupWithIPv6OnlyName;
        return loaded;
      },
      nullptr, PlatformSocketInterfaceBinding().free_libraries};
  testing::ScopedSocketInterface lookups(binding);
  ASSERT_TRUE(lookups.loaded());
  ScriptedResponder v6("::1", {});
  ASSERT_TRUE(v6.listening());
  TSNMPSend client;
  client.Timeout = 2000;
  PrepareQueryTo(client, "agent6.test", v6.port(), kSysDescr);
  ASSERT_TRUE(client.SendQuery()) << client.LastErrorText();
  EXPECT_EQ(client.HostIP(), "::1");
  EXPECT_EQ(client.Sock().Handle(), kInvalidSocketHandle);
}

TEST(SNMPSendFailureTest, IPv6TargetWithoutIPv6LookupsFailsAtOnce) {
  testing::ScopedSocketInterface legacy(testing::LegacyBinding());
  ASSERT_TRUE(legacy.loaded());
  TSNMPSend client;
  PrepareQueryTo(client, "[::1]", "16161", kSysDescr);
  EXPECT_FALSE(client.SendQuery());
  EXPECT_EQ(client.LastErrorCode(), kSocketErrorFamilyNotSupported);
  EXPECT_EQ(client.Sock6().Handle(), kInvalidSocketHandle);
}

}  // namespace
}  // namespace zelsnmp
