// The poll pass fitting its requests to the device: @max-oids, tooBig halving with the size
// kept for later passes, a line refused by its error index left out and asked again every 60th
// pass, the bounds on strange answers, a mistaken agent flagged without being asked, and the
// serial and windowed passes writing the same lines for the same answers. Against a responder
// of the test's own on loopback and the stand-in TM server.

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "poller/agent_poller.h"
#include "poller/pass_test_site.h"
#include "testing/agent_process.h"
#include "testing/fit_responder.h"
#include "testing/journal.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using testing_support::AgentProcess;
using testing_support::Device;
using testing_support::FitResponder;

constexpr std::int32_t kTestTimeoutMs = 300;
constexpr std::int32_t kTooBig = 1;

class RequestFitTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_GT(site_.tm(), 0); }

  AgentPoller MakePoller(const std::string& port) {
    return AgentPoller(site_.tm(), [port] {
      auto client = std::make_unique<TSNMPSend>();
      client->TargetPort = port;
      client->Timeout = kTestTimeoutMs;
      return client;
    });
  }
  PollConfig Config(const std::string& text) {
    return LoadPollConfig(site_.directory().Write("config", text));
  }
  // A section "127.0.0.1:<community>" with `options`, then lines
  // "#TC<channel>:1:<i>=1.3.6.1.4.1.99.<i>" for i from 1 to `lines`.
  static std::string Section(const std::string& community, int lines, int channel,
                             const std::string& options = "") {
    std::string text = "[127.0.0.1:" + community + "]\n" + options;
    for (int i = 1; i <= lines; ++i) {
      text += "#TC" + std::to_string(channel) + ":1:" + std::to_string(i) +
              "=1.3.6.1.4.1.99." + std::to_string(i) + "\n";
    }
    return text;
  }
  std::vector<testing_support::JournalEntry> Journal() const { return site_.Journal(); }
  std::string Log(const std::string& name) const { return site_.Log(name); }
  // The journal as "operation point value" lines, without times.
  std::vector<std::string> Writes() const {
    std::vector<std::string> writes;
    for (const auto& entry : Journal()) {
      writes.push_back(entry.operation + " " + entry.point + " " + entry.value);
    }
    return writes;
  }

  testing_support::PassTestSite site_;
};

using Sizes = std::vector<std::size_t>;

TEST_F(RequestFitTest, MaxOidsSendsConsecutiveRequests) {
  FitResponder responder({{"c", Device{}}});
  MakePoller(responder.port()).RunPass(Config(Section("c", 5, 1, "@max-oids = 2\n")));
  EXPECT_EQ(responder.Sizes("c"), (Sizes{2, 2, 1}));
  EXPECT_EQ(Log("debug.log"),
            "\r\nНачинаем цикл опроса\r\n"
            "Ответ от 127.0.0.1:c\r\n1.3.6.1.4.1.99.1(#TC1:1:1)=1\r\n1.3.6.1.4.1.99.2(#TC1:1:2)=2\r\n"
            "Ответ от 127.0.0.1:c\r\n1.3.6.1.4.1.99.3(#TC1:1:3)=3\r\n1.3.6.1.4.1.99.4(#TC1:1:4)=4\r\n"
            "Ответ от 127.0.0.1:c\r\n1.3.6.1.4.1.99.5(#TC1:1:5)=5\r\n");
  EXPECT_EQ(Journal().size(), 5u);
}

