// v3 agents set aside when the cryptographic library cannot be used: which agents, and the
// error line for each way the library can be missing.

#include "poller/crypto_availability.h"

#include <gtest/gtest.h>

#include "util/cp1251.h"

namespace zelsnmp {
namespace {

AgentEntry Agent(const std::string& section, int version, bool mistaken) {
  AgentEntry agent;
  agent.section_name = section;
  agent.options.version = version;
  agent.options.mistaken = mistaken;
  return agent;
}

TEST(CryptoAvailability, OnlyPolledVersion3AgentsAreSetAside) {
  PollConfig config;
  config.agents = {Agent("v2c", 2, false), Agent("v3", 3, false), Agent("v3 mistaken", 3, true),
                   Agent("v2c mistaken", 2, true), Agent("v3 again", 3, false)};
  ASSERT_TRUE(HasVersion3Agent(config));
  EXPECT_EQ(SetAsideVersion3Agents(config), 2u);
  const bool mistaken_after[] = {false, true, true, true, true};
  for (std::size_t a = 0; a < config.agents.size(); ++a) {
    EXPECT_EQ(config.agents[a].options.mistaken, mistaken_after[a])
        << config.agents[a].section_name;
  }
  EXPECT_FALSE(HasVersion3Agent(config));
  // Nothing to set aside: the library is not even started.
  PollConfig v2c_only;
  v2c_only.agents = {Agent("v2c", 2, false), Agent("v3 mistaken", 3, true)};
  EXPECT_FALSE(HasVersion3Agent(v2c_only));
  SetAsideVersion3AgentsWithoutCrypto(v2c_only);
  EXPECT_FALSE(v2c_only.agents[0].options.mistaken);
}

TEST(CryptoAvailability, ErrorLineNamesWhatIsMissing) {
  using Kind = CryptoLibraryFault::Kind;
  const struct {
    CryptoLibraryFault fault;
    std::string line;  // UTF-8
  } cases[] = {
      {{Kind::kFilesMissing, {"libgcrypt-20.dll"}, ""},
       "Агенты SNMPv3 не опрашиваются: нет файла libgcrypt-20.dll рядом с программой\r\n"},
      {{Kind::kFilesMissing, {"libgcrypt-20.dll", "libgpg-error-0.dll"}, ""},
       "Агенты SNMPv3 не опрашиваются: нет файлов libgcrypt-20.dll, libgpg-error-0.dll рядом "
       "с программой\r\n"},
      {{Kind::kNotLoaded, {"libgpg-error-0.dll"}, "193"},
       "Агенты SNMPv3 не опрашиваются: файл libgpg-error-0.dll не загружается (ошибка 193)\r\n"},
      {{Kind::kEntryMissing, {"libgcrypt-20.dll"}, "gcry_md_open"},
       "Агенты SNMPv3 не опрашиваются: в файле libgcrypt-20.dll нет функции gcry_md_open\r\n"},
      {{Kind::kTooOld, {"libgcrypt-20.dll"}, "1.8.1"},
       "Агенты SNMPv3 не опрашиваются: библиотека libgcrypt-20.dll версии 1.8.1 устарела\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CryptoUnavailableLine(c.fault), Utf8ToCp1251(c.line)) << c.line;
  }
}

}  // namespace
}  // namespace zelsnmp
