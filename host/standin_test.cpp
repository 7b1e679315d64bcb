// The stand-in's contract, in process: connection rules, journal and log formats, the
// configuration server's path rules, the process monitor's events and the simulated faults.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/nodehub.h"
#include "host/scadalink.h"
#include "sys/event.h"
#include "sys/process.h"
#include "testing/environment.h"
#include "testing/temp_directory.h"
#include "util/cp1251.h"

namespace zelsnmp {
namespace {

std::string HostName() { return LocalHostName(); }

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class StandinTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(site_ / "tm" / "TMS");
    std::filesystem::create_directories(site_ / "config" / "TM_SERVER" / "TMS");
    testing_support::WriteFile(site_ / "config" / "TM_SERVER" / "TMS" / "a.cfg", "[host]\n");
    testing_support::SetEnv("ZELSNMP_SITE", site_.string());
    testing_support::UnsetEnv("ZELSNMP_SIM_FAIL");
    testing_support::UnsetEnv("ZELSNMP_SIM_CALLS");
  }

  std::string Read(const std::filesystem::path& relative) const {
    return testing_support::ReadFile(site_ / relative);
  }

  testing_support::TempDirectory directory_;
  const std::filesystem::path site_ = directory_.path();
};

struct ConnectCase {
  std::string machine;
  std::string server;
  bool connects;
};

class SlConnectTest : public StandinTest, public testing::WithParamInterface<ConnectCase> {};

TEST_P(SlConnectTest, ConnectsOnlyToLocalExistingServers) {
  std::filesystem::create_directories(site_ / "tm" / "a b{1}");
  const std::string machine = GetParam().machine == "HOST" ? Upper(HostName()) : GetParam().machine;
  const std::int32_t id = slConnect(machine.c_str(), GetParam().server.c_str(), 0, nullptr, 0);
  EXPECT_EQ(id > 0, GetParam().connects) << machine << " / " << GetParam().server;
  EXPECT_EQ(slIsConnected(id), GetParam().connects ? 1 : 0);
  slDisconnect(id);
  EXPECT_EQ(slIsConnected(id), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SlConnectTest,
    testing::Values(ConnectCase{"", "TMS", true}, ConnectCase{".", "TMS", true},
                    ConnectCase{"LocalHost", "TMS", true}, ConnectCase{"127.0.0.1", "TMS", true},
                    ConnectCase{"HOST", "TMS", true}, ConnectCase{".", "a b{1}", true},
                    ConnectCase{"farhost", "TMS", false}, ConnectCase{"127.0.0.2", "TMS", false},
                    ConnectCase{".", "", false}, ConnectCase{".", "missing", false},
                    ConnectCase{".", ".", false}, ConnectCase{".", "..", false},
                    ConnectCase{".", "tm/TMS", false}, ConnectCase{".", "..\\tm", false},
                    ConnectCase{".", "C:TMS", false}));

TEST_F(StandinTest, JournalHasOneLinePerWriteInItsFormat) {
  const std::int32_t id = slConnect(".", "TMS", 0, nullptr, 0);
  ASSERT_GT(id, 0);
  slSetStatus(id, 65535, 0, 7, -5, 0, 0);
  slSetStatusFlags(id, 1, 2, 3, 1);
  slSetAnalogFloatCodeUT(id, 4, 5, 6, 0.1f, 0, 0, 0);
  slSetAnalogFlags(id, 7, 8, 9, 0xabcd);
  slDisconnect(id);
  EXPECT_EQ(slSetStatus(id, 1, 1, 1, 1, 0, 0), 0);  // not after the disconnect

  const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\t)";
  const std::regex journal(stamp + "slSetStatus\t65535\t0\t7\t-5\n" + stamp +
                           "slSetStatusFlags\t1\t2\t3\t0x0001\n" + stamp +
                           "slSetAnalogFloatCodeUT\t4\t5\t6\t0.100000001\n" + stamp +
                           "slSetAnalogFlags\t7\t8\t9\t0xABCD\n");
  const std::string text = Read("tm/TMS/journal.tsv");
  EXPECT_TRUE(std::regex_match(text, journal)) << text;
}

