#include "tools/agentsim/agent_options.h"

#include <charconv>

#include "snmp/usm_protocol_names.h"
#include "tools/agentsim/snmprec.h"

namespace zelsnmp::agentsim {
namespace {

constexpr int kMaxPort = 65535;
constexpr int kMaxDelayMs = 3600 * 1000;
constexpr int kMaxErrorStatus = 255;
constexpr int kMaxPercent = 100;
// Above any message a UDP datagram can carry, and any count of its bindings.
constexpr int kMaxCount = 65535;
constexpr int kStandardPort = 161;
// noSuchName, what agents answer for an OID they do not hold.
constexpr int kDefaultErrorIndexStatus = 2;
constexpr int kMaxSigned = 2147483647;
// An engine ID is 5 to 32 bytes long.
constexpr std::size_t kMinEngineIdBytes = 5;
constexpr std::size_t kMaxEngineIdBytes = 32;
constexpr std::string_view kVersion = "agentsim 1.2";

std::optional<int> ParseDecimal(std::string_view text, int limit) {
  if (text.empty()) return std::nullopt;
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > limit) {
    return std::nullopt;
  }
  return value;
}

// The whole text as a number of type Number; empty when it is not one or out of its range.
template <typename Number>
std::optional<Number> ParseWhole(std::string_view text) {
  Number value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// Pairs of hexadecimal digits, an optional "0x" before them; empty on anything else.
std::string ParseHexBytes(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  std::string bytes;
  if (text.size() % 2 != 0) return bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    if (error != std::errc() || end != text.data() + i + 2) return std::string();
    bytes.push_back(static_cast<char>(value));
  }
  return bytes;
}

// Splits "PROTO:PASSPHRASE". The passphrase is never part of an error text.
bool SplitProtocolAndPassphrase(std::string_view text, std::string& protocol,
                                SecretBytes& passphrase) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon + 1 == text.size()) return false;
  protocol = std::string(text.substr(0, colon));
  passphrase = SecretBytes(text.substr(colon + 1));
  return true;
}

template <typename Protocol>
bool SetProtocol(std::optional<Protocol> named, Protocol& protocol) {
  if (named) protocol = *named;
  return named.has_value();
}

}  // namespace

bool SplitListenAddress(std::string_view text, std::string& address, std::string& port) {
  std::string_view port_text;
  if (!text.empty() && text.front() == '[') {
    std::size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    address = std::string(text.substr(1, close - 1));
    std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      port_text = rest.substr(1);
      if (port_text.empty()) return false;
    }
  } else {
    std::size_t colon = text.find(':');
    // A bare IPv6 literal has several colons and no port.
    if (colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
      address = std::string(text.substr(0, colon));
      port_text = text.substr(colon + 1);
      if (port_text.empty()) return false;
    } else {
      address = std::string(text);
    }
  }
  if (address.empty()) return false;
  if (!port_text.empty()) {
    if (!ParseDecimal(port_text, kMaxPort)) return false;
    port = std::string(port_text);
  }
  return true;
}

