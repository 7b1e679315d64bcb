// The cryptographic operations against published vectors: HMAC (RFC 2202 and RFC 4231, test
// case 2), AES-CFB128 (NIST SP 800-38A F.3.13, F.3.15, F.3.17), DES-CBC (FIPS 81), triple DES
// (NIST SP 800-67), and the configuration names of the protocols.

#include "snmp/usm_crypto.h"

#include <gtest/gtest.h>

#include "snmp/usm_protocol_names.h"
#include "snmp/usm_test_util.h"

namespace zelsnmp {
namespace {

using testing_support::Bytes;
using testing_support::Hex;

// Our names and net-snmp's spellings of the same protocols, in any case and with blanks around.
TEST(UsmProtocolNames, OwnAndPeerSpellingsInAnyCase) {
  const struct {
    std::string_view name;
    AuthProtocol protocol;
  } auth_cases[] = {
      {"MD5", AuthProtocol::kMd5},        {"sha", AuthProtocol::kSha1},
      {" SHA1\t", AuthProtocol::kSha1},   {"SHA-224", AuthProtocol::kSha224},
      {"sha224", AuthProtocol::kSha224},  {"Sha-256", AuthProtocol::kSha256},
      {"SHA256", AuthProtocol::kSha256},  {"sha-384", AuthProtocol::kSha384},
      {"Sha384 ", AuthProtocol::kSha384}, {"SHA-512", AuthProtocol::kSha512},
      {"sha512", AuthProtocol::kSha512},
  };
  for (const auto& c : auth_cases) {
    ASSERT_EQ(AuthProtocolByName(c.name), c.protocol) << c.name;
    EXPECT_TRUE(AuthProtocolByName(AuthProtocolName(c.protocol)) == c.protocol);
  }
  const struct {
    std::string_view name;
    PrivProtocol protocol;
  } priv_cases[] = {
      {"DES", PrivProtocol::kDes},
      {"3des", PrivProtocol::kTripleDes},
      {"AES", PrivProtocol::kAes128},
      {"aes-128", PrivProtocol::kAes128},
      {"AES128", PrivProtocol::kAes128},
      {"aes-192", PrivProtocol::kAes192},
      {" aes192 ", PrivProtocol::kAes192},
      {"AES-256", PrivProtocol::kAes256},
      {"Aes256", PrivProtocol::kAes256},
      {"AES-192-C", PrivProtocol::kAes192Reeder},
      {"AES192C", PrivProtocol::kAes192Reeder},
      {"aes-256-c", PrivProtocol::kAes256Reeder},
      {"aes256c", PrivProtocol::kAes256Reeder},
  };
  for (const auto& c : priv_cases) {
    ASSERT_EQ(PrivProtocolByName(c.name), c.protocol) << c.name;
    EXPECT_TRUE(PrivProtocolByName(PrivProtocolName(c.protocol)) == c.protocol);
  }
  EXPECT_EQ(AuthProtocolName(AuthProtocol::kSha256), "SHA-256");
  EXPECT_EQ(PrivProtocolName(PrivProtocol::kAes256Reeder), "AES-256-C");
  for (std::string_view unknown : {"", "none", "SHA-1", "SHA 1", "MD", "AES-256C", "AES 128"}) {
    EXPECT_FALSE(AuthProtocolByName(unknown)) << unknown;
    EXPECT_FALSE(PrivProtocolByName(unknown)) << unknown;
  }
}

TEST(UsmCrypto, HmacVectors) {
  const struct {
    AuthProtocol protocol;
    std::string_view hmac;
  } cases[] = {
      {AuthProtocol::kMd5, "750c783e6ab0b503eaa86e310a5db738"},
      {AuthProtocol::kSha1, "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {AuthProtocol::kSha224, "a30e01098bc6dbbf45690f3a7e9e6d0f8bbea2a39e6148008fd05e44"},
      {AuthProtocol::kSha256, "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {AuthProtocol::kSha384,
       "af45d2e376484031617f78d2b58a6b1b9c7ef464f5a01b47e42ec3736322445e"
       "8e2240ca5e69e2c78b3239ecfab21649"},
      {AuthProtocol::kSha512,
       "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea250554"
       "9758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737"},
  };
  for (const auto& c : cases) {
    const std::string hmac = HmacOf(c.protocol, "Jefe", "what do ya want for nothing?");
    EXPECT_EQ(Hex(hmac), c.hmac) << AuthProtocolName(c.protocol);
    EXPECT_EQ(hmac.size(), DigestLength(c.protocol));
  }
  EXPECT_EQ(HmacOf(AuthProtocol::kNone, "Jefe", "x"), "");
}

constexpr std::string_view kNistIv = "000102030405060708090a0b0c0d0e0f";
constexpr std::string_view kNistPlaintext =
    "6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710";

TEST(UsmCrypto, AesCfb128NistVectorsWithPartialLastBlock) {
  const struct {
    std::string_view key;
    std::string_view ciphertext;
  } cases[] = {
      {"2b7e151628aed2a6abf7158809cf4f3c",
       "3b3fd92eb72dad20333449f8e83cfb4a c8a64537a0b3a93fcde3cdad9f1ce58b"
       "26751f67a3cbb140b1808cf187a4f4df c04b05357c5d1c0eeac4c66f9ff7f2e6"},
      {"8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b",
       "cdc80d6fddf18cab34c25909c99a4174 67ce7f7f81173621961a2b70171d3d7a"
       "2e1e8a1dd59b88b1c8e60fed1efac4c9 c05f9f9ca9834fa042ae8fba584b09ff"},
      {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
       "dc7e84bfda79164b7ecd8486985d3860 39ffed143b28b1c832113c6331e5407b"
       "df10132415e54b92a13ed0a8267ae2f9 75a385741ab9cef82031623d55b1e471"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const std::string plaintext = Bytes(kNistPlaintext);
    const std::string ciphertext = Bytes(c.ciphertext);
    // Whole blocks, and a last block of 1 and of 15 bytes.
    for (std::size_t length : {std::size_t{64}, std::size_t{49}, std::size_t{47}}) {
      std::string out;
      ASSERT_TRUE(RunCipher(CipherAlgorithm::kAesCfb128, CipherDirection::kEncrypt,
                            Bytes(c.key), Bytes(kNistIv), plaintext.substr(0, length), out));
      EXPECT_EQ(Hex(out), Hex(ciphertext.substr(0, length)));
      ASSERT_TRUE(RunCipher(CipherAlgorithm::kAesCfb128, CipherDirection::kDecrypt,
                            Bytes(c.key), Bytes(kNistIv), ciphertext.substr(0, length), out));
      EXPECT_EQ(Hex(out), Hex(plaintext.substr(0, length)));
    }
  }
}

// "Now is the time for all " under key 0123456789abcdef, IV 1234567890abcdef; triple DES with
// three equal keys is single DES.
TEST(UsmCrypto, DesCbcVector) {
  const std::string des_key = Bytes("0123456789abcdef");
  const std::string iv = Bytes("1234567890abcdef");
  const std::string plaintext = "Now is the time for all ";
  const std::string ciphertext = Bytes("e5c7cdde872bf27c 43e934008c389c0f 683788499a7c05f6");
  const struct {
    CipherAlgorithm algorithm;
    std::string key;
  } cases[] = {
      {CipherAlgorithm::kDesCbc, des_key},
      {CipherAlgorithm::kTripleDesEdeCbc, des_key + des_key + des_key},
  };
  for (const auto& c : cases) {
    std::string out;
    ASSERT_TRUE(RunCipher(c.algorithm, CipherDirection::kEncrypt, c.key, iv, plaintext, out));
    EXPECT_EQ(Hex(out), Hex(ciphertext));
    ASSERT_TRUE(RunCipher(c.algorithm, CipherDirection::kDecrypt, c.key, iv, ciphertext, out));
    EXPECT_EQ(out, plaintext);
  }
}

// Three different keys, taken in order (NIST SP 800-67, first block; a zero IV makes CBC of
// one block the bare cipher).
TEST(UsmCrypto, TripleDesKeysInOrder) {
  const std::string key = Bytes("0123456789abcdef 23456789abcdef01 456789abcdef0123");
  std::string out;
  ASSERT_TRUE(RunCipher(CipherAlgorithm::kTripleDesEdeCbc, CipherDirection::kEncrypt, key,
                        std::string(8, '\0'), "The qufc", out));
  EXPECT_EQ(Hex(out), "a826fd8ce53b855f");
}

TEST(UsmCrypto, CipherRefusesLengthsThatDoNotFit) {
  const std::string block8(8, 'x');
  const struct {
    CipherAlgorithm algorithm;
    std::size_t key_bytes;
    std::size_t iv_bytes;
    std::size_t input_bytes;
  } cases[] = {
      {CipherAlgorithm::kDesCbc, 8, 8, 7},     {CipherAlgorithm::kDesCbc, 16, 8, 8},
      {CipherAlgorithm::kDesCbc, 8, 16, 8},    {CipherAlgorithm::kTripleDesEdeCbc, 16, 8, 8},
      {CipherAlgorithm::kTripleDesEdeCbc, 24, 8, 9}, {CipherAlgorithm::kAesCfb128, 20, 16, 5},
      {CipherAlgorithm::kAesCfb128, 16, 8, 5},
  };
  for (const auto& c : cases) {
    std::string out = "left over";
    EXPECT_FALSE(RunCipher(c.algorithm, CipherDirection::kEncrypt, std::string(c.key_bytes, 'k'),
                           std::string(c.iv_bytes, 'i'), std::string(c.input_bytes, 'p'), out));
    EXPECT_EQ(out, "");
  }
}

}  // namespace
}  // namespace zelsnmp
