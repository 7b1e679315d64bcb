// The poll pass against net-snmp's snmpd as a version-3 agent, started here on a loopback port
// with users of its own: every security level writes the value snmpget -v3 reads, beside a v2c
// agent, serial and windowed (one v3 agent in several requests at once); a wrong passphrase
// (auth or priv) flags the agent's points every pass with one error line for the lot, and the
// probe of zelsnmp-check names the same cause; an unknown user likewise, and the line of its
// answering again once the agent, restarted, knows the user; a restart and a new engine ID
// write one message line each.
// Every output of the runs (all logs of the stand-in site, the journal) is searched for the
// passphrases. Skipped where snmpd or snmpget is not installed.

#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "poller/agent_poller.h"
#include "poller/pass_test_site.h"
#include "testing/environment.h"
#include "testing/journal.h"
#include "testing/peer_programs.h"
#include "testing/temp_directory.h"
#include "testing/text_count.h"
#include "tools/check/check_run.h"

namespace zelsnmp {
namespace {

using testing_support::Count;
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

  // sysServices.0, or `oid`, as snmpget -v3 reads it at authPriv.
  testing_support::ToolRun Snmpget(const std::string& oid = kSysServices) const {
    return testing_support::RunNetSnmpTool(
        dir_.path() / "manager",
        "snmpget -v3 -t 1 -r 0 -Oqv -l authPriv -u zelro -a SHA-256 -A " + kAuthPass +
            " -x AES -X " + kPrivPass + " 127.0.0.1:" + snmpd_.port() + " " + oid);
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

// A wrong @auth draws a Report; a wrong @priv, silence from snmpd, after the engine has
// answered the request's authenticated step: both are named once, serial and windowed, and
// the probe says the same.
TEST_F(AgentPollerV3Test, WrongPassphraseIsLoggedOnceAndFlaggedEveryPass) {
  const struct {
    const char* name;
    std::string options;
    std::string error_line;  // after "Ошибка SNMPv3 у агента [<name>-<requests in flight>]: "
    std::string probe;        // in the probe's report
    std::size_t probe_count;  // for the two agents: in its lines and its findings
  } cases[] = {
      {"auth", "@version = 3\n@user = zelan\n@auth = SHA:" + kWrongPass + "\n",
       "Неверная подпись запроса SNMPv3 (пароль или алгоритм аутентификации) "
       "(usmStatsWrongDigests)\r\n",
       "Report usmStatsWrongDigests: wrong authentication passphrase or protocol", 4},
      {"priv",
       "@version = 3\n@user = zelro\n@auth = SHA-256:" + kAuthPass + "\n@priv = AES:" + kWrongPass +
           "\n",
       "Аутентификация SNMPv3 прошла, но агент не ответил на зашифрованный запрос (вероятно, "
       "пароль или алгоритм шифрования)\r\n",
       "authentication succeeded, so the privacy passphrase or protocol is the likely cause", 2},
  };
  std::string text;
  int point = 0;
  for (const auto& c : cases) {
    for (const int in_flight : {1, 4}) {
      text += Section(std::string(c.name) + "-" + std::to_string(in_flight), c.options, ++point);
    }
  }
  {
    const PollConfig config = Load(text);
    ASSERT_TRUE(config.option_mistakes.empty());
    for (const int in_flight : {1, 4}) {
      AgentPoller poller(site_.tm());
      poller.SetRequestsInFlight(in_flight);
      poller.PrepareSecurity(config);
      for (int pass = 0; pass < 3; ++pass) poller.RunPass(config);
    }
  }
  const std::string errors = Log("error.log");
  const std::string debug = Log("debug.log");
  point = 0;
  for (const auto& c : cases) {
    for (const int in_flight : {1, 4}) {
      const std::string section = std::string(c.name) + "-" + std::to_string(in_flight);
      SCOPED_TRACE(section);
      EXPECT_EQ(WritesTo(Journal(), "1:1:" + std::to_string(++point)),
                std::vector<std::string>(6, "slSetAnalogFlags 0x0001"));
      const std::string line = "Ошибка SNMPv3 у агента [" + section + "]: " + c.error_line;
      EXPECT_EQ(Count(errors, line), 2u) << errors;  // once per poller
      EXPECT_EQ(Count(errors, "[" + section + "]"), 2u) << errors;
      EXPECT_EQ(Count(debug, "Нет ответа от " + section + "\r\n"), 6u);
    }
  }
  // The configuration again: loading it deleted it, as the task does.
  const std::filesystem::path path = dir_.PathOf("check.ini");
  testing_support::WriteFile(path, text);
  std::ostringstream out;
  std::ostringstream err;
  check::RunCheck({"--probe", "--wide", path.string()}, out, err);
  for (const auto& c : cases) {
    EXPECT_EQ(Count(out.str(), c.probe), c.probe_count) << out.str() << err.str();
    for (const std::string& secret : {kAuthPass, kPrivPass, kWrongPass}) {
      EXPECT_EQ(out.str().find(secret), std::string::npos) << secret;
    }
  }
  EXPECT_EQ(out.str().find("community"), std::string::npos) << out.str();
  ExpectNoPassphrase();
}

// A restart of the agent (its boots count up) and a new engine ID (its state wiped) under a
// running poller: one message line each, and every value still arrives.
TEST_F(AgentPollerV3Test, RestartAndNewEngineIdWriteOneMessageLineEach) {
  const PollConfig config =
      Load(Section("v3",
                   "@version = 3\n@user = zelro\n@auth = SHA-256:" + kAuthPass +
                       "\n@priv = AES:" + kPrivPass + "\n",
                   1));
  const std::string kEngineBoots = "1.3.6.1.6.3.10.2.1.2.0";
  const std::string kEngineId = "1.3.6.1.6.3.10.2.1.1.0";
  AgentPoller poller(site_.tm());
  poller.PrepareSecurity(config);
  poller.RunPass(config);
  snmpd_.Stop();
  StartSnmpd("");
  std::string boots = Snmpget(kEngineBoots).output;
  while (!boots.empty() && boots.back() == '\n') boots.pop_back();
  poller.RunPass(config);
  poller.RunPass(config);
  snmpd_.Stop();
  snmpd_.ForgetState();
  StartSnmpd("");
  std::string engine_id;
  for (const char c : Snmpget(kEngineId).output) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      engine_id += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  poller.RunPass(config);
  poller.RunPass(config);
  EXPECT_EQ(WritesTo(Journal(), "1:1:1"),
            std::vector<std::string>(5, "slSetAnalogFloatCodeUT " + expected_));
  EXPECT_EQ(Log("message.log"),
            "Агент [v3] перезапущен: счётчик запусков SNMPv3 (engine boots) вырос до " + boots +
                "\r\nАгент [v3]: сменился идентификатор машины SNMPv3 (engine ID), новый " +
                engine_id + "\r\n");
  EXPECT_EQ(Log("error.log"), "");
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
