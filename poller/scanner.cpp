#include "poller/scanner.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "poller/real48.h"
#include "util/text_end.h"

namespace zelsnmp {
namespace {

using Kind = ConversionSpec::Kind;
using SizePrefix = ConversionSpec::SizePrefix;
using Bases = ConversionSpec::Bases;
using DestinationType = ScanDestination::Type;

constexpr std::size_t kUnlimitedWidth = std::numeric_limits<std::size_t>::max();
constexpr std::size_t kLengthPrefixedMaxBytes = 255;
// Exponents beyond this already overflow or underflow any long double; clamping keeps the
// accumulation from wrapping on absurdly long exponent digit runs.
constexpr std::int64_t kExponentLimit = 1'000'000;
// 10^4000 is finite in long double, so scaling in steps of it never meets inf * 0.
constexpr std::int64_t kLargestScaleStep = 4000;

bool IsWhitespace(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x01 && value <= 0x20;
}

void SkipWhitespace(std::string_view& text) {
  std::size_t count = 0;
  while (count < text.size() && IsWhitespace(text[count])) ++count;
  text.remove_prefix(count);
}

bool IsDecimalDigit(char byte) { return byte >= '0' && byte <= '9'; }

// The next input byte, when the width and the input both allow one more.
bool NextByteIs(std::string_view input, std::size_t width, char byte) {
  return width > 0 && !input.empty() && input.front() == byte;
}

void Consume(std::string_view& input, std::size_t& width, std::size_t count) {
  input.remove_prefix(count);
  width -= count;
}

// Gives false when the format ends (the stop), true when a conversion follows with the format
// cursor right behind its "%".
bool MatchLiterals(std::string_view& input, std::string_view& format) {
  while (!format.empty()) {
    const char byte = format.front();
    if (IsWhitespace(byte)) {
      SkipWhitespace(format);
      SkipWhitespace(input);
    } else if (byte == '%' && format.size() >= 2 && format[1] == '%') {
      if (input.empty() || input.front() != '%') return false;
      format.remove_prefix(2);
      input.remove_prefix(1);
    } else if (byte == '%') {
      format.remove_prefix(1);
      return true;
    } else {
      if (input.empty() || input.front() != byte) return false;
      format.remove_prefix(1);
      input.remove_prefix(1);
    }
  }
  return false;
}

SizePrefix ReadSizePrefix(std::string_view& format) {
  struct Spelling {
    std::string_view text;
    SizePrefix prefix;
  };
  // Longer spellings first: "l16" must not be read as "l".
  static constexpr Spelling kSpellings[] = {
      {"l8", SizePrefix::kH},  {"l16", SizePrefix::kh}, {"l32", SizePrefix::kl},
      {"l64", SizePrefix::kL}, {"ll", SizePrefix::kL},  {"l", SizePrefix::kl},
      {"H", SizePrefix::kH},   {"h", SizePrefix::kh},   {"L", SizePrefix::kL},
  };
  for (const Spelling& spelling : kSpellings) {
    if (format.starts_with(spelling.text)) {
      format.remove_prefix(spelling.text.size());
      return spelling.prefix;
    }
  }
  return SizePrefix::kNone;
}

bool PrefixAllowed(Kind kind, char letter, SizePrefix prefix) {
  switch (kind) {
    case Kind::kInteger:
      return letter != 'p' || prefix == SizePrefix::kNone;
    case Kind::kFloating:
    case Kind::kCount:
      return true;
    case Kind::kWord:
    case Kind::kSet:
      return prefix == SizePrefix::kNone || prefix == SizePrefix::kh ||
             prefix == SizePrefix::kl;
    case Kind::kCharacter:
    case Kind::kCurrency:
      return prefix == SizePrefix::kNone;
  }
  return false;
}

// Reads "[*][width][prefix]letter" behind the "%". On success moves format behind the letter
// (a set's member list is read later, by ParseCharSet). An invalid conversion gives false
// and leaves format where it was.
bool ParseConversionSpec(std::string_view& format, ConversionSpec& spec) {
  std::string_view rest = format;
  ConversionSpec parsed;
  if (rest.starts_with('*')) {
    parsed.suppressed = true;
    rest.remove_prefix(1);
  }
  if (!rest.empty() && IsDecimalDigit(rest.front())) {
    std::size_t width = 0;
    while (!rest.empty() && IsDecimalDigit(rest.front())) {
      const auto digit = static_cast<std::size_t>(rest.front() - '0');
      width = width > (kUnlimitedWidth - digit) / 10 ? kUnlimitedWidth : width * 10 + digit;
      rest.remove_prefix(1);
    }
    if (width == 0) return false;
    parsed.width = width;
  }
  parsed.size_prefix = ReadSizePrefix(rest);
  if (rest.empty()) return false;

  char letter = rest.front();
  if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
  switch (letter) {
    case 'd':
    case 'u':
      parsed.kind = Kind::kInteger;
      parsed.bases = Bases::kDecimal;
      break;
    case 'o':
      parsed.kind = Kind::kInteger;
      parsed.bases = Bases::kOctal;
      break;
    case 'x':
    case 'p':
      parsed.kind = Kind::kInteger;
      parsed.bases = Bases::kHexadecimal;
      break;
    case 'i':
      parsed.kind = Kind::kInteger;
      parsed.bases = Bases::kChosenByPrefix;
      break;
    case 'e':
    case 'f':
    case 'g':
      parsed.kind = Kind::kFloating;
      break;
    case 'c':
      parsed.kind = Kind::kCharacter;
      break;
    case 's':
      parsed.kind = Kind::kWord;
      break;
    case '[':
      parsed.kind = Kind::kSet;
      break;
    case 'n':
      parsed.kind = Kind::kCount;
      break;
    case 'm':
      parsed.kind = Kind::kCurrency;
      break;
    default:
      return false;
  }
  if (!PrefixAllowed(parsed.kind, letter, parsed.size_prefix)) return false;
  rest.remove_prefix(1);
  format = rest;
  spec = parsed;
  return true;
}

// The one destination type that a conversion stores into.
DestinationType RequiredType(const ConversionSpec& spec) {
  const SizePrefix prefix = spec.size_prefix;
  switch (spec.kind) {
    case Kind::kInteger:
    case Kind::kCount:
      switch (prefix) {
        case SizePrefix::kH: return DestinationType::kInt8;
        case SizePrefix::kh: return DestinationType::kInt16;
        case SizePrefix::kL: return DestinationType::kInt64;
        default: return DestinationType::kInt32;
      }
    case Kind::kFloating:
      switch (prefix) {
        case SizePrefix::kH: return DestinationType::kReal48;
        case SizePrefix::kl: return DestinationType::kDouble;
        case SizePrefix::kL: return DestinationType::kLongDouble;
        default: return DestinationType::kFloat;
      }
    case Kind::kWord:
    case Kind::kSet:
      switch (prefix) {
        case SizePrefix::kh: return DestinationType::kLengthPrefixedText;
        case SizePrefix::kl: return DestinationType::kString;
        default: return DestinationType::kTextBuffer;
      }
    case Kind::kCharacter:
      return DestinationType::kTextBuffer;
    case Kind::kCurrency:
      break;
  }
  return DestinationType::kNull;
}

bool DestinationFits(const ScanDestination& destination, const ConversionSpec& spec) {
  if (destination.IsNull()) return false;
  // Currency ends the scan whatever it is given.
  if (spec.kind == Kind::kCurrency) return true;
  if (destination.GetType() != RequiredType(spec)) return false;
  return destination.GetType() != DestinationType::kTextBuffer || destination.Capacity() > 0;
}

// The most bytes a word or set conversion may read into the destination (null: suppressed).
std::size_t TextLimit(const ScanDestination* destination) {
  if (destination == nullptr) return kUnlimitedWidth;
  switch (destination->GetType()) {
    case DestinationType::kTextBuffer: return destination->Capacity() - 1;
    case DestinationType::kLengthPrefixedText: return kLengthPrefixedMaxBytes;
    default: return kUnlimitedWidth;
  }
}

// Digit readers: read digits of their base as far as the width allows, accumulating into value
// (wrapping in 64 bits), and give how many they read.
template <typename DigitValue>
std::size_t ReadDigits(std::string_view& input, std::size_t& width, std::uint64_t& value,
                       std::uint64_t base, DigitValue digit_value) {
  std::size_t count = 0;
  while (width > 0 && !input.empty()) {
    const int digit = digit_value(input.front());
    if (digit < 0) break;
    value = value * base + static_cast<std::uint64_t>(digit);
    Consume(input, width, 1);
    ++count;
  }
  return count;
}

std::size_t ReadDecimalDigits(std::string_view& input, std::size_t& width, std::uint64_t& value) {
  return ReadDigits(input, width, value, 10,
                    [](char byte) { return IsDecimalDigit(byte) ? byte - '0' : -1; });
}

std::size_t ReadOctalDigits(std::string_view& input, std::size_t& width, std::uint64_t& value) {
  return ReadDigits(input, width, value, 8,
                    [](char byte) { return byte >= '0' && byte <= '7' ? byte - '0' : -1; });
}

std::size_t ReadHexDigits(std::string_view& input, std::size_t& width, std::uint64_t& value) {
  return ReadDigits(input, width, value, 16, [](char byte) {
    if (IsDecimalDigit(byte)) return byte - '0';
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    return -1;
  });
}

// A "+" or "-" at the cursor; gives true for "-".
bool ReadSign(std::string_view& input, std::size_t& width) {
  if (NextByteIs(input, width, '+')) {
    Consume(input, width, 1);
  } else if (NextByteIs(input, width, '-')) {
    Consume(input, width, 1);
    return true;
  }
  return false;
}

// Integers. A "$" or "0x" prefix of i is taken only when it fits in the remaining width; when
// it leaves no width or no digit behind it, the conversion fails. Otherwise a "0" within the
// width selects octal and counts as a digit.
bool ScanNumber(std::string_view& input, std::size_t width, Bases bases, std::uint64_t& value) {
  const bool negative = ReadSign(input, width);
  if (bases == Bases::kChosenByPrefix) {
    if (NextByteIs(input, width, '$')) {
      Consume(input, width, 1);
      bases = Bases::kHexadecimal;
    } else if (width >= 2 && (input.starts_with("0x") || input.starts_with("0X"))) {
      Consume(input, width, 2);
      bases = Bases::kHexadecimal;
    } else if (NextByteIs(input, width, '0')) {
      bases = Bases::kOctal;
    } else {
      bases = Bases::kDecimal;
    }
  }
  std::uint64_t magnitude = 0;
  std::size_t digits = 0;
  switch (bases) {
    case Bases::kOctal: digits = ReadOctalDigits(input, width, magnitude); break;
    case Bases::kHexadecimal: digits = ReadHexDigits(input, width, magnitude); break;
    default: digits = ReadDecimalDigits(input, width, magnitude); break;
  }
  if (digits == 0) return false;
  value = negative ? 0 - magnitude : magnitude;
  return true;
}

long double PowerOfTen(std::int64_t exponent) {
  long double result = 1.0L;
  long double square = 10.0L;
  while (exponent > 0) {
    if ((exponent & 1) != 0) result *= square;
    exponent >>= 1;
    if (exponent > 0) square *= square;
  }
  return result;
}

// digits * 10^exponent. Scaling down divides by an exact power of ten where one exists
// (up to 10^27), which gives the correctly rounded quotient for short fractions.
long double ScaleByPowerOfTen(long double digits, std::int64_t exponent) {
  while (exponent != 0 && digits != 0 && std::isfinite(digits)) {
    const std::int64_t step = std::min(exponent < 0 ? -exponent : exponent, kLargestScaleStep);
    if (exponent > 0) {
      digits *= PowerOfTen(step);
      exponent -= step;
    } else {
      digits /= PowerOfTen(step);
      exponent += step;
    }
  }
  return digits;
}

// Digits, fraction and exponent of a floating number (no sign, no INF or NAN). A width that
// ends before any digit, or a lone ".", fails the conversion.
bool ScanFloatDigits(std::string_view& input, std::size_t& width, long double& value) {
  long double digits = 0.0L;
  std::int64_t fraction_digits = 0;
  bool any_digit = false;
  while (width > 0 && !input.empty() && IsDecimalDigit(input.front())) {
    digits = digits * 10.0L + static_cast<long double>(input.front() - '0');
    Consume(input, width, 1);
    any_digit = true;
  }
  if (NextByteIs(input, width, '.')) {
    Consume(input, width, 1);
    while (width > 0 && !input.empty() && IsDecimalDigit(input.front())) {
      digits = digits * 10.0L + static_cast<long double>(input.front() - '0');
      Consume(input, width, 1);
      ++fraction_digits;
      any_digit = true;
    }
  }
  if (!any_digit) return false;

  std::int64_t exponent = 0;
  if (NextByteIs(input, width, 'E') || NextByteIs(input, width, 'e')) {
    Consume(input, width, 1);
    const bool negative = ReadSign(input, width);
    while (width > 0 && !input.empty() && IsDecimalDigit(input.front())) {
      exponent = std::min(exponent * 10 + (input.front() - '0'), kExponentLimit);
      Consume(input, width, 1);
    }
    if (negative) exponent = -exponent;
  }
  value = ScaleByPowerOfTen(digits, exponent - fraction_digits);
  return true;
}

bool ScanNumber(std::string_view& input, std::size_t width, long double& value) {
  const bool negative = ReadSign(input, width);
  long double magnitude = 0.0L;
  if (width >= 3 && input.starts_with("INF")) {
    magnitude = std::numeric_limits<long double>::infinity();
    Consume(input, width, 3);
  } else if (width >= 3 && input.starts_with("NAN")) {
    magnitude = std::numeric_limits<long double>::quiet_NaN();
    Consume(input, width, 3);
  } else if (!ScanFloatDigits(input, width, magnitude)) {
    return false;
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

template <typename T>
void StoreBytes(const ScanDestination& destination, const T& value) {
  std::memcpy(destination.Target(), &value, sizeof(T));
}

void StoreInteger(const ScanDestination& destination, std::uint64_t value) {
  switch (destination.GetType()) {
    case DestinationType::kInt8: StoreBytes(destination, static_cast<std::uint8_t>(value)); break;
    case DestinationType::kInt16: StoreBytes(destination, static_cast<std::uint16_t>(value)); break;
    case DestinationType::kInt32: StoreBytes(destination, static_cast<std::uint32_t>(value)); break;
    case DestinationType::kInt64: StoreBytes(destination, value); break;
    default: break;
  }
}

void StoreFloating(const ScanDestination& destination, long double value) {
  switch (destination.GetType()) {
    case DestinationType::kFloat: StoreBytes(destination, static_cast<float>(value)); break;
    case DestinationType::kDouble: StoreBytes(destination, static_cast<double>(value)); break;
    case DestinationType::kLongDouble:
      if constexpr (std::numeric_limits<long double>::digits == 64) {
        // The 80-bit extended value; the padding bytes behind it stay as they were.
        std::memcpy(destination.Target(), &value, 10);
      } else {
        StoreBytes(destination, value);
      }
      break;
    case DestinationType::kReal48: StoreBytes(destination, EncodeReal48(value)); break;
    default: break;
  }
}

void StoreScannedText(const ScanDestination& destination, std::string_view text) {
  switch (destination.GetType()) {
    case DestinationType::kTextBuffer: {
      // TextLimit kept text within Capacity() - 1 bytes.
      char* buffer = static_cast<char*>(destination.Target());
      std::memcpy(buffer, text.data(), text.size());
      buffer[text.size()] = '\0';
      break;
    }
    case DestinationType::kLengthPrefixedText: {
      auto* prefixed = static_cast<LengthPrefixedText*>(destination.Target());
      prefixed->length = static_cast<std::uint8_t>(text.size());
      std::memcpy(prefixed->bytes.data(), text.data(), text.size());
      break;
    }
    case DestinationType::kString:
      static_cast<std::string*>(destination.Target())->assign(text);
      break;
    default:
      break;
  }
}

// Reads one conversion whose input is not at its end; destination is null when suppressed.
// Gives false when the scan must end there.
bool RunConversion(std::string_view& input, const ConversionSpec& spec, std::size_t width,
                   const ScanDestination* destination, std::size_t consumed_before) {
  switch (spec.kind) {
    case Kind::kInteger: {
      std::uint64_t value = 0;
      if (!ScanNumber(input, width, spec.bases, value)) return false;
      if (destination != nullptr) StoreInteger(*destination, value);
      return true;
    }
    case Kind::kFloating: {
      long double value = 0.0L;
      if (!ScanNumber(input, width, value)) return false;
      if (destination != nullptr) StoreFloating(*destination, value);
      return true;
    }
    case Kind::kCharacter: {
      std::size_t count = std::min(width, input.size());
      if (destination != nullptr) {
        count = std::min(count, destination->Capacity());
        std::memcpy(destination->Target(), input.data(), count);
      }
      input.remove_prefix(count);
      return true;
    }
    case Kind::kWord:
    case Kind::kSet: {
      const std::size_t limit = std::min({width, input.size(), TextLimit(destination)});
      std::size_t count = 0;
      while (count < limit && (spec.kind == Kind::kWord ? !IsWhitespace(input[count])
                                                        : CharSetHas(spec.set, input[count]))) {
        ++count;
      }
      if (destination != nullptr) StoreScannedText(*destination, input.substr(0, count));
      input.remove_prefix(count);
      return true;
    }
    case Kind::kCount:
      if (destination != nullptr) StoreInteger(*destination, consumed_before);
      return true;
    case Kind::kCurrency:
      return false;
  }
  return false;
}

}  // namespace

std::int32_t ScanCore(std::string_view& input, std::string_view& format,
                      std::span<const ScanDestination> destinations) {
  input = TextUpToZero(input);
  format = TextUpToZero(format);
  const char* const input_start = input.data();
  std::int32_t count = 0;
  std::size_t next_destination = 0;

  while (MatchLiterals(input, format)) {
    ConversionSpec spec;
    if (!ParseConversionSpec(format, spec)) break;

    const ScanDestination* destination = nullptr;
    if (!spec.suppressed) {
      if (next_destination >= destinations.size()) break;
      destination = &destinations[next_destination];
      if (!DestinationFits(*destination, spec)) break;
    }

    switch (spec.kind) {
      case Kind::kInteger:
      case Kind::kFloating:
      case Kind::kWord:
      case Kind::kCurrency:
        SkipWhitespace(input);
        break;
      case Kind::kCharacter:
        if (spec.width == 0) spec.width = 1;
        break;
      case Kind::kSet:
        if (!ParseCharSet(format, spec.set)) return count;
        break;
      case Kind::kCount:
        break;
    }
    if (input.empty()) break;

    const std::size_t width = spec.width == 0 ? kUnlimitedWidth : spec.width;
    const auto consumed = static_cast<std::size_t>(input.data() - input_start);
    if (!RunConversion(input, spec, width, destination, consumed)) break;

    if (!spec.suppressed) {
      if (spec.kind != Kind::kCount) ++count;
      ++next_destination;
    }
  }
  return count;
}

std::int32_t ScanText(std::string_view input, std::string_view format,
                      std::span<const ScanDestination> destinations) {
  const std::int32_t count = ScanCore(input, format, destinations);
  return count == 0 && input.empty() ? -1 : count;
}

}  // namespace zelsnmp
