// Notifications end to end: the real zelSNMP with "/t" (port 162) in the test process's own
// network namespace, an agent simulator at 127.0.0.2 that it polls, and net-snmp's snmptrap and
// snmpinform sending from 127.0.0.2 (or another address) as a device would. The journal of the
// TM server and the debug log are what is checked; every wait is for a log line.

#include <chrono>
#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/notification_test_task.h"
#include "app/task_runner.h"
#include "net/block_socket.h"
#include "snmp/snmp_message.h"
#include "testing/agent_process.h"
#include "testing/hostile_datagrams.h"
#include "testing/journal.h"
#include "testing/peer_programs.h"
#include "testing/private_network.h"
#include "testing/temp_directory.h"
#include "testing/text_count.h"

namespace zelsnmp {
namespace {

using namespace std::chrono_literals;
using testing_support::Count;

const std::string kPassStarted = "\r\nНачинаем цикл опроса\r\n";
const std::string kPoint = "1:3:1";
const std::string kOid = "1.3.6.1.4.1.7.1";
const std::string kConfig =
    "[127.0.0.2:public]\n"
    "#TT1:3:1=1.3.6.1.4.1.7.1\n"
    "#TT1:3:2=1.3.6.1.4.1.7.2 rate\n";
// A row found by its name, in the table the fixture's agent serves.
const std::string kRowLine = "#TT1:3:3=1.3.6.1.4.1.7.3.1.8[1.3.6.1.4.1.7.3.1.2=d2]\n";

class NotificationEndToEndTest : public testing_support::NotificationTaskTest {
 protected:
  void SetUp() override {
    NotificationTaskTest::SetUp();
    if (IsSkipped()) return;
    agent_ = std::make_unique<testing_support::AgentProcess>(
        "127.0.0.2", kOid + "|2|5\n1.3.6.1.4.1.7.2|65|100\n1.3.6.1.4.1.7.3.1.2.4|4|d1\n"
                         "1.3.6.1.4.1.7.3.1.2.5|4|d2\n1.3.6.1.4.1.7.3.1.8.4|2|1\n"
                         "1.3.6.1.4.1.7.3.1.8.5|2|2\n");
    ASSERT_TRUE(agent_->listening()) << agent_->Output();
    ASSERT_TRUE(task_.Start(kConfig + kRowLine, {"/t"}));
    ASSERT_TRUE(WaitForDebug("Ответ от 127.0.0.2:public\r\n")) << task_.Log("error.log");
  }

  std::vector<std::string> Writes() const {
    return testing_support::WritesTo(testing_support::ReadJournal(task_.JournalFile()), kPoint);
  }

