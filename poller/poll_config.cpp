#include "poller/poll_config.h"

#include <algorithm>
#include <deque>
#include <memory>

#include "poller/profile_reader.h"
#include "sys/file.h"

namespace zelsnmp {
namespace {

constexpr std::string_view kSectionNameDelimiters = ":";

// The fetched file is a temporary copy: it goes whether or not it could be read, and a failed
// deletion must not stop the poll cycle.
void DeleteConfigFile(const std::string& path) {
  if (!path.empty()) RemoveFile(path);
}

// The option lines of section `s`, and its point lines when `points` is given.
// The sources of the lines that are not bare, kept in one store that the lines share; a deque,
// so that a source stays where it is as more are added.
using SourceStore = std::deque<PointSource>;

std::vector<OptionLine> ReadSection(const ProfileReader& reader, std::size_t s,
                                    std::vector<PointLine>* points,
                                    std::vector<PointMistake>* point_mistakes,
                                    const std::shared_ptr<SourceStore>& sources,
                                    RowKeyCache* rows = nullptr) {
  std::vector<OptionLine> options;
  const std::size_t count = reader.EntryCount(s);
  if (points != nullptr) points->reserve(count);
  for (std::size_t e = 0; e < count; ++e) {
    const ProfileReader::EntryView entry = reader.EntryAt(s, e);
    const int line = static_cast<int>(entry.line);
    if (IsOptionKey(entry.key)) {
      options.push_back(OptionLine{std::string(entry.key), std::string(entry.value), line});
      continue;
    }
    if (points == nullptr) continue;
    // Every entry rather than a value looked up per key name: a key given twice in a section
    // keeps each line's own OID.
    PointLine& point = points->emplace_back();
    point.text.reserve(entry.key.size() + 1 + entry.value.size());
    point.text += entry.key;
    point.text += '=';
    point.text += entry.value;
    if (!IsBareSource(entry.value)) {
      std::string word;
      sources->push_back(ParsePointSource(entry.value, PointKindOf(entry.key), &word, rows));
      const PointSource& source = sources->back();
      if (source.Mistaken()) {
        point_mistakes->push_back(PointMistake{std::string(reader.SectionName(s)), line,
                                               std::string(entry.key), source.problem,
                                               std::move(word)});
      }
      // Shares the ownership of the whole store: one allocation per many lines, not per line.
      point.parsed = std::shared_ptr<const PointSource>(sources, &source);
    }
  }
  return options;
}

// The options of "*", and a mistake for each point line there.
std::vector<OptionLine> ReadDefaults(const ProfileReader& reader, std::size_t s,
                                     std::vector<OptionMistake>& mistakes) {
  for (std::size_t e = 0; e < reader.EntryCount(s); ++e) {
    const ProfileReader::EntryView entry = reader.EntryAt(s, e);
    if (IsOptionKey(entry.key)) continue;
    mistakes.push_back(OptionMistake{std::string(kDefaultsSectionName),
                                     static_cast<int>(entry.line), std::string(entry.key),
                                     OptionProblem::kPointLineInDefaults});
  }
  std::vector<OptionLine> defaults = ReadSection(reader, s, nullptr, nullptr, nullptr);
  ParseAgentOptions(kDefaultsSectionName, defaults, {}, &mistakes);
  return defaults;
}

}  // namespace

std::string PointLine::Name() const { return text.substr(0, text.find('=')); }

std::string PointLine::Value() const {
  const std::size_t equals = text.find('=');
  return equals == std::string::npos ? std::string() : text.substr(equals + 1);
}

std::string AgentEntry::Host() const {
  if (options.host) return *options.host;
  return WordAt(1, section_name, kSectionNameDelimiters);
}

std::string AgentEntry::Community() const {
  if (options.community) return *options.community;
  std::string community = WordAt(2, section_name, kSectionNameDelimiters);
  return community.empty() ? std::string(kDefaultCommunity) : community;
}

PollConfig LoadPollConfig(const std::string& path) {
  PollConfig config;
  {
    ProfileReader reader = ProfileReader::FromFile(path);
    const auto sources = std::make_shared<SourceStore>();
    RowKeyCache rows;
    std::vector<OptionLine> defaults;
    std::size_t defaults_section = reader.SectionCount();
    for (std::size_t s = 0; s < reader.SectionCount(); ++s) {
      if (reader.SectionName(s) != kDefaultsSectionName) continue;
      defaults_section = s;
      defaults = ReadDefaults(reader, s, config.option_mistakes);
      reader.ReleaseEntries(s);
    }
    const bool has_defaults = defaults_section < reader.SectionCount();
    config.agents.reserve(reader.SectionCount() - (has_defaults ? 1 : 0));
    for (std::size_t s = 0; s < reader.SectionCount(); ++s) {
      if (s == defaults_section) continue;
      AgentEntry& agent = config.agents.emplace_back();
      agent.section_name = reader.SectionName(s);
      std::vector<OptionLine> own =
          ReadSection(reader, s, &agent.lines, &config.point_mistakes, sources, &rows);
      if (!own.empty() || !defaults.empty()) {
        agent.options =
            ParseAgentOptions(agent.section_name, own, defaults, &config.option_mistakes);
      }
      WipeSecretValues(own);
      // What the reader held for the section is released as soon as it is copied, so that
      // the peak is not the file's contents twice over.
      reader.ReleaseEntries(s);
    }
    WipeSecretValues(defaults);
  }
  std::stable_sort(config.option_mistakes.begin(), config.option_mistakes.end(),
                   [](const OptionMistake& a, const OptionMistake& b) { return a.line < b.line; });
  DeleteConfigFile(path);
  return config;
}

std::string WordAt(int n, std::string_view text, std::string_view delimiters) {
  std::string word;
  // No word precedes the first; returning here also keeps n - 1 from overflowing.
  if (n < 1) return word;
  int delimiters_seen = 0;
  for (std::size_t i = 0; i < text.size() && delimiters_seen != n; ++i) {
    if (delimiters.find(text[i]) != std::string_view::npos) {
      ++delimiters_seen;
    } else if (delimiters_seen == n - 1) {
      word += text[i];
    }
  }
  return word;
}

}  // namespace zelsnmp
