// The poll pass against the stand-in TM server and real agent simulators on loopback: what each
// kind of value writes into each kind of point, silent agents, answers with an error status,
// the client kept from agent to agent and pass to pass, and the exact log lines.

#include "poller/agent_poller.h"

#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "poller/pass_test_site.h"
#include "testing/agent_process.h"
#include "testing/journal.h"

namespace zelsnmp {
namespace {

using testing_support::AgentProcess;
using testing_support::WritesTo;

// Short, so that silent agents cost little; answers on loopback take well under it.
constexpr std::int32_t kTestTimeoutMs = 400;

PointLine Line(const std::string& address, const std::string& oid) {
  return PointLine{address + "=" + oid};
}

class AgentPollerTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_GT(site_.tm(), 0); }

  // An agent on `address`; the first one takes any free port, later ones that same port.
  AgentProcess& StartAgent(const std::string& address, const std::string& snmprec,
                           const std::vector<std::string>& options = {}) {
    agents_.push_back(std::make_unique<AgentProcess>(
        address + ":" + (port_.empty() ? "0" : port_), snmprec, options));
    EXPECT_TRUE(agents_.back()->listening()) << agents_.back()->Output();
    if (port_.empty()) port_ = agents_.back()->port();
    return *agents_.back();
  }

  AgentPoller MakePoller() {
    return AgentPoller(site_.tm(), [port = port_] {
      auto client = std::make_unique<TSNMPSend>();
      client->TargetPort = port;
      client->Timeout = kTestTimeoutMs;
      return client;
    });
  }

  std::vector<testing_support::JournalEntry> Journal() const { return site_.Journal(); }
  std::string Log(const std::string& name) const { return site_.Log(name); }

  testing_support::PassTestSite site_;
  std::string port_;
  std::vector<std::unique_ptr<AgentProcess>> agents_;
};

// One value of the agent, the point it feeds, and what lands in that point.
struct ValueCase {
  ValueCase(std::string value, std::string point_address, std::string write,
            std::string point = "")
      : snmprec_value(std::move(value)),
        address(std::move(point_address)),
        written(std::move(write)),
        journal_point(std::move(point)) {}

  std::string snmprec_value;  // "TAG|VALUE", or empty when the agent lacks the OID
  std::string address;        // point address of the line
  std::string written;        // "operation value" written, or empty for nothing
  std::string journal_point;  // where it is written, when not the address's own numbers

  std::string Point() const { return journal_point.empty() ? address.substr(3) : journal_point; }
};

