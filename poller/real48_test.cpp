#include "poller/real48.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

using Bytes = std::array<std::uint8_t, 6>;

constexpr Bytes kZero = {0, 0, 0, 0, 0, 0};
constexpr Bytes kLargest = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
constexpr Bytes kLargestNegative = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

struct RealCase {
  long double value;
  Bytes bytes;
  friend void PrintTo(const RealCase& c, std::ostream* os) { *os << c.value; }
};

class EncodeReal48Test : public ::testing::TestWithParam<RealCase> {};

TEST_P(EncodeReal48Test, GivesBytes) {
  EXPECT_EQ(EncodeReal48(GetParam().value).bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Values, EncodeReal48Test,
    ::testing::Values(RealCase{1.0L, {0x81, 0, 0, 0, 0, 0}},
                      RealCase{-2.5L, {0x82, 0, 0, 0, 0, 0xA0}},
                      RealCase{0.5L, {0x80, 0, 0, 0, 0, 0}},
                      RealCase{3.0L, {0x82, 0, 0, 0, 0, 0x40}},
                      RealCase{10.0L, {0x84, 0, 0, 0, 0, 0x20}},
                      RealCase{0.0L, kZero},
                      RealCase{-0.0L, kZero},
                      RealCase{std::ldexp(1.0L, -128), {0x01, 0, 0, 0, 0, 0}},
                      RealCase{std::ldexp(1.0L, 126), {0xFF, 0, 0, 0, 0, 0}}));

INSTANTIATE_TEST_SUITE_P(
    Rounding, EncodeReal48Test,
    ::testing::Values(
        // 1 + 2^-39 is the next value above 1; half of that step rounds to even.
        RealCase{1.0L + std::ldexp(1.0L, -39), {0x81, 1, 0, 0, 0, 0}},
        RealCase{1.0L + std::ldexp(1.0L, -40), {0x81, 0, 0, 0, 0, 0}},
        RealCase{1.0L + 3 * std::ldexp(1.0L, -40), {0x81, 2, 0, 0, 0, 0}},
        RealCase{1.0L + std::ldexp(1.0L, -40) + std::ldexp(1.0L, -60), {0x81, 1, 0, 0, 0, 0}},
        // Rounding up the largest fraction carries into the exponent.
        RealCase{2.0L - std::ldexp(1.0L, -41), {0x82, 0, 0, 0, 0, 0}}));

INSTANTIATE_TEST_SUITE_P(
    OutOfRange, EncodeReal48Test,
    ::testing::Values(RealCase{1e-40L, kZero},
                      RealCase{-1e-40L, kZero},
                      RealCase{std::ldexp(1.0L, -129), kZero},
                      RealCase{std::numeric_limits<long double>::denorm_min(), kZero},
                      // Just below 2^-128 rounds up to it.
                      RealCase{std::ldexp(1.0L, -128) - std::ldexp(1.0L, -180),
                               {0x01, 0, 0, 0, 0, 0}},
                      RealCase{1e40L, kLargest},
                      RealCase{-1e40L, kLargestNegative},
                      RealCase{std::ldexp(1.0L, 127), kLargest},
                      RealCase{std::ldexp(2.0L - std::ldexp(1.0L, -39), 126), kLargest},
                      // Rounds up past the largest value: saturates.
                      RealCase{std::ldexp(2.0L - std::ldexp(1.0L, -41), 126), kLargest},
                      RealCase{std::numeric_limits<long double>::infinity(), kLargest},
                      RealCase{-std::numeric_limits<long double>::infinity(), kLargestNegative},
                      RealCase{std::numeric_limits<long double>::quiet_NaN(), kZero}));

}  // namespace
}  // namespace zelsnmp
