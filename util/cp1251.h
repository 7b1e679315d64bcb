// Conversions between UTF-8 and the Windows-1251 code page.
//
// The task's own texts (log lines, the exported type string) are written in the source as
// readable UTF-8 and become the Windows-1251 bytes that cross the host interface through
// Utf8ToCp1251, in one place. Cp1251ToUtf8 goes the other way, for the stand-in of the host
// libraries (which writes its files in UTF-8) and for tests.
//
// Every one of the 256 byte values has a character: 0x00-0x7F are ASCII, 0x98 (unassigned in
// the code page) stands for U+0098 as Windows maps it, so any byte string survives the round
// trip Cp1251ToUtf8 then Utf8ToCp1251 unchanged. A character outside the code page, or a byte
// that is not valid UTF-8, becomes "?".

#ifndef ZELSNMP_UTIL_CP1251_H_
#define ZELSNMP_UTIL_CP1251_H_

#include <string>
#include <string_view>

namespace zelsnmp {

std::string Utf8ToCp1251(std::string_view utf8);
std::string Cp1251ToUtf8(std::string_view cp1251);

// The Windows-1251 byte of one Unicode character, "?" when the code page lacks it.
char CodePointToCp1251(char32_t code_point);

}  // namespace zelsnmp

#endif  // ZELSNMP_UTIL_CP1251_H_
