// libFuzzer target: the version-3 receive path of a session at authPriv, under fixed
// passphrases and a pinned engine. The input is taken three ways: as a datagram as it stands
// (it must be dropped or refused, never crash); as the encrypted scoped PDU of an answer that
// carries the request's msgID and a valid digest (so the decryption and everything behind it
// is reached); and as the plaintext scoped PDU of such an answer, encrypted here first (so the
// scoped PDU and PDU decoders and the Report handling are reached). Checks that an accepted
// answer carries the request's ID.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_require.h"
#include "snmp/snmp_message.h"
#include "snmp/usm_auth.h"
#include "snmp/usm_keys.h"
#include "snmp/usm_privacy.h"
#include "snmp/usm_session.h"
#include "snmp/v3_message.h"

namespace {

using namespace zelsnmp;

using namespace std::string_view_literals;
constexpr std::string_view kEngineId = "\x80\x00\x1f\x88\x80zelfuzz"sv;
constexpr std::string_view kUser = "fuzzuser";

struct Fixture {
  UsmKeyCache keys;
  std::unique_ptr<UsmSession> sessions[2];
  PrivProtocol privacy[2] = {PrivProtocol::kAes128, PrivProtocol::kDes};

  Fixture() {
    for (int i = 0; i < 2; ++i) {
      UsmSecurity security;
      security.user_name = std::string(kUser);
      security.auth = AuthProtocol::kSha1;
      security.auth_passphrase = SecretBytes("fuzz auth phrase");
      security.priv = privacy[i];
      security.priv_passphrase = SecretBytes("fuzz priv phrase");
      security.pinned_engine_id = std::string(kEngineId);
      sessions[i] = std::make_unique<UsmSession>(std::move(security), keys);
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  if (size < 1) return 0;
  const int which = data[0] & 1;
  const bool encrypt_here = (data[0] & 2) != 0;
  const bool as_report_level = (data[0] & 4) != 0;
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  UsmSession& session = *fixture.sessions[which];
  const auto now = std::chrono::steady_clock::now();

  TSNMPRec query;
  query.PDUType = PduGetRequest;
  query.ID = 4242;
  query.AddBinding("1.3.6.1.2.1.1.5.0", "", 0x05);
  SecuredRequest request;
  if (!session.BeginRequest(query, request, now)) return 0;
  TSNMPRec reply;

  // As it stands.
  if (session.TakeDatagram(request, input, reply, now) == SecuredStep::kAnswered) {
    Require(reply.ID == 4242);
  }

  // As the encrypted or plaintext scoped PDU of an authenticated answer.
  const SecretBytes auth_key =
      fixture.keys.AuthenticationKey(AuthProtocol::kSha1, "fuzz auth phrase", kEngineId);
  const SecretBytes priv_key = fixture.keys.PrivacyKey(AuthProtocol::kSha1, fixture.privacy[which],
                                                       "fuzz priv phrase", kEngineId);
  const EngineClock clock = session.engine().ClockToSend(now);
  UsmSecurityParameters security{std::string(kEngineId), clock.boots, clock.time,
                                 std::string(kUser), std::string(), std::string()};
  std::string encrypted;
  if (encrypt_here) {
    if (!EncryptScopedPdu(fixture.privacy[which], priv_key, clock.boots, clock.time, input,
                          encrypted, security.privacy_parameters)) {
      return 0;
    }
  } else {
    security.privacy_parameters = std::string(kPrivacyParameterBytes, '\x11');
    encrypted = input;
  }
  const std::uint8_t flags = as_report_level ? kV3FlagAuth : kV3FlagAuth | kV3FlagPriv;
  const V3Header header{request.step_id, kV3MaxMessageSizeBytes, flags, kUserSecurityModel};
  EncodedV3Message message = EncodeV3Message(
      header, security, AuthParameterLength(AuthProtocol::kSha1),
      as_report_level ? std::string_view(input) : std::string_view(encrypted));
  Require(PlaceAuthenticationCode(message,
                                  AuthenticationCode(AuthProtocol::kSha1, auth_key, message.bytes)));
  if (session.TakeDatagram(request, message.bytes, reply, now) == SecuredStep::kAnswered) {
    Require(reply.ID == 4242 && reply.Version == kSnmpVersion3);
  }
  return 0;
}
