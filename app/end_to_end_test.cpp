// The whole task end to end: the real zelSNMP against a stand-in site, polling real agent
// simulators on 127.0.0.2, 127.0.0.3, ... port 161 in the test process's own network namespace
// (testing/private_network_main.cpp). The journal of the TM server and the logs are what is
// checked.
//
// Each test starts its agents, then the task with the configuration "poll.ini" of server TMS,
// waits for a debug line that shows the pass it needs has got far enough, and stops the task
// with SIGTERM as the process monitor would; a pass under way always finishes first.

#include <sys/wait.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/private_network.h"
#include "app/task_runner.h"
#include "testing/agent_process.h"
#include "testing/journal.h"

namespace zelsnmp {
namespace {

using namespace std::chrono_literals;
using testing_support::AgentProcess;
using testing_support::JournalEntry;
using testing_support::ReadJournal;
using testing_support::WritesTo;

const std::string kPassStarted = "\r\nНачинаем цикл опроса\r\n";
const std::string kTaskStarted = "Задача запущена\n";
const std::string kTaskStopped = "Задача остановлена\n";
const std::string kUptime = "1.3.6.1.2.1.1.3.0";

class EndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
  }

  // agentsim on `address`:161 answering `snmprec`.
  AgentProcess& StartAgent(const std::string& address, const std::string& snmprec,
                           const std::vector<std::string>& options = {}) {
    agents_.push_back(std::make_unique<AgentProcess>(address, snmprec, options));
    EXPECT_TRUE(agents_.back()->listening()) << agents_.back()->Output();
    return *agents_.back();
  }

  void StartTask(const std::string& config) {
    started_ = std::chrono::steady_clock::now();
    ASSERT_TRUE(task_.Start(config));
  }

  bool WaitForDebug(const std::string& text, std::chrono::milliseconds limit = 20s) {
    return testing_support::WaitForLogText(task_.site(), "debug.log", text, limit);
  }

  // SIGTERM, then the exit status.
  int StopTask() { return task_.Stop(); }

  std::vector<JournalEntry> Journal() const { return ReadJournal(task_.JournalFile()); }
  std::string Log(const std::string& name) const { return task_.Log(name); }

  testing_support::SiteTask task_;
  std::vector<std::unique_ptr<AgentProcess>> agents_;
  std::chrono::steady_clock::time_point started_;
};

std::vector<std::string> One(const std::string& write) { return {write}; }
const std::vector<std::string> kNothing;

