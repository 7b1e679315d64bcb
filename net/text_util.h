// Small text helpers shared by the network code.
//
// Only the space character (0x20) counts as a blank here: the address texts of the
// configuration are trimmed of spaces alone, never of tabs or line ends.

#ifndef ZELSNMP_NET_TEXT_UTIL_H_
#define ZELSNMP_NET_TEXT_UTIL_H_

#include <string>
#include <string_view>

namespace zelsnmp {

// `text` without leading and trailing spaces (0x20 only).
std::string TrimSpaces(std::string_view text);

// True when `text` is one or more characters, each a decimal digit.
bool IsDecimalDigits(std::string_view text);

// True when `text` is one or more characters, each a hexadecimal digit of either case.
bool IsHexDigits(std::string_view text);

}  // namespace zelsnmp

#endif  // ZELSNMP_NET_TEXT_UTIL_H_
