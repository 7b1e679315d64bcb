#include "poller/agent_options.h"

#include <array>
#include <cstddef>

#include "net/ip_literal.h"
#include "snmp/usm_protocol_names.h"
#include "util/ascii_case.h"
#include "util/secret_bytes.h"

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

std::optional<OptionFault> ReadVersion(std::string_view value, AgentOptions& options) {
  if (value == "2c" || value == "2C") {
    options.version = 2;
  } else if (value == "3") {
    options.version = 3;
  } else {
    return OptionFault{OptionProblem::kNotAVersion};
  }
  return std::nullopt;
}

template <std::optional<std::string> AgentOptions::*kField>
std::optional<OptionFault> ReadAdminText(std::string_view value, AgentOptions& options) {
  if (value.size() > static_cast<std::size_t>(kMaxAdminTextBytes)) {
    return OptionFault{OptionProblem::kBadLength, 1, kMaxAdminTextBytes};
  }
  options.*kField = std::string(value);
  return std::nullopt;
}

// "PROTOCOL:passphrase"; the protocol is looked up by `by_name`, the passphrase kept secret.
template <typename Protocol>
std::optional<OptionFault> ReadProtocolAndPassphrase(
    std::string_view value, std::optional<Protocol> (*by_name)(std::string_view),
    OptionProblem unknown, Protocol& protocol, SecretBytes& passphrase) {
  const std::size_t colon = value.find(':');
  const std::optional<Protocol> named =
      colon == std::string_view::npos ? std::nullopt : by_name(value.substr(0, colon));
  if (!named) return OptionFault{unknown};
  const std::string_view secret = value.substr(colon + 1);
  if (secret.size() < kMinPassphraseBytes) {
    return OptionFault{OptionProblem::kShortPassphrase,
                       static_cast<std::int32_t>(kMinPassphraseBytes), 0};
  }
  protocol = *named;
  passphrase = SecretBytes(secret);
  return std::nullopt;
}

std::optional<OptionFault> ReadAuth(std::string_view value, AgentOptions& options) {
  return ReadProtocolAndPassphrase(value, AuthProtocolByName, OptionProblem::kUnknownAuthProtocol,
                                   options.auth, options.auth_passphrase);
}

std::optional<OptionFault> ReadPriv(std::string_view value, AgentOptions& options) {
  return ReadProtocolAndPassphrase(value, PrivProtocolByName, OptionProblem::kUnknownPrivProtocol,
                                   options.priv, options.priv_passphrase);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hex digits, "0x" in front allowed, two per byte.
std::optional<OptionFault> ReadEngineId(std::string_view value, AgentOptions& options) {
  constexpr std::int32_t kMinEngineIdBytes = 5;
  constexpr std::int32_t kMaxEngineIdBytes = 32;
  const OptionFault fault{OptionProblem::kNotAnEngineId, kMinEngineIdBytes, kMaxEngineIdBytes};
  if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
    value.remove_prefix(2);
  }
  const std::size_t bytes = value.size() / 2;
  if (value.size() % 2 != 0 || bytes < kMinEngineIdBytes || bytes > kMaxEngineIdBytes) {
    return fault;
  }
  std::string engine_id;
  for (std::size_t i = 0; i < value.size(); i += 2) {
    const int high = HexDigit(value[i]);
    const int low = HexDigit(value[i + 1]);
    if (high < 0 || low < 0) return fault;
    engine_id += static_cast<char>(high * 16 + low);
  }
  options.engine_id = std::move(engine_id);
  return std::nullopt;
}

bool IsAuthProtocolName(std::string_view name) {
  return AuthProtocolByName(name).has_value();
}
bool IsPrivProtocolName(std::string_view name) {
  return PrivProtocolByName(name).has_value();
}

// Which protocol version a key belongs to.
enum class KeyVersion { kAny, kOnly2c, kOnly3 };

