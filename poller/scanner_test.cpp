// Numbers, literals, counts, size prefixes and destination types of the scanner.

#include "poller/scanner.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

constexpr unsigned char kGuardByte = 0xA5;

// A destination between two guard areas, every byte preset to kGuardByte, so that a store of
// the wrong size or at the wrong place shows up.
template <typename T>
struct Guarded {
  std::array<unsigned char, 16> before;
  T value;
  std::array<unsigned char, 16> after;
};

template <typename T>
Guarded<T> MakeGuarded() {
  static_assert(offsetof(Guarded<T>, value) == 16);
  static_assert(offsetof(Guarded<T>, after) == 16 + sizeof(T));
  Guarded<T> guarded;
  std::memset(static_cast<void*>(&guarded), kGuardByte, sizeof guarded);
  return guarded;
}

template <typename T>
bool GuardsIntact(const Guarded<T>& guarded, std::size_t bytes_written = sizeof(T)) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&guarded);
  for (std::size_t i = 0; i < sizeof guarded; ++i) {
    const bool inside = i >= 16 && i < 16 + bytes_written;
    if (!inside && bytes[i] != kGuardByte) return false;
  }
  return true;
}

// --- The poll cycle's point addresses -------------------------------------------------------

struct AddressCase {
  std::string format;
  std::string input;
  std::int32_t result;
  std::array<std::int32_t, 3> values;  // kUntouched where nothing may be stored
  friend void PrintTo(const AddressCase& c, std::ostream* os) {
    *os << c.format << " on \"" << c.input << '"';
  }
};

constexpr std::int32_t kUntouched = -999;

class PointAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(PointAddressTest, GivesCountAndValues) {
  const AddressCase& c = GetParam();
  int channel = kUntouched;
  std::int32_t rtu = kUntouched;
  int point = kUntouched;
  EXPECT_EQ(ScanText(c.input, c.format, &channel, &rtu, &point), c.result);
  EXPECT_EQ(channel, c.values[0]);
  EXPECT_EQ(rtu, c.values[1]);
  EXPECT_EQ(point, c.values[2]);
}

constexpr std::int32_t U = kUntouched;

INSTANTIATE_TEST_SUITE_P(
    PollCycleFormats, PointAddressTest,
    ::testing::Values(
        AddressCase{"#TC%d:%d:%d", "#TC5:12:107", 3, {5, 12, 107}},
        AddressCase{"#TS%d:%d:%d", "#TS0:0:0", 3, {0, 0, 0}},
        AddressCase{"#TT%d:%d:%d", "#TT1:2:3", 3, {1, 2, 3}},
        AddressCase{"#TC%d:%d:%d", "#TS5:12:107", 0, {U, U, U}},
        AddressCase{"#TC%d:%d:%d", "#tc5:12:107", 0, {U, U, U}},
        AddressCase{"#TT%d:%d:%d", "#TC5:12:107", 0, {U, U, U}},
        AddressCase{"#TC%d:%d:%d", "", -1, {U, U, U}},
        AddressCase{"#TC%d:%d:%d", "#TC", -1, {U, U, U}},
        AddressCase{"#TC%d:%d:%d", "#T", -1, {U, U, U}},
        AddressCase{"#TC%d:%d:%d", "#TC5:12", 2, {5, 12, U}},
        AddressCase{"#TC%d:%d:%d", "#TC5:12:", 2, {5, 12, U}},
        AddressCase{"#TC%d:%d:%d", "#TC 5: 12: 107", 3, {5, 12, 107}},
        AddressCase{"#TC%d:%d:%d", "#TC5 :12:107", 1, {5, U, U}},
        AddressCase{"#TC%d:%d:%d", "#TC-5:+12:107", 3, {-5, 12, 107}},
        AddressCase{"#TC%d:%d:%d", "#TC5:12:107xyz", 3, {5, 12, 107}},
        AddressCase{"#TC%d:%d:%d", "#TC4294967297:1:1", 3, {1, 1, 1}},
        AddressCase{"#TC%d:%d:%d", "#TCx:1:1", 0, {U, U, U}},
        AddressCase{"#TC%d:%d:%d", "#TC5:x:1", 1, {5, U, U}}));

