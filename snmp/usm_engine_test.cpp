#include "snmp/usm_engine.h"

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "snmp/snmp_message.h"
#include "snmp/usm_discovery.h"
#include "snmp/usm_reports.h"
#include "snmp/v3_message.h"
#include "util/cp1251.h"

namespace zelsnmp {
namespace {

using Clock = UsmEngineState::Clock;
using std::chrono::hours;
using std::chrono::milliseconds;
using std::chrono::seconds;

const std::string kEngine = "engine-one";
const Clock::time_point kStart{hours(1000)};

// An engine discovered and taught boots 5, time 1000 at kStart.
UsmEngineState Synchronized() {
  UsmEngineState state;
  state.BeginRequest();
  EXPECT_TRUE(state.BeginDiscovery());
  EXPECT_TRUE(state.AcceptDiscoveredEngineId(kEngine));
  EXPECT_EQ(state.CheckAuthenticated(kEngine, 5, 1000, kStart), EngineTimeliness::kInTimeWindow);
  return state;
}

TEST(UsmEngineState, TimeSentFollowsTheLocalClock) {
  UsmEngineState state = Synchronized();
  EXPECT_EQ(state.ClockToSend(kStart).boots, 5);
  EXPECT_EQ(state.ClockToSend(kStart).time, 1000);
  EXPECT_EQ(state.ClockToSend(kStart + milliseconds(1999)).time, 1001);
  // A year of polling without another answer: still in step with the engine.
  EXPECT_EQ(state.ClockToSend(kStart + hours(24 * 365)).time, 1000 + 365 * 24 * 3600);
  EXPECT_EQ(state.ClockToSend(kStart + hours(24 * 365 * 70)).time,
            UsmEngineState::kMaxEngineTime);
  // A clock read before the lesson counts as no time elapsed.
  EXPECT_EQ(state.ClockToSend(kStart - seconds(5)).time, 1000);
  UsmEngineState fresh;
  EXPECT_EQ(fresh.ClockToSend(kStart).boots, 0);
  EXPECT_EQ(fresh.ClockToSend(kStart).time, 0);
}

// The timeliness check of an authenticated message 200 s after the engine taught boots 5,
// time 1000 (so the estimate is 1200), and what the known clock is afterwards.
TEST(UsmEngineState, TimelinessTable) {
  const struct {
    const char* what;
    std::int32_t boots;
    std::int32_t time;
    EngineTimeliness expected;
    std::int32_t boots_after;
    std::int32_t latest_after;
  } cases[] = {
      {"in step", 5, 1200, EngineTimeliness::kInTimeWindow, 5, 1200},
      {"150 s behind the estimate", 5, 1050, EngineTimeliness::kInTimeWindow, 5, 1050},
      {"151 s behind, newer than the latest", 5, 1049, EngineTimeliness::kInTimeWindow, 5, 1049},
      {"replayed: older than the latest and the window", 5, 900,
       EngineTimeliness::kNotInTimeWindow, 5, 1000},
      {"the latest again, 200 s on", 5, 1000, EngineTimeliness::kNotInTimeWindow, 5, 1000},
      {"lower boots", 4, 5000, EngineTimeliness::kNotInTimeWindow, 5, 1000},
      {"restarted engine", 6, 3, EngineTimeliness::kInTimeWindow, 6, 3},
      {"boots at the maximum", UsmEngineState::kMaxEngineBoots, 1,
       EngineTimeliness::kNotInTimeWindow, UsmEngineState::kMaxEngineBoots, 1},
  };
  for (const auto& c : cases) {
    UsmEngineState state = Synchronized();
    const Clock::time_point now = kStart + seconds(200);
    EXPECT_EQ(state.CheckAuthenticated(kEngine, c.boots, c.time, now), c.expected) << c.what;
    EXPECT_EQ(state.engine_boots(), c.boots_after) << c.what;
    EXPECT_EQ(state.latest_received_engine_time(), c.latest_after) << c.what;
    EXPECT_EQ(state.last_check_saw_restart(), c.boots > 5) << c.what;
  }
}

// The clock only moves forward: an older authenticated message never winds it back.
TEST(UsmEngineState, ClockMovesForwardOnly) {
  UsmEngineState state = Synchronized();
  state.CheckAuthenticated(kEngine, 5, 2000, kStart + seconds(10));
  EXPECT_EQ(state.ClockToSend(kStart + seconds(10)).time, 2000);
  EXPECT_EQ(state.CheckAuthenticated(kEngine, 5, 1990, kStart + seconds(20)),
            EngineTimeliness::kInTimeWindow);
  EXPECT_EQ(state.latest_received_engine_time(), 2000);
  EXPECT_EQ(state.ClockToSend(kStart + seconds(20)).time, 2010);
  state.CheckAuthenticated(kEngine, 3, 999999, kStart + seconds(30));
  EXPECT_EQ(state.engine_boots(), 5);
  EXPECT_EQ(state.ClockToSend(kStart + seconds(30)).time, 2020);
}

// An authenticated message of another engine changes nothing and says so.
TEST(UsmEngineState, OtherEngineChangesNothing) {
  UsmEngineState state = Synchronized();
  EXPECT_EQ(state.CheckAuthenticated("engine-two", 9, 9, kStart),
            EngineTimeliness::kOtherEngine);
  EXPECT_EQ(state.engine_id(), kEngine);
  EXPECT_EQ(state.engine_boots(), 5);
}

// An unauthenticated Report's engine ID counts only while discovering.
TEST(UsmEngineState, ForgedReportsOutsideDiscoveryAreIgnored) {
  UsmEngineState state = Synchronized();
  EXPECT_FALSE(state.AcceptDiscoveredEngineId("forged"));
  EXPECT_EQ(state.engine_id(), kEngine);
  EXPECT_TRUE(state.synchronized());

  UsmEngineState discovering;
  discovering.BeginRequest();
  ASSERT_TRUE(discovering.BeginDiscovery());
  EXPECT_FALSE(discovering.AcceptDiscoveredEngineId(""));
  EXPECT_FALSE(discovering.AcceptDiscoveredEngineId(std::string(33, 'e')));
  EXPECT_TRUE(discovering.AcceptDiscoveredEngineId(kEngine));
  EXPECT_FALSE(discovering.AcceptDiscoveredEngineId("second answer"));
  EXPECT_EQ(discovering.engine_id(), kEngine);
  EXPECT_FALSE(discovering.synchronized());

  UsmEngineState abandoned;
  abandoned.BeginRequest();
  ASSERT_TRUE(abandoned.BeginDiscovery());
  abandoned.AbandonDiscovery();
  EXPECT_FALSE(abandoned.AcceptDiscoveredEngineId("late"));
  EXPECT_FALSE(abandoned.discovered());
}

// A request discovers at most once and is sent again at most once; the next request may again.
TEST(UsmEngineState, HealingOncePerRequest) {
  UsmEngineState state = Synchronized();
  EXPECT_FALSE(state.BeginDiscovery());
  EXPECT_EQ(state.engine_id(), kEngine);
  EXPECT_TRUE(state.TakeResend());
  EXPECT_FALSE(state.TakeResend());
  state.BeginRequest();
  EXPECT_TRUE(state.TakeResend());
  ASSERT_TRUE(state.BeginDiscovery());
  EXPECT_FALSE(state.discovered());
  EXPECT_FALSE(state.synchronized());
  EXPECT_FALSE(state.TakeResend()) << "rediscovery does not give the request a second resend";
  EXPECT_FALSE(state.BeginDiscovery());
}

TEST(UsmReports, CountersByOid) {
  const struct {
    const char* oid;
    UsmReport report;
    const char* name;
  } cases[] = {
      {"1.3.6.1.6.3.15.1.1.1.0", UsmReport::kUnsupportedSecurityLevel,
       "usmStatsUnsupportedSecLevels"},
      {"1.3.6.1.6.3.15.1.1.2.0", UsmReport::kNotInTimeWindow, "usmStatsNotInTimeWindows"},
      {"1.3.6.1.6.3.15.1.1.3.0", UsmReport::kUnknownUserName, "usmStatsUnknownUserNames"},
      {"1.3.6.1.6.3.15.1.1.4.0", UsmReport::kUnknownEngineId, "usmStatsUnknownEngineIDs"},
      {"1.3.6.1.6.3.15.1.1.5.0", UsmReport::kWrongDigest, "usmStatsWrongDigests"},
      {"1.3.6.1.6.3.15.1.1.6.0", UsmReport::kDecryptionError, "usmStatsDecryptionErrors"},
      {"1.3.6.1.6.3.15.1.1.7.0", UsmReport::kNone, ""},
      {"1.3.6.1.6.3.11.2.1.1.0", UsmReport::kNone, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UsmReportOfOid(c.oid), c.report) << c.oid;
    EXPECT_EQ(UsmReportName(c.report), c.name) << c.oid;
    if (c.report != UsmReport::kNone) {
      EXPECT_EQ(UsmReportOid(c.report), c.oid);
    }
    // Readable Russian in the log's code page.
    const std::string& text = UsmReportText(c.report);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(text)), text);
    EXPECT_NE(Cp1251ToUtf8(text).find("SNMPv3"), std::string::npos) << c.oid;
  }
}

