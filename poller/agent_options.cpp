#include "poller/agent_options.h"

#include <array>
#include <cstddef>

#include "net/ip_literal.h"

namespace zelsnmp {

namespace {

constexpr std::string_view kMask = "********";

struct OptionFault {
  OptionProblem problem = OptionProblem::kEmpty;
  std::int32_t low = 0;
  std::int32_t high = 0;
};

using OptionReader = std::optional<OptionFault> (*)(std::string_view value, AgentOptions& options);

// Digits only, no sign, no blanks: a value the operator must have meant as written.
std::optional<OptionFault> ReadNumber(std::string_view value, std::int32_t low, std::int32_t high,
                                      std::int32_t& number) {
  constexpr std::size_t kMaxDigits = 9;  // fits 32 bits whatever the digits
  for (const char c : value) {
    if (c < '0' || c > '9') return OptionFault{OptionProblem::kNotANumber, low, high};
  }
  std::size_t first = value.find_first_not_of('0');
  if (first == std::string_view::npos) first = value.size();
  if (value.size() - first > kMaxDigits) {
    return OptionFault{OptionProblem::kOutOfRange, low, high};
  }
  std::int32_t parsed = 0;
  for (const char c : value.substr(first)) parsed = parsed * 10 + (c - '0');
  if (parsed < low || parsed > high) return OptionFault{OptionProblem::kOutOfRange, low, high};
  number = parsed;
  return std::nullopt;
}

bool IsHostByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte > 0x20 && byte != 0x7F;
}

// A host name or IPv4 literal (no blanks, no ":"), or an IPv6 literal, bare or in brackets.
std::optional<OptionFault> ReadHost(std::string_view value, AgentOptions& options) {
  std::string_view literal = value;
  const bool bracketed = value.front() == '[';
  if (bracketed) {
    if (value.size() < 2 || value.back() != ']') return OptionFault{OptionProblem::kNotAHost};
    literal = value.substr(1, value.size() - 2);
  }
  const bool wants_ipv6 = bracketed || literal.find(':') != std::string_view::npos;
  if (wants_ipv6 ? !IsIPv6Literal(literal)
                 : literal.find_first_of(":[]") != std::string_view::npos) {
    return OptionFault{OptionProblem::kNotAHost};
  }
  for (const char c : literal) {
    if (!IsHostByte(c)) return OptionFault{OptionProblem::kNotAHost};
  }
  options.host = std::string(value);
  return std::nullopt;
}

template <std::optional<std::int32_t> AgentOptions::*kField, std::int32_t kLow, std::int32_t kHigh>
std::optional<OptionFault> ReadBoundedNumber(std::string_view value, AgentOptions& options) {
  std::int32_t number = 0;
  if (auto fault = ReadNumber(value, kLow, kHigh, number)) return fault;
  options.*kField = number;
  return std::nullopt;
}

std::optional<OptionFault> ReadMaxOids(std::string_view value, AgentOptions& options) {
  constexpr std::int32_t kMaxOidsLimit = 10000;
  return ReadNumber(value, 0, kMaxOidsLimit, options.max_oids);
}

std::optional<OptionFault> ReadCommunity(std::string_view value, AgentOptions& options) {
  options.community = std::string(value);
  return std::nullopt;
}

struct OptionKey {
  std::string_view name;  // in lower case
  bool secret;            // its value is shown masked
  OptionReader read;
};

// Every option the task knows; a new one is a line here and a field in AgentOptions.
constexpr std::array kOptionKeys = {
    OptionKey{"@host", false, ReadHost},
    OptionKey{"@port", false, ReadBoundedNumber<&AgentOptions::port, 1, 65535>},
    OptionKey{"@timeout", false, ReadBoundedNumber<&AgentOptions::timeout_ms, 100, 60000>},
    OptionKey{"@retries", false, ReadBoundedNumber<&AgentOptions::retries, 0, 5>},
    OptionKey{"@max-oids", false, ReadMaxOids},
    OptionKey{"@community", false, ReadCommunity},
};
constexpr std::size_t kNoKey = kOptionKeys.size();

std::size_t FindKey(std::string_view key) {
  for (std::size_t k = 0; k < kOptionKeys.size(); ++k) {
    const std::string_view name = kOptionKeys[k].name;
    if (name.size() != key.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < key.size() && same; ++i) {
      char c = key[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      same = c == name[i];
    }
    if (same) return k;
  }
  return kNoKey;
}

// The line that set each key, 0 while unset.
using KeyLines = std::array<int, kOptionKeys.size()>;

// Reads `lines` into `options`, skipping the keys `skip` has; `report` takes the mistakes.
void ReadLines(std::string_view section, const std::vector<OptionLine>& lines, const KeyLines* skip,
               AgentOptions& options, KeyLines& seen, std::vector<OptionMistake>* report) {
  for (const OptionLine& line : lines) {
    const std::size_t k = FindKey(line.key);
    if (k != kNoKey && skip != nullptr && (*skip)[k] != 0) continue;
    std::optional<OptionFault> fault;
    int first_line = 0;
    if (k == kNoKey) {
      fault = OptionFault{OptionProblem::kUnknownKey};
    } else if (seen[k] != 0) {
      fault = OptionFault{OptionProblem::kRepeated};
      first_line = seen[k];
    } else {
      seen[k] = line.line;
      fault = line.value.empty() ? OptionFault{OptionProblem::kEmpty}
                                 : kOptionKeys[k].read(line.value, options);
    }
    options.lines.push_back(line);
    options.lines.back().from_defaults = skip != nullptr;
    if (!fault) continue;
    options.mistaken = true;
    if (report != nullptr) {
      report->push_back(OptionMistake{std::string(section), line.line, line.key, fault->problem,
                                      fault->low, fault->high, first_line});
    }
  }
}

}  // namespace

AgentOptions ParseAgentOptions(std::string_view section, const std::vector<OptionLine>& own,
                               const std::vector<OptionLine>& defaults,
                               std::vector<OptionMistake>* mistakes) {
  AgentOptions options;
  KeyLines own_keys{};
  ReadLines(section, own, nullptr, options, own_keys, mistakes);
  if (!defaults.empty()) {
    KeyLines default_keys{};
    ReadLines(kDefaultsSectionName, defaults, &own_keys, options, default_keys, nullptr);
  }
  return options;
}

std::string ShowOptionValue(std::string_view key, std::string_view value) {
  const std::size_t k = FindKey(key);
  if (k != kNoKey && !kOptionKeys[k].secret) return std::string(value);
  // A protocol before the passphrase may be shown; the passphrase never.
  const std::size_t colon = value.find(':');
  if (k == kNoKey || colon == std::string_view::npos) return std::string(kMask);
  return std::string(value.substr(0, colon + 1)) + std::string(kMask);
}

}  // namespace zelsnmp
