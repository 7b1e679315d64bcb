#include "snmp/usm_privacy.h"

#include <mutex>

#include "snmp/usm_keys.h"
#include "sys/random.h"

namespace zelsnmp {
namespace {

constexpr std::size_t kDesBlockBytes = 8;
constexpr std::size_t kDesKeyBytes = 8;
constexpr std::size_t kTripleDesKeyBytes = 24;

bool IsDesFamily(PrivProtocol protocol) {
  return protocol == PrivProtocol::kDes || protocol == PrivProtocol::kTripleDes;
}

void AppendBigEndian32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

void AppendBigEndian64(std::string& out, std::uint64_t value) {
  AppendBigEndian32(out, static_cast<std::uint32_t>(value >> 32));
  AppendBigEndian32(out, static_cast<std::uint32_t>(value));
}

// The key length the protocol's cipher takes (the rest of a DES-family key is the pre-IV).
std::size_t CipherKeyBytes(PrivProtocol protocol) {
  if (protocol == PrivProtocol::kDes) return kDesKeyBytes;
  if (protocol == PrivProtocol::kTripleDes) return kTripleDesKeyBytes;
  return PrivacyKeyLength(protocol);
}

CipherAlgorithm AlgorithmOf(PrivProtocol protocol) {
  if (protocol == PrivProtocol::kDes) return CipherAlgorithm::kDesCbc;
  if (protocol == PrivProtocol::kTripleDes) return CipherAlgorithm::kTripleDesEdeCbc;
  return CipherAlgorithm::kAesCfb128;
}

// The IV from the privacy parameters (the salt as sent) and the key or the engine clock. A
// DES-family IV gives away the pre-IV to anyone who sees the salt, so it is wiped like a key.
SecretBytes InitialVector(PrivProtocol protocol, const SecretBytes& key,
                          std::int32_t engine_boots, std::int32_t engine_time,
                          std::string_view privacy_parameters) {
  if (IsDesFamily(protocol)) {
    SecretBytes iv(key.view().substr(CipherKeyBytes(protocol), kDesBlockBytes));
    for (std::size_t i = 0; i < kDesBlockBytes; ++i) {
      iv.data()[i] ^= static_cast<unsigned char>(privacy_parameters[i]);
    }
    return iv;
  }
  std::string iv;
  AppendBigEndian32(iv, static_cast<std::uint32_t>(engine_boots));
  AppendBigEndian32(iv, static_cast<std::uint32_t>(engine_time));
  iv.append(privacy_parameters);
  return SecretBytes(iv);
}

bool KeyFits(PrivProtocol protocol, const SecretBytes& key) {
  return protocol != PrivProtocol::kNone && key.size() == PrivacyKeyLength(protocol);
}

}  // namespace

bool NextPrivacySalt(std::uint64_t& salt) {
  static std::mutex mutex;
  static bool started = false;
  static std::uint64_t next = 0;
  std::lock_guard<std::mutex> lock(mutex);
  if (!started) {
    if (!FillRandomBytes(&next, sizeof next)) return false;
    started = true;
  }
  salt = next++;
  return true;
}

bool EncryptScopedPdu(PrivProtocol protocol, const SecretBytes& localized_privacy_key,
                      std::int32_t engine_boots, std::int32_t engine_time,
                      std::string_view plaintext, std::string& encrypted,
                      std::string& privacy_parameters) {
  encrypted.clear();
  privacy_parameters.clear();
  std::uint64_t salt = 0;
  if (!KeyFits(protocol, localized_privacy_key) || !NextPrivacySalt(salt)) return false;
  return EncryptScopedPduWithSalt(protocol, localized_privacy_key, engine_boots, engine_time,
                                  salt, plaintext, encrypted, privacy_parameters);
}

bool EncryptScopedPduWithSalt(PrivProtocol protocol, const SecretBytes& localized_privacy_key,
                              std::int32_t engine_boots, std::int32_t engine_time,
                              std::uint64_t salt, std::string_view plaintext,
                              std::string& encrypted, std::string& privacy_parameters) {
  encrypted.clear();
  privacy_parameters.clear();
  if (!KeyFits(protocol, localized_privacy_key) || plaintext.empty()) return false;
  std::string parameters;
  std::string padded(plaintext);
  if (IsDesFamily(protocol)) {
    AppendBigEndian32(parameters, static_cast<std::uint32_t>(engine_boots));
    AppendBigEndian32(parameters, static_cast<std::uint32_t>(salt));
    padded.resize((padded.size() + kDesBlockBytes - 1) / kDesBlockBytes * kDesBlockBytes, '\0');
  } else {
    AppendBigEndian64(parameters, salt);
  }
  const SecretBytes iv = InitialVector(protocol, localized_privacy_key, engine_boots,
                                       engine_time, parameters);
  const std::string_view key =
      localized_privacy_key.view().substr(0, CipherKeyBytes(protocol));
  if (!RunCipher(AlgorithmOf(protocol), CipherDirection::kEncrypt, key, iv.view(), padded,
                 encrypted)) {
    return false;
  }
  privacy_parameters = parameters;
  return true;
}

bool DecryptScopedPdu(PrivProtocol protocol, const SecretBytes& localized_privacy_key,
                      std::int32_t engine_boots, std::int32_t engine_time,
                      std::string_view privacy_parameters, std::string_view encrypted,
                      std::string& plaintext) {
  plaintext.clear();
  if (!KeyFits(protocol, localized_privacy_key) ||
      privacy_parameters.size() != kPrivacyParameterBytes || encrypted.empty()) {
    return false;
  }
  if (IsDesFamily(protocol) && encrypted.size() % kDesBlockBytes != 0) return false;
  const SecretBytes iv = InitialVector(protocol, localized_privacy_key, engine_boots,
                                       engine_time, privacy_parameters);
  const std::string_view key =
      localized_privacy_key.view().substr(0, CipherKeyBytes(protocol));
  return RunCipher(AlgorithmOf(protocol), CipherDirection::kDecrypt, key, iv.view(), encrypted,
                   plaintext);
}

}  // namespace zelsnmp
