// Floating conversions of the scanner, checked against long double arithmetic.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "poller/scanner.h"

namespace zelsnmp {
namespace {

constexpr long double kInfinity = std::numeric_limits<long double>::infinity();
constexpr long double kUntouched = -999.0L;

struct FloatCase {
  std::string format;  // one stored long double conversion
  std::string input;
  std::int32_t result;  // of ScanCore
  long double value;    // kUntouched when nothing may be stored
  std::string rest;
  friend void PrintTo(const FloatCase& c, std::ostream* os) {
    *os << c.format << " on \"" << c.input << '"';
  }
};

class FloatConversionTest : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatConversionTest, ComputesDigitsTimesPowerOfTen) {
  const FloatCase& c = GetParam();
  long double value = kUntouched;
  const ScanDestination destinations[] = {&value};
  std::string_view input = c.input;
  std::string_view format = c.format;
  EXPECT_EQ(ScanCore(input, format, destinations), c.result);
  EXPECT_EQ(value, c.value);
  EXPECT_EQ(input, c.rest);
}

INSTANTIATE_TEST_SUITE_P(
    Digits, FloatConversionTest,
    ::testing::Values(FloatCase{"%Lf", "1.5", 1, 15.0L / 10.0L, ""},
                      FloatCase{"%Lf", "123.45", 1, 12345.0L / 100.0L, ""},
                      FloatCase{"%Lf", "3.14159", 1, 314159.0L / 100000.0L, ""},
                      FloatCase{"%Lf", "0.1", 1, 1.0L / 10.0L, ""},
                      FloatCase{"%Lf", "-0.1", 1, -(1.0L / 10.0L), ""},
                      FloatCase{"%Lf", "+2", 1, 2.0L, ""},
                      FloatCase{"%Lf", "  7", 1, 7.0L, ""},
                      FloatCase{"%Lf", ".5", 1, 0.5L, ""},
                      FloatCase{"%Lf", "5.", 1, 5.0L, ""},
                      FloatCase{"%Lf", "12345678901234567890", 1, 12345678901234567890.0L, ""},
                      FloatCase{"%Lf", "1.2.3", 1, 12.0L / 10.0L, ".3"},
                      FloatCase{"%Lf", "1,5", 1, 1.0L, ",5"},
                      FloatCase{"%Lf", ".", 0, kUntouched, ""},
                      FloatCase{"%Lf", "-.x", 0, kUntouched, "x"},
                      FloatCase{"%Lf", "e5", 0, kUntouched, "e5"}));

INSTANTIATE_TEST_SUITE_P(
    Exponent, FloatConversionTest,
    ::testing::Values(FloatCase{"%Lf", "1e3", 1, 1000.0L, ""},
                      FloatCase{"%Lf", "1.5E+3", 1, 15.0L * 100.0L, ""},
                      FloatCase{"%Lf", "25e-1", 1, 25.0L / 10.0L, ""},
                      FloatCase{"%Lf", "7e-20", 1, 7.0L / 1e20L, ""},
                      FloatCase{"%Lf", "1e", 1, 1.0L, ""},
                      FloatCase{"%Lf", "1e-x", 1, 1.0L, "x"},
                      FloatCase{"%Lf", "1e5000", 1, kInfinity, ""},
                      FloatCase{"%Lf", "-1e5000", 1, -kInfinity, ""},
                      FloatCase{"%Lf", "1e-5000", 1, 0.0L, ""},
                      FloatCase{"%Lf", "0e99999", 1, 0.0L, ""},
                      FloatCase{"%Lf", "1e99999999999999999999999", 1, kInfinity, ""},
                      FloatCase{"%Lf", "1e-99999999999999999999999", 1, 0.0L, ""}));

INSTANTIATE_TEST_SUITE_P(
    Width, FloatConversionTest,
    ::testing::Values(FloatCase{"%3Lf", "1234", 1, 123.0L, "4"},
                      FloatCase{"%3Lf", "-1.25", 1, -1.0L, "25"},
                      FloatCase{"%3Lf", "1e10", 1, 10.0L, "0"},
                      FloatCase{"%2Lf", "-.5", 0, kUntouched, "5"},
                      FloatCase{"%1Lf", ".5", 0, kUntouched, "5"},
                      FloatCase{"%2Lf", "INF", 0, kUntouched, "INF"},
                      FloatCase{"%3Lf", "-INF", 0, kUntouched, "INF"}));

INSTANTIATE_TEST_SUITE_P(
    InfinityAndNaN, FloatConversionTest,
    ::testing::Values(FloatCase{"%Lf", "INF", 1, kInfinity, ""},
                      FloatCase{"%Lf", "-INF", 1, -kInfinity, ""},
                      FloatCase{"%Lf", "INFINITY", 1, kInfinity, "INITY"},
                      FloatCase{"%Lf", "inf", 0, kUntouched, "inf"},
                      FloatCase{"%Lf", "Inf", 0, kUntouched, "Inf"},
                      FloatCase{"%Lf", "nan", 0, kUntouched, "nan"},
                      FloatCase{"%Lf", "IN", 0, kUntouched, "IN"}));

TEST(FloatConversionTest, NanIsTheDefaultQuietNanWithTheSignApplied) {
  float single = 0;
  double twice = 0;
  long double extended = 0;
  EXPECT_EQ(ScanText("-NAN NAN +NAN", "%f %lf %Lf", &single, &twice, &extended), 3);

  std::uint32_t single_bits = 0;
  std::memcpy(&single_bits, &single, sizeof single);
  EXPECT_EQ(single_bits, 0xFFC00000u);
  std::uint64_t double_bits = 0;
  std::memcpy(&double_bits, &twice, sizeof twice);
  EXPECT_EQ(double_bits, 0x7FF8000000000000u);

  // 80-bit extended: 64-bit significand with its explicit integer bit, then sign and exponent.
  std::array<std::uint8_t, 10> extended_bytes{};
  std::memcpy(extended_bytes.data(), &extended, 10);
  EXPECT_EQ(extended_bytes,
            (std::array<std::uint8_t, 10>{0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F}));
}

TEST(FloatConversionTest, NarrowsToSingleAndDoubleByRounding) {
  float single = 0;
  double twice = 0;
  EXPECT_EQ(ScanText("0.1 0.1", "%f %lf", &single, &twice), 2);
  EXPECT_EQ(single, static_cast<float>(1.0L / 10.0L));
  EXPECT_EQ(twice, static_cast<double>(1.0L / 10.0L));

  EXPECT_EQ(ScanText("1e39 1e309", "%f %lf", &single, &twice), 2);
  EXPECT_EQ(single, std::numeric_limits<float>::infinity());
  EXPECT_EQ(twice, std::numeric_limits<double>::infinity());
}

TEST(FloatConversionTest, SixByteRealOfTheHPrefix) {
  struct Case {
    const char* input;
    std::array<std::uint8_t, 6> bytes;
  };
  const Case cases[] = {
      {"1.0", {0x81, 0, 0, 0, 0, 0}},
      {"-2.5", {0x82, 0, 0, 0, 0, 0xA0}},
      {"0", {0, 0, 0, 0, 0, 0}},
      {"1e-40", {0, 0, 0, 0, 0, 0}},
      {"-INF", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    Real48 real;
    real.bytes.fill(0x5A);
    EXPECT_EQ(ScanText(c.input, "%Hf", &real), 1) << c.input;
    EXPECT_EQ(real.bytes, c.bytes) << c.input;
  }
}

TEST(FloatConversionTest, SuppressedFloatStoresNothing) {
  float single = -1;
  EXPECT_EQ(ScanText("1.5 2.5", "%*f %f", &single), 1);
  EXPECT_EQ(single, 2.5f);
}

}  // namespace
}  // namespace zelsnmp
