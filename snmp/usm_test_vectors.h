// Test support: keys of the passphrase "maplesyrup" at the engine 000000000000000000000002 (the
// example of the user-based security model's key localization), for every hash, and the
// privacy keys whose derivation extends the localized key. MD5 and SHA-1 are the published
// example values; every value was also accepted by net-snmp's snmpd as a localized key given
// to snmpget (usm_snmpd_test.cpp checks them again where snmpd is installed).

#ifndef ZELSNMP_SNMP_USM_TEST_VECTORS_H_
#define ZELSNMP_SNMP_USM_TEST_VECTORS_H_

#include <string_view>

#include "snmp/usm_crypto.h"

namespace zelsnmp::testing_support {

constexpr std::string_view kExamplePassphrase = "maplesyrup";
constexpr std::string_view kExampleEngineId = "000000000000000000000002";

struct AuthKeyVector {
  AuthProtocol protocol;
  std::string_view master_key;
  std::string_view localized_key;
};

inline constexpr AuthKeyVector kAuthKeyVectors[] = {
    {AuthProtocol::kMd5, "9faf3283884e92834ebc9847d8edd963", "526f5eed9fcce26f8964c2930787d82b"},
    {AuthProtocol::kSha1, "9fb5cc0381497b3793528939ff788d5d79145211",
     "6695febc9288e36282235fc7151f128497b38f3f"},
    {AuthProtocol::kSha224, "282a5867ee9aac639ad59df9572c7d3ac0fbc13a905b6df07dbbf00b",
     "0bd8827c6e29f8065e08e09237f177e410f69b90e1782be682075674"},
    {AuthProtocol::kSha256, "ab51014d1e077f6017df2b12bee5f5aa72993177e9bb569c4dff5a4ca0b4afac",
     "8982e0e549e866db361a6b625d84cccc11162d453ee8ce3a6445c2d6776f0f8b"},
    {AuthProtocol::kSha384,
     "e06eccdf2c68a06ed034723c9c26e0db3b669e1e2efed49150b55377a2e98f38"
     "3c86fb836857444654b287c93f51ff64",
     "3b298f16164a11184279d5432bf169e2d2a48307de02b3d3f7e2b4f36eb6f045"
     "5a53689a3937eea07319a633d2ccba78"},
    {AuthProtocol::kSha512,
     "7e4396de5aadc77be853819b98c9406265b3a9c37cc3176569847a4e4f6fba63"
     "dd3a73d04924d31a63f95a601f9385af6be4ed1b37f87d040f7c6ed6f8d38a91",
     "22a5a36cedfcc085807a128d7bc6c2382167ad6c0dbc5fdff856740f3d84c099"
     "ad1ea87a8db096714d9788bd544047c9021e4229ce27e4c0a69250adfcffbb0b"},
};

// The privacy passphrase is the same "maplesyrup".
struct PrivKeyVector {
  AuthProtocol protocol;
  PrivProtocol privacy;
  std::string_view key;
};

inline constexpr PrivKeyVector kPrivKeyVectors[] = {
    {AuthProtocol::kMd5, PrivProtocol::kDes, "526f5eed9fcce26f8964c2930787d82b"},
    {AuthProtocol::kSha1, PrivProtocol::kAes128, "6695febc9288e36282235fc7151f1284"},
    {AuthProtocol::kMd5, PrivProtocol::kAes192, "526f5eed9fcce26f8964c2930787d82bfa24a92467426c2f"},
    {AuthProtocol::kSha1, PrivProtocol::kAes192,
     "6695febc9288e36282235fc7151f128497b38f3f505e07eb"},
    {AuthProtocol::kMd5, PrivProtocol::kAes256,
     "526f5eed9fcce26f8964c2930787d82bfa24a92467426c2f4b09192be10dfaec"},
    {AuthProtocol::kSha1, PrivProtocol::kAes256,
     "6695febc9288e36282235fc7151f128497b38f3f505e07eb9af25568fa1f5dbe"},
    {AuthProtocol::kMd5, PrivProtocol::kAes192Reeder,
     "526f5eed9fcce26f8964c2930787d82b79eff44a90650ee0"},
    {AuthProtocol::kSha1, PrivProtocol::kAes192Reeder,
     "6695febc9288e36282235fc7151f128497b38f3f9b8b6d78"},
    {AuthProtocol::kMd5, PrivProtocol::kAes256Reeder,
     "526f5eed9fcce26f8964c2930787d82b79eff44a90650ee0a3a40abfac5acc12"},
    {AuthProtocol::kSha1, PrivProtocol::kAes256Reeder,
     "6695febc9288e36282235fc7151f128497b38f3f9b8b6d78936ba6e7d19dfd9c"},
};

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_SNMP_USM_TEST_VECTORS_H_
