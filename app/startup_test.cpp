// Start-up and shutdown of the real zelSNMP program against stand-in sites: every path through
// start-up with the lines it logs, the trace states it leaves and the host calls it makes, in
// order (the stand-in's call record, ZELSNMP_SIM_CALLS=1).

#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/task_runner.h"

namespace zelsnmp {
namespace {

using testing_support::RunTask;
using testing_support::SplitLines;
using testing_support::TestSite;

const std::string kTaskStarted = "Задача запущена\n";
const std::string kTaskStopped = "Задача остановлена\n";
const std::string kNoAddress = "Не задан ни один адрес для опроса\r\n";

std::string HostName() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string WithHost(const std::string& text) { return ReplaceAll(text, "{HOST}", HostName()); }

std::string RegexEscape(const std::string& text) {
  static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
  return std::regex_replace(text, special, R"(\$&)");
}

// The trace states in the order published, as "0 1 2".
std::string TraceStates(const TestSite& site) {
  std::string states;
  for (const std::string& line : SplitLines(site.Log("trace.log"))) {
    const size_t at = line.find(" state ");
    if (at == std::string::npos) continue;
    if (!states.empty()) states += ' ';
    states += line.substr(at + 7);
  }
  return states;
}

// Every recorded call must match its pattern, in order, and no call may be left over.
void ExpectCalls(const TestSite& site, const std::vector<std::string>& patterns) {
  const std::vector<std::string> calls = SplitLines(site.Log("calls.log"));
  const std::string host = RegexEscape(HostName());
  for (size_t i = 0; i < std::max(calls.size(), patterns.size()); ++i) {
    const std::string call = i < calls.size() ? calls[i] : "(none)";
    const std::string pattern = i < patterns.size() ? patterns[i] : "(none)";
    EXPECT_TRUE(std::regex_match(call, std::regex(ReplaceAll(pattern, "{HOST}", host))))
        << "call " << i << ": " << call << "\n  expected: " << pattern;
  }
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const std::vector<std::string> kRegistered = {
    R"(strac_AllocServer pid=\d+ name=<zelSNMP> type=Приём SNMP)", "strac_SetServerState 0",
    R"(nhPmonLocalRegisterProcess \d+ .*)"};
const std::vector<std::string> kConnected = {
    R"(slConnect "\." "TMS" = 1)", "slSystemTime 1", "slIsConnected 1 = 1",
    "slGetCurrentServer 1 81 81", "d_printf", R"(nhConnect "{HOST}" 512 = 1)", "d_printf",
    "d_printf",
    R"(nhFileGet 1 "TM_SERVER\\TMS\\_zelSNMP\.cfg" "\./zelSNMP_-?\d+_\d+" 60000 512)"};
const std::vector<std::string> kStopped = {"m_printf", "strac_SetServerState 2",
                                           "slDisconnect 1"};
const std::string kAllDebugLines =
    "nhConnect \"{HOST}\" enter\nnhConnect Exit\nnhFileGet enter\nnhFileGet exit\n";

struct PathCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* faults;
  const char* tm_server;    // folder made below <site>/tm, or nullptr
  const char* config;       // contents of TM_SERVER\TMS\_zelSNMP.cfg, or nullptr for none
  std::string error_log;    // {HOST} stands for this computer's name
  std::string message_log;
  std::string debug_log;
  const char* trace_states;
  bool start_signalled;
  std::vector<std::string> calls;
};

void PrintTo(const PathCase& path, std::ostream* out) { *out << path.name; }

class StartupPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(StartupPathTest, LogsItsLinesLeavesItsStateAndExitsZero) {
  const PathCase& path = GetParam();
  TestSite site;
  if (path.tm_server != nullptr) site.AddTmServer(path.tm_server);
  if (path.config != nullptr) site.AddConfigFile("TMS", "_zelSNMP.cfg", path.config);

