#include "sys/console.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <iterator>

namespace zelsnmp {

namespace {

// Signals whose default action ends the process and that would leave the terminal in the
// task's mode if they did.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT,  SIGQUIT, SIGTERM, SIGABRT, SIGSEGV,
                                  SIGBUS, SIGFPE,  SIGILL,  SIGPIPE, SIGALRM, SIGUSR1,
                                  SIGUSR2, SIGXCPU, SIGXFSZ};

enum class Terminal { kUnknown, kTerminal, kNotTerminal };

Terminal g_terminal = Terminal::kUnknown;
termios g_saved_mode{};
std::atomic<bool> g_mode_changed{false};

// Async-signal-safe: called from signal handlers as well as at exit.
void RestoreTerminalMode() {
  if (!g_mode_changed.exchange(false)) return;
  // Restoring from the background must not stop the process with SIGTTOU.
  sigset_t block, previous;
  sigemptyset(&block);
  sigaddset(&block, SIGTTOU);
  sigprocmask(SIG_BLOCK, &block, &previous);
  tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_mode);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void RestoreAndRaise(int signal_number) {
  const int saved_errno = errno;
  RestoreTerminalMode();
  signal(signal_number, SIG_DFL);
  raise(signal_number);
  errno = saved_errno;
}

void AtExitRestore() { RestoreTerminalMode(); }

void GuardEndingSignals() {
  for (int signal_number : kEndingSignals) {
    struct sigaction current {};
    if (sigaction(signal_number, nullptr, &current) != 0) continue;
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL) {
      struct sigaction action {};
      action.sa_handler = RestoreAndRaise;
      sigemptyset(&action.sa_mask);
      action.sa_flags = SA_RESETHAND;
      sigaction(signal_number, &action, nullptr);
    }
  }
}

bool InForeground() {
  const pid_t foreground = tcgetpgrp(STDIN_FILENO);
  // Not our controlling terminal: no job control can stop us for using it.
  return foreground == -1 || foreground == getpgrp();
}

// Puts the terminal into key-at-a-time mode once; false when standard input is no terminal.
bool PrepareTerminal() {
  if (g_terminal == Terminal::kUnknown) {
    g_terminal = isatty(STDIN_FILENO) ? Terminal::kTerminal : Terminal::kNotTerminal;
  }
  if (g_terminal != Terminal::kTerminal) return false;
  // Checked on every call: a job moved to the background later would be stopped by SIGTTIN
  // on its next read and hang there.
  if (!InForeground()) return false;
  if (g_mode_changed.load()) return true;
  termios mode{};
  if (tcgetattr(STDIN_FILENO, &mode) != 0) return false;
  g_saved_mode = mode;
  mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  static bool guards_installed = false;
  if (!guards_installed) {
    guards_installed = true;
    atexit(AtExitRestore);
    GuardEndingSignals();
  }
  // TCSANOW keeps a key that was pressed before the first check.
  if (tcsetattr(STDIN_FILENO, TCSANOW, &mode) != 0) return false;
  g_mode_changed.store(true);
  return true;
}

}  // namespace

int PollConsoleKey() {
  if (!PrepareTerminal()) return 0;
  pollfd input{STDIN_FILENO, POLLIN, 0};
  if (poll(&input, 1, 0) <= 0 || !(input.revents & POLLIN)) return 0;
  unsigned char key = 0;
  if (read(STDIN_FILENO, &key, 1) != 1) return 0;
  // A NUL byte (Ctrl+Space) is a key press too.
  return key != 0 ? key : 0x100;
}

}  // namespace zelsnmp