TEST(ScanTextTest, StopsAtTheFirstZeroByteOfInputAndFormat) {
  int first = kUntouched;
  int second = kUntouched;
  EXPECT_EQ(ScanText(std::string("1 \0 2", 5), "%d %d", &first, &second), 1);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, kUntouched);
  EXPECT_EQ(ScanText("1 2", std::string("%d\0 %d", 6), &first, &second), 1);
  EXPECT_EQ(second, kUntouched);
}

// --- Integer conversions ---------------------------------------------------------------------

struct IntegerCase {
  std::string format;  // one stored 32-bit conversion
  std::string input;
  std::int32_t result;  // of ScanCore
  std::int32_t value;   // kUntouched when nothing may be stored
  std::string rest;     // input left behind
  friend void PrintTo(const IntegerCase& c, std::ostream* os) {
    *os << c.format << " on \"" << c.input << '"';
  }
};

class IntegerConversionTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerConversionTest, ReadsValueAndStopsWhereExpected) {
  const IntegerCase& c = GetParam();
  std::int32_t value = kUntouched;
  const ScanDestination destinations[] = {&value};
  std::string_view input = c.input;
  std::string_view format = c.format;
  EXPECT_EQ(ScanCore(input, format, destinations), c.result);
  EXPECT_EQ(value, c.value);
  EXPECT_EQ(input, c.rest);
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, IntegerConversionTest,
    ::testing::Values(IntegerCase{"%d", "123", 1, 123, ""},
                      IntegerCase{"%D", "123", 1, 123, ""},
                      IntegerCase{"%2d", "123", 1, 12, "3"},
                      IntegerCase{"%05d", "1234567", 1, 12345, "67"},
                      IntegerCase{"%99999999999999999999999d", "42", 1, 42, ""},
                      IntegerCase{"%d", " \t\r\n\x01\x1f 42", 1, 42, ""},
                      IntegerCase{"%d", "-2147483648", 1, -2147483647 - 1, ""},
                      IntegerCase{"%d", "2147483648", 1, -2147483647 - 1, ""},
                      IntegerCase{"%d", "18446744073709551617", 1, 1, ""},
                      IntegerCase{"%u", "-1", 1, -1, ""},
                      IntegerCase{"%d", "12abc", 1, 12, "abc"},
                      IntegerCase{"%d", "abc", 0, kUntouched, "abc"},
                      IntegerCase{"%d", "-x", 0, kUntouched, "x"},
                      IntegerCase{"%1d", "-5", 0, kUntouched, "5"},
                      IntegerCase{"%d", "   ", 0, kUntouched, ""}));

INSTANTIATE_TEST_SUITE_P(
    OctalAndHexadecimal, IntegerConversionTest,
    ::testing::Values(IntegerCase{"%o", "-17", 1, -15, ""},
                      IntegerCase{"%o", "178", 1, 15, "8"},
                      IntegerCase{"%x", "0x1F", 1, 0, "x1F"},
                      IntegerCase{"%X", "fF", 1, 255, ""},
                      IntegerCase{"%x", "DeadBeef", 1, static_cast<std::int32_t>(0xDEADBEEF), ""},
                      IntegerCase{"%x", "-10", 1, -16, ""},
                      IntegerCase{"%x", "g", 0, kUntouched, "g"},
                      IntegerCase{"%p", "1fz", 1, 31, "z"},
                      IntegerCase{"%P", "100", 1, 256, ""}));

