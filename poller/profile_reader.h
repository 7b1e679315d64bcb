// ProfileReader: the INI reader of the task's configuration.
//
// It reads a file the way the Windows private-profile functions read one, so that a
// configuration written for the task on Windows means the same here: CR and LF both end lines,
// blanks (0x09-0x0D, 0x1A, 0x20) are trimmed around lines, names and values, section and key
// names are compared with ASCII letters folded to one case, an entry whose key starts with ";"
// is a comment, a zero byte ends a name or value (a section name is cut there, then trimmed),
// one pair of matching quotes around what is left of a value is removed, a value is cut to its
// first kMaxValueBytes bytes, and a file that starts with a UTF-8 or UTF-16 byte-order mark is
// converted to Windows-1251 ("?" for what the code page lacks).
// Every other file is taken byte for byte; a missing, unreadable or empty file has no sections,
// and so has anything that is no ordinary file and a file longer than kMaxFileBytes.
//
// Where the Windows functions silently lose configuration, this reader keeps it:
//   - the lists of section names and key names have no size limit;
//   - a section whose name appears again later is listed once, at its first place, and holds
//     the lines of all its occurrences in file order;
//   - every entry line keeps its own value, also when its key appears twice in a section
//     (Entries gives them all; Value, asked by name, gives the first).
//   - an entry with an empty key is not listed (a Windows key list would end at it).
//
// The file is read and parsed once, in the constructor; the queries then work from memory.

#ifndef ZELSNMP_POLLER_PROFILE_READER_H_
#define ZELSNMP_POLLER_PROFILE_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zelsnmp {

class ProfileReader {
 public:
  // A value holds at most this many bytes (the Windows buffer of 2048 with its terminator).
  static constexpr std::size_t kMaxValueBytes = 2047;
  // The longest file read: three times a configuration of 10000 agents of 50 lines, and far
  // below the 4 GiB that the reader's 32-bit offsets reach.
  static constexpr std::uint64_t kMaxFileBytes = std::uint64_t{64} << 20;

  struct Entry {
    std::string key;
    std::string value;
  };

  // Reads and parses the file at `path`; an empty path or an unreadable file gives no sections.
  static ProfileReader FromFile(const std::string& path);
  // Parses INI text already in memory, as the contents of a file.
  static ProfileReader FromBytes(std::string_view contents);

  // The section names in file order, each once, spelled as at its first occurrence.
  std::vector<std::string> SectionNames() const;
  // The key names of `section` in file order, comments left out, duplicates kept.
  std::vector<std::string> KeyNames(std::string_view section) const;
  // The value of the first entry with `key` in `section`, or the empty text when there is none.
  std::string Value(std::string_view section, std::string_view key) const;
  // The listed entries of `section` in file order, each with its own value.
  std::vector<Entry> Entries(std::string_view section) const;

  // The same by position, without copies: section `index` (0 to SectionCount() - 1, in file
  // order) and its entries as views into the reader's own text, valid while the reader lives.
  struct EntryView {
    std::string_view key;
    std::string_view value;
    // The entry's line in the file, counted from 1 as editors count (CR LF, LF and CR each end
    // one line).
    std::uint32_t line;
  };
  std::size_t SectionCount() const { return sections_.size(); }
  std::string_view SectionName(std::size_t index) const;
  std::size_t EntryCount(std::size_t index) const { return sections_[index].entries.size(); }
  EntryView EntryAt(std::size_t index, std::size_t entry) const;
  // Forgets the entries of section `index` (it then has none), for a caller that has taken
  // them over and would otherwise hold them twice.
  void ReleaseEntries(std::size_t index);

 private:
  // A part of text_, by offset and length.
  struct Span {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
  };
  struct StoredEntry {
    Span key;
    Span value;
    std::uint32_t line = 0;
  };
  struct Section {
    Span name;
    std::vector<StoredEntry> entries;
  };

  ProfileReader() = default;
  void Parse();
  const Section* FindSection(std::string_view name) const;
  Span SpanOf(std::string_view part) const;
  std::string_view TextOf(Span span) const {
    return std::string_view(text_).substr(span.offset, span.length);
  }

  // The file's text in Windows-1251; every name and value is a part of it.
  std::string text_;
  std::vector<Section> sections_;
  // Section index by name with ASCII letters folded to lower case.
  std::unordered_map<std::string, std::size_t> section_index_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_PROFILE_READER_H_
