// Agent options: the "@" lines of a section, which fit the exchange to a device that the
// defaults do not fit (another host or port, a slow or lossy link, a small request limit, a
// community of its own), and the section "*", whose options apply to every agent that does not
// set them itself.
//
// The option lines of a section are parsed once, at load, by ParseAgentOptions into the
// AgentOptions value the agent entry holds; the poll pass and the configuration check both
// work from that value and never read the text again. Keys are matched without regard to ASCII
// case; a value is the profile reader's value (trimmed, one pair of quotes removed).
//
// Every mistake (a key that is not known, a key given twice in one section, an empty value, a
// number that is no number or out of range, a host that is no host) is an OptionMistake naming
// the section, the line and the key; the agent it concerns is `mistaken` and is never polled,
// neither with a default in place of what was written nor with a guess. A mistake in "*"
// makes every agent mistaken that takes that key from "*".
//
// Values of secret keys never leave through a mistake (mistakes carry no values) and are shown
// only through ShowOptionValue, which masks them.

#ifndef ZELSNMP_POLLER_AGENT_OPTIONS_H_
#define ZELSNMP_POLLER_AGENT_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelsnmp {

// The name of the section whose options apply to every agent.
inline constexpr std::string_view kDefaultsSectionName = "*";
// Option keys begin with this character; point lines never do.
inline constexpr char kOptionKeyMark = '@';

// One "@" line as the reader gives it.
struct OptionLine {
  std::string key;             // as written
  std::string value;           // as the reader gives it
  int line = 0;                // 1-based line number in the file
  bool from_defaults = false;  // taken from "*"
};

enum class OptionProblem {
  kUnknownKey,           // a key beginning with "@" that is not an option
  kRepeated,             // the key was already given in the section (`first_line`)
  kEmpty,                // no value
  kNotANumber,           // digits were expected (`low`..`high`)
  kOutOfRange,           // a number outside `low`..`high`
  kNotAHost,             // no host name, IPv4 or IPv6 literal
  kPointLineInDefaults,  // a point line in "*"
};

struct OptionMistake {
  std::string section;  // the section name as written
  int line = 0;
  std::string key;  // as written
  OptionProblem problem = OptionProblem::kUnknownKey;
  std::int32_t low = 0;  // kNotANumber, kOutOfRange: the allowed range
  std::int32_t high = 0;
  int first_line = 0;  // kRepeated
};

// What the options of one agent say; a setting left unset means the exchange's default.
struct AgentOptions {
  std::optional<std::string> host;         // @host: where requests go
  std::optional<std::int32_t> port;        // @port: 1-65535
  std::optional<std::int32_t> timeout_ms;  // @timeout: 100-60000 per try
  std::optional<std::int32_t> retries;     // @retries: 0-5 further tries
  std::int32_t max_oids = 0;               // @max-oids: bindings per request, 0 = all
  std::optional<std::string> community;    // @community

  // The option lines in effect: the agent's own in file order, then those taken from "*".
  std::vector<OptionLine> lines;
  // Some option of the agent, its own or from "*", is a mistake: it is not polled.
  bool mistaken = false;
};

// Parses the option lines `own` of section `section` and those of "*" (`defaults`) that the
// section does not set itself. The mistakes of `own` are appended to `mistakes` (when not
// null); those of `defaults` only make the result mistaken, since they are reported once, when
// "*" itself is parsed (with `defaults` empty).
AgentOptions ParseAgentOptions(std::string_view section, const std::vector<OptionLine>& own,
                               const std::vector<OptionLine>& defaults,
                               std::vector<OptionMistake>* mistakes);

// True when `key` is an option key (begins with "@").
inline bool IsOptionKey(std::string_view key) {
  return !key.empty() && key.front() == kOptionKeyMark;
}

// The value of an option as it may be shown: a secret one masked ("SHA-256:********" for a
// protocol with its passphrase, "********" otherwise), as may be the value of a key that is not
// known (it could be a secret one mistyped); any other as it is.
std::string ShowOptionValue(std::string_view key, std::string_view value);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_AGENT_OPTIONS_H_