// Values of every tag an agent sends, into the three point kinds, with the edge values.
TEST_F(EndToEndTest, ValuesOfEveryTagReachTheirPoints) {
  StartAgent("127.0.0.2",
             "1.3.6.1.4.1.7.1|2|2\n"
             "1.3.6.1.4.1.7.2|2|1\n"
             "1.3.6.1.4.1.7.3|2|0\n"
             "1.3.6.1.4.1.7.4|4|\n"
             "1.3.6.1.4.1.7.5|4|up\n"
             "1.3.6.1.4.1.7.6|4|  12.5\n"
             "1.3.6.1.4.1.7.7|4|12,5\n"
             "1.3.6.1.4.1.7.8|65|2147483648\n"
             "1.3.6.1.4.1.7.9|66|4294967295\n"
             "1.3.6.1.4.1.7.10|67|4711\n"
             "1.3.6.1.4.1.7.11|70|18446744073709551615\n"
             "1.3.6.1.4.1.7.12|6|1.3.6.1.4.1.9\n"
             "1.3.6.1.4.1.7.13|64|10.0.0.1\n"
             "1.3.6.1.4.1.7.14|2|-5\n"
             "1.3.6.1.4.1.7.15|4|%s%d\n"
             "1.3.6.1.4.1.7.16|5|\n");
  StartTask("[127.0.0.2]\n"
            "#TC1:1:1=1.3.6.1.4.1.7.1\n"
            "#TC1:1:2=1.3.6.1.4.1.7.2\n"
            "#TC1:1:3=1.3.6.1.4.1.7.3\n"
            "#TC1:1:4=1.3.6.1.4.1.7.4\n"
            "#TC1:1:5=1.3.6.1.4.1.7.5\n"
            "#TC1:1:6=1.3.6.1.4.1.7.99\n"
            "#TC1:1:70000=1.3.6.1.4.1.7.1\n"
            "#TS1:2:1=1.3.6.1.4.1.7.10\n"
            "#TS1:2:2=1.3.6.1.4.1.7.8\n"
            "#TS1:2:3=1.3.6.1.4.1.7.11\n"
            "#TS1:2:4=1.3.6.1.4.1.7.14\n"
            "#TS1:2:5=1.3.6.1.4.1.7.5\n"
            "#TS1:2:6=1.3.6.1.4.1.7.16\n"
            "#TT1:3:1=1.3.6.1.4.1.7.6\n"
            "#TT1:3:2=1.3.6.1.4.1.7.7\n"
            "#TT1:3:3=1.3.6.1.4.1.7.4\n"
            "#TT1:3:4=1.3.6.1.4.1.7.8\n"
            "#TT1:3:5=1.3.6.1.4.1.7.9\n"
            "#TT1:3:6=1.3.6.1.4.1.7.10\n"
            "#TT1:3:7=1.3.6.1.4.1.7.11\n"
            "#TT1:3:8=1.3.6.1.4.1.7.12\n"
            "#TT1:3:9=1.3.6.1.4.1.7.13\n"
            "#TT1:3:10=1.3.6.1.4.1.7.14\n"
            "#TT1:3:11=1.3.6.1.4.1.7.99\n"
            "#XX%s=1.3.6.1.4.1.7.15\n");
  ASSERT_TRUE(WaitForDebug("1.3.6.1.4.1.7.15(#XX%s)=%s%d\r\n")) << Log("debug.log");
  EXPECT_EQ(StopTask(), 0);

  const auto journal = Journal();
  const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
      {"1:1:1", One("slSetStatus 1")},
      {"1:1:2", One("slSetStatus 0")},
      {"1:1:3", One("slSetStatus -1")},
      {"1:1:4", One("slSetStatus 0")},
      {"1:1:5", One("slSetStatus 0")},
      {"1:1:6", One("slSetStatusFlags 0x0001")},  // noSuchObject: no value reported
      {"1:1:4464", One("slSetStatus 1")},
      {"1:2:1", One("slSetStatus 4711")},
      {"1:2:2", One("slSetStatus -2147483648")},  // a Counter32 of 2^31: its 32-bit pattern
      {"1:2:3", One("slSetStatus 0")},
      {"1:2:4", One("slSetStatus -5")},
      {"1:2:5", One("slSetStatus 0")},
      {"1:2:6", kNothing},  // NULL: no value reported
      {"1:3:1", One("slSetAnalogFloatCodeUT 12.5")},
      {"1:3:2", kNothing},
      {"1:3:3", kNothing},
      {"1:3:4", One("slSetAnalogFloatCodeUT 2.14748365e+09")},
      {"1:3:5", One("slSetAnalogFloatCodeUT 4.2949673e+09")},
      {"1:3:6", One("slSetAnalogFloatCodeUT 4711")},
      {"1:3:7", One("slSetAnalogFloatCodeUT 1.84467441e+19")},
      {"1:3:8", kNothing},
      {"1:3:9", kNothing},
      {"1:3:10", One("slSetAnalogFloatCodeUT -5")},
      {"1:3:11", One("slSetAnalogFlags 0x0001")},
  };
  size_t writes = 0;
  for (const auto& [point, point_writes] : expected) {
    EXPECT_EQ(WritesTo(journal, point), point_writes) << point;
    writes += point_writes.size();
  }
  EXPECT_EQ(journal.size(), writes);
  const std::string debug = Log("debug.log");
  EXPECT_NE(debug.find(kPassStarted + "Ответ от 127.0.0.2\r\n1.3.6.1.4.1.7.1(#TC1:1:1)=2\r\n"),
            std::string::npos)
      << debug;
  EXPECT_NE(debug.find("1.3.6.1.4.1.7.7(#TT1:3:2)=12,5\r\nОшибка преобразования\r\n"),
            std::string::npos);
  EXPECT_NE(debug.find("1.3.6.1.4.1.7.11(#TS1:2:3)=18446744073709551615\r\n"), std::string::npos);
  EXPECT_EQ(Log("error.log"), "");
}