TEST_F(RequestFitTest, RefusedLineIsLeftOutAndAskedAgainEverySixtiethPass) {
  FitResponder responder({{"c", Device{.refused_oid = "1.3.6.1.4.1.99.2"}}});
  const PollConfig config = Config(Section("c", 3, 1));
  AgentPoller poller = MakePoller(responder.port());
  poller.RunPass(config);
  EXPECT_EQ(responder.Sizes("c"), (Sizes{3, 2}));
  // The refused line keeps its place: traced empty and flagged as a value not reported.
  EXPECT_EQ(Log("debug.log"),
            "\r\nНачинаем цикл опроса\r\nОшибка 5 в ответе от 127.0.0.1:c\r\n"
            "Ответ от 127.0.0.1:c\r\n1.3.6.1.4.1.99.1(#TC1:1:1)=1\r\n"
            "1.3.6.1.4.1.99.2(#TC1:1:2)=\r\n1.3.6.1.4.1.99.3(#TC1:1:3)=3\r\n");
  EXPECT_EQ(Writes(), (std::vector<std::string>{"slSetStatus 1:1:1 0",
                                                "slSetStatusFlags 1:1:2 0x0001",
                                                "slSetStatus 1:1:3 2"}));
  for (int pass = 1; pass < 61; ++pass) poller.RunPass(config);
  Sizes expected = {3, 2};
  expected.insert(expected.end(), 59, 2);
  expected.insert(expected.end(), {3, 2});
  EXPECT_EQ(responder.Sizes("c"), expected);
  EXPECT_EQ(Journal().size(), 3u * 61);
}

// Answers that could make a pass loop or write a value never reported: tooBig to everything,
// down to single bindings; an error index beyond the bindings; a refusal of every line.
TEST_F(RequestFitTest, StrangeAnswersAreBoundedAndWriteNoValue) {
  const struct {
    const char* community;
    Device device;
    Sizes first_pass;
    Sizes second_pass;
  } cases[] = {
      // tooBig to every request, down to single bindings, then nothing is asked.
      {"toobig", Device{.refusal = kTooBig, .error_index = 1}, {4, 2, 1, 1, 2, 1, 1}, {}},
      // An index beyond the bindings: the request's lines are flagged.
      {"index", Device{.refusal = 2, .error_index = 99}, {4}, {4}},
      // Every line refused in turn.
      {"every", Device{.refusal = 2, .error_index = 1}, {4, 3, 2, 1}, {}},
  };
  for (const auto& c : cases) {
    FitResponder agent({{c.community, c.device}});
    const PollConfig config = Config(Section(c.community, 4, 1));
    AgentPoller poller = MakePoller(agent.port());
    const std::size_t before = Journal().size();
    poller.RunPass(config);
    EXPECT_EQ(agent.Sizes(c.community), c.first_pass) << c.community;
    poller.RunPass(config);
    Sizes both = c.first_pass;
    both.insert(both.end(), c.second_pass.begin(), c.second_pass.end());
    EXPECT_EQ(agent.Sizes(c.community), both) << c.community;
    // Nothing but flags: every point flagged in each pass.
    const auto journal = Journal();
    ASSERT_EQ(journal.size(), before + 8) << c.community;
    for (std::size_t i = before; i < journal.size(); ++i) {
      EXPECT_EQ(journal[i].operation, "slSetStatusFlags") << c.community;
    }
  }
}

TEST_F(RequestFitTest, MistakenAgentIsFlaggedAndNeverAsked) {
  FitResponder responder({{"c", Device{}}, {"ok", Device{}}});
  const PollConfig config =
      Config(Section("c", 1, 1, "@port = 0\n") + "#TT1:1:9=1.3.6.1.4.1.99.9\n" +
             Section("ok", 1, 2));
  AgentPoller poller = MakePoller(responder.port());
  poller.RunPass(config);
  poller.RunPass(config);
  EXPECT_TRUE(responder.Sizes("c").empty());
  EXPECT_EQ(responder.Sizes("ok"), (Sizes{1, 1}));
  EXPECT_EQ(Writes(), (std::vector<std::string>{
                          "slSetStatusFlags 1:1:1 0x0001", "slSetAnalogFlags 1:1:9 0x0001",
                          "slSetStatus 2:1:1 0", "slSetStatusFlags 1:1:1 0x0001",
                          "slSetAnalogFlags 1:1:9 0x0001", "slSetStatus 2:1:1 0"}));
  EXPECT_NE(Log("debug.log").find("Не опрашивается из-за ошибки в параметрах: 127.0.0.1:c\r\n"),
            std::string::npos);
}

