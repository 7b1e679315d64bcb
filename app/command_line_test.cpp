#include "app/command_line.h"

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

struct DefaultNameCase {
  const char* program_path;
  const char* separators;
  const char* expected;
};

class DefaultConfigFileNameTest : public testing::TestWithParam<DefaultNameCase> {};

TEST_P(DefaultConfigFileNameTest, TakesTheFileNamePartAndSwapsTheExtension) {
  EXPECT_EQ(DefaultConfigFileName(GetParam().program_path, GetParam().separators),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DefaultConfigFileNameTest,
    testing::Values(DefaultNameCase{"C:\\TM\\bin\\zelSNMP.exe", "\\:", "_zelSNMP.cfg"},
                    DefaultNameCase{"C:zelSNMP.exe", "\\:", "_zelSNMP.cfg"},
                    DefaultNameCase{"/opt/tm/zelSNMP", "\\:/", "_zelSNMP.cfg"},
                    DefaultNameCase{"/opt/tm.d/zelSNMP", "\\:/", "_zelSNMP.cfg"},
                    DefaultNameCase{"/opt/a.b.c", "\\:/", "_a.b.cfg"},
                    DefaultNameCase{"zelSNMP.", "\\:/", "_zelSNMP.cfg"},
                    DefaultNameCase{"dir\\", "\\:", "_.cfg"},
                    DefaultNameCase{"/opt/tm/zelSNMP", "\\:", "_/opt/tm/zelSNMP.cfg"}));

struct ArgumentCase {
  std::vector<std::string> arguments;
  const char* expected;
};

class ConfigFileNameArgumentTest : public testing::TestWithParam<ArgumentCase> {};

TEST_P(ConfigFileNameArgumentTest, FirstSlashFArgumentWins) {
  EXPECT_EQ(ConfigFileNameArgument(SeenArguments(GetParam().arguments)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ConfigFileNameArgumentTest,
    testing::Values(
        ArgumentCase{{"/fprogram"}, ""},  // element 0 is never looked at
        ArgumentCase{{"p", "TMS"}, ""},
        ArgumentCase{{"p", "/fTMS.cfg"}, "TMS.cfg"},
        ArgumentCase{{"p", "TMS", "/Fa.cfg"}, "a.cfg"},
        ArgumentCase{{"p", "TMS", ".", "/fa.cfg", "/fb.cfg"}, "a.cfg"},
        ArgumentCase{{"p", "TMS", ".", "/f", "/fb.cfg"}, ""},
        ArgumentCase{{"p", "TMS", ".", "-fa.cfg", "/xa", "/", "/fc d"}, "c d"},
        ArgumentCase{{"p", "1", "2", "3", "4", "5", "6", "7", "8", "/f9"}, "9"},
        ArgumentCase{{"p", "1", "2", "3", "4", "5", "6", "7", "8", "9", "/f10"}, ""}));

struct WindowCase {
  std::vector<std::string> arguments;
  int expected;
  WindowArgument::Problem problem = WindowArgument::Problem::kNone;
};
constexpr auto kAbove = WindowArgument::Problem::kAboveLargest;
constexpr auto kNotANumber = WindowArgument::Problem::kNotANumber;

class RequestsInFlightArgumentTest : public testing::TestWithParam<WindowCase> {};

TEST_P(RequestsInFlightArgumentTest, FirstSlashPArgumentWins) {
  const WindowArgument window = ReadWindowArgument(SeenArguments(GetParam().arguments));
  EXPECT_EQ(window.requests_in_flight, GetParam().expected);
  EXPECT_EQ(window.problem, GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, RequestsInFlightArgumentTest,
    testing::Values(WindowCase{{"/p8"}, 1},  // element 0 is never looked at
                    WindowCase{{"p", "TMS"}, 1},
                    WindowCase{{"p", "TMS", ".", "/p"}, 32},
                    WindowCase{{"p", "TMS", ".", "/fa.cfg", "/P8"}, 8},
                    WindowCase{{"p", "TMS", ".", "/p1"}, 1},
                    WindowCase{{"p", "TMS", ".", "/p256"}, 256},
                    WindowCase{{"p", "TMS", ".", "/p257"}, 256, kAbove},
                    WindowCase{{"p", "TMS", ".", "/P1024"}, 256, kAbove},
                    WindowCase{{"p", "TMS", ".", "/p0"}, 1, kNotANumber},
                    WindowCase{{"p", "TMS", ".", "/p99999999999"}, 256, kAbove},
                    WindowCase{{"p", "TMS", ".", "/p-4"}, 1, kNotANumber},
                    WindowCase{{"p", "TMS", ".", "/p 8"}, 1, kNotANumber},
                    WindowCase{{"p", "TMS", ".", "/px", "/p8"}, 1, kNotANumber},
                    WindowCase{{"p", "1", "2", "3", "4", "5", "6", "7", "8", "/p9"}, 9},
                    WindowCase{{"p", "1", "2", "3", "4", "5", "6", "7", "8", "9", "/p10"}, 1}));

struct NotificationCase {
  std::vector<std::string> arguments;
  int port;
  bool malformed = false;
};

class NotificationArgumentTest : public testing::TestWithParam<NotificationCase> {};

TEST_P(NotificationArgumentTest, FirstSlashTArgumentWins) {
  const NotificationArgument notification =
      ReadNotificationArgument(SeenArguments(GetParam().arguments));
  EXPECT_EQ(notification.port, GetParam().port);
  EXPECT_EQ(notification.malformed, GetParam().malformed);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, NotificationArgumentTest,
    testing::Values(NotificationCase{{"/t"}, 0},  // element 0 is never looked at
                    NotificationCase{{"p", "TMS", ".", "/p8"}, 0},
                    NotificationCase{{"p", "TMS", ".", "/t"}, 162},
                    NotificationCase{{"p", "TMS", ".", "/p", "/T10162"}, 10162},
                    NotificationCase{{"p", "TMS", ".", "/t1"}, 1},
                    NotificationCase{{"p", "TMS", ".", "/t65535"}, 65535},
                    NotificationCase{{"p", "TMS", ".", "/t65536"}, 0, true},
                    NotificationCase{{"p", "TMS", ".", "/t0"}, 0, true},
                    NotificationCase{{"p", "TMS", ".", "/t99999999999999"}, 0, true},
                    NotificationCase{{"p", "TMS", ".", "/t-1"}, 0, true},
                    NotificationCase{{"p", "TMS", ".", "/tx", "/t"}, 0, true},
                    NotificationCase{{"p", "1", "2", "3", "4", "5", "6", "7", "8", "9", "/t"},
                                     0}));

TEST(SeenArgumentsTest, KeepsAtMostTen) {
  EXPECT_EQ(SeenArguments(std::vector<std::string>(12, "x")).size(), 10u);
  EXPECT_EQ(SeenArguments({"p", "a"}).size(), 2u);
}

}  // namespace
}  // namespace zelsnmp