  const int status = RunTask(site, path.arguments, path.faults);

  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(site.Log("error.log"), WithHost(path.error_log));
  EXPECT_EQ(site.Log("message.log"), path.message_log);
  EXPECT_EQ(site.Log("debug.log"), WithHost(path.debug_log));
  EXPECT_EQ(TraceStates(site), path.trace_states);
  EXPECT_EQ(site.Log("pmon.log").find(" started pid=") != std::string::npos,
            path.start_signalled);
  ExpectCalls(site, path.calls);
  EXPECT_TRUE(site.LocalConfigCopies().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, StartupPathTest,
    testing::Values(
        PathCase{"StopEventMissing", {"TMS"}, "stop-event", "TMS", "",
                 "Cannot create stop event!\n", "", "", "0", false,
                 Concat({kRegistered, {"e_printf"}})},
        PathCase{"StartEventMissing", {"TMS"}, "start-event", "TMS", "",
                 "Cannot create start event!\n", "", "", "0", false,
                 Concat({kRegistered, {"e_printf"}})},
        PathCase{"StartEventNotFired", {"TMS"}, "fire-start", "TMS", "",
                 "Couldn't fire start event!\n", "", "", "0", false,
                 Concat({kRegistered, {"e_printf"}})},
        PathCase{"NoServerName", {}, "", "TMS", "",
                 "Не указано имя сервера для подключения\n", kTaskStarted, "", "0", true,
                 Concat({kRegistered, {"m_printf", "e_printf"}})},
        PathCase{"TmServerMissing", {"TMS"}, "", nullptr, "",
                 "Не удалось соединиться с сервером TMS на машине .\n", kTaskStarted, "", "0",
                 true,
                 Concat({kRegistered, {"m_printf", R"(slConnect "\." "TMS" = 0)", "e_printf"}})},
        PathCase{"TmConnectFails", {"TMS"}, "tm-connect", "TMS", "",
                 "Не удалось соединиться с сервером TMS на машине .\n", kTaskStarted, "", "0",
                 true,
                 Concat({kRegistered, {"m_printf", R"(slConnect "\." "TMS" = 0)", "e_printf"}})},
        PathCase{"TmNotConnected", {"TMS"}, "tm-connected", "TMS", "",
                 "Не удалось соединиться с сервером TMS на машине .\n", kTaskStarted, "", "0",
                 true,
                 Concat({kRegistered,
                         {"m_printf", R"(slConnect "\." "TMS" = 1)", "slSystemTime 1",
                          "slIsConnected 1 = 0", "e_printf"}})},
        PathCase{"TmOnRemoteMachine", {"TMS", "farhost"}, "", "TMS", "",
                 "Не удалось соединиться с сервером TMS на машине farhost\n", kTaskStarted, "",
                 "0", true,
                 Concat({kRegistered,
                         {"m_printf", R"(slConnect "farhost" "TMS" = 0)", "e_printf"}})},
        PathCase{"PercentInServerNameIsNoFormat", {"TM%s%n"}, "", nullptr, "",
                 "Не удалось соединиться с сервером TM%s%n на машине .\n", kTaskStarted, "",
                 "0", true,
                 Concat({kRegistered, {"m_printf", R"(slConnect "\." "TM%s%n" = 0)", "e_printf"}})},
        PathCase{"BraceServerConnectsWithoutMachine", {"TMS{1}", "farhost"}, "", "TMS{1}",
                 nullptr,
                 "Не удалось получить файл _zelSNMP.cfg на компьютере {HOST} "
                 "(File TM_SERVER\\TMS{1}\\_zelSNMP.cfg not found)!\n" + kNoAddress,
                 kTaskStarted + kTaskStopped, kAllDebugLines, "0 1 2", true,
                 Concat({kRegistered,
                         {"m_printf", R"(slConnect "" "TMS\{1\}" = 1)", "slSystemTime 1",
                          "slIsConnected 1 = 1", "slGetCurrentServer 1 81 81", "d_printf",
                          R"(nhConnect "{HOST}" 512 = 1)", "d_printf", "d_printf",
                          R"(nhFileGet 1 "TM_SERVER\\TMS\{1\}\\_zelSNMP\.cfg" .*)", "e_printf",
                          "d_printf", "nhDisconnect 1", "strac_SetServerState 1", "e_printf"},
                         kStopped})},
        PathCase{"BraceServerMissingNamesCommandLineMachine", {"TMS{1}", "farhost"}, "", nullptr,
                 nullptr, "Не удалось соединиться с сервером TMS{1} на машине farhost\n",
                 kTaskStarted, "", "0", true,
                 Concat({kRegistered,
                         {"m_printf", R"(slConnect "" "TMS\{1\}" = 0)", "e_printf"}})},
        PathCase{"ConfigServerUnreachable", {"TMS"}, "config-connect", "TMS", "",
                 "Не удалось присоединиться с серверу конфигурации на компьютере {HOST}" +
                     kNoAddress,
                 kTaskStarted + kTaskStopped, "nhConnect \"{HOST}\" enter\nnhConnect Exit\n",
                 "0 1 2", true,
                 Concat({kRegistered,
                         {"m_printf", R"(slConnect "\." "TMS" = 1)", "slSystemTime 1",
                          "slIsConnected 1 = 1", "slGetCurrentServer 1 81 81", "d_printf",
                          R"(nhConnect "{HOST}" 512 = 0)", "d_printf", "e_printf",
                          "strac_SetServerState 1", "e_printf"},
                         kStopped})},
        PathCase{"ConfigFileMissing", {"TMS"}, "", "TMS", nullptr,
                 "Не удалось получить файл _zelSNMP.cfg на компьютере {HOST} "
                 "(File TM_SERVER\\TMS\\_zelSNMP.cfg not found)!\n" + kNoAddress,
                 kTaskStarted + kTaskStopped, kAllDebugLines, "0 1 2", true,
                 Concat({kRegistered, {"m_printf"}, kConnected,
                         {"e_printf", "d_printf", "nhDisconnect 1", "strac_SetServerState 1",
                          "e_printf"},
                         kStopped})},
        PathCase{"ConfigFileNotFetched", {"TMS"}, "file-get", "TMS", "[127.0.0.1]\n",
                 "Не удалось получить файл _zelSNMP.cfg на компьютере {HOST} "
                 "(Simulated failure)!\n" + kNoAddress,
                 kTaskStarted + kTaskStopped, kAllDebugLines, "0 1 2", true,
                 Concat({kRegistered, {"m_printf"}, kConnected,
                         {"e_printf", "d_printf", "nhDisconnect 1", "strac_SetServerState 1",
                          "e_printf"},
                         kStopped})},
        PathCase{"EmptyConfig", {"TMS"}, "", "TMS", "", kNoAddress, kTaskStarted + kTaskStopped,
                 kAllDebugLines, "0 1 2", true,
                 Concat({kRegistered, {"m_printf"}, kConnected,
                         {"d_printf", "nhDisconnect 1", "strac_SetServerState 1", "e_printf"},
                         kStopped})},
        PathCase{"ConfigWithoutSections", {"TMS", "localhost"}, "", "TMS",
                 "; no agents\nkey=value\n", kNoAddress, kTaskStarted + kTaskStopped,
                 kAllDebugLines, "0 1 2", true,
                 Concat({kRegistered,
                         {"m_printf", R"(slConnect "localhost" "TMS" = 1)"},
                         std::vector<std::string>(kConnected.begin() + 1, kConnected.end()),
                         {"d_printf", "nhDisconnect 1", "strac_SetServerState 1", "e_printf"},
                         kStopped})}),
    [](const testing::TestParamInfo<PathCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(StartupTest, RegistersTheFullProgramPathAndEchoesErrorsAndMessages) {
  TestSite site;
  site.AddTmServer("TMS");
  site.AddConfigFile("TMS", "_zelSNMP.cfg", "");
  ASSERT_EQ(RunTask(site, {"TMS"}), 0);
  const std::string program = testing_support::ProgramPath();
  const std::string pmon = site.Log("pmon.log");
  const std::regex register_line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} register pid=(\d+) args=)" +
                                 RegexEscape(program) + R"( TMS\n)"
                                 R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} started pid=(\d+)\n)");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(pmon, match, register_line)) << pmon;
  EXPECT_EQ(match[1], match[2]);
  EXPECT_NE(site.Log("trace.log").find(" alloc pid=" + match[1].str() +
                                       " name=<zelSNMP> type=Приём SNMP\n"),
            std::string::npos);
  // The local copy is named after the tick count and the process id.
  EXPECT_TRUE(std::regex_search(site.Log("calls.log"),
                                std::regex(R"("\./zelSNMP_-?\d+_)" + match[1].str() + "\"")));
  std::ifstream errors(site.work() / "stderr.txt");
  const std::string echoed((std::istreambuf_iterator<char>(errors)), {});
  EXPECT_EQ(echoed, kTaskStarted + kNoAddress + kTaskStopped);
}

