// UsmAuthority: the task's own SNMPv3 engine, the authoritative one for the informs the
// devices send it (RFC 3414 makes the receiver of a confirmed message authoritative).
//
// Its engine ID is stable across restarts: it is derived from the names of the TM server and
// the machine the task connected to, so it stays the same text as long as those do, and
// differs from another task's that serves another server or machine. The format is RFC 3411's
// with the first bit set: four bytes of enterprise number, a format byte, then the octets.
// The enterprise number is 0, which IANA keeps reserved and assigns to nobody, so that the ID
// claims no vendor's number space; format 5 (octets, administratively assigned) is followed by
// 16 bytes of a hash of the two names, their ASCII letters folded to upper case since Windows
// names are case-insensitive. The hash is FNV-1a, 64 bits, run twice with two offsets: it
// needs no cryptographic library (the ID is no secret, only stable and distinct).
//
// engineBoots is given by the caller (poller/engine_boots_file.h keeps it in a file);
// engineTime is the whole seconds since `started`. The time window is RFC 3414's for an
// authoritative engine: the same boots, a time within 150 seconds either way, and boots not at
// its maximum.
//
// It also builds the messages this engine sends: Reports (of usmStats counters) and the
// secured Response to an inform. Nothing here logs or keeps a key. Used by one thread.

#ifndef ZELSNMP_SNMP_USM_AUTHORITY_H_
#define ZELSNMP_SNMP_USM_AUTHORITY_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "snmp/usm_crypto.h"
#include "snmp/usm_reports.h"
#include "snmp/v3_message.h"
#include "util/secret_bytes.h"

namespace zelsnmp {

// The task's engine ID for the TM server `tm_server` on `tm_machine` (as the task connected).
std::string AuthoritativeEngineId(std::string_view tm_server, std::string_view tm_machine);

// What one answer of this engine carries: its header and who it answers.
struct AuthorityAnswer {
  std::int32_t message_id = 0;
  SecurityLevel level = SecurityLevel::kNoAuthNoPriv;
  std::string user_name;
  std::string context_engine_id;
  std::string context_name;
  // The user's keys localized to this engine, as the level needs them.
  AuthProtocol auth = AuthProtocol::kNone;
  const SecretBytes* auth_key = nullptr;
  PrivProtocol priv = PrivProtocol::kNone;
  const SecretBytes* priv_key = nullptr;
};

class UsmAuthority {
 public:
  using Clock = std::chrono::steady_clock;

  // REQUIRES: `engine_id` is 5 to 32 bytes; 1 <= `boots`.
  UsmAuthority(std::string engine_id, std::int32_t boots, Clock::time_point started);

  const std::string& engine_id() const { return engine_id_; }
  std::int32_t boots() const { return boots_; }
  // Whole seconds since the start, at most 2147483647.
  std::int32_t EngineTime(Clock::time_point now) const;

  // RFC 3414 §3.2 step 7a, for this engine as the authoritative one.
  bool InTimeWindow(std::int32_t boots, std::int32_t time, Clock::time_point now) const;

  // A Report naming `report`'s usmStats counter and its value, with this engine's ID, boots
  // and time, answering the message of `answer.message_id`; `request_id` is the request's when
  // it could be read, else 0. At `answer.level` (noAuthNoPriv or authNoPriv). Empty when the
  // digest cannot be computed.
  // The counter goes up by one with each Report of it.
  std::string Report(const AuthorityAnswer& answer, UsmReport report, std::int32_t request_id,
                     Clock::time_point now);

  // A message of this engine carrying the PDU item `pdu`, secured at `answer.level` (encrypted
  // with a fresh salt at authPriv). Empty when it cannot be secured.
  std::string Secure(const AuthorityAnswer& answer, std::string_view pdu,
                     Clock::time_point now) const;

 private:
  std::string engine_id_;
  std::int32_t boots_;
  Clock::time_point started_;
  std::uint32_t unknown_engine_ids_ = 0;
  std::uint32_t not_in_time_windows_ = 0;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_AUTHORITY_H_
