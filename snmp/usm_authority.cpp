#include "snmp/usm_authority.h"

#include <utility>

#include "snmp/ber.h"
#include "snmp/snmp_message.h"
#include "snmp/usm_auth.h"
#include "snmp/usm_engine.h"
#include "snmp/usm_privacy.h"

namespace zelsnmp {
namespace {

constexpr std::uint64_t kFnvPrime = 0x100000001b3ull;
constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ull;
// The second run starts elsewhere, so that the two halves are independent.
constexpr std::uint64_t kSecondOffset = 0x84222325cbf29ce4ull;

std::uint64_t Fnv1a(std::uint64_t hash, std::string_view bytes) {
  for (const char c : bytes) {
    char folded = c;
    if (folded >= 'a' && folded <= 'z') folded = static_cast<char>(folded - 'a' + 'A');
    hash ^= static_cast<unsigned char>(folded);
    hash *= kFnvPrime;
  }
  return hash;
}

void AppendBigEndian(std::string& out, std::uint64_t value) {
  for (int shift = 56; shift >= 0; shift -= 8) {
    out += static_cast<char>((value >> shift) & 0xFF);
  }
}

}  // namespace

std::string AuthoritativeEngineId(std::string_view tm_server, std::string_view tm_machine) {
  // The names joined with a byte that neither can hold, so that ("ab", "c") and ("a", "bc")
  // differ.
  std::string names(tm_server);
  names += '\0';
  names += tm_machine;
  std::string id("\x80\x00\x00\x00\x05", 5);
  AppendBigEndian(id, Fnv1a(kFnvOffset, names));
  AppendBigEndian(id, Fnv1a(kSecondOffset, names));
  return id;
}

UsmAuthority::UsmAuthority(std::string engine_id, std::int32_t boots, Clock::time_point started)
    : engine_id_(std::move(engine_id)), boots_(boots), started_(started) {}

std::int32_t UsmAuthority::EngineTime(Clock::time_point now) const {
  if (now <= started_) return 0;
  const std::int64_t seconds =
      std::chrono::duration_cast<std::chrono::seconds>(now - started_).count();
  return seconds > UsmEngineState::kMaxEngineTime ? UsmEngineState::kMaxEngineTime
                                                  : static_cast<std::int32_t>(seconds);
}

bool UsmAuthority::InTimeWindow(std::int32_t boots, std::int32_t time,
                                Clock::time_point now) const {
  if (boots_ >= UsmEngineState::kMaxEngineBoots || boots != boots_) return false;
  const std::int64_t difference = std::int64_t{time} - std::int64_t{EngineTime(now)};
  return difference <= UsmEngineState::kTimeWindowSeconds &&
         difference >= -std::int64_t{UsmEngineState::kTimeWindowSeconds};
}

std::string UsmAuthority::Report(const AuthorityAnswer& answer, UsmReport report,
                                 std::int32_t request_id, Clock::time_point now) {
  std::uint32_t count = 1;
  if (report == UsmReport::kUnknownEngineId) count = ++unknown_engine_ids_;
  if (report == UsmReport::kNotInTimeWindow) count = ++not_in_time_windows_;
  std::string binding = BuildBerObject(OidTextToBer(UsmReportOid(report)), TagObjectId);
  binding += BuildBerObject(EncodeBerUnsigned(count), TagCounter32);
  std::string pdu = BuildBerObject(EncodeBerInteger(request_id), TagInteger);
  pdu += BuildBerObject(EncodeBerInteger(0), TagInteger);
  pdu += BuildBerObject(EncodeBerInteger(0), TagInteger);
  pdu += BuildBerObject(BuildBerObject(binding, TagSequence), TagSequence);
  AuthorityAnswer plain = answer;
  // A Report is never encrypted: the sender may not be able to decrypt.
  if (plain.level == SecurityLevel::kAuthPriv) plain.level = SecurityLevel::kAuthNoPriv;
  return Secure(plain, BuildBerObject(pdu, PduReport), now);
}

std::string UsmAuthority::Secure(const AuthorityAnswer& answer, std::string_view pdu,
                                 Clock::time_point now) const {
  const std::int32_t time = EngineTime(now);
  UsmSecurityParameters parameters{engine_id_,       boots_,        time,
                                   answer.user_name, std::string(), std::string()};
  std::string data =
      EncodeScopedPdu({answer.context_engine_id, answer.context_name, std::string(pdu)});
  const bool authenticated = answer.level != SecurityLevel::kNoAuthNoPriv;
  if (authenticated && answer.auth_key == nullptr) return std::string();
  if (answer.level == SecurityLevel::kAuthPriv) {
    if (answer.priv_key == nullptr) return std::string();
    std::string encrypted;
    if (!EncryptScopedPdu(answer.priv, *answer.priv_key, boots_, time, data, encrypted,
                          parameters.privacy_parameters)) {
      return std::string();
    }
    data = std::move(encrypted);
  }
  std::uint8_t flags = 0;
  if (authenticated) flags |= kV3FlagAuth;
  if (answer.level == SecurityLevel::kAuthPriv) flags |= kV3FlagPriv;
  const V3Header header{answer.message_id, kV3MaxMessageSizeBytes, flags, kUserSecurityModel};
  EncodedV3Message message = EncodeV3Message(
      header, parameters, authenticated ? AuthParameterLength(answer.auth) : 0, data);
  if (authenticated &&
      !PlaceAuthenticationCode(message,
                               AuthenticationCode(answer.auth, *answer.auth_key, message.bytes))) {
    return std::string();
  }
  return std::move(message.bytes);
}

}  // namespace zelsnmp