AgentOptionsResult ParseAgentOptions(const std::vector<std::string>& arguments) {
  AgentOptionsResult result;
  AgentOptions& options = result.options;
  bool have_listen = false;
  auto fail = [&result](const std::string& message) {
    result.error = message;
    return result;
  };
  bool colon_failed = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= arguments.size()) return std::nullopt;
      return arguments[++i];
    };
    if (name == "--help" || name == "-h") {
      result.show_help = true;
    } else if (name == "--version") {
      result.show_version = true;
    } else if (name == "--listen") {
      auto text = value();
      if (!text) return fail("--listen needs ADDR[:PORT]");
      if (!SplitListenAddress(*text, options.listen_address, options.listen_port)) {
        return fail("--listen: \"" + *text + "\" is not ADDR[:PORT]");
      }
      have_listen = true;
    } else if (name == "--data") {
      auto text = value();
      if (!text) return fail("--data needs a file name");
      options.data_path = *text;
    } else if (name == "--community") {
      auto text = value();
      if (!text) return fail("--community needs a community");
      options.community = *text;
    } else if (name == "--delay") {
      auto text = value();
      auto delay = text ? ParseDecimal(*text, kMaxDelayMs) : std::nullopt;
      if (!delay) return fail("--delay needs milliseconds from 0 to 3600000");
      options.delay_ms = *delay;
    } else if (name == "--error-status") {
      auto text = value();
      auto status = text ? ParseDecimal(*text, kMaxErrorStatus) : std::nullopt;
      if (!status) return fail("--error-status needs a number from 0 to 255");
      options.error_status = *status;
    } else if (name == "--from") {
      auto text = value();
      if (!text || text->empty()) return fail("--from needs a local address");
      options.from_address = *text;
    } else if (name == "--silent") {
      options.silent = true;
    } else if (name == "--wrong-id") {
      options.wrong_id = true;
    } else if (name == "--twice") {
      options.twice = true;
    } else if (name == "--garbage-first") {
      options.garbage_first = true;
    } else if (name == "--omit-missing") {
      options.omit_missing = true;
    } else if (name == "--empty-first") {
      options.empty_first = true;
    } else if (name == "--random-faults") {
      options.random_faults = true;
    } else if (name == "--lenient") {
      options.lenient = true;
    } else if (name == "--port-only") {
      options.port_only = true;
    } else if (name == "--max-oids" || name == "--max-size" || name == "--drop-above") {
      auto text = value();
      auto number = text ? ParseDecimal(*text, kMaxCount) : std::nullopt;
      if (!number) return fail(name + " needs a number from 0 to 65535");
      std::optional<std::size_t>& limit = name == "--max-oids"   ? options.max_oids
                                          : name == "--max-size" ? options.max_size
                                                                 : options.drop_above;
      limit = static_cast<std::size_t>(*number);
    } else if (name == "--error-index-for") {
      auto text = value();
      if (!text || !IsCanonicalOid(*text)) return fail("--error-index-for needs a dotted OID");
      options.error_index_for = *text;
    } else if (name == "--loss") {
      auto text = value();
      auto percent = text ? ParseDecimal(*text, kMaxPercent) : std::nullopt;
      if (!percent) return fail("--loss needs a percentage from 0 to 100");
      options.loss_percent = *percent;
    } else if (name == "--seed") {
      auto text = value();
      auto seed = text ? ParseWhole<std::uint32_t>(*text) : std::nullopt;
      if (!seed) return fail("--seed needs a number from 0 to 4294967295");
      options.seed = *seed;
    } else if (name == "--v3-user") {
      auto text = value();
      if (!text || text->empty() || text->size() > kMaxEngineIdBytes) {
        return fail("--v3-user needs a user name of 1 to 32 bytes");
      }
      options.v3_user = *text;
    } else if (name == "--auth" || name == "--priv") {
      auto text = value();
      std::string protocol;
      SecretBytes& passphrase =
          name == "--auth" ? options.auth_passphrase : options.priv_passphrase;
      if (!text || !SplitProtocolAndPassphrase(*text, protocol, passphrase)) {
        return fail(name + " needs PROTO:PASSPHRASE");
      }
      const bool known = name == "--auth" ? SetProtocol(AuthProtocolByName(protocol),
                                                        options.auth_protocol)
                                          : SetProtocol(PrivProtocolByName(protocol),
                                                        options.priv_protocol);
      if (!known) return fail(name + ": unknown protocol \"" + protocol + "\"");
    } else if (name == "--engine-id") {
      auto text = value();
      std::string bytes = text ? ParseHexBytes(*text) : std::string();
      if (bytes.size() < kMinEngineIdBytes || bytes.size() > kMaxEngineIdBytes) {
        return fail("--engine-id needs 5 to 32 bytes in hexadecimal");
      }
      options.engine_id = bytes;
    } else if (name == "--boots" || name == "--reboot-after" || name == "--new-engine-after") {
      auto text = value();
      auto number = text ? ParseDecimal(*text, kMaxSigned) : std::nullopt;
      if (!number) return fail(name + " needs a number from 0 to 2147483647");
      if (name == "--boots") {
        options.engine_boots = *number;
      } else {
        (name == "--reboot-after" ? options.reboot_after : options.new_engine_after) =
            static_cast<std::uint32_t>(*number);
      }
    } else if (name == "--counter") {
      auto text = value();
      const std::size_t colon = text ? text->rfind(':') : std::string::npos;
      CounterStep counter;
      if (colon != std::string::npos) {
        counter.oid = text->substr(0, colon);
        const std::string step = text->substr(colon + 1);
        const auto [stop, error] =
            std::from_chars(step.data(), step.data() + step.size(), counter.step);
        if (step.empty() || error != std::errc() || stop != step.data() + step.size()) {
          colon_failed = true;
        }
      }
      if (colon == std::string::npos || colon_failed || !IsCanonicalOid(counter.oid)) {
        return fail("--counter needs OID:STEP, STEP from 0 to 18446744073709551615");
      }
      options.counters.push_back(std::move(counter));
    } else if (name == "--restart-after") {
      auto text = value();
      auto number = text ? ParseDecimal(*text, kMaxSigned) : std::nullopt;
      if (!number) return fail(name + " needs a number from 0 to 2147483647");
      options.restart_after = static_cast<std::uint32_t>(*number);
    } else if (name == "--no-getbulk") {
      options.no_getbulk = true;
    } else if (name == "--renumber-after") {
      auto text = value();
      auto number = text ? ParseDecimal(*text, kMaxSigned) : std::nullopt;
      if (!number) return fail(name + " needs a number from 0 to 2147483647");
      options.renumber_after = static_cast<std::uint32_t>(*number);
    } else if (name == "--clock-skew") {
      auto text = value();
      auto seconds = text ? ParseWhole<std::int32_t>(*text) : std::nullopt;
      if (!seconds) return fail("--clock-skew needs seconds, possibly negative");
      options.clock_skew_seconds = *seconds;
    } else if (name == "--bad-digest") {
      options.bad_digest = true;
    } else if (name == "--report-flood") {
      options.report_flood = true;
    } else if (name == "--replay") {
      options.replay = true;
    } else {
      return fail("unknown option \"" + name + "\"");
    }
  }
  if (result.show_help || result.show_version) return result;
  if (!have_listen) return fail("--listen is required");
  if (options.data_path.empty()) return fail("--data is required");
  if (options.port_only && ParseDecimal(options.listen_port, kMaxPort) == kStandardPort) {
    return fail("--port-only needs --listen with a port other than 161");
  }
  if (options.auth_protocol != AuthProtocol::kNone && options.v3_user.empty()) {
    return fail("--auth needs --v3-user");
  }
  if (options.priv_protocol != PrivProtocol::kNone &&
      options.auth_protocol == AuthProtocol::kNone) {
    return fail("--priv needs --auth");
  }
  // With --error-index-for, --error-status is the status of that answer alone.
  if (options.error_index_for) {
    options.error_index_status =
        options.error_status != 0 ? options.error_status : kDefaultErrorIndexStatus;
    options.error_status = 0;
  }
  return result;
}

