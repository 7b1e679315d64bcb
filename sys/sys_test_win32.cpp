// The Windows side of the platform layer: local paths, the program's own path and ANSI
// arguments, events that are real Windows event handles, the console control notifications
// turned into the stop event, and the console key poll.
//
// The tests that need a console skip without one (CTest runs programs without a terminal); the
// test "sys_console_under_terminal" runs them again under a pseudo-terminal, which gives Wine a
// console, with ZELSNMP_REQUIRE_CONSOLE set so that they fail instead of skipping.

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sys/console.h"
#include "sys/event.h"
#include "sys/file.h"
#include "sys/process.h"
#include "sys/program_library_win32.h"
#include "sys/stop_request_win32.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

// The console's input buffer, whatever standard input is; INVALID_HANDLE_VALUE without one.
HANDLE OpenConsoleInput() {
  return CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

#define SKIP_WITHOUT_CONSOLE(handle)                                         \
  if ((handle) == INVALID_HANDLE_VALUE) {                                    \
    if (std::getenv("ZELSNMP_REQUIRE_CONSOLE") != nullptr) {                 \
      FAIL() << "no console although one was required";                     \
    }                                                                        \
    GTEST_SKIP() << "no console (the test sys_console_under_terminal has one)"; \
  }

// Standard input replaced for the life of the object.
class ScopedStandardInput {
 public:
  explicit ScopedStandardInput(HANDLE input) : saved_(GetStdHandle(STD_INPUT_HANDLE)) {
    SetStdHandle(STD_INPUT_HANDLE, input);
  }
  ~ScopedStandardInput() { SetStdHandle(STD_INPUT_HANDLE, saved_); }

 private:
  HANDLE saved_;
};

INPUT_RECORD KeyRecord(WORD virtual_key, bool down) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = virtual_key;
  record.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(virtual_key);
  return record;
}

TEST(FileTest, LocalFileIsInTheCurrentDirectory) {
  EXPECT_EQ(PathInCurrentDirectory("zelSNMP_1_2"), ".\\zelSNMP_1_2");
  EXPECT_EQ(ProgramPathSeparators(), "\\:");
}

TEST(ProcessTest, ArgumentZeroIsTheFullProgramPathAndArgumentsStayInTheAnsiCodePage) {
  const char* argv[] = {"whatever", "TMS", "\xcf"};  // Cyrillic Pe in Windows-1251
  const std::vector<std::string> arguments = CommandLineArguments(3, argv);
  ASSERT_EQ(arguments.size(), 3u);
  const std::filesystem::path program(arguments[0]);
  EXPECT_TRUE(program.is_absolute()) << arguments[0];
  EXPECT_EQ(program.filename(), "sys_test.exe");
  EXPECT_TRUE(std::filesystem::is_regular_file(program)) << arguments[0];
  EXPECT_EQ(arguments[1], "TMS");
  EXPECT_EQ(arguments[2], "\xcf");
  EXPECT_EQ(CurrentProcessId(), static_cast<std::int32_t>(GetCurrentProcessId()));
  EXPECT_FALSE(LocalHostName().empty());
}

// The build copies the DLLs of the cryptographic library beside every test program. A library
// of the same name in the current directory only (planted there) is never taken.
TEST(ProgramLibraryTest, LoadsOnlyFromBesideTheProgram) {
  testing_support::TempDirectory current;
  const std::filesystem::path program_folder =
      std::filesystem::path(CommandLineArguments(0, nullptr)[0]).parent_path();
  std::filesystem::copy_file(program_folder / "libgpg-error-0.dll",
                             current.path() / "zelsnmp-planted.dll");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(current.path());
  const struct {
    const char* file;
    bool loaded;
    const char* entry;  // an entry point of it, when loaded
  } cases[] = {
      {"libgpg-error-0.dll", true, "gpg_strerror"},
      {"libgcrypt-20.dll", true, "gcry_check_version"},
      {"zelsnmp-planted.dll", false, nullptr},
      {"zelsnmp-no-such.dll", false, nullptr},
  };
  for (const auto& c : cases) {
    const ProgramLibrary library = LoadLibraryBesideProgram(c.file);
    EXPECT_EQ(library.handle != nullptr, c.loaded) << c.file;
    EXPECT_EQ(FileBesideProgram(c.file), c.loaded) << c.file;
    EXPECT_EQ(library.file_missing, !c.loaded) << c.file;
    if (!c.loaded) continue;
    EXPECT_NE(LibraryEntry(library, c.entry), nullptr) << c.file;
    EXPECT_EQ(LibraryEntry(library, "zelsnmp_no_such_entry"), nullptr) << c.file;
  }
  std::filesystem::current_path(previous);
}

TEST(ProcessTest, AnsiCodePageIsWindows1251) {
  // The test presets run Wine under a Russian locale, as the complex's machines are set up.
  EXPECT_EQ(GetACP(), 1251u);
}