const ValueCase kValueCases[] = {
    // "#TC": the whole number minus 1; anything unreadable counts as 1.
    {"2|2", "#TC1:1:1", "slSetStatus 1"},
    {"2|1", "#TC1:1:2", "slSetStatus 0"},
    {"2|0", "#TC1:1:3", "slSetStatus -1"},
    {"4|", "#TC1:1:4", "slSetStatus 0"},
    {"4|up", "#TC1:1:5", "slSetStatus 0"},
    {"", "#TC1:1:6", "slSetStatusFlags 0x0001"},  // noSuchObject: no value reported
    {"4| 7", "#TC1:1:7", "slSetStatus 6"},
    {"4|$10", "#TC1:1:8", "slSetStatus 15"},
    {"2|-2147483648", "#TC1:1:9", "slSetStatus 2147483647"},
    // Unsigned 32-bit values of 2^31 or more: their 32-bit pattern.
    {"65|2147483648", "#TC1:1:10", "slSetStatus 2147483647"},
    {"65|3000000000", "#TC1:1:11", "slSetStatus -1294967297"},
    {"129|", "#TC1:1:12", "slSetStatusFlags 0x0001"},
    {"130|", "#TC1:1:13", "slSetStatusFlags 0x0001"},
    {"5|", "#TC1:1:14", "slSetStatusFlags 0x0001"},
    {"2|5", "#TC1:2:70000", "slSetStatus 4", "1:2:4464"},  // the low 16 bits
    // "#TS": the whole number; anything unreadable counts as 0.
    {"2|5", "#TS2:1:1", "slSetStatus 5"},
    {"67|4711", "#TS2:1:2", "slSetStatus 4711"},
    {"4|x", "#TS2:1:3", "slSetStatus 0"},
    {"66|4294967295", "#TS2:1:4", "slSetStatus -1"},
    {"70|5000000000", "#TS2:1:5", "slSetStatus 0"},  // a Counter64 past 32 bits: the default
    {"5|", "#TS2:1:6", ""},  // NULL, noSuchObject, noSuchInstance: no value reported
    {"", "#TS2:1:8", ""},
    {"129|", "#TS2:1:9", ""},
    {"65|3000000000", "#TS2:1:10", "slSetStatus -1294967296"},
    {"67|4294967295", "#TS2:1:11", "slSetStatus -1"},
    {"70|2147483647", "#TS2:1:12", "slSetStatus 2147483647"},
    {"70|2147483648", "#TS2:1:13", "slSetStatus 0"},
    {"2|-7", "#TS2:1:7", "slSetStatus -7"},
    // "#TT": a float; text that is no number writes nothing, nor does a single overflow.
    {"4|  12.5", "#TT3:1:1", "slSetAnalogFloatCodeUT 12.5"},
    {"4|12,5", "#TT3:1:2", ""},
    {"4|12.5 ", "#TT3:1:3", ""},
    {"4|", "#TT3:1:4", ""},
    {"", "#TT3:1:5", "slSetAnalogFlags 0x0001"},  // noSuchObject: no value reported
    {"65|2147483648", "#TT3:1:6", "slSetAnalogFloatCodeUT 2.14748365e+09"},
    {"70|5000000000", "#TT3:1:7", "slSetAnalogFloatCodeUT 5e+09"},
    {"4|1e39", "#TT3:1:8", ""},
    {"4|-1e39", "#TT3:1:9", ""},
    {"4|1e400", "#TT3:1:10", ""},
    {"4|3.4028235e38", "#TT3:1:11", "slSetAnalogFloatCodeUT 3.40282347e+38"},
    {"4|1e-50", "#TT3:1:12", "slSetAnalogFloatCodeUT 0"},
    {"2|-7", "#TT3:1:13", "slSetAnalogFloatCodeUT -7"},
    {"4|.", "#TT3:1:14", "slSetAnalogFloatCodeUT 0"},
    {"65|3000000000", "#TT3:1:15", "slSetAnalogFloatCodeUT 3e+09"},
    {"128|", "#TT3:1:16", "slSetAnalogFlags 0x0001"},
    {"130|", "#TT3:1:17", "slSetAnalogFlags 0x0001"},
    {"5|", "#TT3:1:18", "slSetAnalogFlags 0x0001"},
    // Any other address: only traced.
    {"2|1", "#XX4:1:1", ""},
    {"2|1", "#TC4:1", ""},
};

TEST_F(AgentPollerTest, WritesEveryValueIntoItsPointKind) {
  if (!testing_support::DistinctLoopbackAgents()) {
    GTEST_SKIP() << "agents at distinct loopback addresses cannot be told apart here (Wine)";
  }
  std::string snmprec;
  AgentEntry agent{"127.0.0.1", {}};
  int index = 0;
  for (const ValueCase& value_case : kValueCases) {
    const std::string oid = "1.3.6.1.4.1.99." + std::to_string(++index);
    if (!value_case.snmprec_value.empty()) snmprec += oid + "|" + value_case.snmprec_value + "\n";
    agent.lines.push_back(Line(value_case.address, oid));
  }
  StartAgent("127.0.0.1", snmprec);
  // An agent after the one with the overflowing values is still polled.
  StartAgent("127.0.0.2", "1.3.6.1.2.1.1.3.0|67|99\n");
  const PollConfig config{{agent, AgentEntry{"127.0.0.2", {Line("#TS9:9:9", "1.3.6.1.2.1.1.3.0")}}}};

  MakePoller().RunPass(config);

  const auto journal = Journal();
  size_t expected_writes = 1;  // the second agent's
  for (const ValueCase& value_case : kValueCases) {
    std::vector<std::string> expected;
    if (!value_case.written.empty()) expected.push_back(value_case.written);
    expected_writes += expected.size();
    EXPECT_EQ(WritesTo(journal, value_case.Point()), expected) << value_case.address;
  }
  EXPECT_EQ(journal.size(), expected_writes);
  EXPECT_EQ(WritesTo(journal, "9:9:9"), std::vector<std::string>{"slSetStatus 99"});
  EXPECT_EQ(Log("error.log"), "Floating point overflowFloating point overflowFloating point overflow");
  const std::string debug = Log("debug.log");
  EXPECT_EQ(debug.rfind("\r\nНачинаем цикл опроса\r\nОтвет от 127.0.0.1\r\n"
                        "1.3.6.1.4.1.99.1(#TC1:1:1)=2\r\n1.3.6.1.4.1.99.2(#TC1:1:2)=1\r\n", 0),
            0u)
      << debug;
  EXPECT_NE(debug.find("1.3.6.1.4.1.99.29(#TT3:1:1)=  12.5\r\n"), std::string::npos);
  EXPECT_NE(debug.find("1.3.6.1.4.1.99.30(#TT3:1:2)=12,5\r\nОшибка преобразования\r\n"
                       "1.3.6.1.4.1.99.31(#TT3:1:3)=12.5 \r\nОшибка преобразования\r\n"),
            std::string::npos);
  EXPECT_NE(debug.find("Ответ от 127.0.0.2\r\n1.3.6.1.2.1.1.3.0(#TS9:9:9)=99\r\n"),
            std::string::npos);
  // A value the device did not report is traced empty, with no conversion error after it.
  EXPECT_NE(debug.find("(#TT3:1:5)=\r\n1.3.6.1.4.1.99."), std::string::npos) << debug;
  EXPECT_NE(debug.find("(#TT3:1:16)=\r\n1.3.6.1.4.1.99."), std::string::npos) << debug;
}

