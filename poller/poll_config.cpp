#include "poller/poll_config.h"

namespace zelsnmp {

std::string PointLine::Name() const { return text.substr(0, text.find('=')); }

std::string PointLine::Value() const {
  const size_t equals = text.find('=');
  return equals == std::string::npos ? std::string() : text.substr(equals + 1);
}

std::string AgentEntry::Host() const { return WordAt(1, section_name, ":"); }

std::string AgentEntry::Community() const {
  std::string community = WordAt(2, section_name, ":");
  return community.empty() ? std::string(kDefaultCommunity) : community;
}

PollConfig LoadPollConfig(const std::string&) { return {}; }

std::string WordAt(int, std::string_view, std::string_view) { return {}; }

}  // namespace zelsnmp
