// ParseFloatText: the conversion of a reply value text to a number for an analog point.
//
// The accepted form, over the text up to its first zero byte: any number of leading spaces
// (code 32 only); at most one "+" or "-"; then at least one more character, made of digits,
// optionally a "." followed by digits, optionally "E" or "e" with at most one sign and at
// least one digit, which must end the text. Digits may be missing on either side of the point,
// so "." and a bare exponent such as "E5" read as 0. The decimal point is always ".", whatever
// the process locale.
//
// The value is the correctly rounded double nearest to the decimal number; numbers beyond the
// double range give an infinity of their sign, numbers too small give a zero of their sign.

#ifndef ZELSNMP_UTIL_PARSE_FLOAT_H_
#define ZELSNMP_UTIL_PARSE_FLOAT_H_

#include <cstddef>
#include <string_view>

namespace zelsnmp {

struct FloatParseResult {
  double value = 0.0;
  // 0 when the whole text was accepted; otherwise the 1-based position of the first byte that
  // was not (one past the end when the text ended too early).
  std::size_t error_position = 0;
};

FloatParseResult ParseFloatText(std::string_view text);

}  // namespace zelsnmp

#endif  // ZELSNMP_UTIL_PARSE_FLOAT_H_
