// The console key check of the running task, through a pseudo-terminal as its standard input:
// a key press ends the poll cycle in order, and the terminal gets its mode back on every way out.

#include <fcntl.h>
#include <pty.h>
#include <utmp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>
#include <thread>

#include <gtest/gtest.h>

#include "app/task_runner.h"

namespace zelsnmp {
namespace {

using testing_support::TestSite;

const char kOneAgent[] = "[127.0.0.1]\n#TS1:2:3=1.3.6.1.2.1.1.3.0\n";

// The task running on the slave side of a pseudo-terminal; the test holds the master and its
// own descriptor of the slave, to read the slave's mode.
class TerminalTask {
 public:
  explicit TerminalTask(const TestSite& site) {
    std::vector<std::string> argv_texts = {testing_support::ProgramPath(), "TMS"};
    std::vector<std::string> env_texts = site.Environment();
    std::vector<char*> argv, envp;
    for (auto& text : argv_texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    for (auto& text : env_texts) envp.push_back(text.data());
    envp.push_back(nullptr);
    const std::string work = site.work().string();
    // The slave's mode is read before the task exists, so it is the mode the task found.
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
    tcgetattr(slave_, &initial_mode_);
    pid_ = fork();
    if (pid_ == 0) {
      close(master_);
      if (login_tty(slave_) != 0 || chdir(work.c_str()) != 0) _exit(126);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
  }
  ~TerminalTask() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }

  bool started() const { return pid_ > 0 && slave_ >= 0; }
  pid_t pid() const { return pid_; }
  int master() const { return master_; }

  tcflag_t InitialLocalModes() const { return initial_mode_.c_lflag; }

  tcflag_t LocalModes() const {
    termios mode{};
    tcgetattr(slave_, &mode);
    return mode.c_lflag;
  }

  // Waits until the task has put the terminal into key-at-a-time mode.
  bool WaitForKeyMode() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((LocalModes() & (ICANON | ECHO)) != 0) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  // The wait status; the master is drained meanwhile so that the echo never blocks the task.
  int Wait() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    fcntl(master_, F_SETFL, O_NONBLOCK);
    int status = 0;
    char discard[256];
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      while (read(master_, discard, sizeof discard) > 0) {
      }
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  pid_t pid_ = -1;
  termios initial_mode_{};
};

class TerminalTest : public testing::Test {
 protected:
  void SetUp() override {
    site_.AddTmServer("TMS");
    site_.AddConfigFile("TMS", "_zelSNMP.cfg", kOneAgent);
  }
  TestSite site_;
};

TEST_F(TerminalTest, KeyPressStopsTheTaskInOrderAndRestoresTheTerminal) {
  TerminalTask task(site_);
  ASSERT_TRUE(task.started());
  const tcflag_t before = task.InitialLocalModes();
  ASSERT_NE(before & ICANON, 0u);
  ASSERT_TRUE(task.WaitForKeyMode());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(site_.Log("message.log"), "Задача запущена\n");  // still running

  ASSERT_EQ(write(task.master(), "q", 1), 1);
  const int status = task.Wait();
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(site_.Log("message.log"), "Задача запущена\nЗадача остановлена\n");
  EXPECT_EQ(site_.Log("error.log"), "");
  EXPECT_EQ(task.LocalModes() & (ICANON | ECHO), before & (ICANON | ECHO));
}

TEST_F(TerminalTest, StopRequestRestoresTheTerminal) {
  TerminalTask task(site_);
  ASSERT_TRUE(task.started());
  const tcflag_t before = task.InitialLocalModes();
  ASSERT_TRUE(task.WaitForKeyMode());
  kill(task.pid(), SIGTERM);
  const int status = task.Wait();
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(site_.Log("message.log"), "Задача запущена\nЗадача остановлена\n");
  EXPECT_EQ(task.LocalModes() & (ICANON | ECHO), before & (ICANON | ECHO));
}

TEST_F(TerminalTest, EndingSignalRestoresTheTerminal) {
  TerminalTask task(site_);
  ASSERT_TRUE(task.started());
  const tcflag_t before = task.InitialLocalModes();
  ASSERT_TRUE(task.WaitForKeyMode());
  kill(task.pid(), SIGQUIT);
  const int status = task.Wait();
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGQUIT);
  EXPECT_EQ(task.LocalModes() & (ICANON | ECHO), before & (ICANON | ECHO));
}

// A task that its shell moves to the background (Ctrl+Z, then "bg") must leave the terminal
// alone: reading a key there would stop it with SIGTTIN, and it would hang until resumed.
// Here a session leader plays the shell: it starts the task as its foreground job and, when
// told through a pipe, takes the foreground back.
TEST_F(TerminalTest, TaskMovedToTheBackgroundIgnoresKeysAndKeepsRunning) {
  int master = -1;
  int slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  int command[2];
  int report[2];
  ASSERT_EQ(pipe(command), 0);
  ASSERT_EQ(pipe(report), 0);
  std::vector<std::string> argv_texts = {testing_support::ProgramPath(), "TMS"};
  std::vector<std::string> env_texts = site_.Environment();
  std::vector<char*> argv, envp;
  for (auto& text : argv_texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  for (auto& text : env_texts) envp.push_back(text.data());
  envp.push_back(nullptr);
  const std::string work = site_.work().string();
  const pid_t shell = fork();
  if (shell == 0) {
    close(master);
    if (login_tty(slave) != 0 || chdir(work.c_str()) != 0) _exit(126);
    signal(SIGTTOU, SIG_IGN);
    const pid_t task = fork();
    if (task == 0) {
      setpgid(0, 0);
      tcsetpgrp(STDIN_FILENO, getpid());
      signal(SIGTTOU, SIG_DFL);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    setpgid(task, task);
    tcsetpgrp(STDIN_FILENO, task);
    if (write(report[1], &task, sizeof task) != sizeof task) _exit(125);
    char go = 0;
    if (read(command[0], &go, 1) != 1) _exit(124);
    tcsetpgrp(STDIN_FILENO, getpgrp());
    int task_status = 0;
    waitpid(task, &task_status, 0);
    _exit(WIFEXITED(task_status) ? WEXITSTATUS(task_status) : 100 + WTERMSIG(task_status));
  }
  ASSERT_GT(shell, 0);
  pid_t task = 0;
  ASSERT_EQ(read(report[0], &task, sizeof task), static_cast<ssize_t>(sizeof task));
  fcntl(master, F_SETFL, O_NONBLOCK);
  char discard[256];
  auto drain = [&] {
    while (read(master, discard, sizeof discard) > 0) {
    }
  };
  // The task in the foreground with the terminal in its key mode, then sent to the background.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  termios mode{};
  while (std::chrono::steady_clock::now() < deadline) {
    drain();
    tcgetattr(slave, &mode);
    if ((mode.c_lflag & (ICANON | ECHO)) == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(mode.c_lflag & (ICANON | ECHO), 0u);
  ASSERT_EQ(write(command[1], "b", 1), 1);
  while (std::chrono::steady_clock::now() < deadline && tcgetpgrp(master) == task) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(write(master, "q", 1), 1);
  // The first pass waits 5 s for the absent agent; key checks follow once a second.
  std::this_thread::sleep_for(std::chrono::milliseconds(7000));
  kill(task, SIGTERM);

  int status = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (waitpid(shell, &status, WNOHANG) == 0) {
    drain();
    if (std::chrono::steady_clock::now() > end) {
      kill(task, SIGKILL);
      waitpid(shell, &status, 0);
      status = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (int fd : {slave, master, command[0], command[1], report[0], report[1]}) close(fd);
  EXPECT_EQ(status, 0) << "-1: the task hung in the background";
  EXPECT_EQ(site_.Log("message.log"), "Задача запущена\nЗадача остановлена\n");
}

}  // namespace
}  // namespace zelsnmp
