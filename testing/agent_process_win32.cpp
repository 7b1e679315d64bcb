// Starting and stopping the agent simulator process on Windows: CreateProcess with its output
// redirected to the log file, TerminateProcess (its output is flushed line by line).

#include "testing/agent_process.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <thread>

namespace zelsnmp::testing_support {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr DWORD kStopLimitMs = 5000;
constexpr auto kPollInterval = std::chrono::milliseconds(10);

// One argument quoted the way the runtime's command-line parser reads it back.
std::string Quoted(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

}  // namespace

AgentProcess::AgentProcess(const std::string& listen, const std::string& snmprec,
                           const std::vector<std::string>& options)
    : address_(listen.substr(0, listen.rfind(':'))) {
  std::vector<std::string> arguments = {ZELSNMP_AGENTSIM, "--listen", listen, "--data",
                                        directory_.Write("agent.snmprec", snmprec)};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::string command_line;
  for (const std::string& argument : arguments) command_line += Quoted(argument) + " ";

  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE output =
      CreateFileA(directory_.PathOf("output.log").c_str(), GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, CREATE_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  const HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherited, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION started{};
  if (output != INVALID_HANDLE_VALUE && input != INVALID_HANDLE_VALUE &&
      CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &startup, &started)) {
    CloseHandle(started.hThread);
    process_ = reinterpret_cast<std::intptr_t>(started.hProcess);
  }
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  if (input != INVALID_HANDLE_VALUE) CloseHandle(input);

  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (process_ != -1 && (port_ = ListeningPort()).empty()) {
    const HANDLE process = reinterpret_cast<HANDLE>(process_);
    if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
      CloseHandle(process);
      process_ = -1;
    } else if (std::chrono::steady_clock::now() > deadline) {
      break;
    } else {
      std::this_thread::sleep_for(kPollInterval);
    }
  }
}

AgentProcess::~AgentProcess() {
  if (process_ == -1) return;
  const HANDLE process = reinterpret_cast<HANDLE>(process_);
  TerminateProcess(process, 1);
  WaitForSingleObject(process, kStopLimitMs);
  CloseHandle(process);
}

}  // namespace zelsnmp::testing_support