struct OptionKey {
  std::string_view name;  // in lower case
  OptionReader read;
  KeyVersion version = KeyVersion::kAny;
  // Its value is "PROTOCOL:passphrase", shown with the passphrase masked (and the protocol
  // only when this says it is one).
  bool (*is_protocol)(std::string_view name) = nullptr;
};

// Every option the task knows; a new one is a line here and a field in AgentOptions.
constexpr std::array kOptionKeys = {
    OptionKey{"@host", ReadHost},
    OptionKey{"@port", ReadBoundedNumber<&AgentOptions::port, 1, 65535>},
    OptionKey{"@timeout", ReadBoundedNumber<&AgentOptions::timeout_ms, 100, 60000>},
    OptionKey{"@retries", ReadBoundedNumber<&AgentOptions::retries, 0, 5>},
    OptionKey{"@max-oids", ReadMaxOids},
    OptionKey{"@community", ReadCommunity, KeyVersion::kOnly2c},
    OptionKey{"@version", ReadVersion},
    OptionKey{"@user", ReadAdminText<&AgentOptions::user>, KeyVersion::kOnly3},
    OptionKey{"@auth", ReadAuth, KeyVersion::kOnly3, IsAuthProtocolName},
    OptionKey{"@priv", ReadPriv, KeyVersion::kOnly3, IsPrivProtocolName},
    OptionKey{"@context", ReadAdminText<&AgentOptions::context>, KeyVersion::kOnly3},
    OptionKey{"@engine", ReadEngineId, KeyVersion::kOnly3},
};
constexpr std::size_t kNoKey = kOptionKeys.size();

std::size_t FindKey(std::string_view key) {
  for (std::size_t k = 0; k < kOptionKeys.size(); ++k) {
    if (SameIgnoringAsciiCase(key, kOptionKeys[k].name)) return k;
  }
  return kNoKey;
}

constexpr std::size_t kVersionKey = 6;
static_assert(kOptionKeys[kVersionKey].name == "@version");

bool FitsVersion(const OptionKey& key, std::int32_t version) {
  return key.version == KeyVersion::kAny || (key.version == KeyVersion::kOnly3) == (version == 3);
}

// The line that set each key, null while unset.
using KeyLines = std::array<const OptionLine*, kOptionKeys.size()>;

// Reads `lines` into `options`, skipping the keys `skip` has and, for lines of "*", keys not of
// `version`; `report` takes the mistakes.
void ReadLines(std::string_view section, const std::vector<OptionLine>& lines, const KeyLines* skip,
               std::int32_t version, AgentOptions& options, KeyLines& seen,
               std::vector<OptionMistake>* report) {
  for (const OptionLine& line : lines) {
    const std::size_t k = FindKey(line.key);
    if (k != kNoKey && skip != nullptr &&
        ((*skip)[k] != nullptr || !FitsVersion(kOptionKeys[k], version))) {
      continue;
    }
    std::optional<OptionFault> fault;
    int first_line = 0;
    if (k == kNoKey) {
      fault = OptionFault{OptionProblem::kUnknownKey};
    } else if (seen[k] != nullptr) {
      fault = OptionFault{OptionProblem::kRepeated};
      first_line = seen[k]->line;
    } else {
      seen[k] = &line;
      fault = line.value.empty() ? OptionFault{OptionProblem::kEmpty}
                                 : kOptionKeys[k].read(line.value, options);
    }
    OptionLine& kept = options.lines.emplace_back(OptionLine{line.key, "", line.line});
    kept.value = ShowOptionValue(line.key, line.value);
    kept.from_defaults = skip != nullptr;
    if (!fault) continue;
    options.mistaken = true;
    if (report != nullptr) {
      report->push_back(OptionMistake{std::string(section), line.line, line.key, fault->problem,
                                      fault->low, fault->high, first_line});
    }
  }
}

