// Agent options as the loader reads them from a file: every key, range edges, values that are
// no numbers, the case of keys, quotes, "*" and its precedence, unknown keys, line numbers, and
// the error line each mistake gives.

#include "poller/agent_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "poller/poll_config.h"
#include "poller/poll_messages.h"
#include "snmp/usm_protocol_names.h"
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
    {"@versio=3", "mistake", OptionProblem::kUnknownKey},
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
      {{"sw", 4, "@auth", OptionProblem::kShortPassphrase, 8},
       "Ошибка в параметрах агента [sw], строка 4, @auth: пароль короче 8 байт\r\n"},
      {{"sw", 5, "@priv", OptionProblem::kUnknownPrivProtocol},
       "Ошибка в параметрах агента [sw], строка 5, @priv: нужно ПРОТОКОЛ:пароль, протокол DES, "
       "3DES, AES, AES-128, AES128, AES-192, AES192, AES-256, AES256, AES-192-C, AES192C, "
       "AES-256-C или AES256C\r\n"},
      {{"sw", 4, "@auth", OptionProblem::kUnknownAuthProtocol},
       "Ошибка в параметрах агента [sw], строка 4, @auth: нужно ПРОТОКОЛ:пароль, протокол MD5, "
       "SHA, SHA1, SHA-224, SHA224, SHA-256, SHA256, SHA-384, SHA384, SHA-512 или SHA512\r\n"},
      {{"sw", 2, "@version", OptionProblem::kNeedsUser},
       "Ошибка в параметрах агента [sw], строка 2, @version: для версии 3 нужен @user\r\n"},
      {{"sw", 3, "@user", OptionProblem::kOnlyForVersion3},
       "Ошибка в параметрах агента [sw], строка 3, @user: параметр SNMPv3, а версия 2c (нужно "
       "@version = 3)\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OptionMistakeLine(c.mistake), Utf8ToCp1251(c.line));
  }
}

// The passphrases of the v3 cases: none may appear in a mistake or a shown option line.
constexpr const char* kSecrets[] = {"Auth:Pass#1", "PrivPass#2", "Short#7"};

struct V3Case {
  const char* lines;  // after "[h:c]\n"; the first is line 2
  const char* shown;  // version|user|auth|priv|context|engine in hex, or "mistake"
  OptionProblem problem = OptionProblem::kUnknownKey;
  int line = 0;  // of the mistake
};

std::string ShownV3(const AgentOptions& o) {
  std::string engine;
  for (const char c : o.engine_id.value_or("")) {
    static const char kHex[] = "0123456789abcdef";
    engine += kHex[static_cast<unsigned char>(c) >> 4];
    engine += kHex[c & 15];
  }
  return std::to_string(o.version) + "|" + o.user.value_or("") + "|" +
         std::string(AuthProtocolName(o.auth)) + "|" + std::string(PrivProtocolName(o.priv)) + "|" +
         o.context.value_or("") + "|" + engine;
}

const V3Case kV3Cases[] = {
    {"@version=3\n@user=ro", "3|ro|none|none||"},
    {"@version=3\n@user=ro\n@auth=SHA-256:Auth:Pass#1", "3|ro|SHA-256|none||"},
    {"@VERSION=3\n@user=ro\n@auth=sha:Auth:Pass#1\n@priv=aes-128:PrivPass#2", "3|ro|SHA|AES||"},
    // net-snmp's spellings, blanks around the protocol left out.
    {"@version=3\n@user=ro\n@auth=SHA256:Auth:Pass#1\n@priv=AES128:PrivPass#2",
     "3|ro|SHA-256|AES||"},
    {"@version=3\n@user=ro\n@auth= sha1 :Auth:Pass#1\n@priv=aes256c:PrivPass#2",
     "3|ro|SHA|AES-256-C||"},
    {"@version=3\n@user=ro\n@auth=Sha512:Auth:Pass#1\n@priv=AES192:PrivPass#2",
     "3|ro|SHA-512|AES-192||"},
    {"@version=3\n@user=ro\n@context=c1\n@engine=0x80001F8880AABB",
     "3|ro|none|none|c1|80001f8880aabb"},
    {"@version=2C\n@community=x", "2||none|none||"},
    {"@version=4", "mistake", OptionProblem::kNotAVersion, 2},
    {"@version=3", "mistake", OptionProblem::kNeedsUser, 2},
    {"@version=3\n@user=123456789012345678901234567890123", "mistake", OptionProblem::kBadLength,
     3},
    {"@version=3\n@user=ro\n@auth=SHA-1:Auth:Pass#1", "mistake",
     OptionProblem::kUnknownAuthProtocol, 4},
    {"@version=3\n@user=ro\n@auth=PrivPass#2", "mistake", OptionProblem::kUnknownAuthProtocol, 4},
    {"@version=3\n@user=ro\n@auth=MD5:Short#7", "mistake", OptionProblem::kShortPassphrase, 4},
    {"@version=3\n@user=ro\n@auth=SHA:Auth:Pass#1\n@priv=AES-512:PrivPass#2", "mistake",
     OptionProblem::kUnknownPrivProtocol, 5},
    {"@version=3\n@user=ro\n@auth=SHA:Auth:Pass#1\n@priv=DES:Short#7", "mistake",
     OptionProblem::kShortPassphrase, 5},
    {"@version=3\n@user=ro\n@priv=DES:PrivPass#2", "mistake", OptionProblem::kPrivWithoutAuth, 4},
    {"@version=3\n@user=ro\n@engine=80001F88", "mistake", OptionProblem::kNotAnEngineId, 4},
    {"@version=3\n@user=ro\n@engine=80001F8880AG", "mistake", OptionProblem::kNotAnEngineId, 4},
    {"@version=3\n@user=ro\n@community=x", "mistake", OptionProblem::kOnlyForVersion2c, 4},
    {"@user=ro", "mistake", OptionProblem::kOnlyForVersion3, 2},
    {"@version=2c\n@auth=SHA:Auth:Pass#1", "mistake", OptionProblem::kOnlyForVersion3, 3},
};

