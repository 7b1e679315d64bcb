// Password-to-key, localization and the privacy-key extensions against known keys, and the key
// cache's promise of one derivation per user and one localization per engine.

#include "snmp/usm_keys.h"

#include <gtest/gtest.h>

#include "snmp/usm_protocol_names.h"
#include "snmp/usm_test_util.h"
#include "snmp/usm_test_vectors.h"

namespace zelsnmp {
namespace {

using testing_support::Bytes;
using testing_support::Hex;
using testing_support::kExampleEngineId;
using testing_support::kExamplePassphrase;

TEST(UsmKeys, MasterAndLocalizedKeysOfEveryHash) {
  for (const auto& v : testing_support::kAuthKeyVectors) {
    SCOPED_TRACE(AuthProtocolName(v.protocol));
    const SecretBytes master = PasswordToKey(v.protocol, kExamplePassphrase);
    EXPECT_EQ(Hex(master.view()), v.master_key);
    EXPECT_EQ(Hex(LocalizeKey(v.protocol, master, Bytes(kExampleEngineId)).view()),
              v.localized_key);
  }
}

TEST(UsmKeys, PrivacyKeysCutOrExtendedToTheCipher) {
  for (const auto& v : testing_support::kPrivKeyVectors) {
    SCOPED_TRACE(std::string(AuthProtocolName(v.protocol)) + " " +
                 std::string(PrivProtocolName(v.privacy)));
    const SecretBytes master = PasswordToKey(v.protocol, kExamplePassphrase);
    const SecretBytes key =
        LocalizedPrivacyKey(v.protocol, v.privacy, master, Bytes(kExampleEngineId));
    EXPECT_EQ(Hex(key.view()), v.key);
    EXPECT_EQ(key.size(), PrivacyKeyLength(v.privacy));
  }
  // Triple DES takes the extension of the "-C" AES protocols, to 32 bytes.
  const SecretBytes md5_master = PasswordToKey(AuthProtocol::kMd5, kExamplePassphrase);
  EXPECT_EQ(Hex(LocalizedPrivacyKey(AuthProtocol::kMd5, PrivProtocol::kTripleDes, md5_master,
                                    Bytes(kExampleEngineId))
                    .view()),
            "526f5eed9fcce26f8964c2930787d82b79eff44a90650ee0a3a40abfac5acc12");
}

TEST(UsmKeys, NoKeyFromNothing) {
  EXPECT_TRUE(PasswordToKey(AuthProtocol::kSha256, "").empty());
  EXPECT_TRUE(PasswordToKey(AuthProtocol::kNone, kExamplePassphrase).empty());
  EXPECT_TRUE(LocalizeKey(AuthProtocol::kSha1, SecretBytes(), "engine").empty());
  const SecretBytes master = PasswordToKey(AuthProtocol::kSha1, kExamplePassphrase);
  EXPECT_TRUE(LocalizedPrivacyKey(AuthProtocol::kSha1, PrivProtocol::kNone, master, "e").empty());
}

TEST(UsmKeyCache, OneDerivationPerUserOneLocalizationPerEngine) {
  UsmKeyCache cache;
  constexpr int kAgents = 1000;
  for (int agent = 0; agent < kAgents; ++agent) {
    const std::string engine = "engine-" + std::to_string(agent % 10);
    EXPECT_FALSE(cache.AuthenticationKey(AuthProtocol::kSha256, "shared secret", engine).empty());
    EXPECT_FALSE(cache.PrivacyKey(AuthProtocol::kSha256, PrivProtocol::kAes256, "other secret",
                                  engine).empty());
  }
  EXPECT_EQ(cache.MasterKeyDerivations(), 2u);
  EXPECT_EQ(cache.Localizations(), 20u);

  // The same passphrase under another hash is another master key; the cached key is the one
  // derived directly.
  const SecretBytes& key = cache.AuthenticationKey(AuthProtocol::kSha1, kExamplePassphrase,
                                                   Bytes(kExampleEngineId));
  EXPECT_EQ(cache.MasterKeyDerivations(), 3u);
  EXPECT_EQ(Hex(key.view()), "6695febc9288e36282235fc7151f128497b38f3f");
  EXPECT_TRUE(cache.PrivacyKey(AuthProtocol::kSha1, PrivProtocol::kNone, "x", "e").empty());

  cache.Clear();
  EXPECT_EQ(cache.MasterKeyDerivations(), 0u);
  EXPECT_EQ(cache.Localizations(), 0u);
}

// Engines come and go over the years: the cache keeps the keys used last, at most its bound,
// and a key forgotten is derived again, the same.
TEST(UsmKeyCache, KeepsAtMostItsBoundForgettingTheLeastRecentlyUsed) {
  constexpr std::size_t kBound = 4;
  UsmKeyCache cache(kBound);
  auto key = [&cache](int engine) {
    return cache.PrivacyKey(AuthProtocol::kSha1, PrivProtocol::kAes128, "a passphrase",
                            "engine-" + std::to_string(engine));
  };
  const SecretBytes first = key(0);
  const struct {
    int engine;
    bool derived;  // a new localization, not a kept key
  } uses[] = {
      {1, true}, {2, true}, {3, true}, {0, false},  // 0 is now the most recently used
      {4, true},                                    // forgets 1, the least recently used
      {0, false}, {2, false}, {1, true},            // 1 again, forgetting 3
      {3, true},
  };
  for (const auto& use : uses) {
    const std::size_t before = cache.Localizations();
    EXPECT_FALSE(key(use.engine).empty());
    EXPECT_EQ(cache.Localizations() - before, use.derived ? 1u : 0u) << use.engine;
    EXPECT_LE(cache.LocalizedKeysKept(), kBound);
  }
  for (int engine = 5; engine < 1000; ++engine) key(engine);
  EXPECT_EQ(cache.LocalizedKeysKept(), kBound);
  EXPECT_EQ(key(0), first);
  EXPECT_EQ(cache.MasterKeyDerivations(), 1u);
}

}  // namespace
}  // namespace zelsnmp
