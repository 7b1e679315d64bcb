// Texts of a configuration made fit for a UTF-8 terminal, and columns aligned by what a
// terminal shows rather than by bytes.
//
// Configuration texts are Windows-1251 bytes; they are shown in UTF-8, with every byte that is
// no text (control bytes, DEL, the one byte Windows-1251 leaves unassigned) written as \xNN.

#ifndef ZELSNMP_TOOLS_CHECK_DISPLAY_TEXT_H_
#define ZELSNMP_TOOLS_CHECK_DISPLAY_TEXT_H_

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

// At most `width` characters of a UTF-8 text; a longer one is cut and ends in "...".
std::string CutToWidth(std::string_view utf8, std::size_t width);

// Rows of UTF-8 cells printed with each column as wide as its widest cell, two blanks apart;
// the last column is not padded.
class Table {
 public:
  void AddRow(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
  void Print(std::ostream& out, std::string_view indent) const;

 private:
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_DISPLAY_TEXT_H_