// Values the device did not report (a binding left out, noSuchObject) and a Counter32 of
// 3000000000, into the three point kinds.
TEST_F(EndToEndTest, UnreportedValuesAreFlaggedAndLargeCountersKeepTheirPattern) {
  StartAgent("127.0.0.2", "1.3.6.1.4.1.7.1|65|3000000000\n1.3.6.1.4.1.7.2|128|\n",
             {"--omit-missing"});
  std::string config = "[127.0.0.2]\n";
  const char* kinds[] = {"TC", "TS", "TT"};
  for (int oid = 1; oid <= 3; ++oid) {
    for (int kind = 0; kind < 3; ++kind) {
      config += "#" + std::string(kinds[kind]) + std::to_string(oid) + ":1:" +
                std::to_string(kind + 1) + "=1.3.6.1.4.1.7." + std::to_string(oid) + "\n";
    }
  }
  StartTask(config);
  ASSERT_TRUE(WaitForDebug("1.3.6.1.4.1.7.3(#TT3:1:3)=\r\n")) << Log("debug.log");
  EXPECT_EQ(StopTask(), 0);
  const auto journal = Journal();
  const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
      {"1:1:1", One("slSetStatus -1294967297")},
      {"1:1:2", One("slSetStatus -1294967296")},
      {"1:1:3", One("slSetAnalogFloatCodeUT 3e+09")},
      {"2:1:1", One("slSetStatusFlags 0x0001")},
      {"2:1:2", kNothing},
      {"2:1:3", One("slSetAnalogFlags 0x0001")},
      {"3:1:1", One("slSetStatusFlags 0x0001")},
      {"3:1:2", kNothing},
      {"3:1:3", One("slSetAnalogFlags 0x0001")},
  };
  for (const auto& [point, point_writes] : expected) {
    EXPECT_EQ(WritesTo(journal, point), point_writes) << point;
  }
  EXPECT_EQ(journal.size(), 7u);
  const std::string debug = Log("debug.log");
  EXPECT_NE(debug.find("1.3.6.1.4.1.7.2(#TT2:1:3)=\r\n1.3.6.1.4.1.7.3(#TC3:1:1)=\r\n"),
            std::string::npos)
      << debug;
  EXPECT_EQ(debug.find("Ошибка преобразования"), std::string::npos);
  EXPECT_EQ(Log("error.log"), "");
}

// A huge analog value is refused for its point alone; the agent's other lines and the agents
// after it are still written, pass after pass.
TEST_F(EndToEndTest, AnalogOverflowSkipsOnlyItsPoint) {
  StartAgent("127.0.0.2", "1.3.6.1.4.1.7.1|4|1e39\n1.3.6.1.4.1.7.2|2|3\n");
  StartAgent("127.0.0.3", "1.3.6.1.4.1.7.1|4|-1e39\n1.3.6.1.4.1.7.2|2|4\n");
  StartTask("[127.0.0.2]\n#TT1:1:1=1.3.6.1.4.1.7.1\n#TS1:1:2=1.3.6.1.4.1.7.2\n"
            "[127.0.0.3]\n#TT2:1:1=1.3.6.1.4.1.7.1\n#TS2:1:2=1.3.6.1.4.1.7.2\n");
  ASSERT_TRUE(WaitForDebug("1.3.6.1.4.1.7.2(#TS2:1:2)=4\r\n")) << Log("debug.log");
  EXPECT_EQ(StopTask(), 0);
  const auto journal = Journal();
  EXPECT_EQ(WritesTo(journal, "1:1:1"), kNothing);
  EXPECT_EQ(WritesTo(journal, "1:1:2"), One("slSetStatus 3"));
  EXPECT_EQ(WritesTo(journal, "2:1:1"), kNothing);
  EXPECT_EQ(WritesTo(journal, "2:1:2"), One("slSetStatus 4"));
  EXPECT_EQ(Log("error.log"), "Floating point overflowFloating point overflow");
}

