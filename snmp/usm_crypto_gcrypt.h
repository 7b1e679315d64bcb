// The entry points of libgcrypt that usm_crypto_gcrypt.cpp calls, as one table bound once per
// process in the platform's way of reaching the library: linked with the program
// (usm_crypto_gcrypt_linked.cpp) or loaded at run time from the DLLs beside it
// (usm_crypto_gcrypt_win32.cpp). These files are the libgcrypt backend of usm_crypto.h; no
// other file includes gcrypt.h.

#ifndef ZELSNMP_SNMP_USM_CRYPTO_GCRYPT_H_
#define ZELSNMP_SNMP_USM_CRYPTO_GCRYPT_H_

#include <optional>

#include <gcrypt.h>

#include "snmp/usm_crypto.h"

namespace zelsnmp {

struct GcryptEntries {
  // The library's file as a fault names it.
  const char* file_name = nullptr;
  decltype(&gcry_check_version) check_version = nullptr;
  decltype(&gcry_control) control = nullptr;
  decltype(&gcry_md_open) md_open = nullptr;
  decltype(&gcry_md_close) md_close = nullptr;
  decltype(&gcry_md_write) md_write = nullptr;
  decltype(&gcry_md_read) md_read = nullptr;
  decltype(&gcry_md_setkey) md_setkey = nullptr;
  decltype(&gcry_md_get_algo) md_get_algo = nullptr;
  decltype(&gcry_md_get_algo_dlen) md_get_algo_dlen = nullptr;
  decltype(&gcry_cipher_open) cipher_open = nullptr;
  decltype(&gcry_cipher_close) cipher_close = nullptr;
  decltype(&gcry_cipher_ctl) cipher_ctl = nullptr;
  decltype(&gcry_cipher_setkey) cipher_setkey = nullptr;
  decltype(&gcry_cipher_setiv) cipher_setiv = nullptr;
  decltype(&gcry_cipher_encrypt) cipher_encrypt = nullptr;
  decltype(&gcry_cipher_decrypt) cipher_decrypt = nullptr;
};

// Every entry of the table, or nothing with `fault` naming the file or entry point that is
// missing. Called once per process; what it loads stays loaded until the process ends.
std::optional<GcryptEntries> BindGcrypt(CryptoLibraryFault& fault);

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_CRYPTO_GCRYPT_H_