TEST(StartupTest, ExportsBothNameBuffersOf204Bytes) {
  FILE* listing = popen(("nm -D -S --defined-only " + testing_support::ProgramPath()).c_str(), "r");
  ASSERT_NE(listing, nullptr);
  std::string symbols;
  char buffer[4096];
  while (size_t read = fread(buffer, 1, sizeof buffer, listing)) symbols.append(buffer, read);
  if (pclose(listing) != 0) GTEST_SKIP() << "nm is not available";
  for (const char* name : {"lpszServerTypeString", "lpszServerTraceName"}) {
    EXPECT_TRUE(std::regex_search(symbols, std::regex(std::string(R"(\b00000000000000cc [BD] )") +
                                                      name + "\n")))
        << name << " in\n"
        << symbols;
  }
}

// Which configuration file the command line selects, seen in the fetch it causes.
struct ArgumentCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string fetched;  // remote path of the fetch, or empty when start-up ends before it
  std::string error_log;
  std::string registered_arguments;  // after the program path
};

void PrintTo(const ArgumentCase& argument_case, std::ostream* out) { *out << argument_case.name; }

class ArgumentTest : public testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentTest, SelectsTheConfigurationFile) {
  const ArgumentCase& argument_case = GetParam();
  TestSite site;
  site.AddTmServer("TMS");
  ASSERT_EQ(RunTask(site, argument_case.arguments), 0);
  const std::string calls = site.Log("calls.log");
  if (argument_case.fetched.empty()) {
    EXPECT_EQ(calls.find("nhFileGet"), std::string::npos);
  } else {
    EXPECT_NE(calls.find("nhFileGet 1 \"" + argument_case.fetched + "\""), std::string::npos)
        << calls;
  }
  EXPECT_EQ(site.Log("error.log"), WithHost(argument_case.error_log));
  EXPECT_NE(site.Log("pmon.log").find(" args=" + testing_support::ProgramPath() +
                                      argument_case.registered_arguments + "\n"),
            std::string::npos)
      << site.Log("pmon.log");
}