void ExpectNoSecret(const std::string& text, const std::string& where) {
  for (const char* secret : kSecrets) {
    EXPECT_EQ(text.find(secret), std::string::npos) << where;
  }
}

TEST(AgentOptionsTest, Version3KeysAndTheRulesBetweenThem) {
  for (const V3Case& c : kV3Cases) {
    const PollConfig config = Load(std::string("[h:c]\n") + c.lines + "\n#TC1:1:1=1.3.6.1\n");
    ASSERT_EQ(config.agents.size(), 1u) << c.lines;
    const AgentOptions& options = config.agents[0].options;
    for (const OptionLine& line : options.lines) ExpectNoSecret(line.value, c.lines);
    for (const OptionMistake& mistake : config.option_mistakes) {
      ExpectNoSecret(Cp1251ToUtf8(OptionMistakeLine(mistake)), c.lines);
    }
    if (std::string(c.shown) != "mistake") {
      EXPECT_FALSE(options.mistaken) << c.lines;
      EXPECT_TRUE(config.option_mistakes.empty()) << c.lines;
      EXPECT_EQ(ShownV3(options), c.shown) << c.lines;
      continue;
    }
    EXPECT_TRUE(options.mistaken) << c.lines;
    ASSERT_EQ(config.option_mistakes.size(), 1u) << c.lines;
    EXPECT_EQ(config.option_mistakes[0].problem, c.problem) << c.lines;
    EXPECT_EQ(config.option_mistakes[0].line, c.line) << c.lines;
  }
}

TEST(AgentOptionsTest, DefaultsCarryVersion3KeysToTheAgentsTheyFit) {
  const PollConfig config = Load(
      "[*]\n"
      "@version = 3\n"
      "@user = scada\n"
      "@auth = SHA-256:Auth:Pass#1\n"
      "@community = common\n"
      "[v3]\n"
      "[v2]\n"
      "@version = 2c\n"
      "[v3-priv-only]\n"
      "@auth = \n"
      "[own-priv]\n"
      "@priv = AES:PrivPass#2\n");
  ASSERT_EQ(config.agents.size(), 4u);
  EXPECT_EQ(ShownV3(config.agents[0].options), "3|scada|SHA-256|none||");
  EXPECT_FALSE(config.agents[0].options.community.has_value());
  // Keys of "*" not for the agent's version are left out, not mistakes.
  EXPECT_EQ(ShownV3(config.agents[1].options), "2||none|none||");
  EXPECT_EQ(config.agents[1].Community(), "common");
  EXPECT_FALSE(config.agents[1].options.mistaken);
  EXPECT_EQ(config.agents[1].options.lines.size(), 2u);  // @version, @community
  EXPECT_TRUE(config.agents[2].options.mistaken);
  EXPECT_EQ(ShownV3(config.agents[3].options), "3|scada|SHA-256|AES||");
  ASSERT_EQ(config.option_mistakes.size(), 1u);
  EXPECT_EQ(config.option_mistakes[0].problem, OptionProblem::kEmpty);
}

TEST(AgentOptionsTest, SecretsAreMaskedWhereShown) {
  EXPECT_EQ(ShowOptionValue("@auth", "SHA-256:Auth:Pass#1"), "SHA-256:********");
  EXPECT_EQ(ShowOptionValue("@Priv", "AES-192-C:PrivPass#2"), "AES-192-C:********");
  // A text before ":" that is no protocol could be part of the passphrase.
  EXPECT_EQ(ShowOptionValue("@auth", "Auth:Pass#1"), "********");
  EXPECT_EQ(ShowOptionValue("@priv", "PrivPass#2"), "********");
  EXPECT_EQ(ShowOptionValue("@port", "1161"), "1161");
  EXPECT_EQ(ShowOptionValue("@COMMUNITY", "public"), "public");
  // A key that is not known could be a mistyped secret one.
  EXPECT_EQ(ShowOptionValue("@auht", "SHA:long passphrase"), "********");
}

}  // namespace
}  // namespace zelsnmp