// The same against agent simulators, each reached through its section's @port, by the serial
// and the windowed pass: one refusing more than 3 OIDs with tooBig, one refusing an OID by its
// error index.
TEST_F(RequestFitTest, AgentSimulatorsGetRequestsThatFit) {
  std::string data;
  for (int i = 1; i <= 8; ++i) {
    data += "1.3.6.1.4.1.99." + std::to_string(i) + "|2|" + std::to_string(i) + "\n";
  }
  for (const int in_flight : {1, 4}) {
    std::filesystem::remove_all(site_.path() / "log");
    std::filesystem::remove(site_.path() / "tm" / "S" / "journal.tsv");
    AgentProcess small("127.0.0.1:0", data, {"--max-oids", "3"});
    AgentProcess refusing("127.0.0.1:0", data, {"--error-index-for", "1.3.6.1.4.1.99.2"});
    ASSERT_TRUE(small.listening() && refusing.listening()) << small.Output() << refusing.Output();
    const PollConfig config =
        Config(Section("small", 8, 1, "@port=" + small.port() + "\n") +
               Section("refusing", 3, 2, "@PORT=" + refusing.port() + "\n"));
    AgentPoller poller = MakePoller("9");  // no agent there: every request goes by its @port
    poller.SetRequestsInFlight(in_flight);
    poller.RunPass(config);
    poller.RunPass(config);
    // 8, 4, 2, 2, 4, 2, 2, then 2, 2, 2, 2.
    EXPECT_EQ(small.Answers(11).size(), 11u) << in_flight;
    // 3, then 2 without the refused OID, then 2.
    const std::vector<std::string> answers = refusing.Answers(3);
    ASSERT_EQ(answers.size(), 3u) << in_flight;
    EXPECT_NE(answers[2].find(" oids=1.3.6.1.4.1.99.1,1.3.6.1.4.1.99.3 "), std::string::npos)
        << answers[2];
    EXPECT_EQ(Log("message.log"), "Запросы к 127.0.0.1:small уменьшены до 2 OID\r\n");
    const auto journal = Journal();
    EXPECT_EQ(testing_support::WritesTo(journal, "1:1:8"),
              (std::vector<std::string>{"slSetStatus 7", "slSetStatus 7"}));
    EXPECT_EQ(testing_support::WritesTo(journal, "2:1:2"),
              (std::vector<std::string>{"slSetStatusFlags 0x0001", "slSetStatusFlags 0x0001"}));
    EXPECT_EQ(testing_support::WritesTo(journal, "2:1:3"),
              (std::vector<std::string>{"slSetStatus 2", "slSetStatus 2"}));
  }
}

// A v3 agent whose engine takes messages of 484 bytes at most (its msgMaxSize): a request
// longer than that is not sent but halved as for tooBig, serial and windowed, and every value
// arrives.
TEST_F(RequestFitTest, V3RequestsFitTheEnginesMessageSize) {
  constexpr int kLines = 40;
  std::string data;
  for (int i = 1; i <= kLines; ++i) {
    data += "1.3.6.1.4.1.99." + std::to_string(i) + "|2|" + std::to_string(i) + "\n";
  }
  for (const int in_flight : {1, 4}) {
    SCOPED_TRACE(in_flight);
    std::filesystem::remove_all(site_.path() / "log");
    std::filesystem::remove(site_.path() / "tm" / "S" / "journal.tsv");
    AgentProcess agent("127.0.0.1:0", data,
                       {"--v3-user", "fit", "--auth", "SHA:fit auth phrase", "--priv",
                        "AES:fit priv phrase", "--max-size", "484"});
    ASSERT_TRUE(agent.listening()) << agent.Output();
    const PollConfig config = Config(Section(
        "v3", kLines, 1,
        "@port=" + agent.port() +
            "\n@version=3\n@user=fit\n@auth=SHA:fit auth phrase\n@priv=AES:fit priv phrase\n"));
    AgentPoller poller = MakePoller("9");
    poller.SetRequestsInFlight(in_flight);
    poller.RunPass(config);
    poller.RunPass(config);
    const auto journal = Journal();
    for (int i = 1; i <= kLines; ++i) {
      const std::string value = "slSetStatus " + std::to_string(i - 1);
      EXPECT_EQ(testing_support::WritesTo(journal, "1:1:" + std::to_string(i)),
                (std::vector<std::string>{value, value}))
          << i;
    }
    // The request of all 40 never reached the agent: the halves did.
    for (const std::string& answer : agent.Answers(4)) {
      const std::size_t oids = answer.find(" oids=");
      ASSERT_NE(oids, std::string::npos) << answer;
      EXPECT_LE(std::count(answer.begin() + oids, answer.end(), ','), kLines / 2 - 1) << answer;
    }
    EXPECT_EQ(Log("message.log").rfind("Запросы к 127.0.0.1:v3 уменьшены до ", 0), 0u)
        << Log("message.log");
    EXPECT_EQ(Log("error.log"), "");
  }
}

