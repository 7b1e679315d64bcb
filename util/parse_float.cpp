#include "util/parse_float.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include "util/text_end.h"

namespace zelsnmp {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return pos;
}

// Exponents beyond this cannot bring any mantissa that fits in memory back into the double
// range, so larger ones are clamped before the value is computed.
constexpr long long kExponentClamp = 1'000'000'000'000LL;

long long ReadExponent(std::string_view digits, bool negative) {
  long long value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > kExponentClamp) {
      value = kExponentClamp;
      break;
    }
  }
  return negative ? -value : value;
}

// The double nearest to the whole number `significant_digits` (no leading zero) times ten to
// `exponent`.
double ScaleDecimal(std::string_view significant_digits, long long exponent) {
  // Orders of magnitude outside these bounds are certainly infinite or zero in double.
  constexpr long long kAboveDoubleRange = 400;
  constexpr long long kBelowDoubleRange = -400;
  const long long order = static_cast<long long>(significant_digits.size()) + exponent;
  if (order > kAboveDoubleRange) return std::numeric_limits<double>::infinity();
  if (order < kBelowDoubleRange) return 0.0;

  std::string number(significant_digits);
  number += 'e';
  number += std::to_string(exponent);
  double value = 0.0;
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    return order > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return value;
}

}  // namespace

FloatParseResult ParseFloatText(std::string_view full_text) {
  const std::string_view text = TextUpToZero(full_text);
  FloatParseResult result;
  auto fail_at = [&result](std::size_t pos) {
    result.value = 0.0;
    result.error_position = pos + 1;
    return result;
  };

  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos == text.size()) return fail_at(pos);

  const std::size_t integer_begin = pos;
  pos = SkipDigits(text, pos);
  const std::string_view integer_digits = text.substr(integer_begin, pos - integer_begin);
  std::string_view fraction_digits;
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t fraction_begin = ++pos;
    pos = SkipDigits(text, pos);
    fraction_digits = text.substr(fraction_begin, pos - fraction_begin);
  }
  long long exponent = 0;
  if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e')) {
    ++pos;
    bool exponent_negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
      exponent_negative = text[pos] == '-';
      ++pos;
    }
    const std::size_t exponent_begin = pos;
    pos = SkipDigits(text, pos);
    if (pos == exponent_begin) return fail_at(pos);
    exponent = ReadExponent(text.substr(exponent_begin, pos - exponent_begin), exponent_negative);
  }
  if (pos != text.size()) return fail_at(pos);

  std::string digits(integer_digits);
  digits += fraction_digits;
  const std::size_t first_significant = digits.find_first_not_of('0');
  double magnitude = 0.0;
  if (first_significant != std::string::npos) {
    const std::string_view significant = std::string_view(digits).substr(first_significant);
    // The number is the whole number <significant> times ten to the power below.
    const long long point_shift =
        static_cast<long long>(integer_digits.size()) - static_cast<long long>(first_significant);
    const long long exponent_of_last_digit =
        exponent + point_shift - static_cast<long long>(significant.size());
    magnitude = ScaleDecimal(significant, exponent_of_last_digit);
  }
  result.value = negative ? -magnitude : magnitude;
  return result;
}

}  // namespace zelsnmp