// An agent that leaves a requested OID out of its answer: that line's point is treated as for
// no answer, the agent's other lines are written.
TEST_F(AgentPollerTest, BindingMissingFromTheAnswerFlagsOnlyItsPoint) {
  StartAgent("127.0.0.1", "1.3.6.1.4.1.99.1|2|5\n", {"--omit-missing"});
  const std::string missing = "1.3.6.1.4.1.99.2";
  const PollConfig config{{AgentEntry{
      "127.0.0.1", {Line("#TC1:1:1", missing), Line("#TS1:1:2", missing),
                    Line("#TT1:1:3", missing), Line("#TS1:1:4", "1.3.6.1.4.1.99.1")}}}};
  MakePoller().RunPass(config);
  const auto journal = Journal();
  EXPECT_EQ(WritesTo(journal, "1:1:1"), std::vector<std::string>{"slSetStatusFlags 0x0001"});
  EXPECT_EQ(WritesTo(journal, "1:1:2"), std::vector<std::string>{});
  EXPECT_EQ(WritesTo(journal, "1:1:3"), std::vector<std::string>{"slSetAnalogFlags 0x0001"});
  EXPECT_EQ(WritesTo(journal, "1:1:4"), std::vector<std::string>{"slSetStatus 5"});
  EXPECT_EQ(Log("debug.log"),
            "\r\nНачинаем цикл опроса\r\nОтвет от 127.0.0.1\r\n"
            "1.3.6.1.4.1.99.2(#TC1:1:1)=\r\n1.3.6.1.4.1.99.2(#TS1:1:2)=\r\n"
            "1.3.6.1.4.1.99.2(#TT1:1:3)=\r\n1.3.6.1.4.1.99.1(#TS1:1:4)=5\r\n");
}

TEST_F(AgentPollerTest, TextsWithPercentSignsAndZeroBytesAreTracedVerbatim) {
  const PollConfig config{{AgentEntry{"127.0.0.1:%s%n",
                                      {Line("#XX%s", "1.3.6.1.4.1.99.1"),
                                       Line("#TS1:1:1", "1.3.6.1.4.1.99.2")}}}};
  StartAgent("127.0.0.1", "1.3.6.1.4.1.99.1|4|%s%n%d%%\n1.3.6.1.4.1.99.2|4x|41004243\n",
             {"--community", "%s%n"});
  MakePoller().RunPass(config);
  EXPECT_EQ(Log("debug.log"),
            "\r\nНачинаем цикл опроса\r\nОтвет от 127.0.0.1:%s%n\r\n"
            "1.3.6.1.4.1.99.1(#XX%s)=%s%n%d%%\r\n"
            "1.3.6.1.4.1.99.2(#TS1:1:1)=A\r\n");
  EXPECT_EQ(WritesTo(Journal(), "1:1:1"), std::vector<std::string>{"slSetStatus 0"});
}

