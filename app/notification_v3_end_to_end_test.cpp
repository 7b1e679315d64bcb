// SNMPv3 notifications end to end: the real zelSNMP with "/t" in the test process's own
// network namespace, three v3 sections (one polled from agentsim at 127.0.0.2, two whose
// devices do not answer polls), and net-snmp's snmptrap and snmpinform sending v3 from those
// addresses as the devices would. The journal's trace in the debug log, the message log and
// the boots file in the task's working directory are what is checked; every wait is for a log
// line.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/notification_test_task.h"
#include "app/task_runner.h"
#include "net/block_socket.h"
#include "testing/agent_process.h"
#include "testing/peer_programs.h"
#include "testing/text_count.h"

namespace zelsnmp {
namespace {

using testing_support::Count;

const std::string kOid = "1.3.6.1.4.1.7.1";
const std::string kAuth = "trap auth passphrase";
const std::string kPriv = "trap priv passphrase";
const std::string kAuth512 = "trap auth512 passphrase";
const std::string kPriv256 = "trap priv256 passphrase";
const std::string kAgentEngine = "0x80007ed9046167656e7473696d";  // agentsim's own
// A v3 section of `address` whose point `point` takes kOid; `options` after its version.
std::string Section(const std::string& address, const std::string& options,
                    const std::string& point) {
  return "[" + address + "]\n@version = 3\n" + options + "#" + point + "=" + kOid + "\n";
}
// The polled device at authPriv; two not polled (nothing answers there) at authPriv and
// authNoPriv.
const std::string kConfig =
    Section("127.0.0.2", "@user = ops\n@auth = SHA-256:" + kAuth + "\n@priv = AES:" + kPriv + "\n",
            "TT1:3:1") +
    Section("127.0.0.3",
            "@user = ops512\n@auth = SHA-512:" + kAuth512 + "\n@priv = AES-256-C:" + kPriv256 +
                "\n@timeout = 200\n@retries = 0\n",
            "TT1:3:4") +
    Section("127.0.0.4",
            "@user = opsauth\n@auth = SHA-256:" + kAuth + "\n@timeout = 200\n@retries = 0\n",
            "TT1:3:5");
const std::string kBootsFile = "zelSNMP_TMS.boots";

// net-snmp's options of each section's user.
const std::string kUserOps =
    "-v3 -u ops -l authPriv -a SHA-256 -A '" + kAuth + "' -x AES -X '" + kPriv + "' ";
const std::string kUserOps512 =
    "-v3 -u ops512 -l authPriv -a SHA-512 -A '" + kAuth512 + "' -x AES256C -X '" + kPriv256 + "' ";
const std::string kUserOpsAuth = "-v3 -u opsauth -l authNoPriv -a SHA-256 -A '" + kAuth + "' ";
const std::string kTrapTail = " 127.0.0.1:162 '' 1.3.6.1.6.3.1.1.5.3 " + kOid + " i ";

class NotificationV3EndToEndTest : public testing_support::NotificationTaskTest {
 protected:
  void SetUp() override {
    NotificationTaskTest::SetUp();
    if (IsSkipped()) return;
    agent_started_ = std::chrono::steady_clock::now();
    agent_ = std::make_unique<testing_support::AgentProcess>(
        "127.0.0.2", kOid + "|2|5\n",
        std::vector<std::string>{"--v3-user", "ops", "--auth", "SHA-256:" + kAuth, "--priv",
                                 "AES:" + kPriv});
    ASSERT_TRUE(agent_->listening()) << agent_->Output();
    ASSERT_TRUE(task_.Start(kConfig, {"/t"}));
    ASSERT_TRUE(WaitForDebug("Ответ от 127.0.0.2\r\n")) << task_.Log("error.log");
  }

  // The polled engine's clock as a trap of it carries: boots 1, and no later than its time.
  std::string PolledClock() const {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - agent_started_);
    return "-e " + kAgentEngine + " -Z 1," + std::to_string(seconds.count()) + " ";
  }

