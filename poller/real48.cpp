#include "poller/real48.h"

#include <cmath>
#include <cstdint>

namespace zelsnmp {
namespace {

constexpr int kExponentBias = 129;
constexpr int kLargestExponentByte = 255;
constexpr int kFractionBits = 39;
constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << kFractionBits) - 1;

Real48 Pack(bool negative, int exponent_byte, std::uint64_t fraction) {
  Real48 real;
  real.bytes[0] = static_cast<std::uint8_t>(exponent_byte);
  for (int i = 1; i <= 5; ++i) {
    real.bytes[i] = static_cast<std::uint8_t>(fraction & 0xFF);
    fraction >>= 8;
  }
  if (negative) real.bytes[5] |= 0x80;
  return real;
}

}  // namespace

Real48 EncodeReal48(long double value) {
  if (std::isnan(value) || value == 0) return Real48{};
  const bool negative = std::signbit(value);
  if (std::isinf(value)) return Pack(negative, kLargestExponentByte, kFractionMask);

  // magnitude = mantissa * 2^binary_exponent with mantissa in [0.5, 1), which is
  // (2 * mantissa) * 2^(binary_exponent - 1) in the 1.f form of the 6-byte real.
  int binary_exponent = 0;
  const long double mantissa = std::frexp(std::fabs(value), &binary_exponent);
  int exponent_byte = binary_exponent - 1 + kExponentBias;

  // All 64 bits of the extended mantissa, top bit set; keep the upper 40 with rounding.
  const auto bits = static_cast<std::uint64_t>(std::ldexp(mantissa, 64));
  constexpr int kDroppedBits = 64 - (kFractionBits + 1);
  constexpr std::uint64_t kHalf = std::uint64_t{1} << (kDroppedBits - 1);
  std::uint64_t significand = bits >> kDroppedBits;
  const std::uint64_t dropped = bits & ((std::uint64_t{1} << kDroppedBits) - 1);
  if (dropped > kHalf || (dropped == kHalf && (significand & 1) != 0)) ++significand;
  if (significand >> (kFractionBits + 1) != 0) {  // rounding carried into a new top bit
    significand >>= 1;
    ++exponent_byte;
  }

  if (exponent_byte < 1) return Real48{};
  if (exponent_byte > kLargestExponentByte) {
    return Pack(negative, kLargestExponentByte, kFractionMask);
  }
  return Pack(negative, exponent_byte, significand & kFractionMask);
}

}  // namespace zelsnmp
