// Character, word and set conversions of the scanner and the bounds of their destinations.

#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "poller/scanner.h"

namespace zelsnmp {
namespace {

constexpr char kGuard = '#';

// A char buffer of kCapacity bytes with guard areas around it, every byte preset to kGuard.
template <std::size_t kCapacity>
struct GuardedBuffer {
  GuardedBuffer() { storage.fill(kGuard); }
  char (&Buffer())[kCapacity] { return *reinterpret_cast<char(*)[kCapacity]>(storage.data() + 16); }
  std::string Contents() const { return std::string(storage.data() + 16, kCapacity); }
  bool GuardsIntact() const {
    for (std::size_t i = 0; i < 16; ++i) {
      if (storage[i] != kGuard || storage[16 + kCapacity + i] != kGuard) return false;
    }
    return true;
  }
  std::array<char, 16 + kCapacity + 16> storage;
};

// Buffer contents: the bytes written, then the untouched kGuard bytes up to the capacity.
struct TextCase {
  std::string format;  // one stored conversion into an 8-byte TextBuffer
  std::string input;
  std::int32_t result;  // of ScanCore
  std::string contents;
  std::string rest;
  friend void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.format << " on \"" << c.input << '"';
  }
};

class TextBufferTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextBufferTest, StoresWithinTheBuffer) {
  const TextCase& c = GetParam();
  GuardedBuffer<8> guarded;
  const ScanDestination destinations[] = {TextBuffer(guarded.Buffer())};
  std::string_view input = c.input;
  std::string_view format = c.format;
  EXPECT_EQ(ScanCore(input, format, destinations), c.result);
  EXPECT_EQ(guarded.Contents(), c.contents);
  EXPECT_EQ(input, c.rest);
  EXPECT_TRUE(guarded.GuardsIntact());
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Character, TextBufferTest,
    ::testing::Values(TextCase{"%c", " x", 1, " #######", "x"},
                      TextCase{"%C", "xy", 1, "x#######", "y"},
                      TextCase{"%3c", "abcdef", 1, "abc#####", "def"},
                      TextCase{"%5c", "ab", 1, "ab######", ""},
                      TextCase{"%8c", "abcdefghij", 1, "abcdefgh", "ij"},
                      // A character conversion never writes past the capacity.
                      TextCase{"%20c", "abcdefghij", 1, "abcdefgh", "ij"},
                      TextCase{"%hc", "abc", 0, "########", "abc"}));

INSTANTIATE_TEST_SUITE_P(
    Word, TextBufferTest,
    ::testing::Values(TextCase{"%s", "  hello world", 1, "hello\0##"s, " world"},
                      TextCase{"%S", "a\tb", 1, "a\0######"s, "\tb"},
                      TextCase{"%3s", "hello", 1, "hel\0####"s, "lo"},
                      TextCase{"%7s", "abcdefghij", 1, "abcdefg\0"s, "hij"},
                      // At most capacity - 1 bytes, whatever the width, so the zero fits.
                      TextCase{"%s", "abcdefghij", 1, "abcdefg\0"s, "hij"},
                      TextCase{"%100s", "abcdefghij", 1, "abcdefg\0"s, "hij"},
                      TextCase{"%s", "   ", 0, "########", ""},
                      TextCase{"%Hs", "abc", 0, "########", "abc"},
                      TextCase{"%Ls", "abc", 0, "########", "abc"},
                      TextCase{"%l8s", "abc", 0, "########", "abc"},
                      TextCase{"%l64s", "abc", 0, "########", "abc"},
                      TextCase{"%lls", "abc", 0, "########", "abc"}));

INSTANTIATE_TEST_SUITE_P(
    Set, TextBufferTest,
    ::testing::Values(TextCase{"%[a-z]", "abc123", 1, "abc\0####"s, "123"},
                      TextCase{"%[a-z]", "123", 1, "\0#######"s, "123"},
                      TextCase{"%[a-z]", " abc", 1, "\0#######"s, " abc"},
                      TextCase{"%[^,]", "a b,c", 1, "a b\0####"s, ",c"},
                      TextCase{"%2[a-z]", "abc", 1, "ab\0#####"s, "c"},
                      TextCase{"%[a-z]", "abcdefghij", 1, "abcdefg\0"s, "hij"},
                      TextCase{"%[]]", "]]x", 1, "]]\0#####"s, "x"},
                      TextCase{"%[a-z", "abc", 0, "########", "abc"},
                      TextCase{"%[]", "abc", 0, "########", "abc"},
                      TextCase{"%[a-z]", "", 0, "########", ""},
                      TextCase{"%H[a]", "a", 0, "########", "a"}));