INSTANTIATE_TEST_SUITE_P(
    BaseChosenByPrefix, IntegerConversionTest,
    ::testing::Values(IntegerCase{"%i", "0x1F", 1, 31, ""},
                      IntegerCase{"%i", "0X1f", 1, 31, ""},
                      IntegerCase{"%i", "010", 1, 8, ""},
                      IntegerCase{"%i", "$10", 1, 16, ""},
                      IntegerCase{"%i", "-$10", 1, -16, ""},
                      IntegerCase{"%i", "+0x10", 1, 16, ""},
                      IntegerCase{"%i", "09", 1, 0, "9"},
                      IntegerCase{"%i", "0", 1, 0, ""},
                      IntegerCase{"%i", "-12", 1, -12, ""},
                      // A prefix with no digit behind it (or no width left for one) fails.
                      IntegerCase{"%i", "0xg", 0, kUntouched, "g"},
                      IntegerCase{"%i", "$", 0, kUntouched, ""},
                      IntegerCase{"%1i", "$10", 0, kUntouched, "10"},
                      IntegerCase{"%2i", "0x1F", 0, kUntouched, "1F"},
                      // A "0x" that does not fit in the width is an octal zero.
                      IntegerCase{"%1i", "0x1F", 1, 0, "x1F"},
                      IntegerCase{"%3i", "0x1F", 1, 1, "F"}));

INSTANTIATE_TEST_SUITE_P(
    InvalidSpecifications, IntegerConversionTest,
    ::testing::Values(IntegerCase{"%0d", "1", 0, kUntouched, "1"},
                      IntegerCase{"%00d", "1", 0, kUntouched, "1"},
                      IntegerCase{"%k", "1", 0, kUntouched, "1"},
                      IntegerCase{"%", "1", 0, kUntouched, "1"},
                      IntegerCase{"%5", "1", 0, kUntouched, "1"},
                      IntegerCase{"%l", "1", 0, kUntouched, "1"},
                      IntegerCase{"%Hp", "1", 0, kUntouched, "1"},
                      IntegerCase{"%lp", "1", 0, kUntouched, "1"},
                      IntegerCase{"%l1d", "1", 0, kUntouched, "1"},
                      IntegerCase{"%**d", "1", 0, kUntouched, "1"},
                      IntegerCase{"%m", "1", 0, kUntouched, "1"}));

// --- Literals, whitespace, "%%", suppression -------------------------------------------------

struct LiteralCase {
  std::string format;  // up to two stored 32-bit conversions
  std::string input;
  std::int32_t result;  // of ScanText
  std::int32_t first;
  std::int32_t second;
  friend void PrintTo(const LiteralCase& c, std::ostream* os) {
    *os << c.format << " on \"" << c.input << '"';
  }
};

class LiteralTest : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(LiteralTest, MatchesAsExpected) {
  const LiteralCase& c = GetParam();
  int first = kUntouched;
  int second = kUntouched;
  EXPECT_EQ(ScanText(c.input, c.format, &first, &second), c.result);
  EXPECT_EQ(first, c.first);
  EXPECT_EQ(second, c.second);
}

INSTANTIATE_TEST_SUITE_P(
    Literals, LiteralTest,
    ::testing::Values(LiteralCase{"%%%d", "%5", 1, 5, U},
                      LiteralCase{"%%%d", " %5", 0, U, U},
                      LiteralCase{"%d%%", "5%", 1, 5, U},
                      LiteralCase{"%%", "%", -1, U, U},
                      LiteralCase{"%%", "x", 0, U, U},
                      LiteralCase{"a b%d", "ab7", 1, 7, U},
                      LiteralCase{"a b%d", "a \t\r\n b7", 1, 7, U},
                      LiteralCase{"a\tb%d", "a b7", 1, 7, U},
                      LiteralCase{"A%d", "a1", 0, U, U},
                      LiteralCase{"%d,%d", "1;2", 1, 1, U},
                      LiteralCase{"%*d %d", "7 8", 1, 8, U},
                      LiteralCase{"%*d%*d", "7 8", -1, U, U},
                      LiteralCase{"%*d %d %d", "7 8", 1, 8, U},
                      LiteralCase{"%d %d", "7 8 9", 2, 7, 8},
                      LiteralCase{"%d %d %d", "7 8 9", 2, 7, 8},  // a third destination is missing
                      LiteralCase{"%d ", "7   ", 1, 7, U},
                      LiteralCase{" ", "   ", -1, U, U},
                      LiteralCase{"", "x", 0, U, U}));

