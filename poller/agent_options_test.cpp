// Agent options as the loader reads them from a file: every key, range edges, values that are
// no numbers, the case of keys, quotes, "*" and its precedence, unknown keys, line numbers, and
// the error line each mistake gives.

#include "poller/agent_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "poller/poll_config.h"
#include "poller/poll_messages.h"
#include "testing/temp_directory.h"
#include "util/cp1251.h"

namespace zelsnmp {
namespace {

PollConfig Load(const std::string& text) {
  testing_support::TempDirectory dir;
  return LoadPollConfig(dir.Write("config", text));
}

// The options of one agent: its own lines, then what it is expected to hold ("" for a line
// that must be a mistake of that problem).
struct OptionCase {
  const char* lines;  // the section's lines after "[h:c]\n"
  const char* shown;  // host|port|timeout|retries|max-oids|community, or "mistake"
  OptionProblem problem = OptionProblem::kUnknownKey;
};

std::string Shown(const AgentEntry& agent) {
  const AgentOptions& o = agent.options;
  auto number = [](const std::optional<std::int32_t>& value) {
    return value ? std::to_string(*value) : std::string("-");
  };
  return agent.Host() + "|" + number(o.port) + "|" + number(o.timeout_ms) + "|" +
         number(o.retries) + "|" + std::to_string(o.max_oids) + "|" + agent.Community();
}

const OptionCase kOptionCases[] = {
    {"", "h|-|-|-|0|c"},
    {"@host = 10.0.0.7", "10.0.0.7|-|-|-|0|c"},
    {"@host=2001:db8::7", "2001:db8::7|-|-|-|0|c"},
    {"@host=[2001:db8::7]", "[2001:db8::7]|-|-|-|0|c"},
    {"@HOST=switch-1.example", "switch-1.example|-|-|-|0|c"},
    {"@host=10.0.0.7:161", "mistake", OptionProblem::kNotAHost},
    {"@host=[10.0.0.7]", "mistake", OptionProblem::kNotAHost},
    {"@host=\"a b\"", "mistake", OptionProblem::kNotAHost},
    {"@host=2001:db8:::7", "mistake", OptionProblem::kNotAHost},
    {"@port=1", "h|1|-|-|0|c"},
    {"@Port=65535", "h|65535|-|-|0|c"},
    {"@port=0", "mistake", OptionProblem::kOutOfRange},
    {"@port=65536", "mistake", OptionProblem::kOutOfRange},
    {"@port=99999999999999999999", "mistake", OptionProblem::kOutOfRange},
    {"@port=-1", "mistake", OptionProblem::kNotANumber},
    {"@port=+161", "mistake", OptionProblem::kNotANumber},
    {"@port=0x10", "mistake", OptionProblem::kNotANumber},
    {"@port=16 1", "mistake", OptionProblem::kNotANumber},
    {"@port=\"1161\"", "h|1161|-|-|0|c"},
    {"@port=", "mistake", OptionProblem::kEmpty},
    {"@timeout=100", "h|-|100|-|0|c"},
    {"@TIMEOUT=60000", "h|-|60000|-|0|c"},
    {"@timeout=99", "mistake", OptionProblem::kOutOfRange},
    {"@timeout=60001", "mistake", OptionProblem::kOutOfRange},
    {"@timeout=2s", "mistake", OptionProblem::kNotANumber},
    {"@retries=0", "h|-|-|0|0|c"},
    {"@retries=5", "h|-|-|5|0|c"},
    {"@retries=6", "mistake", OptionProblem::kOutOfRange},
    {"@max-oids=0", "h|-|-|-|0|c"},
    {"@Max-OIDs=10000", "h|-|-|-|10000|c"},
    {"@max-oids=007", "h|-|-|-|7|c"},
    {"@max-oids=10001", "mistake", OptionProblem::kOutOfRange},
    {"@community=' secret '", "h|-|-|-|0| secret "},
    {"@community=", "mistake", OptionProblem::kEmpty},
    {"@port=1161\n@port=1162", "mistake", OptionProblem::kRepeated},
    {"@prot=1161", "mistake", OptionProblem::kUnknownKey},
    {"@ port=1161", "mistake", OptionProblem::kUnknownKey},
    {"@version=3", "mistake", OptionProblem::kUnknownKey},
};

TEST(AgentOptionsTest, EveryKeyWithItsEdges) {
  for (const OptionCase& c : kOptionCases) {
    const PollConfig config = Load(std::string("[h:c]\n#TC1:1:1=1.3.6.1\n") + c.lines + "\n");
    ASSERT_EQ(config.agents.size(), 1u) << c.lines;
    const AgentEntry& agent = config.agents[0];
    // Option lines are never point lines.
    EXPECT_EQ(agent.lines.size(), 1u) << c.lines;
    if (std::string(c.shown) == "mistake") {
      EXPECT_TRUE(agent.options.mistaken) << c.lines;
      ASSERT_EQ(config.option_mistakes.size(), 1u) << c.lines;
      const OptionMistake& mistake = config.option_mistakes[0];
      EXPECT_EQ(mistake.problem, c.problem) << c.lines;
      EXPECT_EQ(mistake.section, "h:c");
      EXPECT_EQ(mistake.line, std::string(c.lines).find('\n') == std::string::npos ? 3 : 4)
          << c.lines;
    } else {
      EXPECT_FALSE(agent.options.mistaken) << c.lines;
      EXPECT_TRUE(config.option_mistakes.empty()) << c.lines;
      EXPECT_EQ(Shown(agent), c.shown) << c.lines;
    }
  }
}

TEST(AgentOptionsTest, DefaultsSectionAppliesWhereTheAgentSetsNothing) {
  const PollConfig config = Load(
      "[a]\r\n"
      "@port = 1161\r\n"
      "#TS1:1:1=1.3.6.1.2.1.1.3.0\r\n"
      "[*]\r\n"
      "@port = 2161\r\n"
      "@timeout = 900\r\n"
      "@community = common\r\n"
      "[b:own]\r\n"
      "#TS1:1:2=1.3.6.1.2.1.1.3.0\r\n");
  ASSERT_EQ(config.agents.size(), 2u);  // "*" is no agent
  EXPECT_EQ(Shown(config.agents[0]), "a|1161|900|-|0|common");
  // A community given as an option also wins over the section name's.
  EXPECT_EQ(Shown(config.agents[1]), "b|2161|900|-|0|common");
  EXPECT_TRUE(config.option_mistakes.empty());
}

TEST(AgentOptionsTest, MistakesInDefaultsReachTheAgentsThatTakeThem) {
  const PollConfig config = Load(
      "[*]\n"
      "@timeout = 5 s\n"
      "#TC1:1:1=1.3.6.1\n"
      "[own-timeout]\n"
      "@timeout = 1000\n"
      "[takes-it]\n"
      "#TC1:1:2=1.3.6.1\n");
  ASSERT_EQ(config.agents.size(), 2u);
  EXPECT_FALSE(config.agents[0].options.mistaken);
  EXPECT_TRUE(config.agents[1].options.mistaken);
  // Each reported once, in line order, under "*".
  ASSERT_EQ(config.option_mistakes.size(), 2u);
  EXPECT_EQ(config.option_mistakes[0].line, 2);
  EXPECT_EQ(config.option_mistakes[0].problem, OptionProblem::kNotANumber);
  EXPECT_EQ(config.option_mistakes[1].line, 3);
  EXPECT_EQ(config.option_mistakes[1].problem, OptionProblem::kPointLineInDefaults);
  EXPECT_EQ(config.option_mistakes[1].section, "*");
}

TEST(AgentOptionsTest, ErrorLinesNameSectionLineAndKeyButNoValue) {
  const struct {
    OptionMistake mistake;
    const char* line;
  } cases[] = {
      {{"sw:%s", 7, "@Port", OptionProblem::kOutOfRange, 1, 65535},
       "Ошибка в параметрах агента [sw:%s], строка 7, @Port: вне пределов, допустимо от 1 до "
       "65535\r\n"},
      {{"sw", 3, "@retries", OptionProblem::kNotANumber, 0, 5},
       "Ошибка в параметрах агента [sw], строка 3, @retries: не число, допустимо от 0 до 5\r\n"},
      {{"sw", 9, "@auht", OptionProblem::kUnknownKey},
       "Ошибка в параметрах агента [sw], строка 9, @auht: неизвестный параметр\r\n"},
      {{"sw", 9, "@port", OptionProblem::kRepeated, 0, 0, 4},
       "Ошибка в параметрах агента [sw], строка 9, @port: задан повторно, впервые в строке "
       "4\r\n"},
      {{"sw", 2, "@host", OptionProblem::kNotAHost},
       "Ошибка в параметрах агента [sw], строка 2, @host: не имя узла и не IP-адрес\r\n"},
      {{"sw", 2, "@community", OptionProblem::kEmpty},
       "Ошибка в параметрах агента [sw], строка 2, @community: нет значения\r\n"},
      {{"*", 5, "#TC1:1:1", OptionProblem::kPointLineInDefaults},
       "Ошибка в параметрах агента [*], строка 5, #TC1:1:1: строка точки в секции [*]\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OptionMistakeLine(c.mistake), Utf8ToCp1251(c.line));
  }
}

TEST(AgentOptionsTest, SecretsAreMaskedWhereShown) {
  EXPECT_EQ(ShowOptionValue("@port", "1161"), "1161");
  EXPECT_EQ(ShowOptionValue("@COMMUNITY", "public"), "public");
  // A key that is not known could be a mistyped secret one.
  EXPECT_EQ(ShowOptionValue("@auht", "SHA:long passphrase"), "********");
}

}  // namespace
}  // namespace zelsnmp
