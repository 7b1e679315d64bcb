#include "snmp/usm_auth.h"

namespace zelsnmp {

std::size_t AuthParameterLength(AuthProtocol protocol) {
  switch (protocol) {
    case AuthProtocol::kMd5: return 12;
    case AuthProtocol::kSha1: return 12;
    case AuthProtocol::kSha224: return 16;
    case AuthProtocol::kSha256: return 24;
    case AuthProtocol::kSha384: return 32;
    case AuthProtocol::kSha512: return 48;
    case AuthProtocol::kNone: break;
  }
  return 0;
}

std::string AuthenticationCode(AuthProtocol protocol, const SecretBytes& localized_key,
                               std::string_view whole_message_with_zeroed_parameters) {
  const std::size_t length = AuthParameterLength(protocol);
  if (length == 0 || localized_key.empty()) return std::string();
  std::string code =
      HmacOf(protocol, localized_key.view(), whole_message_with_zeroed_parameters);
  if (code.size() < length) return std::string();
  code.resize(length);
  return code;
}

bool AuthenticationCodeMatches(AuthProtocol protocol, const SecretBytes& localized_key,
                               std::string_view whole_message_with_zeroed_parameters,
                               std::string_view received_code) {
  if (received_code.size() != AuthParameterLength(protocol)) return false;
  const std::string expected =
      AuthenticationCode(protocol, localized_key, whole_message_with_zeroed_parameters);
  if (expected.empty() || expected.size() != received_code.size()) return false;
  // Every byte is looked at, so the time taken does not tell a forger how much was right.
  unsigned char difference = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    difference |= static_cast<unsigned char>(expected[i] ^ received_code[i]);
  }
  return difference == 0;
}

}  // namespace zelsnmp
