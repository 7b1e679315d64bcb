// libgcrypt linked with the program: its entry points are the linker's.

#include "snmp/usm_crypto_gcrypt.h"

namespace zelsnmp {

std::optional<GcryptEntries> BindGcrypt(CryptoLibraryFault&) {
  return GcryptEntries{
      .file_name = "libgcrypt",
      .check_version = &gcry_check_version,
      .control = &gcry_control,
      .md_open = &gcry_md_open,
      .md_close = &gcry_md_close,
      .md_write = &gcry_md_write,
      .md_read = &gcry_md_read,
      .md_setkey = &gcry_md_setkey,
      .md_get_algo = &gcry_md_get_algo,
      .md_get_algo_dlen = &gcry_md_get_algo_dlen,
      .cipher_open = &gcry_cipher_open,
      .cipher_close = &gcry_cipher_close,
      .cipher_ctl = &gcry_cipher_ctl,
      .cipher_setkey = &gcry_cipher_setkey,
      .cipher_setiv = &gcry_cipher_setiv,
      .cipher_encrypt = &gcry_cipher_encrypt,
      .cipher_decrypt = &gcry_cipher_decrypt,
  };
}

}  // namespace zelsnmp
