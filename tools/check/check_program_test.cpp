// zelsnmp-check run as a process: its report on standard output and its exit status.

#include <stdio.h>
#include <sys/wait.h>

#include <string>

#include <gtest/gtest.h>

#include "testing/temp_directory.h"

namespace zelsnmp::check {
namespace {

using testing_support::TempDirectory;

TEST(CheckRunTest, ProgramPrintsTheReportAndExitsWithItsStatus) {
  TempDirectory directory;
  const std::string path = directory.Write("a.cfg", "[127.0.0.2]\n#TS1:1:70000=1.3.6.1.2.1.1.3.0\n");
  FILE* pipe = popen((std::string(ZELSNMP_CHECK_PROGRAM) + " " + path).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << output;
  EXPECT_NE(output.find("  LINE  KEY           KIND  TM POINT  OID\n"
                        "  2     #TS1:1:70000  TS    1:1:4464  1.3.6.1.2.1.1.3.0\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("line 2  warning:  point 70000 reaches the TM server as its low 16 bits, 4464"),
            std::string::npos)
      << output;
}

}  // namespace
}  // namespace zelsnmp::check
