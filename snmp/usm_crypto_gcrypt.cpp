// The operations of usm_crypto.h on libgcrypt, through the table of its entry points that the
// platform binds (usm_crypto_gcrypt.h).

#include "snmp/usm_crypto.h"

#include <cstring>

#include "snmp/usm_crypto_gcrypt.h"

namespace zelsnmp {
namespace {

constexpr std::size_t kDesBlockBytes = 8;
constexpr std::size_t kAesBlockBytes = 16;

struct StartedLibrary {
  std::optional<GcryptEntries> entries;  // set when the library is usable
  CryptoLibraryFault fault;              // why not, otherwise
};

// Binds and starts the library. Secure memory is not used: key bytes live in SecretBytes, which
// wipes them.
StartedLibrary StartLibrary() {
  StartedLibrary library;
  std::optional<GcryptEntries> entries = BindGcrypt(library.fault);
  if (!entries) return library;
  // The library must be at least as new as the header the system was built with.
  if (entries->check_version(GCRYPT_VERSION) == nullptr) {
    const char* found = entries->check_version(nullptr);
    library.fault = {CryptoLibraryFault::Kind::kTooOld, {entries->file_name},
                     found != nullptr ? found : "?"};
    return library;
  }
  if (!entries->control(GCRYCTL_INITIALIZATION_FINISHED_P)) {  // else started by someone else
    entries->control(GCRYCTL_DISABLE_SECMEM, 0);
    entries->control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  }
  library.entries = entries;
  return library;
}

// Started once per process (a function-local static is initialised exactly once even with
// several threads).
const StartedLibrary& Library() {
  static const StartedLibrary library = StartLibrary();
  return library;
}

// The entry points; only once CryptoLibraryReady() said true.
const GcryptEntries& Gcrypt() { return *Library().entries; }

int HashAlgorithm(AuthProtocol protocol) {
  switch (protocol) {
    case AuthProtocol::kMd5: return GCRY_MD_MD5;
    case AuthProtocol::kSha1: return GCRY_MD_SHA1;
    case AuthProtocol::kSha224: return GCRY_MD_SHA224;
    case AuthProtocol::kSha256: return GCRY_MD_SHA256;
    case AuthProtocol::kSha384: return GCRY_MD_SHA384;
    case AuthProtocol::kSha512: return GCRY_MD_SHA512;
    case AuthProtocol::kNone: break;
  }
  return GCRY_MD_NONE;
}

// An open hash handle of the protocol, or null.
gcry_md_hd_t OpenHash(AuthProtocol protocol, unsigned int flags) {
  const int algorithm = HashAlgorithm(protocol);
  if (algorithm == GCRY_MD_NONE || !CryptoLibraryReady()) return nullptr;
  gcry_md_hd_t handle = nullptr;
  if (Gcrypt().md_open(&handle, algorithm, flags) != 0) return nullptr;
  return handle;
}

// The cipher and its mode for the algorithm and key length; false when the lengths do not fit.
bool ChooseCipher(CipherAlgorithm algorithm, std::size_t key_bytes, std::size_t iv_bytes,
                  std::size_t input_bytes, int& cipher, int& mode) {
  switch (algorithm) {
    case CipherAlgorithm::kDesCbc:
      cipher = GCRY_CIPHER_DES;
      mode = GCRY_CIPHER_MODE_CBC;
      return key_bytes == 8 && iv_bytes == kDesBlockBytes && input_bytes % kDesBlockBytes == 0;
    case CipherAlgorithm::kTripleDesEdeCbc:
      cipher = GCRY_CIPHER_3DES;
      mode = GCRY_CIPHER_MODE_CBC;
      return key_bytes == 24 && iv_bytes == kDesBlockBytes && input_bytes % kDesBlockBytes == 0;
    case CipherAlgorithm::kAesCfb128:
      mode = GCRY_CIPHER_MODE_CFB;
      if (key_bytes == 16) cipher = GCRY_CIPHER_AES128;
      else if (key_bytes == 24) cipher = GCRY_CIPHER_AES192;
      else if (key_bytes == 32) cipher = GCRY_CIPHER_AES256;
      else return false;
      return iv_bytes == kAesBlockBytes;
  }
  return false;
}

}  // namespace

bool CryptoLibraryReady() { return Library().entries.has_value(); }

std::optional<CryptoLibraryFault> CryptoLibraryProblem() {
  if (CryptoLibraryReady()) return std::nullopt;
  return Library().fault;
}

struct HashComputation::State {
  gcry_md_hd_t handle = nullptr;
  ~State() { Gcrypt().md_close(handle); }
};

HashComputation::HashComputation(AuthProtocol protocol) {
  gcry_md_hd_t handle = OpenHash(protocol, 0);
  if (handle == nullptr) return;
  state_ = std::make_unique<State>();
  state_->handle = handle;
}

HashComputation::~HashComputation() = default;

void HashComputation::Add(std::string_view bytes) {
  if (state_) Gcrypt().md_write(state_->handle, bytes.data(), bytes.size());
}

SecretBytes HashComputation::Finish() {
  if (!state_) return SecretBytes();
  const int algorithm = Gcrypt().md_get_algo(state_->handle);
  const unsigned char* digest = Gcrypt().md_read(state_->handle, algorithm);
  SecretBytes result;
  if (digest != nullptr) {
    result = SecretBytes(std::string_view(reinterpret_cast<const char*>(digest),
                                          Gcrypt().md_get_algo_dlen(algorithm)));
  }
  state_.reset();
  return result;
}

std::string HmacOf(AuthProtocol protocol, std::string_view key, std::string_view message) {
  gcry_md_hd_t handle = OpenHash(protocol, GCRY_MD_FLAG_HMAC);
  if (handle == nullptr) return std::string();
  std::string code;
  if (Gcrypt().md_setkey(handle, key.data(), key.size()) == 0) {
    Gcrypt().md_write(handle, message.data(), message.size());
    const int algorithm = HashAlgorithm(protocol);
    const unsigned char* digest = Gcrypt().md_read(handle, algorithm);
    if (digest != nullptr) {
      code.assign(reinterpret_cast<const char*>(digest), Gcrypt().md_get_algo_dlen(algorithm));
    }
  }
  Gcrypt().md_close(handle);
  return code;
}

bool RunCipher(CipherAlgorithm algorithm, CipherDirection direction, std::string_view key,
               std::string_view iv, std::string_view input, std::string& output) {
  output.clear();
  int cipher = 0;
  int mode = 0;
  if (!ChooseCipher(algorithm, key.size(), iv.size(), input.size(), cipher, mode) ||
      !CryptoLibraryReady()) {
    return false;
  }
  gcry_cipher_hd_t handle = nullptr;
  if (Gcrypt().cipher_open(&handle, cipher, mode, 0) != 0) return false;
  // A localized DES key may happen to be one of the weak keys; the peer uses it all the same.
  if (cipher != GCRY_CIPHER_AES128 && cipher != GCRY_CIPHER_AES192 &&
      cipher != GCRY_CIPHER_AES256) {
    Gcrypt().cipher_ctl(handle, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
  }
  bool done = Gcrypt().cipher_setkey(handle, key.data(), key.size()) == 0 &&
              Gcrypt().cipher_setiv(handle, iv.data(), iv.size()) == 0;
  if (done && !input.empty()) {
    output.resize(input.size());
    unsigned char* out = reinterpret_cast<unsigned char*>(output.data());
    const auto run =
        direction == CipherDirection::kEncrypt ? Gcrypt().cipher_encrypt : Gcrypt().cipher_decrypt;
    done = run(handle, out, output.size(), input.data(), input.size()) == 0;
  }
  Gcrypt().cipher_close(handle);
  if (!done) output.clear();
  return done;
}

}  // namespace zelsnmp
