#include "tools/check/display_text.h"

#include <algorithm>
#include <cstdio>

#include "util/cp1251.h"

namespace zelsnmp::check {

bool IsNoTextByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F || byte == 0x98; }

std::string HexByte(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

std::string_view TextBeforeZero(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string Displayable(std::string_view cp1251) {
  std::string shown;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= cp1251.size(); ++i) {
    if (i < cp1251.size() && !IsNoTextByte(static_cast<unsigned char>(cp1251[i]))) continue;
    shown += Cp1251ToUtf8(cp1251.substr(start, i - start));
    if (i < cp1251.size()) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(cp1251[i]));
      shown += escaped;
    }
    start = i + 1;
  }
  return shown;
}

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  }
  return width;
}

std::string CutToWidth(std::string_view utf8, std::size_t width) {
  if (DisplayWidth(utf8) <= width || width < 3) return std::string(utf8);
  std::size_t kept = 0;
  std::size_t end = 0;
  for (; end < utf8.size(); ++end) {
    if ((static_cast<unsigned char>(utf8[end]) & 0xC0) != 0x80 && kept++ == width - 3) break;
  }
  return std::string(utf8.substr(0, end)) + "...";
}

void Table::Print(std::ostream& out, std::string_view indent) const {
  std::vector<std::size_t> widths;
  for (const auto& row : rows_) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    }
  }
  for (const auto& row : rows_) {
    std::string line(indent);
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] - DisplayWidth(row[i]) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
}

}  // namespace zelsnmp::check