  std::string BootsFile() const {
    std::ifstream in(task_.site().work() / kBootsFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Every log of the site and the file of the work directory: no passphrase in any.
  void ExpectNoPassphrase() const {
    std::vector<std::string> texts;
    for (const char* log : {"debug.log", "message.log", "error.log"}) {
      texts.push_back(task_.Log(log));
    }
    texts.push_back(BootsFile());
    for (const std::string& text : texts) {
      for (const std::string& secret : {kAuth, kPriv, kAuth512, kPriv256}) {
        EXPECT_EQ(text.find(secret), std::string::npos) << "a passphrase in a log";
      }
    }
  }

  std::chrono::steady_clock::time_point agent_started_;
  std::unique_ptr<testing_support::AgentProcess> agent_;
};

// Each sender in turn: a believed one writes its value, traced under the line naming it; a
// dropped one (sent twice) writes nothing and its reason is in the debug log once.
TEST_F(NotificationV3EndToEndTest, BelievedV3SendersWriteOthersAreDroppedWithTheirReason) {
  struct Case {
    std::string tool;
    std::string source;
    std::string arguments;  // before the destination; the value follows kTrapTail
    std::string value;
    std::string point;    // "#TT1:3:1"; empty when dropped
    std::string dropped;  // the reason in the debug log
  };
  const std::string learnt = "-e 0x8000000001020304 ";
  const std::vector<Case> cases = {
      // The polled engine's trap at authPriv, SHA-256 and AES.
      {"snmptrap", "127.0.0.2", kUserOps + "POLLED", "31", "#TT1:3:1", ""},
      // A device not polled: its first trap teaches the engine (SHA-512, AES-256-C).
      {"snmptrap", "127.0.0.3", kUserOps512 + learnt + "-Z 3,1000 ", "32", "#TT1:3:4", ""},
      {"snmptrap", "127.0.0.3", kUserOps512 + learnt + "-Z 3,1001 ", "33", "#TT1:3:4", ""},
      // authNoPriv, a device not polled.
      {"snmptrap", "127.0.0.4", kUserOpsAuth + "-e 0x80000000010203ff -Z 1,50 ", "34", "#TT1:3:5",
       ""},
      // An inform: snmpinform discovers the task's engine and its clock by itself.
      {"snmpinform", "127.0.0.2", kUserOps, "35", "#TT1:3:1", ""},
      {"snmptrap", "127.0.0.2",
       "-v3 -u ops -l authPriv -a SHA-256 -A 'not the passphrase' -x AES -X '" + kPriv + "' POLLED",
       "41", "", "неверная подпись SNMPv3 (пароль или алгоритм аутентификации)"},
      {"snmptrap", "127.0.0.2", kUserOps + "-e 0x8000000001020305 -Z 1,1 ", "42", "",
       "engine ID отправителя не тот, что у опрашиваемого агента"},
      {"snmptrap", "127.0.0.4", "-v3 -u opsauth -l noAuthNoPriv -e 0x80000000010203ff ", "43", "",
       "уровень защиты SNMPv3 не тот, что задан для секции"},
      {"snmptrap", "127.0.0.3", kUserOps512 + learnt + "-Z 3,100 ", "44", "",
       "сообщение SNMPv3 вне временного окна"},
      {"snmptrap", "127.0.0.3",
       "-v3 -u ops -l authPriv -a SHA-256 -A '" + kAuth + "' -x AES -X '" + kPriv + "' " + learnt +
           "-Z 3,1002 ",
       "45", "", "пользователь SNMPv3 не совпадает ни с одной секцией v3 этого адреса"},
  };
  for (const Case& c : cases) {
    std::string arguments = c.arguments;
    if (const auto at = arguments.find("POLLED"); at != std::string::npos) {
      arguments.replace(at, 6, PolledClock());
    }
    arguments += kTrapTail + c.value;
    SCOPED_TRACE(c.tool + " from " + c.source + " " + arguments);
    if (!c.point.empty()) {
      const testing_support::ToolRun run = Send(c.tool, c.source, arguments);
      EXPECT_EQ(run.status, 0) << run.errors;  // snmpinform: its Response came
      const std::string kind = c.tool == "snmpinform" ? "InformRequest " : "SNMPv2-Trap от ";
      ASSERT_TRUE(WaitForDebug("Уведомление " + kind)) << task_.Log("debug.log");
      ASSERT_TRUE(WaitForDebug(kOid + "(" + c.point + ")=" + c.value + "\r\n"))
          << task_.Log("debug.log");
      continue;
    }
    for (int i = 0; i < 2; ++i) Send(c.tool, c.source, arguments);
    ASSERT_TRUE(WaitForDebug("Уведомление от " + c.source + " отброшено: " + c.dropped))
        << task_.Log("debug.log");
    EXPECT_EQ(Count(task_.Log("debug.log"), c.dropped), 1u);
    EXPECT_EQ(Count(task_.Log("debug.log"), "=" + c.value + "\r\n"), 0u);
  }
  // A trap believed after the dropped ones shows that the section still takes its own.
  EXPECT_EQ(Send("snmptrap", "127.0.0.4",
                 kUserOpsAuth + "-e 0x80000000010203ff -Z 1,52 " + kTrapTail + "47")
                .status,
            0);
  ASSERT_TRUE(WaitForDebug(kOid + "(#TT1:3:5)=47\r\n")) << task_.Log("debug.log");
  ExpectNoPassphrase();
  EXPECT_EQ(task_.Stop(), 0);
}

// A trap captured on its way and sent again: the first copy is believed, the replay dropped.
TEST_F(NotificationV3EndToEndTest, ReplayedTrapIsDropped) {
  TUDPBlockSocket capture;
  const int port = testing_support::FreeUdpPort("127.0.0.1");
  capture.BindLocal("127.0.0.1", std::to_string(port));
  ASSERT_EQ(capture.LastErrorCode(), 0);
  const testing_support::ToolRun run = testing_support::RunNetSnmpTool(
      home_.path(), "snmptrap --clientaddr=127.0.0.2 " + kUserOps + PolledClock() + "127.0.0.1:" +
                        std::to_string(port) + " '' 1.3.6.1.6.3.1.1.5.3 " + kOid + " i 51");
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string datagram = capture.ReceiveDatagram(5000);
  ASSERT_FALSE(datagram.empty());
  TUDPBlockSocket device;
  device.BindLocal("127.0.0.2", "0");
  device.ConnectTo("127.0.0.1", "162");
  for (int i = 0; i < 3; ++i) device.SendDatagram(datagram);
  ASSERT_TRUE(WaitForDebug("отброшено: повтор уже принятого уведомления SNMPv3"))
      << task_.Log("debug.log");
  EXPECT_EQ(Count(task_.Log("debug.log"), kOid + "(#TT1:3:1)=51\r\n"), 1u);
  EXPECT_EQ(task_.Stop(), 0);
}

// The task's engine keeps its ID across a restart and counts its boots in its file; an
// snmpinform after the restart learns the new clock by itself.
TEST_F(NotificationV3EndToEndTest, RestartRaisesBootsAndInformsStillArrive) {
  ASSERT_TRUE(WaitForDebug("Ответ от 127.0.0.2\r\n"));
  EXPECT_EQ(BootsFile(), "1\r\n");
  const std::string started_over = "Файл zelSNMP_TMS.boots не найден: счёт engineBoots начат";
  EXPECT_EQ(Count(task_.Log("message.log"), started_over), 1u);
  const std::string inform = kUserOps + kTrapTail;
  const testing_support::ToolRun first = Send("snmpinform", "127.0.0.2", inform + "61");
  ASSERT_EQ(first.status, 0) << first.errors;
  ASSERT_TRUE(WaitForDebug(kOid + "(#TT1:3:1)=61\r\n"));
  EXPECT_EQ(task_.Stop(), 0);
  const std::string message_log = task_.Log("message.log");
  const auto engine_at = message_log.find("engine ID ");
  ASSERT_NE(engine_at, std::string::npos);
  const std::string engine = message_log.substr(engine_at, 10 + 42);

  ASSERT_TRUE(task_.Start(kConfig, {"/t"}));
  ASSERT_TRUE(WaitForDebug("Ответ от 127.0.0.2\r\n", 2));
  EXPECT_EQ(BootsFile(), "2\r\n");
  // The same home: net-snmp remembers boots 1 of the engine, and learns 2 from its Report.
  const testing_support::ToolRun run = Send("snmpinform", "127.0.0.2", inform + "62");
  EXPECT_EQ(run.status, 0) << run.errors;
  ASSERT_TRUE(WaitForDebug(kOid + "(#TT1:3:1)=62\r\n")) << task_.Log("debug.log");
  EXPECT_EQ(Count(task_.Log("message.log"), engine + ", engineBoots 2"), 1u)
      << task_.Log("message.log");
  EXPECT_EQ(Count(task_.Log("message.log"), started_over), 1u);
  ExpectNoPassphrase();
  EXPECT_EQ(task_.Stop(), 0);
}

}  // namespace
}  // namespace zelsnmp