TEST(ScanTextTest, NullDestinationEndsTheScan) {
  int first = kUntouched;
  int second = kUntouched;
  int* missing = nullptr;
  EXPECT_EQ(ScanText("1 2 3", "%d %d %d", &first, missing, &second), 1);
  EXPECT_EQ(ScanText("1 2 3", "%d %d %d", &first, nullptr, &second), 1);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, kUntouched);
}

// --- The count conversion n ------------------------------------------------------------------

struct CountCase {
  std::string format;  // a stored 32-bit conversion then a stored n, or n alone
  std::string input;
  std::int32_t result;
  std::int32_t value;
  std::int32_t consumed;  // kUntouched when n is not reached
  friend void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.format << " on \"" << c.input << '"';
  }
};

class CountConversionTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountConversionTest, CountsConsumedBytes) {
  const CountCase& c = GetParam();
  int value = kUntouched;
  int consumed = kUntouched;
  EXPECT_EQ(ScanText(c.input, c.format, &value, &consumed), c.result);
  EXPECT_EQ(value, c.value);
  EXPECT_EQ(consumed, c.consumed);
}

INSTANTIATE_TEST_SUITE_P(
    Count, CountConversionTest,
    ::testing::Values(CountCase{"%d%n", "42x", 1, 42, 2},
                      CountCase{"%d%n", "42", 1, 42, U},
                      CountCase{"%d %n", "  42   x", 1, 42, 7},
                      CountCase{"%d%n", " \t 42x", 1, 42, 5},
                      CountCase{"%*s %d%n", "abc  -17;", 1, -17, 8},
                      CountCase{"%d%*n %n", "1 2", 1, 1, 2},
                      CountCase{"%*c%d%n", " 5x", 1, 5, 2},
                      CountCase{"%*[a-c]%d%n", "abc12;", 1, 12, 5},
                      CountCase{"%n%d", "x", 0, 0, U}));

TEST(CountConversionTest, CountsFromTheCursorGivenToScanCore) {
  std::string_view input = "abc 12 rest";
  input.remove_prefix(3);
  std::string_view format = "%d%n";
  int value = 0;
  int consumed = 0;
  const ScanDestination destinations[] = {&value, &consumed};
  EXPECT_EQ(ScanCore(input, format, destinations), 1);
  EXPECT_EQ(consumed, 3);
  EXPECT_EQ(input, " rest");
}

// --- Size prefixes: exact sizes, guards untouched --------------------------------------------

struct IntegerPrefixCase {
  std::string format;  // one stored conversion on "-2" or after "abc"
  std::size_t size;
  friend void PrintTo(const IntegerPrefixCase& c, std::ostream* os) { *os << c.format; }
};

class IntegerPrefixTest : public ::testing::TestWithParam<IntegerPrefixCase> {};

template <typename T>
void ExpectIntegerStore(const std::string& format, const std::string& input, T expected,
                        std::int32_t result) {
  auto guarded = MakeGuarded<T>();
  EXPECT_EQ(ScanText(input, format, &guarded.value), result) << format;
  EXPECT_EQ(guarded.value, expected) << format;
  EXPECT_TRUE(GuardsIntact(guarded)) << format;

  // A destination of any other size ends the scan without a store.
  auto wrong_small = MakeGuarded<std::int8_t>();
  auto wrong_large = MakeGuarded<std::int64_t>();
  if (sizeof(T) != 1) {
    EXPECT_EQ(ScanText(input, format, &wrong_small.value), 0) << format;
  }
  if (sizeof(T) != 8) {
    EXPECT_EQ(ScanText(input, format, &wrong_large.value), 0) << format;
  }
  EXPECT_TRUE(GuardsIntact(wrong_small, 0));
  EXPECT_TRUE(GuardsIntact(wrong_large, 0));
}