TEST(EventTest, HandleIsAWindowsEvent) {
  Event event;
  const HANDLE handle = static_cast<HANDLE>(event.handle());
  EXPECT_EQ(WaitForSingleObject(handle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_TRUE(SignalEvent(event.handle()));
  EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_OBJECT_0);  // stays set
}

TEST(EventTest, EventOfAnotherOwnerIsSignalledAndWaitedOn) {
  // As the complex's process monitor hands its own event handles to the task.
  const HANDLE foreign = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(foreign, nullptr);
  EXPECT_EQ(WaitForEvent(foreign, 50), EventWaitResult::kTimedOut);
  EXPECT_TRUE(SignalEvent(foreign));
  EXPECT_EQ(WaitForEvent(foreign, 0), EventWaitResult::kSignalled);
  CloseHandle(foreign);
}

struct ControlCase {
  DWORD control;
  bool waits_for_the_end;  // the process would end when the handler returns
};

class ConsoleControlTest : public testing::TestWithParam<ControlCase> {
 protected:
  static void RecordWait() { ++waits_; }
  void SetUp() override {
    waits_ = 0;
    previous_ = SetCloseWaitForTesting(RecordWait);
  }
  void TearDown() override { SetCloseWaitForTesting(previous_); }

  static inline int waits_ = 0;
  CloseWait previous_ = nullptr;
};

TEST_P(ConsoleControlTest, SignalsTheStopEvent) {
  Event event;
  ASSERT_TRUE(SignalEventOnStopRequest(event.handle()));
  EXPECT_TRUE(HandleConsoleControl(GetParam().control));
  EXPECT_EQ(WaitForEvent(event.handle(), 0), EventWaitResult::kSignalled);
  EXPECT_EQ(waits_, GetParam().waits_for_the_end ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Notifications, ConsoleControlTest,
                         testing::Values(ControlCase{CTRL_C_EVENT, false},
                                         ControlCase{CTRL_BREAK_EVENT, false},
                                         ControlCase{CTRL_CLOSE_EVENT, true},
                                         ControlCase{CTRL_LOGOFF_EVENT, true},
                                         ControlCase{CTRL_SHUTDOWN_EVENT, true}));

class StopRequestTest : public testing::TestWithParam<DWORD> {};

TEST_P(StopRequestTest, SignalsTheEventInsteadOfEndingTheProcess) {
  const HANDLE console = OpenConsoleInput();
  SKIP_WITHOUT_CONSOLE(console);
  CloseHandle(console);
  Event event;
  ASSERT_TRUE(SignalEventOnStopRequest(event.handle()));
  ASSERT_TRUE(GenerateConsoleCtrlEvent(GetParam(), 0));
  EXPECT_EQ(WaitForEvent(event.handle(), 5000), EventWaitResult::kSignalled);
}

// Wine generates no Ctrl+Break for a whole console (group 0); ConsoleControlTest covers it.
INSTANTIATE_TEST_SUITE_P(Keys, StopRequestTest, testing::Values(CTRL_C_EVENT));

TEST(ConsoleKeyTest, TakesOneEventPerCallAndGivesTheVirtualKeyOfAKeyPress) {
  const HANDLE console = OpenConsoleInput();
  SKIP_WITHOUT_CONSOLE(console);
  const ScopedStandardInput input(console);
  ASSERT_TRUE(FlushConsoleInputBuffer(console));
  EXPECT_EQ(PollConsoleKey(), 0);  // nothing pending: at once, without blocking

  INPUT_RECORD mouse{};
  mouse.EventType = MOUSE_EVENT;
  INPUT_RECORD focus{};
  focus.EventType = FOCUS_EVENT;
  const INPUT_RECORD records[] = {KeyRecord('A', false), mouse, focus, KeyRecord('Q', true),
                                  KeyRecord(VK_ESCAPE, true)};
  DWORD written = 0;
  ASSERT_TRUE(WriteConsoleInputA(console, records, 5, &written));
  ASSERT_EQ(written, 5u);
  const int expected[] = {0, 0, 0, 'Q', VK_ESCAPE, 0};
  for (int code : expected) {
    EXPECT_EQ(PollConsoleKey(), code);
  }
  DWORD left = 99;
  EXPECT_TRUE(GetNumberOfConsoleInputEvents(console, &left));
  EXPECT_EQ(left, 0u);
  CloseHandle(console);
}

TEST(ConsoleKeyTest, NoKeyWhenStandardInputIsNoConsole) {
  const testing_support::TempDirectory dir;
  const std::string path = dir.Write("input.txt", "q\n");
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  {
    const ScopedStandardInput input(file);
    EXPECT_EQ(PollConsoleKey(), 0);
  }
  {
    const ScopedStandardInput input(INVALID_HANDLE_VALUE);
    EXPECT_EQ(PollConsoleKey(), 0);
  }
  CloseHandle(file);
}

}  // namespace
}  // namespace zelsnmp
