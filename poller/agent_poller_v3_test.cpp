// The poll pass against net-snmp's snmpd as a version-3 agent, started here on a loopback port
// with users of its own: every security level writes the value snmpget -v3 reads, beside a v2c
// agent, serial and windowed (one v3 agent in several requests at once); a wrong passphrase flags the agent's points every pass with one
// error line for the lot; an unknown user likewise, and the line of its answering again once the
// agent, restarted, knows the user.
// Every output of the runs (all logs of the stand-in site, the journal) is searched for the
// passphrases. Skipped where snmpd or snmpget is not installed.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "poller/agent_poller.h"
#include "poller/pass_test_site.h"
#include "testing/environment.h"
#include "testing/journal.h"
#include "testing/peer_programs.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using testing_support::ReadFile;
using testing_support::WritesTo;

const std::string kAuthPass = "auth-Phrase-4Rw";
const std::string kPrivPass = "priv-Phrase-8Tz";
const std::string kWrongPass = "wrong-Phrase-1Qa";
const std::string kSysServices = "1.3.6.1.2.1.1.7.0";

class AgentPollerV3Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = testing_support::PeersUnavailable({"snmpd", "snmpget"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_GT(site_.tm(), 0);
    StartSnmpd("");
  }

  // snmpd with the test's users and `more` configuration lines, answering snmpget.
  void StartSnmpd(const std::string& more) {
    ASSERT_TRUE(snmpd_.Start("sysServices 72\nrocommunity zelv2 127.0.0.1\n"
                             "createUser zelna\nrouser zelna noauth\n"
                             "createUser zelan SHA " + kAuthPass + "\nrouser zelan auth\n" +
                             "createUser zelro SHA-256 " + kAuthPass + " AES " + kPrivPass +
                             "\nrouser zelro priv\n" + more))
        << snmpd_.Log();
    const testing_support::ToolRun get = Snmpget();
    expected_ = get.output;
    while (!expected_.empty() && expected_.back() == '\n') expected_.pop_back();
    ASSERT_EQ(get.status, 0) << get.errors;
    ASSERT_FALSE(expected_.empty()) << get.errors;
  }

  // sysServices.0 as snmpget -v3 reads it at authPriv.
  testing_support::ToolRun Snmpget() const {
    return testing_support::RunNetSnmpTool(
        dir_.path() / "manager",
        "snmpget -v3 -t 1 -r 0 -Oqv -l authPriv -u zelro -a SHA-256 -A " + kAuthPass +
            " -x AES -X " + kPrivPass + " 127.0.0.1:" + snmpd_.port() + " " + kSysServices);
  }

  // A section of the agent at snmpd, with `options` and a #TT point of its own.
  std::string Section(const std::string& name, const std::string& options, int point) const {
    return "[" + name + "]\n@host = 127.0.0.1\n@port = " + snmpd_.port() + "\n@timeout = 1000\n" +
           options + "#TT1:1:" + std::to_string(point) + " = " + kSysServices + "\n";
  }

  PollConfig Load(const std::string& text) {
    const std::filesystem::path path = dir_.PathOf("config.ini");
    testing_support::WriteFile(path, text);
    return LoadPollConfig(path.string());
  }

  std::vector<testing_support::JournalEntry> Journal() const { return site_.Journal(); }
  std::string Log(const std::string& name) const { return site_.Log(name); }

  // Every byte the runs wrote: the site's logs and the journal.
  std::string AllOutput() const {
    std::string all;
    for (const auto& file : std::filesystem::recursive_directory_iterator(site_.path())) {
      if (file.is_regular_file()) all += ReadFile(file.path());
    }
    return all;
  }

  void ExpectNoPassphrase() const {
    const std::string all = AllOutput();
    for (const std::string& secret : {kAuthPass, kPrivPass, kWrongPass}) {
      EXPECT_EQ(all.find(secret), std::string::npos) << secret;
    }
  }

  testing_support::TempDirectory dir_;
  testing_support::SnmpdProcess snmpd_{dir_.path() / "agent"};
  testing_support::PassTestSite site_;
  std::string expected_;
};

TEST_F(AgentPollerV3Test, EveryLevelWritesWhatSnmpgetReadsBesideV2cSerialAndWindowed) {
  const PollConfig config = Load(
      Section("v2", "@community = zelv2\n", 1) +
      Section("authpriv",
              "@version = 3\n@user = zelro\n@auth = SHA-256:" + kAuthPass +
                  "\n@priv = AES:" + kPrivPass + "\n@max-oids = 1\n#TT1:2:2 = " + kSysServices +
                  "\n",
              2) +
      Section("noauth", "@version = 3\n@user = zelna\n", 3) +
      Section("authnopriv", "@version = 3\n@user = zelan\n@auth = SHA:" + kAuthPass + "\n", 4));
  ASSERT_TRUE(config.option_mistakes.empty());
  for (const int in_flight : {1, 4}) {
    AgentPoller poller(site_.tm());
    poller.SetRequestsInFlight(in_flight);
    poller.PrepareSecurity(config);
    poller.RunPass(config);
    poller.RunPass(config);
  }
  const auto journal = Journal();
  for (const char* point : {"1:1:1", "1:1:2", "1:2:2", "1:1:3", "1:1:4"}) {
    const std::string write = "slSetAnalogFloatCodeUT " + expected_;
    EXPECT_EQ(WritesTo(journal, point), std::vector<std::string>(4, write)) << point;
  }
  const std::string debug = Log("debug.log");
  for (const char* name : {"v2", "authpriv", "noauth", "authnopriv"}) {
    EXPECT_NE(debug.find(std::string("Ответ от ") + name + "\r\n"), std::string::npos) << name;
  }
  EXPECT_EQ(Log("error.log"), "");
  ExpectNoPassphrase();
}

