// The command line of the agent simulator:
//
//   agentsim --listen ADDR[:PORT] --data FILE [fault options]
//
// ADDR is an IPv4 literal or a bracketed IPv6 literal ("[::1]:1161"); PORT defaults to 161,
// and 0 lets the system choose (the chosen port is printed at start). The fault options make
// the agent misbehave the way devices and networks do; they combine. --port-only stands for a
// device that answers on a non-standard port only: the command line must then name another
// port than 161 (or 0), so that requests to the standard port find nobody there.

#ifndef ZELSNMP_TOOLS_AGENTSIM_AGENT_OPTIONS_H_
#define ZELSNMP_TOOLS_AGENTSIM_AGENT_OPTIONS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "snmp/usm_crypto.h"
#include "util/secret_bytes.h"

namespace zelsnmp::agentsim {

// --counter OID:STEP (tools/agentsim/device_counters.h).
struct CounterStep {
  std::string oid;
  std::uint64_t step = 0;
};

struct AgentOptions {
  std::string listen_address;
  std::string listen_port = "161";
  std::string data_path;
  std::optional<std::string> community;   // requests with another community go unanswered
  bool silent = false;                    // answer nothing
  int delay_ms = 0;                       // wait this long before answering
  bool wrong_id = false;                  // answer with another request ID
  bool twice = false;                     // send every answer twice
  bool garbage_first = false;             // send bytes that are no SNMP message first
  bool empty_first = false;               // send a 0-byte datagram first
  std::string from_address;               // answer from this local address instead
  int error_status = 0;                   // when not 0: answer with it and no bindings
  bool omit_missing = false;              // leave OIDs the data lacks out of a v2c answer
  bool random_faults = false;             // each answer gets one of the faults above at random
  bool lenient = false;                   // skip malformed data lines, do not refuse the file
  std::optional<std::size_t> max_oids;    // tooBig to requests with more bindings
  std::optional<std::size_t> max_size;    // tooBig when the answer would take more bytes
  std::optional<std::size_t> drop_above;  // no answer to requests with more bindings
  // A request naming this OID is answered with `error_index_status` and the OID's index.
  std::optional<std::string> error_index_for;
  int error_index_status = 0;
  int loss_percent = 0;    // share of requests left unanswered
  std::uint32_t seed = 0;  // of the draws that decide which requests are lost
  bool port_only = false;  // refuse to listen on port 161
  // A device whose counters grow and whose sysUpTime.0 goes on by one second per answer, and
  // which restarts after every `restart_after` answers (0: never).
  std::vector<CounterStep> counters;
  std::uint32_t restart_after = 0;
  // Every instance of the data's tables (an OID whose last arc is not 0) moves to the next
  // index, its last arc one higher, after every `renumber_after` requests answered from the
  // data (0: never).
  std::uint32_t renumber_after = 0;
  // GetBulk answered with genErr (5), as by a device that does not know it.
  bool no_getbulk = false;

  // SNMPv3: the one user the agent's engine knows (none when `v3_user` is empty: every
  // version-3 request then meets an unknown user) and the engine itself. The passphrases are
  // kept as secrets and never printed.
  std::string v3_user;
  AuthProtocol auth_protocol = AuthProtocol::kNone;
  SecretBytes auth_passphrase;
  PrivProtocol priv_protocol = PrivProtocol::kNone;
  SecretBytes priv_passphrase;
  std::string engine_id;           // the bytes; empty for the default engine ID
  std::int32_t engine_boots = 1;
  // Version-3 faults: every N answered version-3 requests the engine restarts (boots + 1,
  // time from 0) or becomes another engine (new ID, boots 1); 0 for never.
  std::uint32_t reboot_after = 0;
  std::uint32_t new_engine_after = 0;
  bool bad_digest = false;    // authenticated answers carry a wrong digest
  bool report_flood = false;  // forged unauthenticated Reports before each answer
  bool replay = false;        // the previous answer again before each answer
  // After the engine first showed its clock in an authenticated message, the clock is this
  // many seconds off the one shown.
  std::int32_t clock_skew_seconds = 0;
};

struct AgentOptionsResult {
  AgentOptions options;
  bool show_help = false;
  bool show_version = false;
  std::string error;  // empty when the command line was understood
};

// `arguments` without the program name.
AgentOptionsResult ParseAgentOptions(const std::vector<std::string>& arguments);

// Splits ADDR[:PORT]; false when the text is no address with an optional decimal port.
bool SplitListenAddress(std::string_view text, std::string& address, std::string& port);

std::string AgentUsage();

// "agentsim VERSION".
std::string AgentVersion();

}  // namespace zelsnmp::agentsim

#endif  // ZELSNMP_TOOLS_AGENTSIM_AGENT_OPTIONS_H_
