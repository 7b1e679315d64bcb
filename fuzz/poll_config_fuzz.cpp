// libFuzzer target: configuration loading through the profile reader, checked against a small
// reference model of the reading rules written independently of the reader:
//   - CR and LF each end a line; 0x09..0x0D, 0x1A and 0x20 are blanks, trimmed at both ends;
//   - "[" ... last "]" is a section header; its name is cut at a zero byte, then trimmed; an
//     empty name leads nowhere; names are compared with ASCII letters folded, and a name seen
//     again adds its lines to the first section of that name;
//   - otherwise a line with "=" is an entry of the current section: key before the first "="
//     (trimmed, then cut at a zero byte; empty or ";"-led keys are dropped), value after it
//     (trimmed, cut at a zero byte, then one pair of matching quotes removed, then cut to 2047
//     bytes);
//   - files starting with a byte-order mark are converted first and are only run, not modelled;
//   - a key starting with "@" is an agent option, not a point line, and the section "*" holds
//     options for every agent and is no agent itself.
// LoadPollConfig must give exactly the model's agents and point lines, and delete the file.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_require.h"
#include "poller/poll_config.h"

namespace {

bool IsBlank(char c) {
  return (c >= '\x09' && c <= '\x0D') || c == '\x1A' || c == ' ';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Cut(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

std::string Fold(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return folded;
}

struct ModelAgent {
  std::string name;
  std::vector<std::string> lines;
};

std::vector<ModelAgent> Model(std::string_view text) {
  std::vector<ModelAgent> agents;
  std::map<std::string, std::size_t> index;
  ModelAgent* current = nullptr;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    const std::size_t close = line.rfind(']');
    if (line[0] == '[' && close != std::string_view::npos) {
      const std::string_view name = Trim(Cut(line.substr(1, close - 1)));
      current = nullptr;
      if (name.empty()) continue;
      auto [found, added] = index.emplace(Fold(name), agents.size());
      if (added) agents.push_back({std::string(name), {}});
      current = &agents[found->second];
      continue;
    }
    const std::size_t equals = line.find('=');
    if (current == nullptr || equals == std::string_view::npos) continue;
    const std::string_view key = Cut(Trim(line.substr(0, equals)));
    if (key.empty() || key[0] == ';') continue;
    std::string_view value = Cut(Trim(line.substr(equals + 1)));
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\'')) {
      value = value.substr(1, value.size() - 2);
    }
    value = value.substr(0, 2047);
    if (key[0] == '@') continue;
    current->lines.push_back(std::string(key) + "=" + std::string(value));
  }
  std::erase_if(agents, [](const ModelAgent& agent) { return agent.name == "*"; });
  return agents;
}

bool HasByteOrderMark(std::string_view text) {
  return text.starts_with("\xEF\xBB\xBF") || text.starts_with("\xFF\xFE") ||
         text.starts_with("\xFE\xFF");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/zelsnmp_poll_config_fuzz_" + std::to_string(getpid());
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  const zelsnmp::PollConfig config = zelsnmp::LoadPollConfig(path);
  Require(std::fopen(path.c_str(), "rb") == nullptr);  // the file is gone
  if (HasByteOrderMark(text)) return 0;

  const std::vector<ModelAgent> expected = Model(text);
  Require(config.agents.size() == expected.size());
  for (std::size_t a = 0; a < expected.size(); ++a) {
    const zelsnmp::AgentEntry& agent = config.agents[a];
    Require(agent.section_name == expected[a].name);
    Require(agent.lines.size() == expected[a].lines.size());
    for (std::size_t l = 0; l < agent.lines.size(); ++l) {
      Require(agent.lines[l].text == expected[a].lines[l]);
      const std::size_t equals = expected[a].lines[l].find('=');
      Require(agent.lines[l].Name() == expected[a].lines[l].substr(0, equals));
    }
  }
  return 0;
}
