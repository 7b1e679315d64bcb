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
  EXPECT_EQ(state.ClockToSend(kStart + milliseconds(1999)).time, 1001);
  // A year without another answer: still in step with the engine.
  EXPECT_EQ(state.ClockToSend(kStart + hours(24 * 365)).time, 1000 + 365 * 24 * 3600);
  EXPECT_EQ(state.ClockToSend(kStart + hours(24 * 365 * 70)).time,
            UsmEngineState::kMaxEngineTime);
  EXPECT_EQ(state.ClockToSend(kStart - seconds(5)).time, 1000);
  EXPECT_EQ(UsmEngineState().ClockToSend(kStart).time, 0);
}

// An authenticated message 200 s after the engine taught boots 5, time 1000 (the estimate is
// then 1200): its timeliness, and the clock known afterwards, which only moves forward.
TEST(UsmEngineState, TimelinessTable) {
  const struct {
    const char* what;
    std::string engine;
    std::int32_t boots;
    std::int32_t time;
    EngineTimeliness expected;
    std::int32_t boots_after;
    std::int32_t time_sent_after;
  } cases[] = {
      {"in step", kEngine, 5, 1200, EngineTimeliness::kInTimeWindow, 5, 1200},
      {"150 s behind", kEngine, 5, 1050, EngineTimeliness::kInTimeWindow, 5, 1050},
      {"151 s behind, newer than the latest", kEngine, 5, 1049, EngineTimeliness::kInTimeWindow,
       5, 1049},
      {"replayed", kEngine, 5, 1000, EngineTimeliness::kNotInTimeWindow, 5, 1200},
      {"lower boots", kEngine, 4, 5000, EngineTimeliness::kNotInTimeWindow, 5, 1200},
      {"restarted", kEngine, 6, 3, EngineTimeliness::kInTimeWindow, 6, 3},
      {"boots at the maximum", kEngine, UsmEngineState::kMaxEngineBoots, 1,
       EngineTimeliness::kNotInTimeWindow, UsmEngineState::kMaxEngineBoots, 1},
      {"another engine", "engine-two", 9, 9, EngineTimeliness::kOtherEngine, 5, 1200},
  };
  for (const auto& c : cases) {
    UsmEngineState state = Synchronized();
    const Clock::time_point now = kStart + seconds(200);
    EXPECT_EQ(state.CheckAuthenticated(c.engine, c.boots, c.time, now), c.expected) << c.what;
    EXPECT_EQ(state.engine_boots(), c.boots_after) << c.what;
    EXPECT_EQ(state.ClockToSend(now).time, c.time_sent_after) << c.what;
    EXPECT_EQ(state.last_check_saw_restart(), c.boots_after > 5) << c.what;
    EXPECT_EQ(state.engine_id(), kEngine);
  }
}

// An unauthenticated Report's engine ID counts only while discovering, once.
TEST(UsmEngineState, ForgedReportsOutsideDiscoveryAreIgnored) {
  UsmEngineState state = Synchronized();
  EXPECT_FALSE(state.AcceptDiscoveredEngineId("forged"));
  EXPECT_EQ(state.engine_id(), kEngine);

  state.BeginRequest();
  ASSERT_TRUE(state.BeginDiscovery());
  EXPECT_FALSE(state.AcceptDiscoveredEngineId(""));
  EXPECT_FALSE(state.AcceptDiscoveredEngineId(std::string(33, 'e')));
  EXPECT_TRUE(state.AcceptDiscoveredEngineId("engine-two"));
  EXPECT_FALSE(state.AcceptDiscoveredEngineId("second answer"));
  EXPECT_EQ(state.engine_id(), "engine-two");
  EXPECT_FALSE(state.synchronized());
}

// A request discovers at most once and is sent again at most once; the next one may again.
TEST(UsmEngineState, HealingOncePerRequest) {
  UsmEngineState state = Synchronized();
  EXPECT_FALSE(state.BeginDiscovery());
  EXPECT_TRUE(state.TakeResend());
  EXPECT_FALSE(state.TakeResend());
  state.BeginRequest();
  EXPECT_TRUE(state.TakeResend());
  EXPECT_TRUE(state.BeginDiscovery());
  EXPECT_FALSE(state.TakeResend());
  state.AbandonDiscovery();
  EXPECT_FALSE(state.BeginDiscovery());
  EXPECT_FALSE(state.discovered());
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
      {"1.3.6.1.6.3.11.2.1.1.0", UsmReport::kNone, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UsmReportOfOid(c.oid), c.report) << c.oid;
    EXPECT_EQ(UsmReportName(c.report), c.name) << c.oid;
    // Russian in the log's code page: no character was lost on the way.
    const std::string text = Cp1251ToUtf8(UsmReportText(c.report));
    EXPECT_EQ(text.find('?'), std::string::npos) << text;
    EXPECT_NE(text.find("SNMPv3"), std::string::npos) << text;
  }
}

// The Report an engine answers discovery with, and the ones it is not.
TEST(UsmDiscovery, DecodesTheReport) {
  auto report = [](std::int32_t message_id, std::uint8_t flags, std::string engine, int type) {
    TSNMPRec pdu;
    pdu.PDUType = type;
    pdu.AddBinding(UsmReportOid(UsmReport::kUnknownEngineId), "3", TagCounter32);
    return EncodeV3Message({message_id, kV3MaxMessageSizeBytes, flags, kUserSecurityModel},
                           {engine, 2, 77, "", "", ""}, (flags & kV3FlagAuth) != 0 ? 12 : 0,
                           EncodeScopedPdu({engine, "", pdu.EncodePdu()}))
        .bytes;
  };
  DiscoveryReport got;
  ASSERT_TRUE(DecodeDiscoveryReport(report(41, 0, kEngine, PduReport), 41, got));
  EXPECT_EQ(got.engine_id, kEngine);
  EXPECT_EQ(got.report, UsmReport::kUnknownEngineId);
  EXPECT_FALSE(DecodeDiscoveryReport(report(42, 0, kEngine, PduReport), 41, got));
  EXPECT_FALSE(DecodeDiscoveryReport(report(41, 0, "", PduReport), 41, got));
  EXPECT_FALSE(DecodeDiscoveryReport(report(41, 0, kEngine, PduResponse), 41, got));
  EXPECT_FALSE(DecodeDiscoveryReport(report(41, kV3FlagAuth, kEngine, PduReport), 41, got));
}

}  // namespace
}  // namespace zelsnmp
