// The version-3 message of the user-based security model: its header (msgGlobalData), its
// security parameters and its data, as bytes and back.
//
//   SEQUENCE {
//     INTEGER 3
//     SEQUENCE { msgID, msgMaxSize, msgFlags (OCTET STRING of one byte), msgSecurityModel }
//     OCTET STRING { SEQUENCE { engine ID, engine boots, engine time, user name,
//                               authentication parameters, privacy parameters } }
//     scoped PDU: SEQUENCE { context engine ID, context name, PDU }
//       or, when the privacy flag is set, OCTET STRING of the encrypted scoped PDU }
//
// The message carries no cryptography itself: encoding leaves the authentication parameters as
// zero bytes and says where they are, so that the digest computed over the whole message can be
// written there in place; decoding says where the received ones are, so that the verifier can
// zero them in a copy and compare. Encryption and decryption of the scoped PDU happen outside,
// on the bytes EncodeScopedPdu gives and DecodeScopedPdu takes.
//
// A request: TSNMPRec::EncodePdu, EncodeScopedPdu, encryption when private, EncodeV3Message,
// the digest over the bytes into PlaceAuthenticationCode when authenticated. An answer:
// DecodeV3Message, FitOfAnswer, the digest over WithZeroedAuthParameters compared with the
// received parameters, UsmEngineState::CheckAuthenticated, decryption when private, then
// DecodeScopedPdu and TSNMPRec::DecodePdu.
//
// Decoding is strict on the outer structure: every item must have its tag, a definite length of
// at most four length bytes that ends within its parent, and the items must fill their parents
// exactly; integers must be whole non-negative 32-bit numbers. Anything else is refused with a
// false result, whatever the input, and nothing outside it is read. The scoped PDU and the PDU
// inside are read only when the caller asks (DecodeScopedPdu, then TSNMPRec::DecodePdu), after
// it has checked the header and the digest.
//
// No routine throws (beyond exhausted memory) or keeps state; any thread may use them.

#ifndef ZELSNMP_SNMP_V3_MESSAGE_H_
#define ZELSNMP_SNMP_V3_MESSAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelsnmp {

// msgFlags bits.
constexpr std::uint8_t kV3FlagAuth = 0x01;
constexpr std::uint8_t kV3FlagPriv = 0x02;
constexpr std::uint8_t kV3FlagReportable = 0x04;

constexpr std::int32_t kUserSecurityModel = 3;
// The largest message the task takes, announced in every request: a UDP datagram's payload
// over IPv4.
constexpr std::int32_t kV3MaxMessageSizeBytes = 65507;
// The smallest msgMaxSize an engine may announce.
constexpr std::int32_t kV3MinMessageSizeBytes = 484;
// Engine IDs and user names are at most this long.
constexpr std::size_t kV3MaxEngineIdBytes = 32;
constexpr std::size_t kV3MaxUserNameBytes = 32;

enum class SecurityLevel { kNoAuthNoPriv, kAuthNoPriv, kAuthPriv };

// The msgFlags of a request at `level`: reportable, with authentication and privacy as the
// level asks.
std::uint8_t RequestFlags(SecurityLevel level);
// The level msgFlags give; privacy without authentication counts as none (such a message does
// not decode).
SecurityLevel SecurityLevelOf(std::uint8_t flags);
// "noAuthNoPriv", "authNoPriv" or "authPriv", as operators know the levels.
std::string_view SecurityLevelName(SecurityLevel level);

struct V3Header {
  std::int32_t message_id = 0;
  std::int32_t max_size = kV3MaxMessageSizeBytes;
  std::uint8_t flags = 0;
  std::int32_t security_model = kUserSecurityModel;
};

struct UsmSecurityParameters {
  std::string engine_id;  // the authoritative engine's ID; empty in a discovery request
  std::int32_t engine_boots = 0;
  std::int32_t engine_time = 0;
  std::string user_name;
  // As received. Encoding writes zero bytes of the length it is given instead.
  std::string auth_parameters;
  std::string privacy_parameters;  // the salt of the encryption; empty without privacy
};

struct ScopedPdu {
  std::string context_engine_id;
  std::string context_name;
  std::string pdu;  // the PDU item, as TSNMPRec::EncodePdu writes it and DecodePdu reads it
};

struct EncodedV3Message {
  std::string bytes;
  // Where the authentication parameters' content lies in `bytes` (all zero bytes).
  std::size_t auth_parameters_offset = 0;
  std::size_t auth_parameters_length = 0;
};

struct DecodedV3Message {
  V3Header header;
  UsmSecurityParameters security;
  // Where the received authentication parameters' content lies in the decoded bytes.
  std::size_t auth_parameters_offset = 0;
  // With the privacy flag the encrypted scoped PDU (the OCTET STRING's content); without it the
  // whole scoped PDU item, for DecodeScopedPdu.
  std::string data;
};

// The scoped PDU item: the plaintext of msgData, and what is encrypted with privacy.
std::string EncodeScopedPdu(const ScopedPdu& scoped);

// Reads the scoped PDU item at the start of `bytes`; bytes behind it (the padding a block
// cipher leaves) are ignored. The PDU is taken as a whole constructed item, not read further.
// False when the item or its three parts are malformed or cut short.
bool DecodeScopedPdu(std::string_view bytes, ScopedPdu& scoped);

// The whole message. `data` is the scoped PDU item (EncodeScopedPdu) when the privacy flag of
// header.flags is clear, else the encrypted scoped PDU, which is wrapped in an OCTET STRING
// here. The authentication parameters are `auth_parameters_length` zero bytes, whatever
// security.auth_parameters holds (0 for a message without authentication).
// REQUIRES: the numbers are non-negative.
EncodedV3Message EncodeV3Message(const V3Header& header, const UsmSecurityParameters& security,
                                 std::size_t auth_parameters_length, std::string_view data);

// Writes the digest `code` over the zero bytes EncodeV3Message left. False, writing nothing,
// when its length is not the one reserved.
bool PlaceAuthenticationCode(EncodedV3Message& message, std::string_view code);

// Reads the header and security parameters of a version-3 message and takes its data as it
// stands. `bytes` must be exactly one message. False when it is not a well-formed version-3
// message of the user-based security model, or its flags ask for privacy without
// authentication; `message` is then unspecified.
bool DecodeV3Message(std::string_view bytes, DecodedV3Message& message);

// How a decoded message stands to the request of `message_id` sent at `level`. An answer
// carries the request's msgID and comes at the request's level; only a Report may come at a
// lower one (an engine that cannot authenticate or decrypt a request says so without), and its
// PDU type is to be checked once it is read. Anything else answers nothing.
enum class AnswerFit { kNotAnAnswer, kSameLevel, kLowerLevel };
AnswerFit FitOfAnswer(const V3Header& answer, std::int32_t message_id, SecurityLevel level);

// `bytes` with its authentication parameters zeroed, as they were when the sender computed
// the digest. REQUIRES: `message` was decoded from `bytes`.
std::string WithZeroedAuthParameters(std::string_view bytes, const DecodedV3Message& message);

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_V3_MESSAGE_H_