// tooBig to every request: the request is halved down to single bindings, none of which
// brings a value, so the agent's points are flagged as for no answer.
TEST_F(EndToEndTest, AnswerWithTooBigFlagsTheAgentsPoints) {
  StartAgent("127.0.0.2", kUptime + "|67|5\n", {"--error-status", "1"});
  StartAgent("127.0.0.3", kUptime + "|67|6\n");
  StartTask("[127.0.0.2:public]\n#TC1:1:1=" + kUptime + "\n#TS1:1:2=" + kUptime +
            "\n#TT1:1:3=" + kUptime + "\n[127.0.0.3]\n#TS2:1:1=" + kUptime + "\n");
  ASSERT_TRUE(WaitForDebug("(#TS2:1:1)=6\r\n")) << Log("debug.log");
  EXPECT_EQ(StopTask(), 0);
  const auto journal = Journal();
  EXPECT_EQ(WritesTo(journal, "1:1:1"), One("slSetStatusFlags 0x0001"));
  EXPECT_EQ(WritesTo(journal, "1:1:2"), kNothing);
  EXPECT_EQ(WritesTo(journal, "1:1:3"), One("slSetAnalogFlags 0x0001"));
  EXPECT_EQ(WritesTo(journal, "2:1:1"), One("slSetStatus 6"));
  // Three bindings, then two and one, then one and one.
  std::string refusals;
  for (int request = 0; request < 5; ++request) {
    refusals += "Ошибка 1 в ответе от 127.0.0.2:public\r\n";
  }
  EXPECT_NE(Log("debug.log").find(kPassStarted + refusals + "Ответ от 127.0.0.3\r\n"),
            std::string::npos)
      << Log("debug.log");
}

TEST_F(EndToEndTest, SectionWithoutLinesOnlyTracesTheAnswer) {
  AgentProcess& agent = StartAgent("127.0.0.2", kUptime + "|67|5\n");
  StartAgent("127.0.0.3", kUptime + "|67|6\n");
  StartTask("[127.0.0.2]\n[127.0.0.3]\n#TS2:1:1=" + kUptime + "\n");
  ASSERT_TRUE(WaitForDebug("(#TS2:1:1)=6\r\n")) << Log("debug.log");
  EXPECT_EQ(StopTask(), 0);
  EXPECT_NE(Log("debug.log").find(kPassStarted + "Ответ от 127.0.0.2\r\nОтвет от 127.0.0.3\r\n"),
            std::string::npos)
      << Log("debug.log");
  EXPECT_EQ(Journal().size(), 1u);
  ASSERT_EQ(agent.Answers(1).size(), 1u);
  EXPECT_NE(agent.Answers()[0].find(" oids= "), std::string::npos);
}

// A silent agent costs its full time-out; its #TC and #TT points are flagged, its #TS points
// are left alone, and the agents on either side are polled.
TEST_F(EndToEndTest, SilentAgentIsFlaggedAndTheOthersStillPolled) {
  const std::string data = kUptime + "|67|7\n";
  StartAgent("127.0.0.2", data);
  StartAgent("127.0.0.3", data, {"--silent"});
  StartAgent("127.0.0.4", data);
  StartTask("[127.0.0.2]\n#TS1:1:1=" + kUptime + "\n[127.0.0.3]\n#TC2:1:1=" + kUptime +
            "\n#TS2:1:2=" + kUptime + "\n#TT2:1:3=" + kUptime + "\n[127.0.0.4]\n#TS3:1:1=" +
            kUptime + "\n");
  ASSERT_TRUE(WaitForDebug("(#TS3:1:1)=7\r\n")) << Log("debug.log");
  EXPECT_EQ(StopTask(), 0);
  const auto journal = Journal();
  EXPECT_EQ(WritesTo(journal, "1:1:1"), One("slSetStatus 7"));
  EXPECT_EQ(WritesTo(journal, "2:1:1"), One("slSetStatusFlags 0x0001"));
  EXPECT_EQ(WritesTo(journal, "2:1:2"), kNothing);
  EXPECT_EQ(WritesTo(journal, "2:1:3"), One("slSetAnalogFlags 0x0001"));
  EXPECT_EQ(WritesTo(journal, "3:1:1"), One("slSetStatus 7"));
  ASSERT_EQ(journal.size(), 4u);
  const double pass_seconds = journal[3].SecondOfDay() - journal[0].SecondOfDay();
  RecordProperty("pass_seconds", std::to_string(pass_seconds));
  EXPECT_GE(pass_seconds, 4.9);
  EXPECT_LE(pass_seconds, 7.0);
  EXPECT_NE(Log("debug.log").find("Ответ от 127.0.0.2\r\n1.3.6.1.2.1.1.3.0(#TS1:1:1)=7\r\n"
                                  "Нет ответа от 127.0.0.3\r\nОтвет от 127.0.0.4\r\n"),
            std::string::npos)
      << Log("debug.log");
}

