// libFuzzer target: ParseIntDefault and ParseFloatText checked against small reference
// conversions written straight from their accepted forms (64-bit arithmetic for the whole
// numbers, the C library's correctly rounded strtod for the floats).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_require.h"
#include "util/parse_float.h"
#include "util/parse_int.h"

namespace {

std::string_view UpToZero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

std::optional<std::int32_t> ReferenceInt(std::string_view text) {
  text = UpToZero(text);
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  std::string_view rest = text.substr(i);
  if (rest.starts_with("0x") || rest.starts_with("0X")) {
    base = 16;
    rest.remove_prefix(2);
  } else if (rest.starts_with("$") || rest.starts_with("x") || rest.starts_with("X")) {
    base = 16;
    rest.remove_prefix(1);
  }
  if (rest.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : rest) {
    const int digit = DigitValue(c, base);
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  if (base == 16) {
    const std::uint32_t pattern = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>(negative ? 0u - pattern : pattern);
  }
  const std::int64_t signed_value = negative ? -static_cast<std::int64_t>(value) : value;
  if (signed_value < INT32_MIN || signed_value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(signed_value);
}

// Accepted iff the form fits; then the nearest double (±0 when the mantissa has no digit).
std::optional<double> ReferenceFloat(std::string_view text) {
  text = UpToZero(text);
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const std::size_t start = i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  std::size_t mantissa_digits = 0;
  while (i < text.size() && DigitValue(text[i], 10) >= 0) ++i, ++mantissa_digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && DigitValue(text[i], 10) >= 0) ++i, ++mantissa_digits;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < text.size() && DigitValue(text[i], 10) >= 0) ++i, ++exponent_digits;
    if (exponent_digits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  if (mantissa_digits == 0) return negative ? -0.0 : 0.0;
  const std::string number(text.substr(start));
  return std::strtod(number.c_str(), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::int32_t> whole = ReferenceInt(text);
  Require(zelsnmp::ParseIntDefault(text, 12345) == whole.value_or(12345));
  Require(zelsnmp::ParseIntDefault(text, -7) == whole.value_or(-7));

  const zelsnmp::FloatParseResult parsed = zelsnmp::ParseFloatText(text);
  const std::optional<double> expected = ReferenceFloat(text);
  Require((parsed.error_position == 0) == expected.has_value());
  if (expected) {
    Require(std::memcmp(&parsed.value, &*expected, sizeof(double)) == 0 ||
            (std::isnan(parsed.value) && std::isnan(*expected)));
    Require(parsed.error_position <= UpToZero(text).size() + 1);
  }
  return 0;
}
