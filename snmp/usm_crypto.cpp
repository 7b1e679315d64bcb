#include "snmp/usm_crypto.h"

namespace zelsnmp {

std::size_t DigestLength(AuthProtocol protocol) {
  switch (protocol) {
    case AuthProtocol::kMd5: return 16;
    case AuthProtocol::kSha1: return 20;
    case AuthProtocol::kSha224: return 28;
    case AuthProtocol::kSha256: return 32;
    case AuthProtocol::kSha384: return 48;
    case AuthProtocol::kSha512: return 64;
    case AuthProtocol::kNone: break;
  }
  return 0;
}

SecretBytes HashOf(AuthProtocol protocol, std::string_view bytes) {
  HashComputation hash(protocol);
  hash.Add(bytes);
  return hash.Finish();
}

}  // namespace zelsnmp
