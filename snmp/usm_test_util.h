// Test support of the SNMPv3 security tests: byte strings written as hexadecimal text.

#ifndef ZELSNMP_SNMP_USM_TEST_UTIL_H_
#define ZELSNMP_SNMP_USM_TEST_UTIL_H_

#include <string>
#include <string_view>

namespace zelsnmp::testing_support {

// "9faf 3283" -> the bytes 9F AF 32 83 (blanks ignored).
inline std::string Bytes(std::string_view hex) {
  auto nibble = [](char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
  };
  std::string bytes;
  int high = -1;
  for (char c : hex) {
    if (c == ' ') continue;
    if (high < 0) {
      high = nibble(c);
    } else {
      bytes.push_back(static_cast<char>(high * 16 + nibble(c)));
      high = -1;
    }
  }
  return bytes;
}

// The bytes as lower-case hexadecimal text without blanks.
inline std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (char c : bytes) {
    hex.push_back(kDigits[(static_cast<unsigned char>(c) >> 4) & 0xF]);
    hex.push_back(kDigits[static_cast<unsigned char>(c) & 0xF]);
  }
  return hex;
}

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_SNMP_USM_TEST_UTIL_H_
