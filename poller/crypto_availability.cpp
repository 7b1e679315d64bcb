#include "poller/crypto_availability.h"

#include <optional>

#include "host/nodehub.h"
#include "util/cp1251.h"

namespace zelsnmp {

namespace {

bool IsPolledVersion3(const AgentEntry& agent) {
  return agent.options.version == 3 && !agent.options.mistaken;
}

std::string JoinFiles(const std::vector<std::string>& files) {
  std::string joined;
  for (const std::string& file : files) {
    if (!joined.empty()) joined += ", ";
    joined += file;
  }
  return joined;
}

}  // namespace

bool HasVersion3Agent(const PollConfig& config) {
  for (const AgentEntry& agent : config.agents) {
    if (IsPolledVersion3(agent)) return true;
  }
  return false;
}

std::size_t SetAsideVersion3Agents(PollConfig& config) {
  std::size_t set_aside = 0;
  for (AgentEntry& agent : config.agents) {
    if (!IsPolledVersion3(agent)) continue;
    agent.options.mistaken = true;
    ++set_aside;
  }
  return set_aside;
}

std::string CryptoUnavailableLine(const CryptoLibraryFault& fault) {
  const std::string files = JoinFiles(fault.files);
  std::string why;
  switch (fault.kind) {
    case CryptoLibraryFault::Kind::kFilesMissing:
      why =
          (fault.files.size() == 1 ? "нет файла " : "нет файлов ") + files + " рядом с программой";
      break;
    case CryptoLibraryFault::Kind::kNotLoaded:
      why = "файл " + files + " не загружается (ошибка " + fault.detail + ")";
      break;
    case CryptoLibraryFault::Kind::kEntryMissing:
      why = "в файле " + files + " нет функции " + fault.detail;
      break;
    case CryptoLibraryFault::Kind::kTooOld:
      why = "библиотека " + files + " версии " + fault.detail + " устарела";
      break;
  }
  return Utf8ToCp1251("Агенты SNMPv3 не опрашиваются: " + why + "\r\n");
}

void SetAsideVersion3AgentsWithoutCrypto(PollConfig& config) {
  if (!HasVersion3Agent(config)) return;
  const std::optional<CryptoLibraryFault> fault = CryptoLibraryProblem();
  if (!fault) return;
  const std::string line = CryptoUnavailableLine(*fault);
  e_printf("%s", line.c_str(), 0, 0, 0, 0);
  SetAsideVersion3Agents(config);
}

}  // namespace zelsnmp
