// Rows found by their name, end to end: the real zelSNMP polls points bound to table rows by a
// key column's value, in the test process's own network namespace
// (testing/private_network_main.cpp). net-snmp's snmpd serves the namespace's real interface
// table while links are deleted and added so that the interfaces really change their ifIndex.
// The journal and the logs are checked: a point follows its interface to the new index, and no
// pass ever writes another interface's value into it.

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/task_runner.h"
#include "testing/journal.h"
#include "testing/peer_programs.h"
#include "testing/private_network.h"
#include "testing/temp_directory.h"
#include "testing/text_count.h"

namespace zelsnmp {
namespace {

using namespace std::chrono_literals;
using testing_support::Count;
using testing_support::RunShell;
using testing_support::WritesTo;

constexpr const char* kIfDescr = "1.3.6.1.2.1.2.2.1.2";
constexpr const char* kIfMtu = "1.3.6.1.2.1.2.2.1.4";
const std::string kFlagged = "slSetAnalogFlags 0x0001";

// The links of the namespace, as `ip` makes them: each with its own MTU, so that a value
// written tells which interface it came from.
struct Link {
  const char* name;
  int index;
  int mtu;
};

bool AddLinks(const std::vector<Link>& links) {
  for (const Link& link : links) {
    const std::string command = std::string("ip link add ") + link.name + " index " +
                                std::to_string(link.index) + " mtu " + std::to_string(link.mtu) +
                                " type ifb 2>/dev/null";
    if (RunShell(command) != 0) return false;
  }
  return true;
}

void DeleteLinks(std::initializer_list<const char*> names) {
  for (const char* name : names) RunShell(std::string("ip link del ") + name + " 2>/dev/null");
}

class RowEndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
  }

  testing_support::TempDirectory dir_;
  testing_support::SiteTask task_;
};

TEST_F(RowEndToEndTest, PointFollowsItsInterfaceThroughRealRenumbering) {
  const std::string missing = testing_support::PeersUnavailable({"snmpd", "ip"});
  if (!missing.empty()) GTEST_SKIP() << missing;
  if (!AddLinks({{"d1", 12, 1501}, {"d2", 13, 1402}})) {
    DeleteLinks({"d1", "d2"});
    GTEST_SKIP() << "this kernel makes no ifb links (ip link add NAME type ifb)";
  }
  testing_support::SnmpdProcess snmpd(dir_.path() / "snmpd");
  ASSERT_TRUE(snmpd.Start("rocommunity public 127.0.0.1\n")) << snmpd.Log();
  const std::string mtu = std::string(kIfMtu) + "[" + kIfDescr;
  const std::string config = "[127.0.0.1:public]\n@port = " + snmpd.port() +
                             "\n"
                             "#TT1:1:1 = " + mtu + "=d2]\n"
                             "#TS1:1:2 = 1.3.6.1.2.1.2.2.1.1[" + kIfDescr + "=d2]\n"
                             "#TT1:1:3 = " + mtu + "=\"no such link\"] scale=2\n"
                             "#TT1:1:4 = 1.3.6.1.2.1.2.1.0\n";
  ASSERT_TRUE(task_.Start(config));
  ASSERT_TRUE(testing_support::WaitForLogText(
      task_.site(), "debug.log", std::string(kIfMtu) + ".13(#TT1:1:1)=1402\r\n", 30s))
      << task_.Log("debug.log") << task_.Log("error.log") << task_.Log("message.log");

  // d2 goes; d9 takes its index 13; d2 comes back at 14.
  DeleteLinks({"d2"});
  ASSERT_TRUE(AddLinks({{"d9", 13, 1509}, {"d2", 14, 1402}}));
  const bool moved = testing_support::WaitForLogText(
      task_.site(), "debug.log", std::string(kIfMtu) + ".14(#TT1:1:1)=1402\r\n", 60s);
  EXPECT_EQ(task_.Stop(), 0);
  DeleteLinks({"d1", "d2", "d9"});
  const std::string debug = task_.Log("debug.log");
  ASSERT_TRUE(moved) << debug;

  const auto journal = testing_support::ReadJournal(task_.JournalFile());
  const std::vector<std::string> mtus = WritesTo(journal, "1:1:1");
  ASSERT_FALSE(mtus.empty());
  for (const std::string& write : mtus) {
    EXPECT_TRUE(write == "slSetAnalogFloatCodeUT 1402" || write == kFlagged) << write;
  }
  EXPECT_EQ(mtus.back(), "slSetAnalogFloatCodeUT 1402");
  // The #TS point shows d2's index, first 13, then 14, never d9's 13 after the move.
  std::vector<std::string> indexes = WritesTo(journal, "1:1:2");
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  EXPECT_EQ(indexes, (std::vector<std::string>{"slSetStatus 13", "slSetStatus 14"}));
  // The key absent: flagged every pass, said once.
  for (const std::string& write : WritesTo(journal, "1:1:3")) EXPECT_EQ(write, kFlagged);
  EXPECT_EQ(Count(task_.Log("error.log"),
                  "Строка таблицы не найдена [127.0.0.1:public], #TT1:1:3: ни одна строка "
                  "столбца 1.3.6.1.2.1.2.2.1.2 не равна no such link\r\n"),
            1u)
      << task_.Log("error.log");
  // A walk at the start, one after the move; between them the moved key was seen.
  EXPECT_GE(Count(debug, "Обход столбца 1.3.6.1.2.1.2.2.1.2 [127.0.0.1:public]: прочитано строк "),
            2u)
      << debug;
  EXPECT_GE(Count(debug, "(#TT1:1:1): строка таблицы сменила ключ (1.3.6.1.2.1.2.2.1.2.13)"), 1u)
      << debug;
  EXPECT_EQ(Count(debug, "1509"), 0u) << debug;
}

}  // namespace
}  // namespace zelsnmp