TEST_F(AgentPollerTest, SilentAgentGetsFlagsOnItsTcAndTtPointsOnly) {
  if (!testing_support::DistinctLoopbackAgents()) {
    GTEST_SKIP() << "agents at distinct loopback addresses cannot be told apart here (Wine)";
  }
  StartAgent("127.0.0.1", "1.3.6.1.2.1.1.3.0|67|1\n", {"--silent"});
  StartAgent("127.0.0.2", "1.3.6.1.2.1.1.3.0|67|2\n");
  const std::vector<PointLine> lines = {
      Line("#TC1:1:1", "1.3.6.1.2.1.1.3.0"), Line("#TS1:1:2", "1.3.6.1.2.1.1.3.0"),
      Line("#TT1:1:3", "1.3.6.1.2.1.1.3.0"), Line("#XX1:1:4", "1.3.6.1.2.1.1.3.0"),
      Line("#TC1:1:70001", "1.3.6.1.2.1.1.3.0")};
  const PollConfig config{{AgentEntry{"127.0.0.1:public", lines},
                           AgentEntry{"127.0.0.2", {Line("#TS2:2:2", "1.3.6.1.2.1.1.3.0")}}}};
  MakePoller().RunPass(config);

  const auto journal = Journal();
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(WritesTo(journal, "1:1:1"), std::vector<std::string>{"slSetStatusFlags 0x0001"});
  EXPECT_EQ(WritesTo(journal, "1:1:3"), std::vector<std::string>{"slSetAnalogFlags 0x0001"});
  EXPECT_EQ(WritesTo(journal, "1:1:4465"), std::vector<std::string>{"slSetStatusFlags 0x0001"});
  EXPECT_EQ(WritesTo(journal, "2:2:2"), std::vector<std::string>{"slSetStatus 2"});
  EXPECT_EQ(Log("debug.log"),
            "\r\nНачинаем цикл опроса\r\nНет ответа от 127.0.0.1:public\r\n"
            "Ответ от 127.0.0.2\r\n1.3.6.1.2.1.1.3.0(#TS2:2:2)=2\r\n");
  EXPECT_EQ(Log("error.log"), "");
}

// genErr without an index naming a binding (tooBig splits the request instead:
// request_fit_test.cpp).
TEST_F(AgentPollerTest, AnswerWithAnErrorStatusCountsAsNoAnswer) {
  StartAgent("127.0.0.1", "1.3.6.1.2.1.1.3.0|67|5\n", {"--error-status", "5"});
  const PollConfig config{{AgentEntry{
      "127.0.0.1", {Line("#TC1:1:1", "1.3.6.1.2.1.1.3.0"), Line("#TS1:1:2", "1.3.6.1.2.1.1.3.0"),
                    Line("#TT1:1:3", "1.3.6.1.2.1.1.3.0")}}}};
  MakePoller().RunPass(config);
  const auto journal = Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(WritesTo(journal, "1:1:1"), std::vector<std::string>{"slSetStatusFlags 0x0001"});
  EXPECT_EQ(WritesTo(journal, "1:1:3"), std::vector<std::string>{"slSetAnalogFlags 0x0001"});
  EXPECT_EQ(Log("debug.log"),
            "\r\nНачинаем цикл опроса\r\nОшибка 5 в ответе от 127.0.0.1\r\n");
}

// agentsim logs an answer after sending it: the log is waited for, not read at once.
TEST_F(AgentPollerTest, SectionWithoutLinesIsAskedWithNoBindings) {
  AgentProcess& agent = StartAgent("127.0.0.1", "1.3.6.1.2.1.1.3.0|67|5\n");
  MakePoller().RunPass(PollConfig{{AgentEntry{"127.0.0.1", {}}}});
  EXPECT_EQ(Log("debug.log"), "\r\nНачинаем цикл опроса\r\nОтвет от 127.0.0.1\r\n");
  EXPECT_TRUE(Journal().empty());
  ASSERT_EQ(agent.Answers(1).size(), 1u);
  EXPECT_NE(agent.Answers()[0].find(" oids= "), std::string::npos) << agent.Answers()[0];
}

