#include "util/cp1251.h"

#include <array>
#include <cstdint>

namespace zelsnmp {
namespace {

// Code points of the bytes 0x80-0xBF; 0xC0-0xFF are the contiguous U+0410-U+044F.
constexpr std::array<char32_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
};
constexpr char32_t kFirstCyrillicLetter = 0x0410;
constexpr unsigned char kFirstCyrillicByte = 0xC0;
constexpr char kReplacement = '?';

char32_t ByteToCodePoint(unsigned char byte) {
  if (byte < 0x80) return byte;
  if (byte >= kFirstCyrillicByte) return kFirstCyrillicLetter + (byte - kFirstCyrillicByte);
  return kUpperHalf[byte - 0x80];
}

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// Decodes one UTF-8 sequence at `pos` and moves past it; an invalid sequence gives the
// replacement character and moves by one byte.
char32_t NextCodePoint(std::string_view utf8, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(utf8[pos]);
  int continuation_count = 0;
  char32_t code_point = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    continuation_count = 1;
    code_point = lead & 0x1F;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    continuation_count = 2;
    code_point = lead & 0x0F;
    minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    continuation_count = 3;
    code_point = lead & 0x07;
    minimum = 0x10000;
  } else {
    ++pos;
    return U'\uFFFD';
  }
  if (utf8.size() - pos <= static_cast<std::size_t>(continuation_count)) {
    ++pos;
    return U'\uFFFD';
  }
  for (int i = 1; i <= continuation_count; ++i) {
    const auto next = static_cast<unsigned char>(utf8[pos + i]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return U'\uFFFD';
    }
    code_point = (code_point << 6) | (next & 0x3F);
  }
  if (code_point < minimum || code_point > 0x10FFFF) {
    ++pos;
    return U'\uFFFD';
  }
  pos += continuation_count + 1;
  return code_point;
}

}  // namespace

char CodePointToCp1251(char32_t code_point) {
  if (code_point < 0x80) return static_cast<char>(code_point);
  if (code_point >= kFirstCyrillicLetter && code_point < kFirstCyrillicLetter + 64) {
    return static_cast<char>(kFirstCyrillicByte + (code_point - kFirstCyrillicLetter));
  }
  for (std::size_t i = 0; i < kUpperHalf.size(); ++i) {
    if (kUpperHalf[i] == code_point) return static_cast<char>(0x80 + i);
  }
  return kReplacement;
}

std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) out += CodePointToCp1251(NextCodePoint(utf8, pos));
  return out;
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (char c : cp1251) AppendUtf8(out, ByteToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace zelsnmp