// The first agent answers after the time-out, while the task waits for the second: that stale
// answer must not be taken for the second agent's, nor written anywhere.
TEST_F(EndToEndTest, LateAnswerIsNeverWritten) {
  AgentProcess& late = StartAgent("127.0.0.2", kUptime + "|67|111\n", {"--delay", "5600"});
  StartAgent("127.0.0.3", kUptime + "|67|222\n", {"--delay", "1500"});
  const std::string lines =
      "#TC{n}:1:1=" + kUptime + "\n#TS{n}:1:2=" + kUptime + "\n#TT{n}:1:3=" + kUptime + "\n";
  auto with = [&lines](const std::string& n) {
    std::string text = lines;
    for (size_t at; (at = text.find("{n}")) != std::string::npos;) text.replace(at, 3, n);
    return text;
  };
  StartTask("[127.0.0.2]\n" + with("1") + "[127.0.0.3]\n" + with("2"));
  ASSERT_TRUE(WaitForDebug("(#TT2:1:3)=222\r\n")) << Log("debug.log");
  EXPECT_EQ(StopTask(), 0);
  const auto journal = Journal();
  EXPECT_EQ(WritesTo(journal, "1:1:1"), One("slSetStatusFlags 0x0001"));
  EXPECT_EQ(WritesTo(journal, "1:1:2"), kNothing);
  EXPECT_EQ(WritesTo(journal, "1:1:3"), One("slSetAnalogFlags 0x0001"));
  EXPECT_EQ(WritesTo(journal, "2:1:1"), One("slSetStatus 221"));
  EXPECT_EQ(WritesTo(journal, "2:1:2"), One("slSetStatus 222"));
  EXPECT_EQ(WritesTo(journal, "2:1:3"), One("slSetAnalogFloatCodeUT 222"));
  EXPECT_EQ(journal.size(), 5u);
  EXPECT_EQ(Log("debug.log").find("=111"), std::string::npos);
  EXPECT_EQ(late.Answers(1).size(), 1u) << "the late agent did answer, after the time-out";
}

// SIGTERM during a pass: the pass ends first, then the task stops in order.
TEST_F(EndToEndTest, SigtermDuringAPassStopsAfterIt) {
  StartAgent("127.0.0.2", kUptime + "|67|7\n", {"--silent"});
  StartTask("[127.0.0.2]\n#TC1:1:1=" + kUptime + "\n");
  ASSERT_TRUE(WaitForDebug(kPassStarted));
  std::this_thread::sleep_for(500ms);
  const auto signalled = std::chrono::steady_clock::now();
  const int status = StopTask();
  const auto stop_took = std::chrono::steady_clock::now() - signalled;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_GE(stop_took, 3s) << "the silent agent's time-out is waited out";
  EXPECT_LE(stop_took, 8s);
  EXPECT_EQ(WritesTo(Journal(), "1:1:1"), One("slSetStatusFlags 0x0001"));
  EXPECT_EQ(Log("debug.log").find(kPassStarted), Log("debug.log").rfind(kPassStarted))
      << "only one pass";
  EXPECT_EQ(Log("message.log"), kTaskStarted + kTaskStopped);
  EXPECT_EQ(Log("error.log"), "");
  const std::string trace = Log("trace.log");
  EXPECT_NE(trace.find(" state 1\n"), std::string::npos);
  EXPECT_TRUE(trace.ends_with(" state 2\n")) << trace;
}

// The first pass at once, the next after five one-second waits.
TEST_F(EndToEndTest, PassesComeAboutFiveSecondsApart) {
  StartAgent("127.0.0.2", kUptime + "|67|7\n");
  StartTask("[127.0.0.2]\n#TS1:1:1=" + kUptime + "\n");
  ASSERT_TRUE(WaitForDebug(kPassStarted));
  const auto first_seen = std::chrono::steady_clock::now();
  EXPECT_LE(first_seen - started_, 5s);
  ASSERT_TRUE(WaitForDebug(kPassStarted + "Ответ от 127.0.0.2\r\n1.3.6.1.2.1.1.3.0(#TS1:1:1)=7\r\n" +
                           kPassStarted + "Ответ от 127.0.0.2\r\n1.3.6.1.2.1.1.3.0(#TS1:1:1)=7\r\n"));
  EXPECT_EQ(StopTask(), 0);
  const auto journal = Journal();
  ASSERT_EQ(journal.size(), 2u);
  const double apart = journal[1].SecondOfDay() - journal[0].SecondOfDay();
  EXPECT_GE(apart, 4.5);
  EXPECT_LE(apart, 7.0);
}

}  // namespace
}  // namespace zelsnmp
