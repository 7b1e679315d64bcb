// The configuration file read a second time, line by line, to give the configuration check
// the line numbers that the task's loader does not keep.
//
// Each physical line (CR LF, LF or CR ends one; numbered from 1 as editors number them) is
// classified with the task's own profile reader, fed that one line, so that blanks, quotes,
// zero bytes and comments are judged exactly as when the task loads the file. A file that
// starts with a UTF-8 byte-order mark is read as the reader reads it (converted); a UTF-16 file
// cannot be split into lines here and gives no lines at all. The file's encoding is told too,
// so that a file saved in one the task misreads can be named.

#ifndef ZELSNMP_TOOLS_CHECK_CONFIG_LINES_H_
#define ZELSNMP_TOOLS_CHECK_CONFIG_LINES_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelsnmp::check {

enum class LineKind {
  kBlank,
  kComment,        // a line starting with ";" (with or without "=")
  kSection,        // a section header; `name` is the section name (may be empty)
  kEntry,          // a listed entry: `key` and `value` as the task sees them
  kNoEquals,       // any other line without "=": not seen by the task
  kEmptyKey,       // "=value" and the like: not seen by the task
};

struct ConfigLine {
  int number = 0;            // 1-based
  std::string raw;           // the bytes of the line without its line end
  LineKind kind = LineKind::kBlank;
  std::string name;          // kSection
  std::string key;           // kEntry
  std::string value;         // kEntry, as the task sees it (cut, unquoted)
  std::string section;       // the section the line lies in; empty before the first
  bool in_section = false;   // false before the first section header
  std::size_t raw_value_length = 0;  // kEntry: bytes after the "=" before trimming and cutting
};

// How the file's bytes are encoded, as far as its bytes tell. The task reads a file without a
// byte-order mark as Windows-1251, byte for byte.
enum class FileEncoding {
  kSingleByte,        // Windows-1251 or plain ASCII: read as written
  kUtf8,              // with a byte-order mark: converted
  kUtf16,             // with a byte-order mark: converted, but no lines can be given
  kUtf8WithoutMark,   // valid UTF-8 with characters beyond ASCII: misread byte for byte
  kUtf16WithoutMark,  // every other byte zero: misread; no lines are given
};

struct ConfigLines {
  std::vector<ConfigLine> lines;
  FileEncoding encoding = FileEncoding::kSingleByte;
};

ConfigLines SplitConfigLines(std::string_view file_bytes);

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_CONFIG_LINES_H_