  std::unique_ptr<testing_support::AgentProcess> agent_;
};

// A v2c notification as a device's own stack sends it, for the cases net-snmp's tools cannot
// make (the same request ID twice, thousands per second).
std::string V2Notification(int pdu_type, std::int32_t request_id, std::int32_t value) {
  return testing_support::IntegerMessage(pdu_type, request_id, kOid, value);
}

// Each sender in turn: a believed one writes its value at once, traced under the line naming
// it, and the poll out of turn writes the device's own value after it; a dropped one writes
// nothing and its reason is in the debug log once, though it is sent twice.
TEST_F(NotificationEndToEndTest, BelievedSendersWriteAtOnceOthersAreDroppedWithTheirReason) {
  struct Case {
    std::string tool;
    std::string source;
    std::string arguments;  // with VALUE for the value sent
    std::string value;
    std::string taken;    // the line naming the notification; empty when it is dropped
    std::string dropped;  // the reason in the debug log
  };
  const std::string v1 = "-v1 -c public 127.0.0.1:162 1.3.6.1.4.1.8072 127.0.0.2 6 17 '' ";
  const std::string v2 = "-v2c -c public 127.0.0.1:162 '' 1.3.6.1.6.3.1.1.5.3 ";
  const std::vector<Case> cases = {
      {"snmptrap", "127.0.0.2", v1 + kOid + " i VALUE", "71",
       "Уведомление Trap от 127.0.0.2:public: enterprise 1.3.6.1.4.1.8072, generic 6, "
       "specific 17\r\n",
       ""},
      {"snmptrap", "127.0.0.2", v2 + kOid + " i VALUE", "72",
       "Уведомление SNMPv2-Trap от 127.0.0.2:public: snmpTrapOID 1.3.6.1.6.3.1.1.5.3\r\n", ""},
      {"snmpinform", "127.0.0.2", v2 + kOid + " i VALUE", "73", "Уведомление InformRequest ",
       ""},
      {"snmptrap", "127.0.0.2",
       "-v2c -c private 127.0.0.1:162 '' 1.3.6.1.6.3.1.1.5.3 " + kOid + " i VALUE", "74", "",
       "Уведомление от 127.0.0.2 отброшено: community не совпадает ни с одной секцией v2c "
       "этого адреса"},
      {"snmptrap", "127.0.0.9", v2 + kOid + " i VALUE", "75", "",
       "Уведомление от 127.0.0.9 отброшено: адрес не принадлежит ни одному агенту"},
      {"snmptrap", "127.0.0.2",
       "-v3 -u device -l noAuthNoPriv -e 0x8000000001020304 127.0.0.1:162 '' "
       "1.3.6.1.6.3.1.1.5.3 " +
           kOid + " i VALUE",
       "76", "",
       "Уведомление от 127.0.0.2 отброшено: пользователь SNMPv3 не совпадает ни с одной секцией "
       "v3 этого адреса"},
  };
  const std::string out_of_turn = "Внеочередной опрос по уведомлению: 127.0.0.2:public\r\n";
  std::size_t polls_out_of_turn = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tool + " from " + c.source + " " + c.arguments);
    std::string arguments = c.arguments;
    arguments.replace(arguments.find("VALUE"), 5, c.value);
    const std::string written = "slSetAnalogFloatCodeUT " + c.value;
    if (c.taken.empty()) {
      for (int i = 0; i < 2; ++i) EXPECT_EQ(Send(c.tool, c.source, arguments).status, 0);
      ASSERT_TRUE(WaitForDebug(c.dropped));
      // A believed notification sent after it shows that the dropped ones were handled.
      EXPECT_EQ(Send("snmptrap", "127.0.0.2", v2 + "1.3.6.1.4.1.7.9 i 0").status, 0);
      ASSERT_TRUE(WaitForDebug(out_of_turn, ++polls_out_of_turn));
      EXPECT_EQ(Count(task_.Log("debug.log"), c.dropped), 1u);
      const std::vector<std::string> writes = Writes();
      EXPECT_EQ(std::count(writes.begin(), writes.end(), written), 0);
      continue;
    }
    const testing_support::ToolRun run = Send(c.tool, c.source, arguments);
    EXPECT_EQ(run.status, 0) << run.errors;  // snmpinform: its Response came
    ASSERT_TRUE(WaitForDebug(c.taken + "")) << task_.Log("debug.log");
    ASSERT_TRUE(WaitForDebug(kOid + "(#TT1:3:1)=" + c.value + "\r\n"));
    // The whole poll out of turn: its trace goes on past the line of the point's write.
    ASSERT_TRUE(WaitForDebug(out_of_turn + "Ответ от 127.0.0.2:public\r\n" + kOid +
                                 "(#TT1:3:1)=5\r\n1.3.6.1.4.1.7.2(#TT1:3:2)=100\r\n",
                             ++polls_out_of_turn));
    // The notification's value, then the device's own from the poll out of turn.
    const std::vector<std::string> writes = Writes();
    const auto at = std::find(writes.begin(), writes.end(), written);
    ASSERT_NE(at, writes.end());
    EXPECT_NE(std::find(at, writes.end(), "slSetAnalogFloatCodeUT 5"), writes.end());
  }
  // The rate line takes nothing from a notification.
  EXPECT_EQ(Count(task_.Log("debug.log"), "(#TT1:3:2)=7"), 0u);
  EXPECT_EQ(task_.Stop(), 0);
}

// The same inform twice (its Response lost, the sender repeats it) is answered twice and acted
// on once; a flood of traps costs at most one poll out of turn per second while the regular
// passes go on.
TEST_F(NotificationEndToEndTest, RepeatedInformActsOnceAndAFloodPollsAtMostOncePerSecond) {
  TUDPBlockSocket device;
  device.BindLocal("127.0.0.2", "0");
  device.ConnectTo("127.0.0.1", "162");
  for (int i = 0; i < 2; ++i) {
    device.SendDatagram(V2Notification(PduInformRequest, 4242, 81));
    const std::string answer = device.ReceiveDatagram(5000);
    TSNMPRec response;
    ASSERT_TRUE(response.DecodeMessage(answer));
    EXPECT_EQ(response.PDUType, PduResponse);
    EXPECT_EQ(response.ID, 4242);
    EXPECT_EQ(response.BindingValue(kOid), "81");
  }
  ASSERT_TRUE(WaitForDebug("Повтор InformRequest 4242 от 127.0.0.2"));
  EXPECT_EQ(Count(task_.Log("debug.log"), "Уведомление InformRequest 4242 от"), 1u);

  const std::size_t passes_before = Count(task_.Log("debug.log"), kPassStarted);
  const std::size_t requests_before = agent_->Requests().size();
  const auto start = std::chrono::steady_clock::now();
  constexpr int kTraps = 3000;
  for (int i = 0; i < kTraps; ++i) {
    device.SendDatagram(V2Notification(PduTrapV2, i, 1000 + i));
    if (i % 100 == 99) std::this_thread::sleep_for(100ms);
  }
  // The regular passes go on: two more start after the flood began.
  ASSERT_TRUE(WaitForDebug(kPassStarted, passes_before + 2));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::size_t passes = Count(task_.Log("debug.log"), kPassStarted) - passes_before;
  const std::size_t requests = agent_->Requests().size() - requests_before;
  // Each pass asks once; all else are polls out of turn, at most one per second begun.
  EXPECT_LE(requests, passes + static_cast<std::size_t>(seconds) + 2);
  EXPECT_GE(Count(task_.Log("debug.log"), "Уведомление SNMPv2-Trap от"), 1u);
  EXPECT_EQ(task_.Stop(), 0);
}

