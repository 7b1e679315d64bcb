// The order of object identifiers in which GetNext and GetBulk walk an agent's data: arc by
// arc as numbers, a shorter OID before every longer one it begins.

#ifndef ZELSNMP_SNMP_OID_ORDER_H_
#define ZELSNMP_SNMP_OID_ORDER_H_

#include <string_view>

namespace zelsnmp {

// -1, 0 or 1 as dotted OID `a` orders before, equal to or after `b`. Arcs are read as decimal
// numbers (saturating far beyond 2^32; a character that is no digit counts as nothing), so any
// text compares without failing.
int CompareOids(std::string_view a, std::string_view b);

// True when `oid` lies under `column`: it begins with `column` and a dot, and has an arc more.
bool OidUnder(std::string_view oid, std::string_view column);

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_OID_ORDER_H_
