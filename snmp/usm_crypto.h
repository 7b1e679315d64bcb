// The cryptography of the SNMPv3 user-based security model, in the model's own terms: the
// authentication and privacy protocols a user is configured with, the hash of an
// authentication protocol (whole or incremental), its HMAC, and the three ciphers the privacy
// protocols run (DES-CBC, triple-DES EDE CBC, AES in 128-bit cipher feedback mode).
//
// One cryptographic library serves these operations, in one source file with a binding of the
// library per platform; nothing else in the system calls it. The library is started on first use (once per process): linked with the
// program, or on Windows loaded then from the DLLs beside the program, so that a program that
// never runs SNMPv3 needs none of its files. When it cannot be started, every operation here
// fails (empty result or false), CryptoLibraryReady() says so and CryptoLibraryProblem() names
// what is missing.
// The operations hold no state of their own between calls and take keys as byte views which
// they do not keep.

#ifndef ZELSNMP_SNMP_USM_CRYPTO_H_
#define ZELSNMP_SNMP_USM_CRYPTO_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/secret_bytes.h"

namespace zelsnmp {

// The protocols' names are the security model's (snmp/usm_protocol_names.h).
enum class AuthProtocol { kNone, kMd5, kSha1, kSha224, kSha256, kSha384, kSha512 };

// kAes192/kAes256 extend a short localized key by hashing (Kul || H(Kul)); the "-C" protocols
// kAes192Reeder/kAes256Reeder extend it by deriving a second localized key from the first.
enum class PrivProtocol {
  kNone, kDes, kTripleDes, kAes128, kAes192, kAes256, kAes192Reeder, kAes256Reeder
};

// The hash's output length in bytes: 16, 20, 28, 32, 48, 64; 0 for kNone.
std::size_t DigestLength(AuthProtocol protocol);

// True once the cryptographic library is started and usable; starts it on the first call.
bool CryptoLibraryReady();

// Why the cryptographic library cannot be used, naming what is missing.
struct CryptoLibraryFault {
  enum class Kind {
    kFilesMissing,  // `files`: the library's files that are not beside the program
    kNotLoaded,     // `files`: the file that is there but does not load; `detail`: the
                    // platform's error number
    kEntryMissing,  // `files`: the file; `detail`: the entry point it lacks
    kTooOld,        // `files`: the file; `detail`: its version, older than the one needed
  };
  Kind kind = Kind::kFilesMissing;
  std::vector<std::string> files;
  std::string detail;
};

// Nothing while the library is usable; otherwise why not. Starts it like CryptoLibraryReady().
std::optional<CryptoLibraryFault> CryptoLibraryProblem();

// One hash computation fed piece by piece; the output is treated as key material.
class HashComputation {
 public:
  explicit HashComputation(AuthProtocol protocol);
  ~HashComputation();
  HashComputation(const HashComputation&) = delete;
  HashComputation& operator=(const HashComputation&) = delete;

  // False when the library is unusable or the protocol is kNone; Add and Finish then do nothing
  // and give an empty result.
  bool ok() const { return state_ != nullptr; }
  void Add(std::string_view bytes);
  // The digest; the computation cannot be fed again afterwards.
  SecretBytes Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The whole digest of `bytes`; empty on failure.
SecretBytes HashOf(AuthProtocol protocol, std::string_view bytes);

// HMAC of `message` under `key` with the protocol's hash, the whole digest; empty on failure.
std::string HmacOf(AuthProtocol protocol, std::string_view key, std::string_view message);

enum class CipherAlgorithm {
  kDesCbc,           // key 8 bytes, IV 8 bytes, input a whole number of 8-byte blocks
  kTripleDesEdeCbc,  // key 24 bytes (three DES keys), IV 8 bytes, whole 8-byte blocks
  kAesCfb128,        // key 16, 24 or 32 bytes, IV 16 bytes, input of any length
};
enum class CipherDirection { kEncrypt, kDecrypt };

// Runs the cipher over `input` into `output` (same length). False, with `output` empty, when the
// key, IV or input length does not fit the algorithm or the library fails.
bool RunCipher(CipherAlgorithm algorithm, CipherDirection direction, std::string_view key,
               std::string_view iv, std::string_view input, std::string& output);

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_CRYPTO_H_
