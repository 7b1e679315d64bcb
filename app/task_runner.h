// Test helper: a stand-in site in a temporary directory and the real zelSNMP program run against
// it as a separate process.

#ifndef ZELSNMP_APP_TASK_RUNNER_H_
#define ZELSNMP_APP_TASK_RUNNER_H_

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/temp_directory.h"

namespace zelsnmp::testing_support {

// <root>/site is the site, <root>/work the task's current directory. Removed on destruction.
class TestSite {
 public:
  TestSite();
  TestSite(const TestSite&) = delete;
  TestSite& operator=(const TestSite&) = delete;

  const std::filesystem::path& site() const { return site_; }
  const std::filesystem::path& work() const { return work_; }

  void AddTmServer(const std::string& server) const;
  // <site>/config/TM_SERVER/<server>/<file_name> with `contents`.
  void AddConfigFile(const std::string& server, const std::string& file_name,
                     const std::string& contents) const;
  // The contents of <site>/log/<name>, empty when missing.
  std::string Log(const std::string& name) const;
  // The files of the work directory whose names begin with "zelSNMP_".
  std::vector<std::string> LocalConfigCopies() const;

  // Environment for the task: the site, the call record, and `faults` in ZELSNMP_SIM_FAIL.
  std::vector<std::string> Environment(const std::string& faults = "") const;

 private:
  TempDirectory root_;
  std::filesystem::path site_;
  std::filesystem::path work_;
};

// The program under test, or another copy of it.
std::string ProgramPath();

// Starts `program` with `arguments` in `work`, standard input from /dev/null and standard error
// into work/stderr.txt. Gives the child's pid.
pid_t StartTask(const std::string& program, const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment, const std::filesystem::path& work);

// The wait status of the child, or -1 when it did not end in time (it is then killed).
int WaitForTask(pid_t pid, std::chrono::milliseconds limit = std::chrono::seconds(30));

// Start and wait.
int RunTask(const TestSite& site, const std::vector<std::string>& arguments,
            const std::string& faults = "");

// The task polling the TM server "TMS" of a site of its own, as the end-to-end tests run it:
// started with a configuration of the test's, ended by Stop() or, still running when the test
// ends, killed.
class SiteTask {
 public:
  SiteTask() { site_.AddTmServer("TMS"); }
  ~SiteTask();
  SiteTask(const SiteTask&) = delete;
  SiteTask& operator=(const SiteTask&) = delete;

  // Writes `config` as TMS's poll.ini and starts the task with it, `switches` beside; false
  // when it could not be started.
  bool Start(const std::string& config, const std::vector<std::string>& switches = {});
  // SIGTERM, then the exit status (-1 when it did not end in time).
  int Stop();

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  const TestSite& site() const { return site_; }
  std::string Log(const std::string& name) const { return site_.Log(name); }
  // The site's journal.tsv of TMS.
  std::filesystem::path JournalFile() const;

 private:
  TestSite site_;
  pid_t pid_ = -1;
};

// Polls until the site log `name` contains `text` (`times` times); false after `limit`.
bool WaitForLogText(const TestSite& site, const std::string& name, const std::string& text,
                    std::chrono::milliseconds limit = std::chrono::seconds(20),
                    std::size_t times = 1);

std::vector<std::string> SplitLines(const std::string& text);

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_APP_TASK_RUNNER_H_
