#include "snmp/request_id.h"

#include <array>
#include <cstddef>

#include "sys/random.h"

namespace zelsnmp {

std::int32_t DrawRequestId(std::int32_t fallback) {
  // The platform's random source is read for sixteen requests at once; the values not yet
  // drawn stay with the thread that read them, and a drawn value is not kept.
  thread_local std::array<std::uint32_t, 16> pool{};
  thread_local std::size_t left = 0;
  for (;;) {
    if (left == 0) {
      if (!FillRandomBytes(pool.data(), sizeof pool)) return fallback;
      left = pool.size();
    }
    const std::uint32_t value = pool[--left] & 0x7FFFFFFFu;
    pool[left] = 0;
    if (value != 0) return static_cast<std::int32_t>(value);
  }
}

}  // namespace zelsnmp
