// Letter case of ASCII letters only. Names in the configuration are Windows-1251 bytes, and the
// Windows functions the task stands in for compare Cyrillic letters as they are, so every
// case-insensitive comparison of the system folds A-Z and nothing else.

#ifndef ZELSNMP_UTIL_ASCII_CASE_H_
#define ZELSNMP_UTIL_ASCII_CASE_H_

#include <string>
#include <string_view>

namespace zelsnmp {

inline char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `text` with A-Z turned into a-z.
inline std::string FoldAsciiCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = LowerAscii(c);
  return folded;
}

inline bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

inline bool StartsIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         SameIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace zelsnmp

#endif  // ZELSNMP_UTIL_ASCII_CASE_H_