// A port that cannot be bound, or a "/t" not understood, is said once in the error log, and the
// agents are polled all the same.
TEST(NotificationStartTest, AnUnusablePortIsNamedOnceAndPollingGoesOn) {
  const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
  if (!reason.empty()) GTEST_SKIP() << reason;
  struct Case {
    std::string switch_text;
    bool hold_port;
    std::string error_log;
  };
  const std::vector<Case> cases = {
      {"/t", true,
       "Уведомления не принимаются: порт UDP 162 (IPv4) не открыт, ошибка 10048 Address already "
       "in use; опрос идёт без уведомлений\r\n"},
      {"/t0x", false,
       "Ключ /t0x не понят (нужно /t или /tPORT, PORT от 1 до 65535): уведомления не "
       "принимаются\n"},
  };
  testing_support::AgentProcess agent("127.0.0.2", kOid + "|2|5\n");
  ASSERT_TRUE(agent.listening()) << agent.Output();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.switch_text);
    TUDPBlockSocket holder;  // another trap receiver of the machine
    if (c.hold_port) holder.BindLocal("0.0.0.0", "162");
    ASSERT_EQ(holder.LastErrorCode(), 0);
    testing_support::SiteTask task;
    ASSERT_TRUE(task.Start(kConfig, {c.switch_text}));
    ASSERT_TRUE(testing_support::WaitForLogText(task.site(), "debug.log",
                                                "Ответ от 127.0.0.2:public\r\n", 20s, 2));
    EXPECT_EQ(task.Log("error.log"), c.error_log);
    EXPECT_EQ(task.Stop(), 0);
  }
}

// A row found by its name takes a notification's binding at the instance found, and only there:
// the other row's instance writes nothing.
TEST_F(NotificationEndToEndTest, RowFoundByNameTakesItsInstance) {
  ASSERT_TRUE(WaitForDebug("(#TT1:3:3)=2\r\n"));
  const std::string trap = "-v2c -c public 127.0.0.1:162 '' 1.3.6.1.6.3.1.1.5.3 ";
  EXPECT_EQ(Send("snmptrap", "127.0.0.2", trap + "1.3.6.1.4.1.7.3.1.8.4 i 61").status, 0);
  EXPECT_EQ(Send("snmptrap", "127.0.0.2", trap + "1.3.6.1.4.1.7.3.1.8.5 i 62").status, 0);
  // Both come from one address to one socket: the first is handled before the second.
  ASSERT_TRUE(WaitForDebug("1.3.6.1.4.1.7.3.1.8.5(#TT1:3:3)=62\r\n")) << task_.Log("debug.log");
  EXPECT_EQ(Count(task_.Log("debug.log"), "=61\r\n"), 0u);
  EXPECT_EQ(task_.Stop(), 0);
}


// While a "/p" window waits for a slow IPv4 and a slow IPv6 device at once, a trap is written
// at once, before either device answers.
TEST(NotificationWindowTest, TakenWhileIPv4AndIPv6RequestsAreInFlight) {
  const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
  if (!reason.empty()) GTEST_SKIP() << reason;
  const std::string data = kOid + "|2|5\n";
  const std::vector<std::string> slow = {"--delay", "8000"};
  testing_support::AgentProcess ipv4("127.0.0.3", data, slow);
  testing_support::AgentProcess ipv6("::1", data, slow);
  ASSERT_TRUE(ipv4.listening()) << ipv4.Output();
  ASSERT_TRUE(ipv6.listening()) << ipv6.Output();
  const std::string patient = "@timeout = 10000\n@retries = 0\n";
  testing_support::SiteTask task;
  ASSERT_TRUE(task.Start("[127.0.0.3:public]\n" + patient + "#TT1:3:1=" + kOid +
                             "\n[v6]\n@host = ::1\n" + patient + "#TT1:3:2=" + kOid + "\n",
                         {"/t", "/p4"}));
  // Both requests of the first pass are in flight once each device has received its own.
  for (const auto* agent : {&ipv4, &ipv6}) {
    // Requests(1) waits up to two seconds for the line; the task may take longer to start.
    for (int i = 0; i < 10 && agent->Requests(1).empty(); ++i) continue;
    ASSERT_EQ(agent->Requests().size(), 1u) << agent->Output();
  }
  TUDPBlockSocket device;
  device.BindLocal("127.0.0.3", "0");
  device.ConnectTo("127.0.0.1", "162");
  device.SendDatagram(V2Notification(PduTrapV2, 7, 91));
  ASSERT_TRUE(testing_support::WaitForLogText(task.site(), "debug.log",
                                              kOid + "(#TT1:3:1)=91\r\n", 20s))
      << task.Log("debug.log");
  EXPECT_TRUE(ipv4.Answers().empty()) << ipv4.Output();
  EXPECT_TRUE(ipv6.Answers().empty()) << ipv6.Output();
  EXPECT_EQ(task.Stop(), 0);
}

}  // namespace
}  // namespace zelsnmp
