#include "snmp/usm_crypto.h"

#include <array>

namespace zelsnmp {
namespace {

struct AuthEntry {
  AuthProtocol protocol;
  std::string_view name;
  std::size_t digest_length;
};
constexpr std::array<AuthEntry, 6> kAuthProtocols = {{
    {AuthProtocol::kMd5, "MD5", 16},
    {AuthProtocol::kSha1, "SHA", 20},
    {AuthProtocol::kSha224, "SHA-224", 28},
    {AuthProtocol::kSha256, "SHA-256", 32},
    {AuthProtocol::kSha384, "SHA-384", 48},
    {AuthProtocol::kSha512, "SHA-512", 64},
}};

struct PrivEntry {
  PrivProtocol protocol;
  std::string_view name;
};
constexpr std::array<PrivEntry, 7> kPrivProtocols = {{
    {PrivProtocol::kDes, "DES"},
    {PrivProtocol::kTripleDes, "3DES"},
    {PrivProtocol::kAes128, "AES"},
    {PrivProtocol::kAes192, "AES-192"},
    {PrivProtocol::kAes256, "AES-256"},
    {PrivProtocol::kAes192Reeder, "AES-192-C"},
    {PrivProtocol::kAes256Reeder, "AES-256-C"},
}};

// "AES-128" is accepted as another spelling of "AES", as the configuration's own example writes it.
constexpr std::string_view kAes128OtherName = "AES-128";

constexpr std::string_view kNoProtocolName = "none";

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::optional<AuthProtocol> AuthProtocolByName(std::string_view name) {
  for (const AuthEntry& entry : kAuthProtocols) {
    if (SameIgnoringCase(name, entry.name)) return entry.protocol;
  }
  return std::nullopt;
}

std::optional<PrivProtocol> PrivProtocolByName(std::string_view name) {
  if (SameIgnoringCase(name, kAes128OtherName)) return PrivProtocol::kAes128;
  for (const PrivEntry& entry : kPrivProtocols) {
    if (SameIgnoringCase(name, entry.name)) return entry.protocol;
  }
  return std::nullopt;
}

std::string_view AuthProtocolName(AuthProtocol protocol) {
  for (const AuthEntry& entry : kAuthProtocols) {
    if (entry.protocol == protocol) return entry.name;
  }
  return kNoProtocolName;
}

std::string_view PrivProtocolName(PrivProtocol protocol) {
  for (const PrivEntry& entry : kPrivProtocols) {
    if (entry.protocol == protocol) return entry.name;
  }
  return kNoProtocolName;
}

std::size_t DigestLength(AuthProtocol protocol) {
  for (const AuthEntry& entry : kAuthProtocols) {
    if (entry.protocol == protocol) return entry.digest_length;
  }
  return 0;
}

SecretBytes HashOf(AuthProtocol protocol, std::string_view bytes) {
  HashComputation hash(protocol);
  hash.Add(bytes);
  return hash.Finish();
}

}  // namespace zelsnmp
