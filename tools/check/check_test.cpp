// The configuration check over files holding each mistake an operator makes: the finding, its
// line and its severity, what the task will do with the lines and the exit status.

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/check/check_run.h"
#include "tools/check/config_check.h"
#include "tools/check/display_text.h"
#include "tools/check/report_printer.h"
#include "testing/temp_directory.h"

namespace zelsnmp::check {
namespace {

using testing_support::TempDirectory;

// Every host resolves but "nowhere".
std::optional<std::string> FakeResolve(const std::string& host) {
  if (host == "nowhere") return std::nullopt;
  return std::string("192.0.2.1");
}

CheckReport Check(const std::string& contents) {
  TempDirectory directory;
  const std::string path = directory.Write("zelSNMP.cfg", contents);
  std::string error;
  std::optional<CheckReport> report = CheckConfigFile(path, error, FakeResolve);
  EXPECT_TRUE(report) << error;
  return report ? *report : CheckReport{};
}

std::string Describe(const CheckReport& report) {
  std::string text;
  for (const Finding& finding : report.findings) {
    text += std::to_string(finding.line) + " " + std::to_string(static_cast<int>(finding.severity)) +
            " " + finding.text + "\n";
  }
  return text;
}

struct MistakeCase {
  const char* name;
  std::string contents;
  int line;
  Severity severity;
  std::string text;  // a part of the finding's text
};

// Keeps the test names readable in CTest's list.
void PrintTo(const MistakeCase& mistake, std::ostream* out) { *out << mistake.name; }

const std::string kHeader = "[127.0.0.2]\n";

// Each byte of ASCII text followed by a zero byte, as UTF-16LE without its mark.
std::string Utf16LeWithoutMark(std::string_view ascii) {
  std::string bytes;
  for (char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

std::string OidOfNumbers(int count) {
  std::string oid = "1";
  for (int i = 1; i < count; ++i) oid += ".1";
  return oid;
}

const MistakeCase kMistakes[] = {
    {"TrailingDotInOid", kHeader + "#TC1:1:1=1.3.6.1.2.1.1.3.0.\n", 2, Severity::kError,
     "travels as 1.3.6.1.2.1.1.3.0:"},
    {"LeadingZeroInOid", kHeader + "#TC1:1:1=1.3.6.01.2\n", 2, Severity::kError,
     "travels as 1.3.6.1.2:"},
    // Words after the OID are modifiers: a comment there is none.
    {"CommentAfterOid", kHeader + "#TS1:1:1=1.3.6.1.2.1.1.3.0 ; uptime\n", 2, Severity::kError,
     "#TS1:1:1: no such modifier (rate, scale=K, offset=C) (\";\"); the line is not polled"},
    {"RateOnTc", kHeader + "#TT1:1:2=1.3.6.1.2.1.1.3.0 rate\n#TC1:1:1=1.3.6.1.2.1.1.3.0 rate\n",
     3, Severity::kError, "#TC1:1:1: a #TC point takes no rate, scale or offset (\"rate\")"},
    {"StatusOnNoPoint", kHeader + "state=@status\n", 2, Severity::kError,
     "state: a device point needs a #TC, #TS or #TT key"},
    {"UnclosedKeyQuote", kHeader + "#TS1:1:1=1.3.6.1.2.1.2.2.1.8[1.3.6.1.2.1.2.2.1.2=\"eth0]\n", 2,
     Severity::kError, "the key's quote is not closed"},
    {"RowBadKeyColumn", kHeader + "#TS1:1:1=1.3.6.1.2.1.2.2.1.8[1.3.6.01=eth0]\n", 2,
     Severity::kError, "the key column is no dotted OID"},
    {"DoubleEquals", kHeader + "#TT1:1:1==1.3.6.1.2.1.1.3.0\n", 2, Severity::kError,
     "\"=1.3.6.1.2.1.1.3.0\" travels as 0.3.6.1.2.1.1.3.0:"},
    {"NoOid", kHeader + "#TT1:1:1=\n", 2, Severity::kError, "no OID"},
    {"OidOf129Numbers", kHeader + "#TT1:1:1=" + OidOfNumbers(129) + "\n", 2, Severity::kError,
     "an OID of 129 numbers: agents take at most 128 and drop the whole request"},
    {"OidAsName", kHeader + "#TS1:1:1=sysUpTime.0\n", 2, Severity::kError,
     "names are not accepted, an OID in numbers is needed"},
    {"Utf8WithoutMark", "; Коммутатор\n" + kHeader + "#TC1:1:1=1.3.6.1\n", 0, Severity::kWarning,
     "looks like UTF-8 without a byte-order mark: Cyrillic will be misread"},
    {"Utf16WithoutMark", Utf16LeWithoutMark(kHeader + "#TC1:1:1=1.3.6.1\r\n"), 0,
     Severity::kError, "looks like UTF-16 without a byte-order mark"},
    {"LowerCaseKind", kHeader + "#tc1:1:1=1.3.6.1.2.1.1.3.0\n", 2, Severity::kWarning,
     "\"#tc1:1:1\" is no point address"},
    {"TwoNumbersOnly", kHeader + "#TC1:1=1.3.6.1.2.1.1.3.0\n", 2, Severity::kWarning,
     "is no point address"},
    {"NoPointKind", kHeader + "uptime=1.3.6.1.2.1.1.3.0\n", 2, Severity::kNote,
     "only traced"},
    {"TextAfterAddress", kHeader + "#TC1:1:3x=1.3.6.1.2.1.1.3.0\n", 2, Severity::kWarning,
     "\"x\" after the point address \"#TC1:1:3\" is ignored"},
    {"NumberCutTo16Bits", kHeader + "#TS1:1:70000=1.3.6.1.2.1.1.3.0\n", 2, Severity::kWarning,
     "point 70000 reaches the TM server as its low 16 bits, 4464"},
    {"PointWrittenTwice",
     kHeader + "#TC1:1:1=1.3.6.1.2.1.1.3.0\n[127.0.0.3]\n#TS1:1:1=1.3.6.1.2.1.1.5.0\n", 4,
     Severity::kError, "same status point 1:1:1 as line 2"},
    {"PointWrittenTwiceAfterTheCut",
     kHeader + "#TT1:1:4464=1.3.6.1.2.1.1.3.0\n#TT1:1:70000=1.3.6.1.2.1.1.3.0\n", 3,
     Severity::kError, "same analog point 1:1:4464 as line 2"},
    {"LineBeforeTheFirstSection", "#TC1:1:1=1.3.6.1.2.1.1.3.0\n" + kHeader, 1,
     Severity::kWarning, "before the first section"},
    {"LineWithoutEquals", kHeader + "#TC1:1:1 1.3.6.1.2.1.1.3.0\n", 2, Severity::kWarning,
     "no \"=\""},
    {"NothingBeforeEquals", kHeader + "=1.3.6.1.2.1.1.3.0\n", 2, Severity::kWarning,
     "nothing before \"=\""},
    {"ValueCut", kHeader + "#XX=" + std::string(2100, '1') + "\n", 2, Severity::kWarning,
     "a value of 2100 bytes: the task keeps its first 2047"},
    {"ZeroByte", kHeader + std::string("#TC1:1:1=1.3.6.1\0x\n", 19), 2, Severity::kWarning,
     "a zero byte at column 17"},
    {"ControlByte", kHeader + "#TC1:1:1=1.3.6\x01.1\n", 2, Severity::kWarning,
     "byte 0x01 at column 15 is no text"},
    {"HostDoesNotResolve", "[nowhere:public]\n#TC1:1:1=1.3.6.1.2.1.1.3.0\n", 1,
     Severity::kWarning, "\"nowhere\" does not resolve"},
    {"NoHost", "[:public]\n#TC1:1:1=1.3.6.1.2.1.1.3.0\n", 1, Severity::kError, "no host"},
    {"SectionWithoutName", kHeader + "[ ]\n#TC1:1:1=1.3.6.1.2.1.1.3.0\n", 2, Severity::kWarning,
     "a section without a name"},
    {"SectionTwice", kHeader + "[127.0.0.3]\n[127.0.0.2]\n", 3, Severity::kNote,
     "again (first at line 1)"},
    {"NoSection", "; nothing\n", 0, Severity::kError, "no agent"},
};

class MistakeTest : public testing::TestWithParam<MistakeCase> {};

TEST_P(MistakeTest, IsReportedOnItsLine) {
  const CheckReport report = Check(GetParam().contents);
  bool found = false;
  for (const Finding& finding : report.findings) {
    found = found || (finding.line == GetParam().line && finding.severity == GetParam().severity &&
                      finding.text.find(GetParam().text) != std::string::npos);
  }
  EXPECT_TRUE(found) << Describe(report);
}

INSTANTIATE_TEST_SUITE_P(Files, MistakeTest, testing::ValuesIn(kMistakes),
                         [](const testing::TestParamInfo<MistakeCase>& param_info) {
                           return std::string(param_info.param.name);
                         });

TEST(ConfigCheckTest, SeesAgentsAndLinesAsTheTaskDoes) {
  const CheckReport report =
      Check("; comment\r\n[127.0.0.2]\r\n#TC1:1:1 = 1.3.6.1.2.1.2.2.1.8.1\r\n"
            "; #TC9:9:9=1.3\r\n#TT1:1:2=\"1.3.6.1.2.1.2.2.1.10.1\"\r\n"
            "[ups:ups-ro:2]\r\n#TS2:1:1=1.3.6.1.2.1.33.1.2.1.0\r\n[127.0.0.2]\r\n"
            "#TS1:1:3=1.3.6.1.2.1.1.3.0\r\n");
  ASSERT_EQ(report.agents.size(), 2u) << Describe(report);
  const CheckedAgent& first = report.agents[0];
  EXPECT_EQ(first.line, 2);
  EXPECT_EQ(first.host, "127.0.0.2");
  EXPECT_EQ(first.community, "vxkfqz");
  EXPECT_TRUE(first.default_community);
  EXPECT_EQ(first.resolved, "192.0.2.1");
  ASSERT_EQ(first.points.size(), 3u);
  EXPECT_EQ(first.points[0].line, 3);
  EXPECT_EQ(first.points[1].line, 5);
  EXPECT_EQ(first.points[1].oid, "1.3.6.1.2.1.2.2.1.10.1");  // quotes removed
  EXPECT_EQ(first.points[2].line, 9);                         // the section's second part
  EXPECT_EQ(report.agents[1].community, "ups-ro");
  EXPECT_EQ(report.points, 4);
  EXPECT_EQ(report.Count(Severity::kWarning), 0) << Describe(report);
  EXPECT_EQ(report.Count(Severity::kError), 0) << Describe(report);
  EXPECT_EQ(SummaryLine(report), "2 agents, 4 points, 0 warnings, 0 errors");
}

TEST(ConfigCheckTest, ResolvesHostsAsTheTaskDoes) {
  EXPECT_EQ(ResolveLikeTheTask("127.0.0.2"), "127.0.0.2");
}

TEST(DisplayTextTest, ShowsWindows1251AsUtf8AndAlignsByCharacters) {
  EXPECT_EQ(Displayable("\xcf\xf0\xe8\xb8\xec\x01"), "Приём\\x01");
  Table table;
  table.AddRow({"Приём", "x"});
  table.AddRow({"ab", "y"});
  std::ostringstream out;
  table.Print(out, "");
  EXPECT_EQ(out.str(), "Приём  x\nab     y\n");
  EXPECT_EQ(CutToWidth("Приём", 5), "Приём");
  EXPECT_EQ(CutToWidth("Приём!", 5), "Приё…");
}

TEST(DisplayTextTest, TableFitsItsWidthByCuttingAndWrapping) {
  Table table;
  table.AllowCut(1, 6);
  table.AddRow({"1", "1.3.6.1.2.1.2.2.1.10.1", "a reason in several words"});
  std::ostringstream fitted;
  table.Print(fitted, "  ", 36);
  EXPECT_EQ(fitted.str(), "  1  1.3.6.1.…  a reason in several\n"
                          "                words\n");
  std::ostringstream whole;
  table.Print(whole, "  ");
  EXPECT_EQ(whole.str(), "  1  1.3.6.1.2.1.2.2.1.10.1  a reason in several words\n");
}

struct RunCase {
  std::vector<std::string> arguments;
  int status;
  std::string out_part;
};

TEST(CheckRunTest, CommandLineAndExitStatus) {
  TempDirectory directory;
  const std::string clean = directory.Write("clean.cfg", "[127.0.0.2]\n#TC1:1:1=1.3.6.1\n");
  const std::string warned = directory.Write("warned.cfg", "[127.0.0.2]\n#tc1:1:1=1.3.6.1\n");
  const std::string wrong = directory.Write("wrong.cfg", "[127.0.0.2]\n#TC1:1:1=1.3.6.1.\n");
  const std::string long_oid = "1.3.6.1.4.1.32473" + OidOfNumbers(60).substr(1);
  const std::string wide = directory.Write("wide.cfg", "[127.0.0.2]\n#TC1:1:1=" + long_oid + "\n");
  const std::string v3 = directory.Write(
      "v3.cfg",
      "[127.0.0.2]\n@version = 3\n@user = ops\n@auth = SHA:pass-word\n#TC1:1:1=1.3.6.1\n");
  const RunCase cases[] = {
      {{clean}, 0, "1 agent, 1 point, 0 warnings, 0 errors"},
      {{warned}, 1, "0 points, 1 warning, 0 errors"},
      {{wrong}, 2, "1 error"},
      {{directory.PathOf("missing.cfg")}, 3, ""},
      {{}, 3, ""},
      {{clean, wrong}, 3, ""},
      {{"--timeout", "0", clean}, 3, ""},
      {{"--bogus", clean}, 3, ""},
      {{wide}, 0, "1:1:1     1.3.6.1.4.1.32473.1.1.1.1.1.1.1.1.1.1.1.1.1.1…\n"},
      {{"--wide", wide}, 0, long_oid + "\n"},
      {{"--help"}, 0, "usage: zelsnmp-check [--probe] [--timeout MS] [--wide] [--server NAME"},
      {{clean, "--server"}, 3, ""},
      // The task's inform engine ID is the same whichever tool names it.
      {{"--server", "TMS", "--machine", "vm", v3}, 0,
       "SNMPv3 informs: the task's engine ID is 80000000056993e71e1dc4d3087ece2f461e049331"},
      {{"--version"}, 0, "zelsnmp-check "},
  };
  for (const RunCase& run : cases) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCheck(run.arguments, out, err), run.status) << out.str() << err.str();
    EXPECT_NE(out.str().find(run.out_part), std::string::npos) << out.str();
    if (run.status == 3) {
      EXPECT_NE(err.str(), "");
    }
  }
}

// What the stream held each time it was flushed.
class FlushRecorder : public std::stringbuf {
 public:
  std::vector<std::string> flushed;

 protected:
  int sync() override {
    flushed.push_back(str());
    return 0;
  }
};

// The probe shows each agent when it has been asked, before the next is asked. (Agents whose
// options hold a mistake are not asked, so nothing leaves the machine.)
TEST(CheckRunTest, ProbePrintsEachAgentAsItComes) {
  TempDirectory directory;
  const std::string path = directory.Write(
      "two.cfg", "[first]\n@host=127.0.0.1\n@port=0\n[second]\n@host=127.0.0.1\n@port=0\n");
  FlushRecorder recorder;
  std::ostream out(&recorder);
  std::ostringstream err;
  EXPECT_EQ(RunCheck({"--probe", path}, out, err), 2) << err.str();
  bool first_alone = false;
  for (const std::string& text : recorder.flushed) {
    first_alone = first_alone || (text.find("[first]") != std::string::npos &&
                                  text.find("probe:") != std::string::npos &&
                                  text.find("[second]") == std::string::npos);
  }
  EXPECT_TRUE(first_alone) << recorder.str();
}

}  // namespace
}  // namespace zelsnmp::check
