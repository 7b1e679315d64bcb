// Texts of a configuration made fit for a UTF-8 terminal, and columns aligned by what a
// terminal shows rather than by bytes.
//
// Configuration texts are Windows-1251 bytes; they are shown in UTF-8, with every byte that is
// no text (control bytes, DEL, the one byte Windows-1251 leaves unassigned) written as \xNN.

#ifndef ZELSNMP_TOOLS_CHECK_DISPLAY_TEXT_H_
#define ZELSNMP_TOOLS_CHECK_DISPLAY_TEXT_H_

#include <algorithm>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zelsnmp::check {

bool IsNoTextByte(unsigned char byte);

// "0x1F".
std::string HexByte(unsigned char byte);

// The part of a text before its first zero byte, as the task's C interfaces see it.
std::string_view TextBeforeZero(std::string_view text);

// Windows-1251 text in UTF-8, bytes that are no text as \xNN.
std::string Displayable(std::string_view cp1251);

// Columns a UTF-8 text takes in a terminal (one per character).
std::size_t DisplayWidth(std::string_view utf8);

// At most `width` characters of a UTF-8 text; a longer one is cut and ends in "…".
std::string CutToWidth(std::string_view utf8, std::size_t width);

// The columns of the terminal that the check's output is made to fit.
inline constexpr std::size_t kTerminalColumns = 80;

// Rows of UTF-8 cells printed with each column as wide as its widest cell, two blanks apart;
// the last column is not padded.
//
// Given a width, the table is made to fit it: the columns allowed to be cut are narrowed,
// the widest first and never below their least width, their cells cut with "…"; then the last
// column is wrapped at blanks onto lines of its own, aligned under it. Width 0 prints every
// cell whole.
class Table {
 public:
  void AddRow(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
  void AllowCut(std::size_t column, std::size_t least_width) {
    least_widths_.resize(std::max(least_widths_.size(), column + 1), 0);
    least_widths_[column] = least_width;
  }
  void Print(std::ostream& out, std::string_view indent, std::size_t width = 0) const;

 private:
  std::vector<std::size_t> ColumnWidths(std::size_t indent, std::size_t width) const;

  std::vector<std::vector<std::string>> rows_;
  std::vector<std::size_t> least_widths_;  // 0: the column is never cut
};

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_DISPLAY_TEXT_H_
