// The configuration check's probe against agent simulators on port 161, in the test process's
// own network namespace (testing/private_network_main.cpp): per line what the task would write
// and why, a silent agent costing the time-outs of two requests only, and the probe's findings.

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/agent_process.h"
#include "testing/private_network.h"
#include "testing/temp_directory.h"
#include "tools/check/check_run.h"
#include "tools/check/display_text.h"

namespace zelsnmp::check {
namespace {

using testing_support::AgentProcess;

TEST(CheckProbeTest, ShowsWhatTheTaskWouldWriteAndWhy) {
  const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
  if (!reason.empty()) GTEST_SKIP() << reason;
  AgentProcess answering("127.0.0.2",
                         "1.3.6.1.4.1.7.1|2|2\n1.3.6.1.4.1.7.2|65|3000000000\n"
                         "1.3.6.1.4.1.7.3|4|abc\n1.3.6.1.4.1.7.4|4|23.5\n",
                         {"--community", "ro"});
  AgentProcess silent("127.0.0.3", "1.3.6.1.4.1.7.1|2|2\n", {"--silent"});
  ASSERT_TRUE(answering.listening()) << answering.Output();
  ASSERT_TRUE(silent.listening()) << silent.Output();
  testing_support::TempDirectory directory;
  const std::string path = directory.Write(
      "probe.cfg",
      "[127.0.0.2:ro]\n#TC1:1:1=1.3.6.1.4.1.7.1\n#TS1:1:2=1.3.6.1.4.1.7.2\n"
      "#TS1:1:3=1.3.6.1.4.1.7.3\n#TT1:1:4=1.3.6.1.4.1.7.4\n#TT1:1:5=1.3.6.1.4.1.7.9\n"
      "[127.0.0.3]\n#TC2:1:1=1.3.6.1.4.1.7.1\n#TS2:1:2=1.3.6.1.4.1.7.1\n[nowhere.invalid]\n");

  std::ostringstream out;
  std::ostringstream err;
  const auto started = std::chrono::steady_clock::now();
  const int status = RunCheck({"--probe", "--timeout", "700", path}, out, err);
  const auto took = std::chrono::steady_clock::now() - started;
  // Columns are aligned with runs of blanks; one blank stands for any run here.
  std::string text;
  for (char c : out.str()) {
    if (c != ' ' || text.empty() || text.back() != ' ') text += c;
  }
  EXPECT_EQ(status, 1) << text << err.str();
  // What the silent agent cost is counted in requests, not in the time a loaded machine
  // took: the query, then the size probe's single binding, which it does not answer either,
  // so no halving follows. The time is held only from below.
  EXPECT_GE(took, std::chrono::milliseconds(650));
  EXPECT_EQ(silent.Requests(2).size(), 2u);
  const std::vector<std::string> expected = {
      "probe: answered from 127.0.0.2 in ",
      "\n 2 \"2\" (INTEGER) slSetStatus 1 the value reported\n",
      "\n 3 \"3000000000\" (Counte… slSetStatus -1294967296 an unsigned value\n",
      "\n 4 \"abc\" (OCTET STRING) slSetStatus 0 no whole number in\n",
      "\n 5 \"23.5\" (OCTET STRING) slSetAnalogFloatCodeUT 23.5 the value reported\n",
      "\n 6 noSuchObject slSetAnalogFlags 0x0001 no value reported:\n",
      "probe: no answer within the time-out (",
      "a wrong community, a filter\n and a dead device look the same to a v2c client",
      "\n 8 - slSetStatusFlags 0x0001 no answer\n",
      "\n 9 - nothing no answer\n",
      "line 4 warning: probe: \"abc\" (OCTET STRING) gives slSetStatus 0",
      "line 6 warning: probe: noSuchObject gives slSetAnalogFlags 0x0001",
      "line 7 warning: probe: [127.0.0.3] did not answer",
      "probe: the host does not resolve: nothing was sent",
      "3 agents, 7 points, 4 warnings, 0 errors",
  };
  for (std::size_t start = 0, end; (end = out.str().find('\n', start)) != std::string::npos;
       start = end + 1) {
    EXPECT_LE(DisplayWidth(std::string_view(out.str()).substr(start, end - start)),
              kTerminalColumns);
  }
  for (const std::string& part : expected) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  EXPECT_EQ(answering.Answers(1).size(), 1u);
}

// Rows found by their name: the index found, none, or how many rows hold the key.
TEST(CheckProbeTest, ResolvesEachRow) {
  const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
  if (!reason.empty()) GTEST_SKIP() << reason;
  AgentProcess table("127.0.0.4",
                     "1.3.6.1.2.1.2.2.1.2.2|4|eth0\n1.3.6.1.2.1.2.2.1.2.3|4|eth0\n"
                     "1.3.6.1.2.1.2.2.1.2.10|4|uplink\n1.3.6.1.2.1.2.2.1.4.2|2|1500\n"
                     "1.3.6.1.2.1.2.2.1.4.3|2|1501\n1.3.6.1.2.1.2.2.1.4.10|2|9000\n");
  ASSERT_TRUE(table.listening()) << table.Output();
  testing_support::TempDirectory directory;
  const std::string mtu = "1.3.6.1.2.1.2.2.1.4[1.3.6.1.2.1.2.2.1.2=";
  const std::string path = directory.Write(
      "probe.cfg", "[127.0.0.4]\n#TT1:1:1=" + mtu + "uplink]\n#TT1:1:2=" + mtu + "eth0]\n" +
                       "#TT1:1:3=" + mtu + "eth9]\n");
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunCheck({"--probe", "--wide", path}, out, err), 0) << out.str() << err.str();
  std::string text;
  for (char c : out.str()) {
    if (c != ' ' || text.empty() || text.back() != ' ') text += c;
  }
  for (const std::string& part : {
           std::string("\n 2 \"9000\" (INTEGER) slSetAnalogFloatCodeUT 9000 row 10, asked "
                       "1.3.6.1.2.1.2.2.1.4.10\n"),
           std::string("\n 3 \"1500\" (INTEGER) slSetAnalogFloatCodeUT 1500 2 rows hold the "
                       "key, the first (row 2) taken, asked 1.3.6.1.2.1.2.2.1.4.2\n"),
           std::string("\n 4 - slSetAnalogFlags 0x0001 row not found: no row holds the key (3 "
                       "rows of 1.3.6.1.2.1.2.2.1.2 read)\n"),
       }) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  // One GetBulk walks the column, one request asks the rows and their keys.
  EXPECT_EQ(table.Answers(2).size(), 2u) << table.Output();
}

}  // namespace
}  // namespace zelsnmp::check