TEST_P(IntegerPrefixTest, StoresExactlyItsSize) {
  const IntegerPrefixCase& c = GetParam();
  const bool count = c.format.back() == 'n';
  const std::string input = count ? "abc!" : "-2";
  const std::string format = count ? "abc" + c.format : c.format;
  const std::int64_t expected = count ? 3 : -2;
  const std::int32_t result = count ? 0 : 1;  // n stores but does not count
  switch (c.size) {
    case 1: ExpectIntegerStore<std::int8_t>(format, input, expected, result); break;
    case 2: ExpectIntegerStore<std::int16_t>(format, input, expected, result); break;
    case 4: ExpectIntegerStore<std::int32_t>(format, input, expected, result); break;
    default: ExpectIntegerStore<std::int64_t>(format, input, expected, result); break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    IntegerAndCount, IntegerPrefixTest,
    ::testing::Values(IntegerPrefixCase{"%d", 4}, IntegerPrefixCase{"%Hd", 1},
                      IntegerPrefixCase{"%hd", 2}, IntegerPrefixCase{"%ld", 4},
                      IntegerPrefixCase{"%Ld", 8}, IntegerPrefixCase{"%l8d", 1},
                      IntegerPrefixCase{"%l16d", 2}, IntegerPrefixCase{"%l32d", 4},
                      IntegerPrefixCase{"%l64d", 8}, IntegerPrefixCase{"%lld", 8},
                      IntegerPrefixCase{"%Hu", 1}, IntegerPrefixCase{"%ho", 2},
                      IntegerPrefixCase{"%Lx", 8}, IntegerPrefixCase{"%l8i", 1},
                      IntegerPrefixCase{"%p", 4}, IntegerPrefixCase{"%n", 4},
                      IntegerPrefixCase{"%Hn", 1}, IntegerPrefixCase{"%hn", 2},
                      IntegerPrefixCase{"%ln", 4}, IntegerPrefixCase{"%Ln", 8},
                      IntegerPrefixCase{"%l16n", 2}, IntegerPrefixCase{"%lln", 8}));

TEST(IntegerPrefixTest, NarrowsTheSixtyFourBitValue) {
  std::uint8_t byte = 0;
  std::uint16_t half = 0;
  std::int64_t wide = 0;
  EXPECT_EQ(ScanText("300 65537 -9223372036854775808", "%Hu %hu %Ld", &byte, &half, &wide), 3);
  EXPECT_EQ(byte, 44);
  EXPECT_EQ(half, 1);
  EXPECT_EQ(wide, std::numeric_limits<std::int64_t>::min());
}

TEST(FloatingPrefixTest, StoresExactlyItsSize) {
  const long double expected = 15.0L / 10.0L;
  for (const char* format : {"%f", "%hf", "%l16f", "%e", "%G"}) {
    auto single = MakeGuarded<float>();
    EXPECT_EQ(ScanText("1.5", format, &single.value), 1) << format;
    EXPECT_EQ(single.value, static_cast<float>(expected)) << format;
    EXPECT_TRUE(GuardsIntact(single)) << format;
  }
  for (const char* format : {"%lf", "%l32f", "%le"}) {
    auto twice = MakeGuarded<double>();
    EXPECT_EQ(ScanText("1.5", format, &twice.value), 1) << format;
    EXPECT_EQ(twice.value, static_cast<double>(expected)) << format;
    EXPECT_TRUE(GuardsIntact(twice)) << format;
  }
  for (const char* format : {"%Lf", "%l64f", "%llf", "%Lg"}) {
    auto extended = MakeGuarded<long double>();
    EXPECT_EQ(ScanText("1.5", format, &extended.value), 1) << format;
    // Only the 10 bytes of the 80-bit value are written, not the padding behind them.
    EXPECT_TRUE(GuardsIntact(extended, 10)) << format;
    long double stored = 0;
    std::memcpy(&stored, &extended.value, 10);
    EXPECT_EQ(stored, expected) << format;
  }
  for (const char* format : {"%Hf", "%l8f"}) {
    auto real = MakeGuarded<Real48>();
    EXPECT_EQ(ScanText("1.5", format, &real.value), 1) << format;
    EXPECT_EQ(real.value.bytes, (std::array<std::uint8_t, 6>{0x81, 0, 0, 0, 0, 0x40}));
    EXPECT_TRUE(GuardsIntact(real)) << format;
  }
}

// --- Destinations of the wrong type ----------------------------------------------------------

TEST(TypeMismatchTest, EndsTheScanWithoutStoring) {
  std::int16_t short_value = 7;
  std::int32_t int_value = 7;
  std::int64_t long_value = 7;
  float single = 7;
  double twice = 7;
  long double extended = 7;
  Real48 real{};
  char buffer[8] = "keep";
  LengthPrefixedText prefixed;
  std::string text = "keep";

  struct Case {
    const char* format;
    ScanDestination destination;
  };
  const Case cases[] = {
      {"%d", &short_value},      {"%d", &long_value},   {"%hd", &int_value},
      {"%Ld", &int_value},       {"%n", &single},       {"%d", &single},
      {"%f", &twice},            {"%lf", &single},      {"%Lf", &twice},
      {"%Hf", &single},          {"%f", &real},         {"%Hd", &real},
      {"%s", &text},             {"%ls", TextBuffer(buffer)}, {"%hs", TextBuffer(buffer)},
      {"%s", &prefixed},         {"%c", &text},         {"%c", &int_value},
      {"%[a]", &text},           {"%l[a]", &prefixed},  {"%p", &long_value},
      {"%d", &extended},         {"%s", TextBuffer(buffer, 0)},
  };
  for (const Case& c : cases) {
    const ScanDestination destinations[] = {&int_value, c.destination, &int_value};
    int_value = 7;
    const std::string format = std::string("%*d %d ") + c.format + " %d";
    EXPECT_EQ(ScanText("5 1 a 2", format, destinations), 1) << c.format;
    EXPECT_EQ(int_value, 1) << c.format;  // stored once, then nothing further
  }
  EXPECT_EQ(short_value, 7);
  EXPECT_EQ(long_value, 7);
  EXPECT_EQ(single, 7);
  EXPECT_EQ(twice, 7);
  EXPECT_EQ(extended, 7);
  EXPECT_EQ(real.bytes, (std::array<std::uint8_t, 6>{}));
  EXPECT_STREQ(buffer, "keep");
  EXPECT_EQ(prefixed.length, 0);
  EXPECT_EQ(text, "keep");
}

TEST(TypeMismatchTest, AcceptsEveryIntegerTypeOfTheRightSize) {
  unsigned int unsigned_value = 0;
  long long long_long = 0;
  long plain_long = 0;
  unsigned char byte = 0;
  // long has 64 bits on LP64 systems but 32 on Windows: its size picks the conversion.
  const std::string long_conversion = sizeof(long) == 8 ? "%Ld" : "%d";
  EXPECT_EQ(ScanText("-1 5 6 255", "%u %Ld " + long_conversion + " %Hu", &unsigned_value,
                     &long_long, &plain_long, &byte),
            4);
  EXPECT_EQ(unsigned_value, 0xFFFFFFFFu);
  EXPECT_EQ(long_long, 5);
  EXPECT_EQ(plain_long, 6);
  EXPECT_EQ(byte, 255);
}

}  // namespace
}  // namespace zelsnmp
