#include "util/parse_int.h"

#include <optional>

#include "util/text_end.h"

namespace zelsnmp {
namespace {

constexpr std::uint64_t kMaxPositiveDecimal = 2147483647u;
constexpr std::uint64_t kMaxNegativeDecimal = 2147483648u;
constexpr std::uint64_t kMaxHexPattern = 0xFFFFFFFFu;

int DigitValue(char c, int base) {
  int value = 99;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

// Reads the whole of `digits` in `base`; nothing when it is empty, holds another character,
// or grows beyond `limit`.
std::optional<std::uint64_t> ReadDigits(std::string_view digits, int base, std::uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    int digit = DigitValue(c, base);
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  return value;
}

}  // namespace

std::int32_t ParseIntDefault(std::string_view text, std::int32_t default_value) {
  text = TextUpToZero(text);
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  std::string_view rest = text.substr(pos);

  std::size_t prefix_length = 0;
  if (rest.starts_with("0x") || rest.starts_with("0X")) {
    prefix_length = 2;
  } else if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    prefix_length = 1;
  }

  if (prefix_length > 0) {
    auto pattern = ReadDigits(rest.substr(prefix_length), 16, kMaxHexPattern);
    if (!pattern) return default_value;
    std::uint32_t bits = static_cast<std::uint32_t>(*pattern);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
  }

  auto magnitude = ReadDigits(rest, 10, negative ? kMaxNegativeDecimal : kMaxPositiveDecimal);
  if (!magnitude) return default_value;
  std::int64_t value = static_cast<std::int64_t>(*magnitude);
  return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace zelsnmp
