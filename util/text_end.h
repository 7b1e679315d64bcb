// TextUpToZero: the part of a byte string that a zero-terminated text would hold.
//
// The system's texts cross C interfaces as zero-terminated strings, so conversions that take
// a text count it only up to its first zero byte, whatever the string object holds after it.

#ifndef ZELSNMP_UTIL_TEXT_END_H_
#define ZELSNMP_UTIL_TEXT_END_H_

#include <string_view>

namespace zelsnmp {

inline std::string_view TextUpToZero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

}  // namespace zelsnmp

#endif  // ZELSNMP_UTIL_TEXT_END_H_