// The version the agent asks for: its own @version, else that of "*", else 2c; nothing when
// the @version in effect is no version (a mistake of its own).
std::optional<std::int32_t> VersionAskedFor(const std::vector<OptionLine>& own,
                                            const std::vector<OptionLine>& defaults) {
  for (const std::vector<OptionLine>* lines : {&own, &defaults}) {
    for (const OptionLine& line : *lines) {
      if (FindKey(line.key) != kVersionKey) continue;
      AgentOptions parsed;
      if (ReadVersion(line.value, parsed)) return std::nullopt;
      return parsed.version;
    }
  }
  return 2;
}

// The rules between the keys in effect for one agent (`own` its own lines, `taken` those of
// "*" it takes).
void CheckBetweenKeys(std::string_view section, const KeyLines& own, const KeyLines& taken,
                      AgentOptions& options, std::vector<OptionMistake>* report) {
  auto add = [&](const OptionLine& line, OptionProblem problem) {
    options.mistaken = true;
    if (report == nullptr) return;
    report->push_back(OptionMistake{std::string(section), line.line, line.key, problem});
  };
  auto in_effect = [&](std::size_t k) { return own[k] != nullptr ? own[k] : taken[k]; };
  for (std::size_t k = 0; k < kOptionKeys.size(); ++k) {
    if (own[k] == nullptr || FitsVersion(kOptionKeys[k], options.version)) continue;
    add(*own[k],
        options.version == 3 ? OptionProblem::kOnlyForVersion2c : OptionProblem::kOnlyForVersion3);
  }
  if (options.version != 3) return;
  constexpr std::size_t kUserKey = 7, kAuthKey = 8, kPrivKey = 9;
  static_assert(kOptionKeys[kUserKey].name == "@user" && kOptionKeys[kAuthKey].name == "@auth" &&
                kOptionKeys[kPrivKey].name == "@priv");
  if (in_effect(kUserKey) == nullptr) add(*in_effect(kVersionKey), OptionProblem::kNeedsUser);
  if (in_effect(kPrivKey) != nullptr && in_effect(kAuthKey) == nullptr) {
    add(*in_effect(kPrivKey), OptionProblem::kPrivWithoutAuth);
  }
}

}  // namespace

AgentOptions ParseAgentOptions(std::string_view section, const std::vector<OptionLine>& own,
                               const std::vector<OptionLine>& defaults,
                               std::vector<OptionMistake>* mistakes) {
  AgentOptions options;
  const std::optional<std::int32_t> asked = VersionAskedFor(own, defaults);
  const std::int32_t version = asked.value_or(2);
  KeyLines own_keys{};
  ReadLines(section, own, nullptr, version, options, own_keys, mistakes);
  KeyLines default_keys{};
  if (!defaults.empty()) {
    ReadLines(kDefaultsSectionName, defaults, &own_keys, version, options, default_keys, nullptr);
  }
  // "*" read alone holds options for many agents: the rules between keys are the agents'. A
  // version that is no version is its own mistake; the rest would follow from it.
  if (section != kDefaultsSectionName && asked) {
    CheckBetweenKeys(section, own_keys, default_keys, options, mistakes);
  }
  return options;
}

void WipeSecretValues(std::vector<OptionLine>& lines) {
  for (OptionLine& line : lines) {
    const std::size_t k = FindKey(line.key);
    if (k != kNoKey && kOptionKeys[k].is_protocol == nullptr) continue;
    WipeBytes(line.value.data(), line.value.size());
    line.value.clear();
  }
}

std::string ShowOptionValue(std::string_view key, std::string_view value) {
  const std::size_t k = FindKey(key);
  if (k != kNoKey && kOptionKeys[k].is_protocol == nullptr) return std::string(value);
  // A protocol before the passphrase may be shown; the passphrase never, nor a text before a
  // ":" that is no protocol (it could be part of the passphrase).
  const std::size_t colon = value.find(':');
  if (k == kNoKey || colon == std::string_view::npos ||
      !kOptionKeys[k].is_protocol(value.substr(0, colon))) {
    return std::string(kMask);
  }
  return std::string(value.substr(0, colon + 1)) + std::string(kMask);
}

}  // namespace zelsnmp
