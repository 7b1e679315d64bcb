// Agent options: the "@" lines of a section, which fit the exchange to a device that the
// defaults do not fit (another host or port, a slow or lossy link, a small request limit, a
// community of its own) or make it speak SNMPv3 (user, authentication, privacy, context,
// engine), and the section "*", whose options apply to every agent that does not set them
// itself.
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
// Rules between keys are checked per agent, on what is in effect: version 3 needs @user; @priv
// needs @auth; a key of the other version (@community with version 3, a v3 key with 2c) given
// by the section itself is a mistake, while one taken from "*" is simply not for this agent and
// is left out. The security level follows from what is given (@user alone, with @auth, with
// @priv too), so an agent is never polled at a level below the one written.
//
// Values of secret keys (the passphrases of @auth and @priv) never leave through a mistake
// (mistakes carry no values); the parsed value holds them only as SecretBytes, and the option
// lines it keeps for display hold them masked, as ShowOptionValue shows them.

#ifndef ZELSNMP_POLLER_AGENT_OPTIONS_H_
#define ZELSNMP_POLLER_AGENT_OPTIONS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "snmp/usm_protocol_names.h"
#include "util/secret_bytes.h"

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
  kNotAVersion,          // @version other than "2c" or "3"
  kBadLength,            // a text outside `low`..`high` bytes
  kUnknownAuthProtocol,  // @auth without one of the authentication protocols before ":"
  kUnknownPrivProtocol,  // @priv without one of the privacy protocols before ":"
  kShortPassphrase,      // a passphrase shorter than `low` bytes
  kNotAnEngineId,        // @engine not hex of `low`..`high` bytes
  kNeedsUser,            // version 3 without @user
  kPrivWithoutAuth,      // @priv without @auth
  kOnlyForVersion2c,     // a v2c key with version 3
  kOnlyForVersion3,      // a v3 key with version 2c
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

  // SNMPv3, when `version` is 3.
  std::int32_t version = 2;                 // @version: 2 for "2c", or 3
  std::optional<std::string> user;          // @user: 1-32 bytes
  AuthProtocol auth = AuthProtocol::kNone;  // @auth: protocol and passphrase
  SecretBytes auth_passphrase;
  PrivProtocol priv = PrivProtocol::kNone;  // @priv: protocol and passphrase
  SecretBytes priv_passphrase;
  std::optional<std::string> context;    // @context
  std::optional<std::string> engine_id;  // @engine: the engine ID's bytes (5-32)

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

inline constexpr std::size_t kMinPassphraseBytes = 8;
// @user and @context are at most this long, as the security model's names are.
inline constexpr std::int32_t kMaxAdminTextBytes = 32;

// Overwrites the values of the secret options among `lines` (the text the reader gave), so that
// a passphrase does not linger in memory once parsed.
void WipeSecretValues(std::vector<OptionLine>& lines);

// True when `key` is an option key (begins with "@").
inline bool IsOptionKey(std::string_view key) {
  return !key.empty() && key.front() == kOptionKeyMark;
}

// The value of an option as it may be shown: a secret one masked ("SHA-256:********" for a
// known protocol with its passphrase, "********" otherwise), as may be the value of a key that
// is not known (it could be a secret one mistyped); any other as it is.
std::string ShowOptionValue(std::string_view key, std::string_view value);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_AGENT_OPTIONS_H_
