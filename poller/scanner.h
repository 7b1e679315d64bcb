// The formatted input scanner: reads values out of a text under the control of a format, in
// the manner of scanf, and reports how many values it stored.
//
// The poll cycle recognises a point address with it:
//   int channel, rtu, point;
//   if (ScanText(key, "#TC%d:%d:%d", &channel, &rtu, &point) == 3) ...
//
// Format: literal bytes, which the input must match exactly (case-sensitive); whitespace
// (bytes 0x01..0x20), which matches any run of whitespace in the input, none included; "%%",
// which matches one "%"; and conversions "%[*][width][prefix]letter":
//   d u o x p i   integers (u reads a sign like d; x reads no "0x"; i takes "$", "0x", "0X"
//                 as hexadecimal and a leading 0 as octal); p only without a prefix
//   e f g         floating numbers, also "INF" and "NAN" in upper case
//   c             width bytes (default 1) as they are, no terminating zero; no prefix
//   s             a word up to the next whitespace byte
//   [set]         bytes of the set (see char_set.h), possibly none, which still counts
//   n             stores the number of input bytes consumed so far; not counted
//   m             currency, not supported: the scan ends there
// Letters are case-insensitive, prefixes are not. An explicit width of 0 is invalid.
// Integers, floats, words and currency skip whitespace in the input first.
//
// Destinations, by prefix (l8, l16, l32, l64 act as H, h, l, L; ll as L):
//               none            H         h                    l            L
//   integer, n  32-bit          8-bit     16-bit               32-bit       64-bit
//   floating    float           Real48    float                double       long double
//   s, [        TextBuffer()    -         LengthPrefixedText   std::string  -
//   c           TextBuffer()    -         -                    -            -
// A destination of another type ends the scan, as does a missing or null one; nothing is
// stored through it. Word and set conversions read at most capacity - 1 bytes into a
// TextBuffer (the zero byte always fits) and at most 255 into a LengthPrefixedText; a
// character conversion copies at most capacity bytes.
//
// Integers are read into 64 bits, wrapping silently, negated after "-" and narrowed to the
// destination's size. An i conversion takes a "$" or "0x" prefix only when it fits in the
// width (else "0" is an octal digit); a sign, prefix or "." with no digit behind it within the
// width fails the conversion, and the scan ends.
//
// Floating numbers are read as digits v, fraction digit count f and exponent e and computed as
// v * 10^(e - f) in long double arithmetic; the scanner relies on the process's default
// floating-point environment (round to nearest, every exception masked), which the system
// never changes, so an overflow gives infinity and an underflow zero. Into a long double
// destination (80-bit extended on x86) only its 10 significant bytes are written. For the
// 6-byte real see real48.h (saturating on overflow).
//
// Texts count up to their first zero byte; the scanner never reads past it. It raises no
// error: every problem ends the scan where it stands, and values stored before stay stored.
// It keeps no state between calls and may run on any number of threads at once.

#ifndef ZELSNMP_POLLER_SCANNER_H_
#define ZELSNMP_POLLER_SCANNER_H_

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

#include "poller/char_set.h"
#include "poller/scan_destination.h"

namespace zelsnmp {

// One parsed conversion specification.
struct ConversionSpec {
  enum class Kind : std::uint8_t {
    kInteger,
    kFloating,
    kCharacter,
    kWord,
    kSet,
    kCount,
    kCurrency,
  };
  // l8, l16, l32, l64 and ll are parsed into the prefix they act as.
  enum class SizePrefix : std::uint8_t { kNone, kH, kh, kl, kL };
  enum class Bases : std::uint8_t { kDecimal, kOctal, kHexadecimal, kChosenByPrefix };

  bool suppressed = false;  // read but neither stored nor counted; takes no destination
  std::size_t width = 0;    // most input bytes to consume; 0 when none was given
  SizePrefix size_prefix = SizePrefix::kNone;
  Kind kind = Kind::kInteger;
  Bases bases = Bases::kDecimal;  // integers only
  CharSet set;                    // set conversions only
};

// Scans from the input cursor under the format cursor, storing through destinations in turn.
// Gives the number of values stored; both cursors are left where the scan stopped (the input
// at the next unread byte). Both views are first cut at their first zero byte. The n
// conversion counts the bytes consumed since the input cursor passed in.
std::int32_t ScanCore(std::string_view& input, std::string_view& format,
                      std::span<const ScanDestination> destinations);

// ScanCore over the whole input: the number of values stored, or -1 when none was stored and
// the scan stopped at the end of the input.
std::int32_t ScanText(std::string_view input, std::string_view format,
                      std::span<const ScanDestination> destinations);

template <typename... Destinations>
  requires(std::convertible_to<Destinations, ScanDestination> && ...)
std::int32_t ScanText(std::string_view input, std::string_view format,
                      Destinations&&... destinations) {
  const std::array<ScanDestination, sizeof...(Destinations)> list{
      ScanDestination(std::forward<Destinations>(destinations))...};
  return ScanText(input, format, std::span<const ScanDestination>(list));
}

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_SCANNER_H_