TEST_F(StandinTest, CurrentServerAndTimeAreCutToFit) {
  const std::int32_t id = slConnect(".", "TMS", 0, nullptr, 0);
  char machine[81] = "x";
  char server[3] = "xx";
  slGetCurrentServer(id, machine, 81, server, 3);
  EXPECT_EQ(std::string(machine), HostName().substr(0, 80));
  EXPECT_EQ(std::string(server), "TM");
  char time[84] = {};
  slSystemTime(id, time, 0);
  EXPECT_TRUE(std::regex_match(time, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})")));
  char untouched[4] = "abc";
  slGetCurrentServer(id + 1000, untouched, 4, untouched, 4);
  EXPECT_EQ(std::string(untouched), "abc");
  slDisconnect(id);
}

struct FetchCase {
  const char* remote;
  std::int32_t result;
  const char* error;
};

class NhFileGetTest : public StandinTest, public testing::WithParamInterface<FetchCase> {};

TEST_P(NhFileGetTest, CopiesOnlyFilesBelowTheConfigFolder) {
  std::int32_t error_word = -1;
  std::int32_t out_word = -1;
  char error[512] = "unchanged";
  const std::int32_t handle = nhConnect(".", &error_word, error, 512);
  ASSERT_GT(handle, 0);
  const std::string local = (site_ / "local.cfg").string();
  EXPECT_EQ(nhFileGet(handle, GetParam().remote, local.c_str(), 60000, &out_word, &error_word,
                      error, 512),
            GetParam().result);
  if (GetParam().result != 0) {
    EXPECT_EQ(Read("local.cfg"), "[host]\n");
  } else {
    EXPECT_STREQ(error, GetParam().error);
    EXPECT_FALSE(std::filesystem::exists(local));
  }
  nhDisconnect(handle);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, NhFileGetTest,
    testing::Values(FetchCase{"TM_SERVER\\TMS\\a.cfg", 1, ""},
                    FetchCase{"TM_SERVER/TMS/a.cfg", 1, ""},
                    FetchCase{"TM_SERVER\\TMS\\b.cfg", 0, "File TM_SERVER\\TMS\\b.cfg not found"},
                    FetchCase{"TM_SERVER\\TMS", 0, "File TM_SERVER\\TMS not found"},
                    FetchCase{"TM_SERVER\\..\\TMS\\a.cfg", 0,
                              "Invalid file path TM_SERVER\\..\\TMS\\a.cfg"},
                    FetchCase{"TM_SERVER\\\\a.cfg", 0, "Invalid file path TM_SERVER\\\\a.cfg"},
                    FetchCase{"C:\\a.cfg", 0, "Invalid file path C:\\a.cfg"},
                    FetchCase{"\\TM_SERVER\\TMS\\a.cfg", 0,
                              "Invalid file path \\TM_SERVER\\TMS\\a.cfg"}));

TEST_F(StandinTest, ConfigServerErrorsAreCutToTheBuffer) {
  std::int32_t error_word = 0;
  char error[12];
  EXPECT_EQ(nhConnect("farhost", &error_word, error, 12), 0);
  EXPECT_STREQ(error, "Computer fa");
  char full[512];
  EXPECT_EQ(nhConnect("farhost", &error_word, full, 512), 0);
  EXPECT_STREQ(full, "Computer farhost is not reachable");
  std::int32_t out_word = 0;
  EXPECT_EQ(nhFileGet(999, "TM_SERVER\\TMS\\a.cfg", "x", 1, &out_word, &error_word, full, 512),
            0);
}

struct FaultCase {
  const char* faults;
  bool tm_connect, tm_connected, config_connect, file_get;
};