TEST(TextBufferTest, BufferOfOneByteHoldsOnlyTheEmptyText) {
  char buffer[1] = {'x'};
  EXPECT_EQ(ScanText("abc", "%s", TextBuffer(buffer)), 1);
  EXPECT_EQ(buffer[0], '\0');
}

TEST(TextBufferTest, ConsecutiveConversions) {
  char first[16];
  char second[16];
  char letter[1];
  int number = 0;
  EXPECT_EQ(ScanText("name=value;7x", "%[^=]=%[^;];%d%c", TextBuffer(first), TextBuffer(second),
                     &number, TextBuffer(letter)),
            4);
  EXPECT_STREQ(first, "name");
  EXPECT_STREQ(second, "value");
  EXPECT_EQ(number, 7);
  EXPECT_EQ(letter[0], 'x');
}

TEST(TextBufferTest, SuppressedTextIsReadWithoutLimit) {
  int number = 0;
  EXPECT_EQ(ScanText(std::string(1000, 'a') + " 5", "%*s %d", &number), 1);
  EXPECT_EQ(number, 5);
  EXPECT_EQ(ScanText(std::string(1000, 'a') + "5", "%*[a]%d", &number), 1);
  EXPECT_EQ(number, 5);
  EXPECT_EQ(ScanText(std::string(1000, 'a') + "6", "%*1000c%d", &number), 1);
  EXPECT_EQ(number, 6);
}

TEST(LengthPrefixedTextTest, StoresLengthThenBytes) {
  for (const char* format : {"%hs", "%l16s", "%h[a-z]", "%l16[a-z]"}) {
    LengthPrefixedText text;
    text.bytes.fill(kGuard);
    EXPECT_EQ(ScanText("abc def", format, &text), 1) << format;
    EXPECT_EQ(text.View(), "abc") << format;
    EXPECT_EQ(text.bytes[3], kGuard) << format;  // no terminating zero in this form
  }
}

TEST(LengthPrefixedTextTest, ReadsAtMost255Bytes) {
  LengthPrefixedText text;
  int rest = 0;
  const std::string long_word = std::string(300, 'w');
  std::string_view input = long_word;
  std::string_view format = "%hs%n";
  const ScanDestination destinations[] = {&text, &rest};
  EXPECT_EQ(ScanCore(input, format, destinations), 1);
  EXPECT_EQ(text.length, 255);
  EXPECT_EQ(text.View(), std::string(255, 'w'));
  EXPECT_EQ(rest, 255);
  EXPECT_EQ(input.size(), 45u);

  EXPECT_EQ(ScanText(std::string(256, 'a'), "%h[a]", &text), 1);
  EXPECT_EQ(text.length, 255);
  EXPECT_EQ(ScanText("", "%h[a]", &text), -1);
}

TEST(StringTextTest, ReceivesTheWholeWord) {
  for (const char* format : {"%ls", "%l32s", "%l[a-z]", "%l32[a-z]"}) {
    std::string text = "old";
    const std::string word(1000, 'q');
    EXPECT_EQ(ScanText(word + " tail", format, &text), 1) << format;
    EXPECT_EQ(text, word) << format;
  }
  std::string empty = "old";
  EXPECT_EQ(ScanText("123", "%l[a-z]", &empty), 1);
  EXPECT_EQ(empty, "");
}

TEST(TextBufferTest, HighBytesAreNotWhitespace) {
  std::string word;
  EXPECT_EQ(ScanText("\xC0\xFF\x7F \x80", "%ls", &word), 1);
  EXPECT_EQ(word, "\xC0\xFF\x7F");
}

}  // namespace
}  // namespace zelsnmp
