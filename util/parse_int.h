// ParseIntDefault: the system's one conversion of text to a whole number.
//
// Used wherever a text must become a 32-bit integer (reply values for status points, INTEGER
// and Counter values being encoded, OID arcs, message header fields). It never fails: text
// that is not a number in the accepted form gives the caller's default.
//
// Accepted form: the text up to its first zero byte; leading spaces (code 32 only); at most
// one "+" or "-"; then decimal digits, or hexadecimal digits of either case after a "$", "x",
// "X", "0x" or "0X" prefix. Nothing else may follow. A decimal number must lie in
// -2147483648..2147483647. A hexadecimal number must fit in 32 bits and is that bit pattern
// read as signed ("$FFFFFFFF" is -1); a sign in front of it negates it, wrapping in 32 bits.
// A leading "0" followed by decimal digits is still decimal ("012" is 12).

#ifndef ZELSNMP_UTIL_PARSE_INT_H_
#define ZELSNMP_UTIL_PARSE_INT_H_

#include <cstdint>
#include <string_view>

namespace zelsnmp {

std::int32_t ParseIntDefault(std::string_view text, std::int32_t default_value);

}  // namespace zelsnmp

#endif  // ZELSNMP_UTIL_PARSE_INT_H_
