// Privacy of the SNMPv3 user-based security model: encryption and decryption of a message's
// scoped PDU under the user's localized privacy key (exactly PrivacyKeyLength bytes, see
// usm_keys.h).
//
//   DES and 3DES (CBC): salt = engine boots (4 bytes, big-endian) || 32-bit counter;
//     IV = pre-IV (the key's last 8 bytes) XOR salt; the plaintext is padded with zero bytes
//     to a multiple of 8; privacy parameters = the salt.
//   AES (CFB, 128-bit feedback), every key length and key extension: IV = engine boots (4) ||
//     engine time (4) || 64-bit salt, all big-endian; no padding, the last block may be
//     partial; privacy parameters = the 64-bit salt.
//
// The salt is a process-wide counter that starts at a value drawn from the platform's random
// source and grows by one per encryption, so that no IV repeats under one key. Failures are
// reported by a false result with the outputs empty; nothing here logs or throws.

#ifndef ZELSNMP_SNMP_USM_PRIVACY_H_
#define ZELSNMP_SNMP_USM_PRIVACY_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "snmp/usm_crypto.h"
#include "util/secret_bytes.h"

namespace zelsnmp {

// The length of msgPrivacyParameters of every privacy protocol.
constexpr std::size_t kPrivacyParameterBytes = 8;

// The next salt of the process; false when the random source could not give the start value.
bool NextPrivacySalt(std::uint64_t& salt);

// Encrypts with the next salt of the process. False when the protocol is kNone, the key has
// not the protocol's length, the scoped PDU is empty, the salt cannot be drawn or the cipher
// fails.
bool EncryptScopedPdu(PrivProtocol protocol, const SecretBytes& localized_privacy_key,
                      std::int32_t engine_boots, std::int32_t engine_time,
                      std::string_view plaintext, std::string& encrypted,
                      std::string& privacy_parameters);

// The same with a given salt (DES and 3DES take its low 32 bits).
bool EncryptScopedPduWithSalt(PrivProtocol protocol, const SecretBytes& localized_privacy_key,
                              std::int32_t engine_boots, std::int32_t engine_time,
                              std::uint64_t salt, std::string_view plaintext,
                              std::string& encrypted, std::string& privacy_parameters);

// Decrypts a received scoped PDU; `engine_boots` and `engine_time` are those of the message
// (AES only). The plaintext of DES and 3DES keeps its padding (the BER decoder stops at the
// end of the scoped PDU). False on a key of the wrong length, privacy parameters not 8 bytes,
// empty ciphertext, DES or 3DES ciphertext not a multiple of 8 bytes, or a cipher failure.
bool DecryptScopedPdu(PrivProtocol protocol, const SecretBytes& localized_privacy_key,
                      std::int32_t engine_boots, std::int32_t engine_time,
                      std::string_view privacy_parameters, std::string_view encrypted,
                      std::string& plaintext);

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_PRIVACY_H_
