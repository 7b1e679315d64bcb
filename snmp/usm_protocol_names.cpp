#include "snmp/usm_protocol_names.h"

#include <array>
#include <cstddef>

#include "util/ascii_case.h"

namespace zelsnmp {
namespace {

constexpr std::string_view kNoProtocolName = "none";

// Each protocol's own name comes first among its spellings.
constexpr std::array<std::string_view, 11> kAuthSpellings = {
    "MD5", "SHA", "SHA1", "SHA-224", "SHA224", "SHA-256", "SHA256",
    "SHA-384", "SHA384", "SHA-512", "SHA512",
};
constexpr std::array<AuthProtocol, kAuthSpellings.size()> kAuthMeanings = {
    AuthProtocol::kMd5,    AuthProtocol::kSha1,   AuthProtocol::kSha1,   AuthProtocol::kSha224,
    AuthProtocol::kSha224, AuthProtocol::kSha256, AuthProtocol::kSha256, AuthProtocol::kSha384,
    AuthProtocol::kSha384, AuthProtocol::kSha512, AuthProtocol::kSha512,
};

constexpr std::array<std::string_view, 13> kPrivSpellings = {
    "DES",     "3DES",   "AES",       "AES-128", "AES128",    "AES-192", "AES192",
    "AES-256", "AES256", "AES-192-C", "AES192C", "AES-256-C", "AES256C",
};
constexpr std::array<PrivProtocol, kPrivSpellings.size()> kPrivMeanings = {
    PrivProtocol::kDes,          PrivProtocol::kTripleDes,    PrivProtocol::kAes128,
    PrivProtocol::kAes128,       PrivProtocol::kAes128,       PrivProtocol::kAes192,
    PrivProtocol::kAes192,       PrivProtocol::kAes256,       PrivProtocol::kAes256,
    PrivProtocol::kAes192Reeder, PrivProtocol::kAes192Reeder, PrivProtocol::kAes256Reeder,
    PrivProtocol::kAes256Reeder,
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view WithoutBlanksAround(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

template <typename Protocol, std::size_t kCount>
std::optional<Protocol> ByName(std::string_view name,
                               const std::array<std::string_view, kCount>& spellings,
                               const std::array<Protocol, kCount>& meanings) {
  name = WithoutBlanksAround(name);
  for (std::size_t i = 0; i < kCount; ++i) {
    if (SameIgnoringAsciiCase(name, spellings[i])) return meanings[i];
  }
  return std::nullopt;
}

template <typename Protocol, std::size_t kCount>
std::string_view OwnName(Protocol protocol, const std::array<std::string_view, kCount>& spellings,
                         const std::array<Protocol, kCount>& meanings) {
  for (std::size_t i = 0; i < kCount; ++i) {
    if (meanings[i] == protocol) return spellings[i];
  }
  return kNoProtocolName;
}

}  // namespace

std::optional<AuthProtocol> AuthProtocolByName(std::string_view name) {
  return ByName(name, kAuthSpellings, kAuthMeanings);
}

std::optional<PrivProtocol> PrivProtocolByName(std::string_view name) {
  return ByName(name, kPrivSpellings, kPrivMeanings);
}

std::string_view AuthProtocolName(AuthProtocol protocol) {
  return OwnName(protocol, kAuthSpellings, kAuthMeanings);
}

std::string_view PrivProtocolName(PrivProtocol protocol) {
  return OwnName(protocol, kPrivSpellings, kPrivMeanings);
}

std::span<const std::string_view> AuthProtocolSpellings() { return kAuthSpellings; }
std::span<const std::string_view> PrivProtocolSpellings() { return kPrivSpellings; }

}  // namespace zelsnmp