class FaultTest : public StandinTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, EachFaultBreaksItsOwnOperation) {
  testing_support::SetEnv("ZELSNMP_SIM_FAIL", GetParam().faults);
  const std::int32_t id = slConnect(".", "TMS", 0, nullptr, 0);
  EXPECT_EQ(id > 0, !GetParam().tm_connect);
  EXPECT_EQ(slIsConnected(id) != 0, !GetParam().tm_connect && !GetParam().tm_connected);
  std::int32_t word = 0;
  char error[512] = "";
  const std::int32_t handle = nhConnect(".", &word, error, 512);
  EXPECT_EQ(handle > 0, !GetParam().config_connect);
  testing_support::UnsetEnv("ZELSNMP_SIM_FAIL");
  const std::int32_t good_handle = nhConnect(".", &word, error, 512);
  testing_support::SetEnv("ZELSNMP_SIM_FAIL", GetParam().faults);
  const std::string local = (site_ / "local.cfg").string();
  EXPECT_EQ(nhFileGet(good_handle, "TM_SERVER\\TMS\\a.cfg", local.c_str(), 60000, &word, &word,
                      error, 512) != 0,
            !GetParam().file_get);
  if (GetParam().file_get) {
    EXPECT_STREQ(error, "Simulated failure");
  }
  nhDisconnect(handle);
  nhDisconnect(good_handle);
  slDisconnect(id);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    testing::Values(FaultCase{"", false, false, false, false},
                    FaultCase{"tm-connect", true, false, false, false},
                    FaultCase{"tm-connected", false, true, false, false},
                    FaultCase{"config-connect", false, false, true, false},
                    FaultCase{"file-get", false, false, false, true},
                    FaultCase{"start-event,file-get,tm-connected", false, true, false, true},
                    FaultCase{"file-gets,tm", false, false, false, false}));

TEST_F(StandinTest, UnknownFaultIsReportedOnceWithTheKnownNames) {
  testing_support::SetEnv("ZELSNMP_SIM_FAIL", "tm-connect,tm-conect");
  testing::internal::CaptureStderr();
  EXPECT_EQ(slConnect(".", "TMS", 0, nullptr, 0), 0);
  EXPECT_EQ(slIsConnected(1), 0);
  const std::string echoed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(echoed,
            "stand-in: ZELSNMP_SIM_FAIL names no fault \"tm-conect\" (ignored); the faults are "
            "stop-event, start-event, fire-start, tm-connect, tm-connected, config-connect, "
            "file-get\n"
            "stand-in: slConnect fails as ZELSNMP_SIM_FAIL asks (tm-connect)\n");
}

// A mistyped site: the person running the task is told which folder is missing, and the
// stand-in does not create it by writing its logs.
TEST_F(StandinTest, MissingSiteIsNamedAndNotCreated) {
  const std::filesystem::path missing = site_ / "no-such-site";
  testing_support::SetEnv("ZELSNMP_SITE", missing.string());
  testing::internal::CaptureStderr();
  EXPECT_EQ(slConnect(".", "TMS", 0, nullptr, 0), 0);
  e_printf("error", 0, 0, 0, 0, 0);
  const std::string echoed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(echoed, "stand-in: no site folder " + missing.string() +
                        " (ZELSNMP_SITE, or ./site when unset)\nerror");
  EXPECT_FALSE(std::filesystem::exists(missing));
  testing_support::SetEnv("ZELSNMP_SITE", site_.string());
  testing::internal::CaptureStderr();
  EXPECT_EQ(slConnect(".", "TM2", 0, nullptr, 0), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "stand-in: no TM server folder " + (site_ / "tm" / "TM2").string() +
                "\n");
}

TEST_F(StandinTest, LogOutputsFormatLikePrintfAndWriteUtf8) {
  e_printf("%s|%d|%i|%u|%x|", "a", -1, 2, 3, 255);
  e_printf("%X|%c|%%|%5d|%-3s|", 255, 'z', 42, "b", 0);
  e_printf("%.2s|%04x|%ld|%q|%", "abc", 10, 0, 0, 0);
  e_printf("%d%d%d%d%d%d", 1, 2, 3, 4, 5);
  e_printf("%s", "100% \xcf\xf0\xe8\xb8\xec\r\n", 0, 0, 0, 0);
  EXPECT_EQ(Read("log/error.log"),
            "a|-1|2|3|ff|FF|z|%|   42|b  |ab|000a|%ld|%q|%12345%d100% Приём\r\n");
  m_printf("message", 0, 0, 0, 0, 0);
  d_printf("debug %s\n", "x", 0, 0, 0, 0);
  EXPECT_EQ(Read("log/message.log"), "message");
  EXPECT_EQ(Read("log/debug.log"), "debug x\n");
}