std::string NotFound(const std::string& file, const std::string& remote) {
  return "Не удалось получить файл " + file + " на компьютере {HOST} (File " + remote +
         " not found)!\n" + kNoAddress;
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ArgumentTest,
    testing::Values(
        ArgumentCase{"ServerOnly", {"TMS"}, "TM_SERVER\\TMS\\_zelSNMP.cfg",
                     NotFound("_zelSNMP.cfg", "TM_SERVER\\TMS\\_zelSNMP.cfg"), " TMS"},
        ArgumentCase{"LowerFThird", {"TMS", ".", "/fa.cfg"}, "TM_SERVER\\TMS\\a.cfg",
                     NotFound("a.cfg", "TM_SERVER\\TMS\\a.cfg"), " TMS . /fa.cfg"},
        ArgumentCase{"UpperFThird", {"TMS", ".", "/FA.cfg"}, "TM_SERVER\\TMS\\A.cfg",
                     NotFound("A.cfg", "TM_SERVER\\TMS\\A.cfg"), " TMS . /FA.cfg"},
        ArgumentCase{"FirstOfTwoWins", {"TMS", ".", "x", "/fb.cfg", "/Fc.cfg"},
                     "TM_SERVER\\TMS\\b.cfg", NotFound("b.cfg", "TM_SERVER\\TMS\\b.cfg"),
                     " TMS . x /fb.cfg /Fc.cfg"},
        ArgumentCase{"BareSlashFKeepsDefault", {"TMS", ".", "/f", "/fb.cfg"},
                     "TM_SERVER\\TMS\\_zelSNMP.cfg",
                     NotFound("_zelSNMP.cfg", "TM_SERVER\\TMS\\_zelSNMP.cfg"),
                     " TMS . /f /fb.cfg"},
        ArgumentCase{"NinthArgumentSeen", {"TMS", ".", "3", "4", "5", "6", "7", "8", "/f9.cfg"},
                     "TM_SERVER\\TMS\\9.cfg", NotFound("9.cfg", "TM_SERVER\\TMS\\9.cfg"),
                     " TMS . 3 4 5 6 7 8 /f9.cfg"},
        ArgumentCase{"TenthArgumentIgnored",
                     {"TMS", ".", "3", "4", "5", "6", "7", "8", "9", "/f10.cfg", "/f11.cfg"},
                     "TM_SERVER\\TMS\\_zelSNMP.cfg",
                     NotFound("_zelSNMP.cfg", "TM_SERVER\\TMS\\_zelSNMP.cfg"),
                     " TMS . 3 4 5 6 7 8 9"},
        ArgumentCase{"SlashFSecondIsTheMachine", {"TMS", "/fa.cfg"}, "",
                     "Не удалось соединиться с сервером TMS на машине /fa.cfg\n", " TMS /fa.cfg"},
        ArgumentCase{"SlashFFirstIsTheServer", {"/fTMS"}, "",
                     "Не удалось соединиться с сервером /fTMS на машине .\n", " /fTMS"}),
    [](const testing::TestParamInfo<ArgumentCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(StartupTest, DefaultConfigurationNameComesFromTheProgramFile) {
  TestSite site;
  site.AddTmServer("TMS");
  const std::filesystem::path copy = site.work() / "poll.v2.exe";
  std::filesystem::copy_file(testing_support::ProgramPath(), copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
  const pid_t pid = testing_support::StartTask(copy.string(), {"TMS"}, site.Environment(),
                                               site.work());
  ASSERT_EQ(testing_support::WaitForTask(pid), 0);
  EXPECT_NE(site.Log("calls.log").find(R"(nhFileGet 1 "TM_SERVER\TMS\_poll.v2.cfg")"),
            std::string::npos)
      << site.Log("calls.log");
}

const char kOneAgent[] = "[127.0.0.1:public]\n#TC1:2:3=1.3.6.1.2.1.1.3.0\n";

class StopRequestTest : public testing::TestWithParam<int> {};

TEST_P(StopRequestTest, StopsInOrderDuringTheWait) {
  TestSite site;
  site.AddTmServer("TMS");
  site.AddConfigFile("TMS", "_zelSNMP.cfg", kOneAgent);
  const pid_t pid = testing_support::StartTask(testing_support::ProgramPath(), {"TMS"},
                                               site.Environment(), site.work());
  ASSERT_TRUE(testing_support::WaitForLogText(site, "trace.log", "state 1\n"));
  // Loaded means deleted: the local copy goes away once the cycle has read it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!site.LocalConfigCopies().empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(site.LocalConfigCopies().empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a few waits into the cycle
  EXPECT_EQ(site.Log("message.log"), kTaskStarted);
  EXPECT_EQ(site.Log("error.log"), "");

  kill(pid, GetParam());
  const int status = testing_support::WaitForTask(pid);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(site.Log("message.log"), kTaskStarted + kTaskStopped);
  EXPECT_EQ(site.Log("error.log"), "");
  EXPECT_EQ(TraceStates(site), "0 1 2");
  const std::vector<std::string> calls = SplitLines(site.Log("calls.log"));
  // Between state 1 and the stop lies the first poll pass: its start and "no answer" traces and,
  // as the agent is not there, the flags of its point.
  ASSERT_GE(calls.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(calls.end() - 7, calls.end()),
            (std::vector<std::string>{"strac_SetServerState 1", "d_printf", "d_printf",
                                      "slSetStatusFlags 1 1 2 3 0x0001", "m_printf",
                                      "strac_SetServerState 2", "slDisconnect 1"}));
}

INSTANTIATE_TEST_SUITE_P(Signals, StopRequestTest, testing::Values(SIGTERM, SIGINT));

}  // namespace
}  // namespace zelsnmp

namespace zelsnmp {
namespace {

// The stand-in echoes errors and messages to standard error. When that is a pipe whose reader
// has gone (a console closed, a log collector ended), the echo must not end the task.
TEST(StartupTest, StandardErrorWithoutAReaderDoesNotEndTheTask) {
  TestSite site;
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  close(pipe_ends[0]);
  const std::string program = testing_support::ProgramPath();
  std::vector<std::string> environment = site.Environment();
  std::vector<char*> envp;
  for (std::string& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (dup2(pipe_ends[1], 2) < 0 || chdir(site.work().c_str()) != 0) _exit(126);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    execve(program.c_str(), argv, envp.data());
    _exit(127);
  }
  close(pipe_ends[1]);
  const int status = testing_support::WaitForTask(pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(site.Log("message.log"), kTaskStarted);
  EXPECT_EQ(site.Log("error.log"), "Не указано имя сервера для подключения\n");
}

}  // namespace
}  // namespace zelsnmp
