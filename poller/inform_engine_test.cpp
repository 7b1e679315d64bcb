// The task's own SNMPv3 engine for informs: its boots count kept in its file across starts, and
// its engine ID, stable for one TM server and machine and distinct for another.

#include "poller/engine_boots_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "snmp/usm_authority.h"
#include "snmp/usm_engine.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(EngineBootsFileTest, EachStartCountsOneHigherAndABadFileStartsOver) {
  struct Case {
    const char* name;
    std::optional<std::string> before;  // the file's bytes; none: no file
    EngineBootsStart::Was was;
    std::int32_t boots;
  };
  const std::vector<Case> cases = {
      {"missing", std::nullopt, EngineBootsStart::Was::kMissing, 1},
      {"counted", "41\r\n", EngineBootsStart::Was::kCounted, 42},
      {"written by hand", "7", EngineBootsStart::Was::kCounted, 8},
      {"garbage", "seven\r\n", EngineBootsStart::Was::kUnreadable, 1},
      {"empty", "", EngineBootsStart::Was::kUnreadable, 1},
      {"zero", "0\r\n", EngineBootsStart::Was::kUnreadable, 1},
      {"negative", "-5\r\n", EngineBootsStart::Was::kUnreadable, 1},
      {"past the maximum", "2147483648\r\n", EngineBootsStart::Was::kUnreadable, 1},
      {"too long", std::string(100, '1'), EngineBootsStart::Was::kUnreadable, 1},
      {"below the maximum", "2147483646\r\n", EngineBootsStart::Was::kCounted, 2147483647},
      {"at the maximum", "2147483647\r\n", EngineBootsStart::Was::kAtMaximum, 2147483647},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::TempDirectory directory;
    const std::filesystem::path file = directory.path() / EngineBootsFileName("TMS");
    if (c.before) std::ofstream(file, std::ios::binary) << *c.before;
    const EngineBootsStart start = StartEngineBoots(file.string());
    EXPECT_EQ(start.was, c.was);
    EXPECT_EQ(start.boots, c.boots);
    EXPECT_TRUE(start.written) << start.write_error;
    EXPECT_EQ(Read(file), std::to_string(c.boots) + "\r\n");
    // Written by renaming: no temporary file stays behind.
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
    // The next start counts on from what this one wrote.
    if (c.boots < UsmEngineState::kMaxEngineBoots) {
      EXPECT_EQ(StartEngineBoots(file.string()).boots, c.boots + 1);
    }
  }
}

TEST(EngineBootsFileTest, AFileThatCannotBeWrittenIsSaidAndTheOldOneKept) {
  testing_support::TempDirectory directory;
  // A directory where the temporary file would go: it cannot be written.
  const std::filesystem::path file = directory.path() / "zelSNMP_TMS.boots";
  std::ofstream(file, std::ios::binary) << "5\r\n";
  std::filesystem::create_directory(file.string() + ".tmp");
  const EngineBootsStart start = StartEngineBoots(file.string());
  EXPECT_EQ(start.boots, 6);
  EXPECT_FALSE(start.written);
  EXPECT_FALSE(start.write_error.empty());
  EXPECT_EQ(Read(file), "5\r\n");
}

TEST(EngineBootsFileTest, AnyServerNameGivesAPlainFileName) {
  EXPECT_EQ(EngineBootsFileName("TMS"), "zelSNMP_TMS.boots");
  EXPECT_EQ(EngineBootsFileName("{tm}/..\\x_y"), "zelSNMP__7Btm_7D_2F_2E_2E_5Cx_5Fy.boots");
  // Two Cyrillic names of one length stay apart (Windows-1251 bytes).
  EXPECT_EQ(EngineBootsFileName("\xD1\xE5\xE2"), "zelSNMP__D1_E5_E2.boots");
}

TEST(InformEngineIdTest, StableForOneServerAndMachineDistinctForAnother) {
  struct Case {
    const char* server;
    const char* machine;
    bool same_as_first;
  };
  const std::vector<Case> cases = {
      {"TMS", "tm-host", true},
      {"tms", "TM-HOST", true},  // Windows names know no letter case
      {"TMS2", "tm-host", false},
      {"TMS", "tm-host2", false},
      {"TM", "Stm-host", false},  // the names are not simply joined
      {"", "", false},
  };
  const std::string first = AuthoritativeEngineId(cases[0].server, cases[0].machine);
  // RFC 3411 format: first bit set, enterprise 0 (reserved: nobody's), octets format, 16 bytes.
  ASSERT_EQ(first.size(), 21u);
  EXPECT_EQ(EngineIdHex(first.substr(0, 5)), "8000000005");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " on " + c.machine);
    const std::string id = AuthoritativeEngineId(c.server, c.machine);
    EXPECT_EQ(id, AuthoritativeEngineId(c.server, c.machine));
    EXPECT_EQ(id == first, c.same_as_first) << EngineIdHex(id);
  }
}

TEST(InformEngineIdTest, TimeWindowIsTheAuthoritativeEnginesOwn) {
  const auto start = UsmAuthority::Clock::now();
  const UsmAuthority authority(AuthoritativeEngineId("TMS", "."), 4, start);
  const auto now = start + std::chrono::seconds(1000);
  struct Case {
    std::int32_t boots;
    std::int32_t time;
    bool in_window;
  };
  for (const Case& c : std::vector<Case>{{4, 1000, true},
                                         {4, 850, true},
                                         {4, 1150, true},
                                         {4, 849, false},
                                         {4, 1151, false},
                                         {3, 1000, false},
                                         {5, 1000, false},
                                         {0, 0, false}}) {
    EXPECT_EQ(authority.InTimeWindow(c.boots, c.time, now), c.in_window)
        << c.boots << "," << c.time;
  }
  const UsmAuthority worn_out(authority.engine_id(), UsmEngineState::kMaxEngineBoots, start);
  EXPECT_FALSE(worn_out.InTimeWindow(UsmEngineState::kMaxEngineBoots, 0, start));
}

}  // namespace
}  // namespace zelsnmp