// The Report an engine answers discovery with, and the ones it is not.
TEST(UsmDiscovery, DecodesTheReport) {
  auto report_bytes = [](std::int32_t message_id, std::uint8_t flags, std::string engine_id,
                         int pdu_type) {
    TSNMPRec pdu;
    pdu.PDUType = pdu_type;
    pdu.AddBinding(UsmReportOid(UsmReport::kUnknownEngineId), "3", TagCounter32);
    const UsmSecurityParameters security{engine_id, 2, 77, "", "", ""};
    return EncodeV3Message({message_id, kV3MaxMessageSizeBytes, flags, kUserSecurityModel},
                           security, (flags & kV3FlagAuth) != 0 ? 12 : 0,
                           EncodeScopedPdu({engine_id, "", pdu.EncodePdu()}))
        .bytes;
  };
  DiscoveryReport report;
  ASSERT_TRUE(DecodeDiscoveryReport(report_bytes(41, 0, kEngine, PduReport), 41, report));
  EXPECT_EQ(report.engine_id, kEngine);
  EXPECT_EQ(report.engine_boots, 2);
  EXPECT_EQ(report.engine_time, 77);
  EXPECT_EQ(report.report, UsmReport::kUnknownEngineId);
  EXPECT_FALSE(DecodeDiscoveryReport(report_bytes(42, 0, kEngine, PduReport), 41, report));
  EXPECT_FALSE(DecodeDiscoveryReport(report_bytes(41, 0, "", PduReport), 41, report));
  EXPECT_FALSE(DecodeDiscoveryReport(report_bytes(41, 0, kEngine, PduResponse), 41, report));
  EXPECT_FALSE(
      DecodeDiscoveryReport(report_bytes(41, kV3FlagAuth, kEngine, PduReport), 41, report));
}

}  // namespace
}  // namespace zelsnmp
