// Scoped PDU privacy against responses that net-snmp's snmpd encrypted (keys of usm_test_vectors.h,
// captured with snmpget -d): each decrypts to the answer, and encrypting the answer again with
// the same salt and engine clock gives the agent's bytes. Then the layout of the privacy
// parameters, the round trip of every protocol, and the inputs that must fail.

#include "snmp/usm_privacy.h"

#include <gtest/gtest.h>

#include "snmp/usm_keys.h"
#include "snmp/usm_protocol_names.h"
#include "snmp/usm_test_util.h"

namespace zelsnmp {
namespace {

using testing_support::Bytes;
using testing_support::Hex;

// sysName.0 = "vm" as the scoped PDU carries it.
const std::string kSysNameBinding = Bytes("06082b06010201010500 0402766d");

TEST(UsmPrivacy, DecryptsAndReproducesWhatSnmpdSent) {
  const struct {
    PrivProtocol protocol;
    std::string_view key;
    std::int32_t boots;
    std::int32_t time;
    std::string_view parameters;
    std::string_view encrypted;
  } cases[] = {
      {PrivProtocol::kDes, "526f5eed9fcce26f8964c2930787d82b", 1, 12, "00000001d967e9ea",
       "4b2db052c62cd206705a830e1e2da0830e2d715b5eab3a82c7d231f074b81dd8"
       "b1ca62c44afca08ac74fb1944c11f09f480234a4d7ac17e8"},
      {PrivProtocol::kAes128, "6695febc9288e36282235fc7151f1284", 1, 12, "77635704a414ccc0",
       "b88c574489ab810beecfa486596d8f6ef03743cd17c60cf2304f55adaca8004a"
       "5b41cd743d5da9d5aea7bcb7be866335855f"},
      {PrivProtocol::kAes256Reeder,
       "6695febc9288e36282235fc7151f128497b38f3f9b8b6d78936ba6e7d19dfd9c", 1, 12,
       "77635704a414ccc1",
       "0f05d81fd56350961478c92aedc2f4c6b4d392dc529a591186b8f1434c18fe74"
       "baaa6950d6d9b9889432edbb3eec8045f726"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(PrivProtocolName(c.protocol));
    const SecretBytes key(Bytes(c.key));
    std::string plaintext;
    ASSERT_TRUE(DecryptScopedPdu(c.protocol, key, c.boots, c.time, Bytes(c.parameters),
                                 Bytes(c.encrypted), plaintext));
    EXPECT_EQ(plaintext.substr(0, 1), "\x30");
    EXPECT_NE(plaintext.find(kSysNameBinding), std::string::npos) << Hex(plaintext);

    std::uint64_t salt = 0;
    for (char byte : Bytes(c.parameters)) salt = salt << 8 | static_cast<unsigned char>(byte);
    std::string encrypted;
    std::string parameters;
    ASSERT_TRUE(EncryptScopedPduWithSalt(c.protocol, key, c.boots, c.time, salt, plaintext,
                                         encrypted, parameters));
    EXPECT_EQ(Hex(parameters), c.parameters);
    EXPECT_EQ(Hex(encrypted), Hex(Bytes(c.encrypted)));
  }
}

SecretBytes KeyOf(PrivProtocol protocol) {
  return LocalizedPrivacyKey(AuthProtocol::kSha1, protocol,
                             PasswordToKey(AuthProtocol::kSha1, "privacy passphrase"),
                             "engine id");
}

TEST(UsmPrivacy, EveryProtocolRoundTripsEveryLength) {
  constexpr std::size_t kAesBlockBytes = 16;
  for (PrivProtocol protocol :
       {PrivProtocol::kDes, PrivProtocol::kTripleDes, PrivProtocol::kAes128,
        PrivProtocol::kAes192, PrivProtocol::kAes256, PrivProtocol::kAes192Reeder,
        PrivProtocol::kAes256Reeder}) {
    SCOPED_TRACE(PrivProtocolName(protocol));
    const SecretBytes key = KeyOf(protocol);
    const bool des_family =
        protocol == PrivProtocol::kDes || protocol == PrivProtocol::kTripleDes;
    for (std::size_t length : {1, 7, 8, 9, 16, 17, 100}) {
      const std::string scoped_pdu(length, '\x5a');
      std::string encrypted;
      std::string parameters;
      ASSERT_TRUE(EncryptScopedPdu(protocol, key, 7, 1234, scoped_pdu, encrypted, parameters));
      ASSERT_EQ(parameters.size(), kPrivacyParameterBytes);
      EXPECT_EQ(encrypted.size(), des_family ? (length + 7) / 8 * 8 : length);
      if (des_family) {
        EXPECT_EQ(Hex(parameters.substr(0, 4)), "00000007");  // engine boots
      }
      std::string plaintext;
      ASSERT_TRUE(DecryptScopedPdu(protocol, key, 7, 1234, parameters, encrypted, plaintext));
      EXPECT_EQ(plaintext.substr(0, length), scoped_pdu);
      if (!des_family && length >= kAesBlockBytes) {
        // The engine clock is part of the AES IV: under another clock the first block's key
        // stream is the cipher of another IV, which differs from the right one in at least one
        // byte. A shorter PDU uses only part of that block, which may match by chance.
        ASSERT_TRUE(DecryptScopedPdu(protocol, key, 7, 1235, parameters, encrypted, plaintext));
        EXPECT_NE(plaintext, scoped_pdu);
      }
    }
  }
}

TEST(UsmPrivacy, SaltsDoNotRepeat) {
  const SecretBytes key = KeyOf(PrivProtocol::kAes128);
  std::string first_encrypted, first_parameters, encrypted, parameters;
  ASSERT_TRUE(EncryptScopedPdu(PrivProtocol::kAes128, key, 1, 1, "same", first_encrypted,
                               first_parameters));
  ASSERT_TRUE(EncryptScopedPdu(PrivProtocol::kAes128, key, 1, 1, "same", encrypted, parameters));
  EXPECT_NE(parameters, first_parameters);
  EXPECT_NE(encrypted, first_encrypted);
}

TEST(UsmPrivacy, BadInputsFailCleanly) {
  const SecretBytes des_key = KeyOf(PrivProtocol::kDes);
  const SecretBytes aes_key = KeyOf(PrivProtocol::kAes128);
  const std::string parameters(8, '\1');
  const struct {
    std::string_view what;
    PrivProtocol protocol;
    const SecretBytes* key;
    std::string parameters;
    std::string encrypted;
  } cases[] = {
      {"DES, not whole blocks", PrivProtocol::kDes, &des_key, parameters, std::string(12, 'c')},
      {"DES, empty", PrivProtocol::kDes, &des_key, parameters, ""},
      {"DES, short parameters", PrivProtocol::kDes, &des_key, "1234567", std::string(8, 'c')},
      {"AES, long parameters", PrivProtocol::kAes128, &aes_key, "123456789", "cipher"},
      {"AES, empty", PrivProtocol::kAes128, &aes_key, parameters, ""},
      {"AES-256, 16-byte key", PrivProtocol::kAes256, &aes_key, parameters, "cipher"},
      {"3DES, 16-byte key", PrivProtocol::kTripleDes, &des_key, parameters, std::string(8, 'c')},
      {"no privacy", PrivProtocol::kNone, &aes_key, parameters, "cipher"},
  };
  for (const auto& c : cases) {
    std::string plaintext = "left over";
    EXPECT_FALSE(
        DecryptScopedPdu(c.protocol, *c.key, 1, 1, c.parameters, c.encrypted, plaintext))
        << c.what;
    EXPECT_EQ(plaintext, "") << c.what;
  }
  std::string encrypted = "x", out_parameters = "x";
  EXPECT_FALSE(EncryptScopedPdu(PrivProtocol::kAes256, aes_key, 1, 1, "pdu", encrypted,
                                out_parameters));
  EXPECT_EQ(encrypted + out_parameters, "");
}

}  // namespace
}  // namespace zelsnmp
