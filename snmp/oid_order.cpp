#include "snmp/oid_order.h"

#include <cstdint>

namespace zelsnmp {

namespace {

// The next arc of `oid` from `at` as a number (saturating), `at` moved past it and its dot.
std::uint64_t NextArc(std::string_view oid, std::size_t& at) {
  std::uint64_t value = 0;
  while (at < oid.size() && oid[at] != '.') {
    const char c = oid[at++];
    if (c >= '0' && c <= '9' && value < (UINT64_MAX - 9) / 10) value = value * 10 + (c - '0');
  }
  if (at < oid.size()) ++at;
  return value;
}

}  // namespace

int CompareOids(std::string_view a, std::string_view b) {
  std::size_t at_a = 0;
  std::size_t at_b = 0;
  while (at_a < a.size() && at_b < b.size()) {
    const std::uint64_t arc_a = NextArc(a, at_a);
    const std::uint64_t arc_b = NextArc(b, at_b);
    if (arc_a != arc_b) return arc_a < arc_b ? -1 : 1;
  }
  if (at_a < a.size()) return 1;
  if (at_b < b.size()) return -1;
  return 0;
}

bool OidUnder(std::string_view oid, std::string_view column) {
  return oid.size() > column.size() + 1 && oid.substr(0, column.size()) == column &&
         oid[column.size()] == '.';
}

}  // namespace zelsnmp
