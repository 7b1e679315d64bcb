#include "snmp/request_id.h"

#include "sys/random.h"

namespace zelsnmp {

std::int32_t DrawRequestId(std::int32_t fallback) {
  std::uint32_t value = 0;
  do {
    if (!FillRandomBytes(&value, sizeof value)) return fallback;
    value &= 0x7FFFFFFFu;
  } while (value == 0);
  return static_cast<std::int32_t>(value);
}

}  // namespace zelsnmp
