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
  if (DisplayWidth(utf8) <= width || width < 1) return std::string(utf8);
  std::size_t kept = 0;
  std::size_t end = 0;
  for (; end < utf8.size(); ++end) {
    if ((static_cast<unsigned char>(utf8[end]) & 0xC0) != 0x80 && kept++ == width - 1) break;
  }
  return std::string(utf8.substr(0, end)) + "\u2026";
}

namespace {

// A wrapped last column narrower than this would read worse than a long line; columns are cut
// only until the last column gets this much room, since it can wrap.
constexpr std::size_t kLeastWrapWidth = 20;

// `text` in lines of at most `width` characters, broken at blanks; a word longer than a line
// stays whole.
std::vector<std::string> WrapAtBlanks(std::string_view text, std::size_t width) {
  std::vector<std::string> lines(1);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    std::string& line = lines.back();
    if (!line.empty() && DisplayWidth(line) + 1 + DisplayWidth(word) > width) {
      lines.emplace_back(word);
    } else {
      if (!line.empty()) line += ' ';
      line += word;
    }
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::vector<std::size_t> Table::ColumnWidths(std::size_t indent, std::size_t width) const {
  std::vector<std::size_t> widths;
  for (const auto& row : rows_) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    }
  }
  if (width == 0 || widths.empty()) return widths;
  // A last column that may be cut is cut like the others; any other one wraps.
  const std::size_t last = widths.size() - 1;
  const bool last_cut = last < least_widths_.size() && least_widths_[last] > 0;
  std::size_t total = indent + 2 * last + (last_cut ? widths[last]
                                                    : std::min(widths[last], kLeastWrapWidth));
  for (std::size_t i = 0; i + 1 < widths.size(); ++i) total += widths[i];
  while (total > width) {
    std::size_t widest = widths.size();
    for (std::size_t i = 0; i < widths.size() && i < least_widths_.size(); ++i) {
      if (least_widths_[i] > 0 && widths[i] > least_widths_[i] &&
          (widest == widths.size() || widths[i] > widths[widest])) {
        widest = i;
      }
    }
    if (widest == widths.size()) break;
    const std::size_t narrower = std::min(total - width, widths[widest] - least_widths_[widest]);
    widths[widest] -= narrower;
    total -= narrower;
  }
  return widths;
}

void Table::Print(std::ostream& out, std::string_view indent, std::size_t width) const {
  const std::vector<std::size_t> widths = ColumnWidths(DisplayWidth(indent), width);
  for (const auto& row : rows_) {
    std::string line(indent);
    for (std::size_t i = 0; i < row.size(); ++i) {
      const bool cut = width > 0 && i < least_widths_.size() && least_widths_[i] > 0;
      const std::string cell = cut ? CutToWidth(row[i], widths[i]) : row[i];
      if (i + 1 < row.size()) {
        line += cell;
        line.append(widths[i] - DisplayWidth(cell) + 2, ' ');
        continue;
      }
      const std::size_t start = DisplayWidth(line);
      if (width == 0 || start + DisplayWidth(cell) <= width || start + kLeastWrapWidth > width) {
        line += cell;
        continue;
      }
      const std::vector<std::string> parts = WrapAtBlanks(cell, width - start);
      for (std::size_t p = 0; p < parts.size(); ++p) {
        if (p > 0) {
          line += '\n';
          line.append(start, ' ');
        }
        line += parts[p];
      }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
}

}  // namespace zelsnmp::check