// An IPv6 address, which a section name cannot hold, given with @host, bare or in brackets.
TEST_F(RequestFitTest, HostOptionReachesAnIPv6Agent) {
  FitResponder agent({{"c", Device{}}}, "::1");
  if (!agent.listening()) GTEST_SKIP() << "no IPv6 loopback here";
  const PollConfig config =
      Config("[ups-1:c]\n@host=::1\n@port=" + agent.port() + "\n#TS1:1:1=1.3.6.1.4.1.99.5\n" +
             "[ups-2:c]\n@host=[::1]\n@port=" + agent.port() + "\n#TS1:1:2=1.3.6.1.4.1.99.6\n");
  for (const int in_flight : {1, 4}) {
    AgentPoller poller = MakePoller("9");
    poller.SetRequestsInFlight(in_flight);
    poller.RunPass(config);
  }
  EXPECT_EQ(Writes(), (std::vector<std::string>{"slSetStatus 1:1:1 5", "slSetStatus 1:1:2 6",
                                                "slSetStatus 1:1:1 5", "slSetStatus 1:1:2 6"}))
      << Log("debug.log");
}

// The windowed pass sends the same requests and writes the same lines in the same order as the
// serial pass, splits and left-out lines included.
TEST_F(RequestFitTest, SerialAndWindowedPassesWriteTheSame) {
  FitResponder responder({{"big", Device{.max_bindings = 3}},
                          {"refuses", Device{.refused_oid = "1.3.6.1.4.1.99.3"}},
                          {"silent", Device{.silent = true}},
                          {"small", Device{}},
                          {"plain", Device{}}});
  const PollConfig config = Config(Section("big", 7, 1) + Section("refuses", 4, 2) +
                                   Section("silent", 2, 3) +
                                   Section("small", 5, 4, "@max-oids=2\n") +
                                   Section("plain", 3, 5) + "[127.0.0.1:bad]\n@retries=9\n");
  std::vector<std::string> logs;
  std::vector<std::vector<std::string>> journals;
  std::vector<Sizes> sizes;
  for (const int in_flight : {1, 4}) {
    std::filesystem::remove_all(site_.path() / "log");
    std::filesystem::remove(site_.path() / "tm" / "S" / "journal.tsv");
    AgentPoller poller = MakePoller(responder.port());
    poller.SetRequestsInFlight(in_flight);
    poller.RunPass(config);
    poller.RunPass(config);
    logs.push_back(Log("debug.log") + Log("message.log"));
    journals.push_back(Writes());
    // The windowed pass may send a later request before the halves of an earlier one.
    const Sizes all = responder.Sizes("big");
    sizes.emplace_back(all.begin() + (sizes.empty() ? 0 : 8), all.end());
    std::sort(sizes.back().begin(), sizes.back().end());
  }
  EXPECT_EQ(logs[0], logs[1]);
  EXPECT_EQ(journals[0], journals[1]);
  EXPECT_EQ(journals[0].size(), 2u * 21);
  EXPECT_EQ(sizes[0], (Sizes{1, 2, 2, 3, 3, 3, 4, 7}));
  EXPECT_EQ(sizes[1], sizes[0]);
  EXPECT_NE(logs[0].find("Запросы к 127.0.0.1:big уменьшены до 3 OID\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zelsnmp