// One client for every agent and pass: one local port, request IDs counting on, the agent's
// community or the default one, version 2c.
TEST_F(AgentPollerTest, KeepsOneClientForEveryAgentAndPass) {
  if (!testing_support::DistinctLoopbackAgents()) {
    GTEST_SKIP() << "agents at distinct loopback addresses cannot be told apart here (Wine)";
  }
  AgentProcess& first = StartAgent("127.0.0.1", "1.3.6.1.2.1.1.3.0|67|5\n", {"--community", "vxkfqz"});
  AgentProcess& second = StartAgent("127.0.0.2", "1.3.6.1.2.1.1.3.0|67|6\n", {"--community", "net"});
  const std::vector<PointLine> lines = {Line("#TS1:1:1", "1.3.6.1.2.1.1.3.0")};
  const PollConfig config{{AgentEntry{"127.0.0.1:", lines}, AgentEntry{"127.0.0.2:net:x", lines}}};
  AgentPoller poller = MakePoller();
  poller.RunPass(config);
  poller.RunPass(config);

  std::vector<std::string> answers = first.Answers(2);
  const std::vector<std::string> more = second.Answers(2);
  ASSERT_EQ(answers.size(), 2u);
  ASSERT_EQ(more.size(), 2u);
  const std::string sender = answers[0].substr(0, answers[0].find(" v2c "));
  for (const std::string& answer : {answers[0], more[0], answers[1], more[1]}) {
    EXPECT_EQ(answer.substr(0, answer.find(" v2c ")), sender) << answer;
  }
  EXPECT_NE(answers[0].find(" community=\"vxkfqz\""), std::string::npos) << answers[0];
  EXPECT_NE(more[0].find(" community=\"net\""), std::string::npos) << more[0];
  // Every request has an ID of its own, drawn at random: no two alike, none counted from 1.
  std::set<std::string> ids;
  for (const std::string& answer : {answers[0], more[0], answers[1], more[1]}) {
    ids.insert(testing_support::LogField(answer, "id"));
  }
  EXPECT_EQ(ids.size(), 4u);
  EXPECT_NE(ids, (std::set<std::string>{"1", "2", "3", "4"}));
}

// With requests in flight, an exception from the exchange at the third agent's send ends the
// pass as in the serial pass: the two agents before it are written, the error is logged, the
// client is replaced and the fourth agent is not asked.
TEST_F(AgentPollerTest, WindowedPassEndsAtAnExceptionLikeTheSerialPass) {
  if (!testing_support::DistinctLoopbackAgents()) {
    GTEST_SKIP() << "agents at distinct loopback addresses cannot be told apart here (Wine)";
  }
  StartAgent("127.0.0.1", "1.3.6.1.2.1.1.3.0|67|1\n");
  StartAgent("127.0.0.2", "1.3.6.1.2.1.1.3.0|67|2\n");
  StartAgent("127.0.0.3", "1.3.6.1.2.1.1.3.0|67|3\n");
  AgentProcess& fourth = StartAgent("127.0.0.4", "1.3.6.1.2.1.1.3.0|67|4\n");
  int clients = 0;
  AgentPoller poller(site_.tm(), [port = port_, &clients] {
    ++clients;
    auto client = std::make_unique<TSNMPSend>();
    client->TargetPort = port;
    client->Timeout = kTestTimeoutMs;
    client->Sock().OnMonitor = [sends = 0](TBlockSocket&, bool writing, const void*,
                                           int) mutable {
      if (writing && ++sends == 3) throw std::runtime_error("Out of memory");
    };
    return client;
  });
  poller.SetRequestsInFlight(4);
  PollConfig config;
  for (const char* n : {"1", "2", "3", "4"}) {
    config.agents.push_back(AgentEntry{std::string("127.0.0.") + n,
                                       {Line(std::string("#TS") + n + ":1:1", "1.3.6.1.2.1.1.3.0")}});
  }
  poller.RunPass(config);
  EXPECT_EQ(Log("debug.log"),
            "\r\nНачинаем цикл опроса\r\nОтвет от 127.0.0.1\r\n1.3.6.1.2.1.1.3.0(#TS1:1:1)=1\r\n"
            "Ответ от 127.0.0.2\r\n1.3.6.1.2.1.1.3.0(#TS2:1:1)=2\r\n");
  EXPECT_EQ(Log("error.log"), "SendQuery Out of memory");
  EXPECT_EQ(Journal().size(), 2u);
  EXPECT_EQ(clients, 2);
  EXPECT_TRUE(fourth.Requests().empty());
}

}  // namespace
}  // namespace zelsnmp