std::string AgentUsage() {
  return "usage: agentsim --listen ADDR[:PORT] --data FILE [options]\n"
         "Answers SNMP v1, v2c and v3 GetRequests from a .snmprec data file (OID|TAG|VALUE).\n"
         "  --listen ADDR[:PORT]  address to answer on; PORT 161 by default, 0 = any free port\n"
         "  --data FILE           the .snmprec data file\n"
         "  --community C         answer only requests with community C\n"
         "  --silent              answer nothing\n"
         "  --delay MS            wait MS milliseconds before each answer\n"
         "  --wrong-id            answer with another request ID\n"
         "  --twice               send every answer twice\n"
         "  --garbage-first       send a datagram that is no SNMP message before each answer\n"
         "  --empty-first         send a 0-byte datagram before each answer\n"
         "  --from ADDR           send the answers from local address ADDR\n"
         "  --error-status N      answer with error status N (1 tooBig) and no bindings\n"
         "  --omit-missing        leave OIDs the data lacks out of a v2c answer\n"
         "  --random-faults       give half of the answers one of these faults at random\n"
         "                        (silent, 50 ms late, twice, garbage or empty datagram first,\n"
         "                        wrong ID, error status 5)\n"
         "  --max-oids N          answer tooBig (1) to requests with more than N OIDs\n"
         "  --max-size BYTES      answer tooBig (1) when the answer would exceed BYTES\n"
         "  --drop-above N        answer nothing to requests with more than N OIDs\n"
         "  --error-index-for OID answer a request naming OID with error status 2 (noSuchName,\n"
         "                        or --error-status S) and the index of that OID\n"
         "  --loss PERCENT        leave that share of requests unanswered, drawn reproducibly\n"
         "  --seed N              the seed of those draws (0 by default)\n"
         "  --port-only           a device on a non-standard port only: --listen must name a\n"
         "                        port other than 161\n"
         "  --lenient             skip malformed data lines (counted on standard error)\n"
         "                        instead of refusing the file\n"
         "  --counter OID:STEP    grow OID by STEP with every answer, wrapping at its type's\n"
         "                        width; sysUpTime.0 goes on by 1 s per answer (repeatable)\n"
         "  --restart-after N     restart after every N answers: sysUpTime.0 and the\n"
         "                        counters start again\n"
         "  --no-getbulk          answer GetBulk with genErr (5)\n"
         "  --renumber-after N    after every N answers from the data, every table\n"
         "                        instance moves to the next index\n"
         "SNMPv3 (the agent is the authoritative engine):\n"
         "  --v3-user NAME        the user it knows\n"
         "  --auth PROTO:PASS     its authentication: MD5, SHA, SHA-224, SHA-256, SHA-384,\n"
         "                        SHA-512\n"
         "  --priv PROTO:PASS     its privacy: DES, 3DES, AES, AES-192, AES-256, AES-192-C,\n"
         "                        AES-256-C\n"
         "  --engine-id HEX       the engine ID, 5 to 32 bytes (default 80007ed9046167656e7473696d)\n"
         "  --boots N             the engine boots count (1 by default)\n"
         "  --reboot-after N      restart the engine after every N answers (boots + 1)\n"
         "  --new-engine-after N  become another engine after every N answers (boots 1)\n"
         "  --bad-digest          authenticated answers carry a wrong digest\n"
         "  --report-flood        forged unauthenticated Reports before each answer\n"
         "  --replay              the previous answer again before each answer\n"
         "  --clock-skew S        after first showing its clock, the engine's clock is S\n"
         "                        seconds off\n"
         "  --version             print the version\n"
         "Stops on SIGINT or SIGTERM.\n";
}

std::string AgentVersion() { return std::string(kVersion); }

}  // namespace zelsnmp::agentsim
