#include "app/task_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "testing/text_count.h"

namespace zelsnmp::testing_support {

namespace {

std::vector<char*> CStrings(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

TestSite::TestSite() : site_(root_.path() / "site"), work_(root_.path() / "work") {
  std::filesystem::create_directories(site_);
  std::filesystem::create_directories(work_);
}

void TestSite::AddTmServer(const std::string& server) const {
  std::filesystem::create_directories(site_ / "tm" / server);
}

void TestSite::AddConfigFile(const std::string& server, const std::string& file_name,
                             const std::string& contents) const {
  const std::filesystem::path folder = site_ / "config" / "TM_SERVER" / server;
  std::filesystem::create_directories(folder);
  WriteFile(folder / file_name, contents);
}

std::string TestSite::Log(const std::string& name) const {
  return ReadFile(site_ / "log" / name);
}

std::vector<std::string> TestSite::LocalConfigCopies() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(work_)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("zelSNMP_", 0) == 0) names.push_back(name);
  }
  return names;
}

std::vector<std::string> TestSite::Environment(const std::string& faults) const {
  std::vector<std::string> environment = {"ZELSNMP_SITE=" + site_.string(),
                                          "ZELSNMP_SIM_CALLS=1", "PATH=/usr/bin:/bin"};
  if (!faults.empty()) environment.push_back("ZELSNMP_SIM_FAIL=" + faults);
  // Sanitizer settings of the test run reach the task as well.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TZ"}) {
    if (const char* value = getenv(name)) environment.push_back(std::string(name) + "=" + value);
  }
  return environment;
}

std::string ProgramPath() { return ZELSNMP_PROGRAM; }

pid_t StartTask(const std::string& program, const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment, const std::filesystem::path& work) {
  std::vector<std::string> argv_texts = {program};
  argv_texts.insert(argv_texts.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env_texts = environment;
  std::vector<char*> argv = CStrings(argv_texts);
  std::vector<char*> envp = CStrings(env_texts);
  const std::string stderr_path = (work / "stderr.txt").string();
  const pid_t pid = fork();
  if (pid == 0) {
    const int input = open("/dev/null", O_RDONLY);
    const int errors = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (input < 0 || errors < 0 || dup2(input, 0) < 0 || dup2(errors, 2) < 0 ||
        chdir(work.c_str()) != 0) {
      _exit(126);
    }
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

int WaitForTask(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status;
}

int RunTask(const TestSite& site, const std::vector<std::string>& arguments,
            const std::string& faults) {
  return WaitForTask(
      StartTask(ProgramPath(), arguments, site.Environment(faults), site.work()));
}

SiteTask::~SiteTask() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  WaitForTask(pid_);
}

bool SiteTask::Start(const std::string& config, const std::vector<std::string>& switches) {
  site_.AddConfigFile("TMS", "poll.ini", config);
  std::vector<std::string> arguments = {"TMS", ".", "/fpoll.ini"};
  arguments.insert(arguments.end(), switches.begin(), switches.end());
  pid_ = StartTask(ProgramPath(), arguments, site_.Environment(), site_.work());
  return pid_ > 0;
}

int SiteTask::Stop() {
  kill(pid_, SIGTERM);
  const int status = WaitForTask(pid_);
  pid_ = -1;
  return status;
}

std::filesystem::path SiteTask::JournalFile() const {
  return site_.site() / "tm" / "TMS" / "journal.tsv";
}

bool WaitForLogText(const TestSite& site, const std::string& name, const std::string& text,
                    std::chrono::milliseconds limit, std::size_t times) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (Count(site.Log(name), text) < times) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace zelsnmp::testing_support