TEST_F(AgentPollerV3Test, WrongPassphraseIsLoggedOnceAndFlaggedEveryPass) {
  const std::string good = "@version = 3\n@user = zelan\n@auth = SHA:";
  std::string text = Section("v3", good + kWrongPass + "\n", 1);
  {
    const PollConfig config = Load(text);
    AgentPoller poller(site_.tm());
    poller.PrepareSecurity(config);
    for (int pass = 0; pass < 3; ++pass) poller.RunPass(config);
  }
  EXPECT_EQ(WritesTo(Journal(), "1:1:1"), std::vector<std::string>(3, "slSetAnalogFlags 0x0001"));
  EXPECT_EQ(Log("error.log"),
            "Ошибка SNMPv3 у агента [v3]: Неверная подпись запроса SNMPv3 (пароль или алгоритм "
            "аутентификации) (usmStatsWrongDigests)\r\n");
  const std::string debug = Log("debug.log");
  std::size_t silent = 0;
  for (std::size_t at = debug.find("Нет ответа от v3"); at != std::string::npos;
       at = debug.find("Нет ответа от v3", at + 1)) {
    ++silent;
  }
  EXPECT_EQ(silent, 3u);
  ExpectNoPassphrase();
}

TEST_F(AgentPollerV3Test, UnknownUserLoggedOnceThenAnsweringAgainAfterTheAgentLearnsIt) {
  const PollConfig config = Load(
      Section("late", "@version = 3\n@user = zellate\n@auth = SHA-512:" + kAuthPass + "\n", 1));
  AgentPoller poller(site_.tm());
  poller.PrepareSecurity(config);
  poller.RunPass(config);
  poller.RunPass(config);
  // The same engine restarted with the user: the session heals and answers.
  snmpd_.Stop();
  StartSnmpd("createUser zellate SHA-512 " + kAuthPass + "\nrouser zellate auth\n");
  poller.RunPass(config);
  poller.RunPass(config);
  EXPECT_EQ(WritesTo(Journal(), "1:1:1"),
            (std::vector<std::string>{"slSetAnalogFlags 0x0001", "slSetAnalogFlags 0x0001",
                                      "slSetAnalogFloatCodeUT " + expected_,
                                      "slSetAnalogFloatCodeUT " + expected_}));
  EXPECT_EQ(Log("error.log"),
            "Ошибка SNMPv3 у агента [late]: Агенту SNMPv3 неизвестен пользователь "
            "(usmStatsUnknownUserNames)\r\n");
  EXPECT_EQ(Log("message.log"), "Агент [late] снова отвечает по SNMPv3\r\n");
  ExpectNoPassphrase();
}

// What a v3 agent's outcomes, pass after pass, write to the error and message logs.
TEST(AgentSecurityLogTest, OneLinePerChangeOfState) {
  testing_support::TempDirectory dir;
  const std::filesystem::path site = dir.PathOf("site");
  std::filesystem::create_directories(site);
  testing_support::SetEnv("ZELSNMP_SITE", site.string());
  PollConfig config;
  config.agents.emplace_back().section_name = "sw:1";
  config.agents[0].options.version = 3;
  config.agents[0].options.user = "u";
  AgentSecurity security;
  security.Prepare(config);
  ASSERT_NE(security.SessionOf(0), nullptr);
  const UsmStatus answered{UsmOutcome::kAnswered};
  const UsmStatus silent{UsmOutcome::kNoAnswer};
  const UsmStatus unknown_user{UsmOutcome::kReport, UsmReport::kUnknownUserName};
  const UsmStatus wrong_digest{UsmOutcome::kReport, UsmReport::kWrongDigest};
  const UsmStatus discovery{UsmOutcome::kDiscoveryFailed};
  for (const UsmStatus& status :
       {answered, silent, discovery, discovery, silent, discovery, unknown_user, unknown_user,
        silent, wrong_digest, answered, answered, silent, answered}) {
    security.NoteOutcome(config, 0, status);
  }
  EXPECT_EQ(ReadFile(site / "log" / "error.log"),
            "Ошибка SNMPv3 у агента [sw:1]: Агент SNMPv3 не ответил на запрос идентификатора "
            "машины (engine ID)\r\n"
            "Ошибка SNMPv3 у агента [sw:1]: Агенту SNMPv3 неизвестен пользователь "
            "(usmStatsUnknownUserNames)\r\n"
            "Ошибка SNMPv3 у агента [sw:1]: Неверная подпись запроса SNMPv3 (пароль или "
            "алгоритм аутентификации) (usmStatsWrongDigests)\r\n");
  EXPECT_EQ(ReadFile(site / "log" / "message.log"), "Агент [sw:1] снова отвечает по SNMPv3\r\n");
}

}  // namespace
}  // namespace zelsnmp
