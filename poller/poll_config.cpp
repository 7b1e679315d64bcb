#include "poller/poll_config.h"

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

}  // namespace

std::string PointLine::Name() const { return text.substr(0, text.find('=')); }

std::string PointLine::Value() const {
  const std::size_t equals = text.find('=');
  return equals == std::string::npos ? std::string() : text.substr(equals + 1);
}

std::string AgentEntry::Host() const { return WordAt(1, section_name, kSectionNameDelimiters); }

std::string AgentEntry::Community() const {
  std::string community = WordAt(2, section_name, kSectionNameDelimiters);
  return community.empty() ? std::string(kDefaultCommunity) : community;
}

PollConfig LoadPollConfig(const std::string& path) {
  PollConfig config;
  {
    ProfileReader reader = ProfileReader::FromFile(path);
    config.agents.resize(reader.SectionCount());
    for (std::size_t s = 0; s < reader.SectionCount(); ++s) {
      AgentEntry& agent = config.agents[s];
      agent.section_name = reader.SectionName(s);
      // Every entry rather than a value looked up per key name: a key given twice in a section
      // keeps each line's own OID.
      agent.lines.resize(reader.EntryCount(s));
      for (std::size_t e = 0; e < agent.lines.size(); ++e) {
        const ProfileReader::EntryView entry = reader.EntryAt(s, e);
        std::string& text = agent.lines[e].text;
        text.reserve(entry.key.size() + 1 + entry.value.size());
        text += entry.key;
        text += '=';
        text += entry.value;
      }
      // What the reader held for the section is released as soon as it is copied, so that
      // the peak is not the file's contents twice over.
      reader.ReleaseEntries(s);
    }
  }
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