TEST_F(StandinTest, ProcessMonitorCreatesEventsAndLogsTheStart) {
  testing_support::SetEnv("ZELSNMP_SIM_FAIL", "stop-event");
  const char* arguments[] = {"/bin/zelSNMP", "TMS", "\xcf"};
  nhEventHandle start = nullptr;
  nhEventHandle stop = reinterpret_cast<nhEventHandle>(1);
  nhPmonLocalRegisterProcess(3, arguments, &start, &stop);
  EXPECT_EQ(stop, nullptr);
  ASSERT_NE(start, nullptr);
  EXPECT_TRUE(SignalEvent(start));
  EXPECT_EQ(WaitForEvent(start, 0), EventWaitResult::kSignalled);

  testing_support::SetEnv("ZELSNMP_SIM_FAIL", "fire-start");
  nhPmonLocalRegisterProcess(1, arguments, &start, &stop);
  ASSERT_NE(stop, nullptr);
  EXPECT_FALSE(SignalEvent(start));
  EXPECT_EQ(WaitForEvent(start, 0), EventWaitResult::kTimedOut);
  EXPECT_EQ(WaitForEvent(stop, 0), EventWaitResult::kTimedOut);

  const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )";
  const std::string pid = std::to_string(CurrentProcessId());
  const std::string pmon = Read("log/pmon.log");
  EXPECT_TRUE(std::regex_match(pmon, std::regex(stamp + "register pid=" + pid +
                                                " args=/bin/zelSNMP TMS П\n" + stamp +
                                                "started pid=" + pid + "\n" + stamp +
                                                "register pid=" + pid + " args=/bin/zelSNMP\n")))
      << pmon;

  StracServerRecord record{};
  strac_AllocServer(&record, 42, 0, const_cast<char*>("<zelSNMP>"),
                    const_cast<char*>("\xcf\xf0\xe8\xb8\xec SNMP"));
  strac_SetServerState(&record, 1);
  EXPECT_TRUE(std::regex_match(Read("log/trace.log"),
                               std::regex(stamp + "alloc pid=42 name=<zelSNMP> type=Приём SNMP\n" +
                                          stamp + "state 1\n")));
}


// The Windows-1251 form of a path, as the task would pass it across the host interface.
std::string Cp1251Of(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return Utf8ToCp1251(std::string(utf8.begin(), utf8.end()));
}

// Names of people's choosing reach the file system as the same characters on every platform:
// the TM server's folder, the configuration file and the local copy. (The site named by the
// environment is checked by the Wine end-to-end run.)
TEST_F(StandinTest, CyrillicNamesReachTheDiskAsTheirCharacters) {
  const std::filesystem::path config = site_ / "config" / "TM_SERVER" / u8"Сервер ТМ";
  std::filesystem::create_directories(site_ / "tm" / u8"Сервер ТМ");
  std::filesystem::create_directories(config);
  testing_support::WriteFile(config / u8"Опрос.cfg", "[ИБП]\n");

  const std::string server = Utf8ToCp1251("Сервер ТМ");
  const std::int32_t id = slConnect(".", server.c_str(), 0, nullptr, 0);
  ASSERT_GT(id, 0);
  EXPECT_EQ(slSetStatus(id, 1, 2, 3, 4, 0, 0), 1);
  slDisconnect(id);
  const std::string journal =
      testing_support::ReadFile(site_ / "tm" / u8"Сервер ТМ" / "journal.tsv");
  EXPECT_NE(journal.find("slSetStatus\t1\t2\t3\t4\n"), std::string::npos) << journal;
  std::vector<std::filesystem::path> servers;
  for (const auto& entry : std::filesystem::directory_iterator(site_ / "tm")) {
    servers.push_back(entry.path().filename());
  }
  std::sort(servers.begin(), servers.end());
  EXPECT_EQ(servers, (std::vector<std::filesystem::path>{"TMS", u8"Сервер ТМ"}));

  std::int32_t word = 0;
  char error[512] = "";
  const std::int32_t handle = nhConnect(".", &word, error, 512);
  const std::string remote = Utf8ToCp1251("TM_SERVER\\Сервер ТМ\\Опрос.cfg");
  const std::string local = Cp1251Of(site_ / u8"Копия.cfg");
  EXPECT_EQ(nhFileGet(handle, remote.c_str(), local.c_str(), 60000, &word, &word, error, 512), 1)
      << error;
  nhDisconnect(handle);
  EXPECT_EQ(testing_support::ReadFile(site_ / u8"Копия.cfg"), "[ИБП]\n");
}

}  // namespace
}  // namespace zelsnmp
