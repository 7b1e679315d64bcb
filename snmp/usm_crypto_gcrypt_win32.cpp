// libgcrypt loaded at run time from the two DLLs beside the program, on the first use of
// SNMPv3: a program that polls v2c agents only needs neither file, and no DLL of the library
// (nor the socket library that libgpg-error imports) is mapped before the task starts.

#include "snmp/usm_crypto_gcrypt.h"

#include <string>
#include <vector>

#include "sys/program_library_win32.h"

namespace zelsnmp {

namespace {

constexpr const char* kGcryptFile = "libgcrypt-20.dll";
// libgcrypt's own dependency, loaded first from beside the program so that libgcrypt uses it.
constexpr const char* kGpgErrorFile = "libgpg-error-0.dll";

// Looks `name` up into `entry`; false, naming it in `fault`, when the library lacks it.
template <typename Entry>
bool Bind(const ProgramLibrary& library, const char* name, Entry& entry,
          CryptoLibraryFault& fault) {
  entry = reinterpret_cast<Entry>(LibraryEntry(library, name));
  if (entry != nullptr) return true;
  fault = {CryptoLibraryFault::Kind::kEntryMissing, {kGcryptFile}, name};
  return false;
}

}  // namespace

std::optional<GcryptEntries> BindGcrypt(CryptoLibraryFault& fault) {
  const ProgramLibrary gpg_error = LoadLibraryBesideProgram(kGpgErrorFile);
  // libgcrypt is not loaded without its dependency beside it (it could find one elsewhere),
  // but both files are named when both are missing.
  std::vector<std::string> missing;
  if (!FileBesideProgram(kGcryptFile)) missing.push_back(kGcryptFile);
  if (gpg_error.file_missing) missing.push_back(kGpgErrorFile);
  if (!missing.empty()) {
    fault = {CryptoLibraryFault::Kind::kFilesMissing, missing, ""};
    return std::nullopt;
  }
  if (gpg_error.handle == nullptr) {
    fault = {
        CryptoLibraryFault::Kind::kNotLoaded, {kGpgErrorFile}, std::to_string(gpg_error.error)};
    return std::nullopt;
  }
  const ProgramLibrary gcrypt = LoadLibraryBesideProgram(kGcryptFile);
  if (gcrypt.handle == nullptr) {
    fault = {CryptoLibraryFault::Kind::kNotLoaded, {kGcryptFile}, std::to_string(gcrypt.error)};
    return std::nullopt;
  }
  GcryptEntries entries;
  entries.file_name = kGcryptFile;
  const bool bound = Bind(gcrypt, "gcry_check_version", entries.check_version, fault) &&
                     Bind(gcrypt, "gcry_control", entries.control, fault) &&
                     Bind(gcrypt, "gcry_md_open", entries.md_open, fault) &&
                     Bind(gcrypt, "gcry_md_close", entries.md_close, fault) &&
                     Bind(gcrypt, "gcry_md_write", entries.md_write, fault) &&
                     Bind(gcrypt, "gcry_md_read", entries.md_read, fault) &&
                     Bind(gcrypt, "gcry_md_setkey", entries.md_setkey, fault) &&
                     Bind(gcrypt, "gcry_md_get_algo", entries.md_get_algo, fault) &&
                     Bind(gcrypt, "gcry_md_get_algo_dlen", entries.md_get_algo_dlen, fault) &&
                     Bind(gcrypt, "gcry_cipher_open", entries.cipher_open, fault) &&
                     Bind(gcrypt, "gcry_cipher_close", entries.cipher_close, fault) &&
                     Bind(gcrypt, "gcry_cipher_ctl", entries.cipher_ctl, fault) &&
                     Bind(gcrypt, "gcry_cipher_setkey", entries.cipher_setkey, fault) &&
                     Bind(gcrypt, "gcry_cipher_setiv", entries.cipher_setiv, fault) &&
                     Bind(gcrypt, "gcry_cipher_encrypt", entries.cipher_encrypt, fault) &&
                     Bind(gcrypt, "gcry_cipher_decrypt", entries.cipher_decrypt, fault);
  if (!bound) return std::nullopt;
  return entries;
}

}  // namespace zelsnmp
