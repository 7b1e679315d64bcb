// The configuration check over agent options: the options each agent takes (its own and those
// of "*"), every option mistake as an error with its line, the points still numbered by their
// own lines, and the advice to give an IPv6 address with @host.

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "testing/temp_directory.h"
#include "tools/check/check_run.h"

namespace zelsnmp::check {
namespace {

// The check's output with runs of blanks as one.
std::string Squeezed(const std::string& output) {
  std::string text;
  for (char c : output) {
    if (c != ' ' || text.empty() || text.back() != ' ') text += c;
  }
  return text;
}

TEST(OptionReportTest, ShowsOptionsAndReportsEachMistakeWithItsLine) {
  testing_support::TempDirectory directory;
  const std::string path = directory.Write(
      "options.cfg",
      "[*]\n"                          // 1
      "@timeout = 2000\n"              // 2
      "#TC9:9:9=1.3.6.1.2.1.1.3.0\n"   // 3
      "[127.0.0.1:public]\n"           // 4
      "@Port = 1161\n"                 // 5
      "#TC1:1:1=1.3.6.1.2.1.1.3.0\n"   // 6
      "@max-oids = 20000\n"            // 7
      "@auht = SHA:a long passphrase\n"  // 8
      "[2001:db8::7:public]\n"         // 9
      "#TS2:1:1=1.3.6.1.2.1.1.3.0\n");  // 10
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunCheck({"--wide", path}, out, err), 2) << out.str() << err.str();
  const std::string text = Squeezed(out.str());
  const char* expected[] = {
      "option @Port = 1161 (line 5)\n",
      "option @timeout = 2000 (from [*], line 2)\n",
      "option @auht = ******** (line 8)\n",
      "not polled: its options hold a mistake",
      "6 #TC1:1:1 TC 1:1:1",
      "line 3 error: a point line \"#TC9:9:9\" in [*], where only options belong",
      "line 7 error: option @max-oids of [127.0.0.1:public]: out of range, 0 to 10000; the "
      "agent is not polled",
      "line 8 error: option @auht of [127.0.0.1:public]: no such option",
      "line 9 warning: the section name holds an IPv6 address, which the task cuts at the "
      "first \":\" (host \"2001\"): give the address with @host",
  };
  for (const char* part : expected) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  EXPECT_EQ(text.find("passphrase"), std::string::npos) << text;
}

TEST(OptionReportTest, Version3OptionsShownMaskedAndTheirMistakesNamed) {
  testing_support::TempDirectory directory;
  const std::string path = directory.Write("v3.cfg",
                                           "[*]\n"                             // 1
                                           "@auth = SHA-512:Star-Pass-31\n"    // 2
                                           "[10.0.0.1]\n"                      // 3
                                           "@version = 3\n"                    // 4
                                           "@user = ro\n"                      // 5
                                           "@priv = AES-256-C:Priv-Pass-32\n"  // 6
                                           "#TC1:1:1=1.3.6.1.2.1.1.3.0\n"      // 7
                                           "[10.0.0.2]\n"                      // 8
                                           "@version = 3\n"                    // 9
                                           "@auth = MD5:Bad-Pass\n"            // 10
                                           "@priv = Priv-Pass-33\n"            // 11
                                           "@community = Community-34\n"       // 12
                                           "[10.0.0.3]\n"                      // 13
                                           "@user = ro\n");                    // 14
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunCheck({"--wide", path}, out, err), 2) << out.str() << err.str();
  const std::string text = Squeezed(out.str());
  const char* expected[] = {
      "SNMPv3 user ro, authPriv\n",
      "notifications: with /t from 10.0.0.1, SNMPv3 user ro, authPriv, SHA-512 and AES-256-C\n",
      "SNMPv3 informs: the task's engine ID depends on its TM server and machine: give --server",
      "notifications: none: the options hold a mistake\n",
      "option @priv = AES-256-C:******** (line 6)\n",
      "option @auth = SHA-512:******** (from [*], line 2)\n",
      "option @priv = ******** (line 11)\n",
      "line 9 error: option @version of [10.0.0.2]: version 3 needs @user",
      "line 11 error: option @priv of [10.0.0.2]: PROTOCOL:passphrase needed",
      "line 12 error: option @community of [10.0.0.2]: a v2c option, but the version is 3",
      "line 14 error: option @user of [10.0.0.3]: an SNMPv3 option, but the version is 2c",
  };
  for (const char* part : expected) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  for (const char* secret : {"Star-Pass", "Priv-Pass", "Bad-Pass"}) {
    EXPECT_EQ(out.str().find(secret), std::string::npos) << secret;
    EXPECT_EQ(err.str().find(secret), std::string::npos) << secret;
  }
}

}  // namespace
}  // namespace zelsnmp::check
