#include "sys/random.h"

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

namespace zelsnmp {

bool FillRandomBytes(void* buffer, std::size_t size) {
  unsigned char* bytes = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    const ULONG chunk = size > 0x10000000u ? 0x10000000u : static_cast<ULONG>(size);
    if (BCryptGenRandom(nullptr, bytes, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
      return false;
    }
    bytes += chunk;
    size -= chunk;
  }
  return true;
}

}  // namespace zelsnmp
