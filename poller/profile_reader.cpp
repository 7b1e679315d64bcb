#include "poller/profile_reader.h"

#include <cstring>
#include <utility>

#include "sys/file.h"
#include "util/ascii_case.h"
#include "util/cp1251.h"
#include "util/text_end.h"

namespace zelsnmp {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr char32_t kReplacementCharacter = 0xFFFD;

// 0x1A is the old end-of-file mark that editors still leave at the end of a file.
bool IsBlank(char c) { return (c >= '\x09' && c <= '\x0D') || c == '\x1A' || c == ' '; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A name asked for is compared the way a stored one was made: up to its first zero, trimmed.
std::string LookupKey(std::string_view name) { return FoldAsciiCase(Trim(TextUpToZero(name))); }

std::string_view StripMatchingQuotes(std::string_view value) {
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == '"' || value.front() == '\'')) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// UTF-16 text (without its mark) to Windows-1251; a character the code page lacks and an
// unpaired surrogate become "?", and an odd last byte is dropped.
std::string Utf16ToCp1251(std::string_view bytes, bool big_endian) {
  auto unit_at = [&](std::size_t index) -> char32_t {
    const auto first = static_cast<unsigned char>(bytes[index]);
    const auto second = static_cast<unsigned char>(bytes[index + 1]);
    return big_endian ? (first << 8 | second) : (second << 8 | first);
  };
  std::string text;
  text.reserve(bytes.size() / 2);
  const std::size_t unit_count = bytes.size() / 2;
  for (std::size_t i = 0; i < unit_count; ++i) {
    const char32_t unit = unit_at(2 * i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < unit_count) {
      const char32_t low = unit_at(2 * (i + 1));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        text += CodePointToCp1251(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    const bool lone_surrogate = unit >= 0xD800 && unit <= 0xDFFF;
    text += CodePointToCp1251(lone_surrogate ? kReplacementCharacter : unit);
  }
  return text;
}

// The file's text in Windows-1251: converted when it starts with a byte-order mark, else
// taken over as it is.
std::string ToCp1251(std::string contents) {
  if (contents.starts_with(kUtf8Mark)) {
    return Utf8ToCp1251(std::string_view(contents).substr(kUtf8Mark.size()));
  }
  if (contents.starts_with(kUtf16LeMark)) {
    return Utf16ToCp1251(std::string_view(contents).substr(kUtf16LeMark.size()), false);
  }
  if (contents.starts_with(kUtf16BeMark)) {
    return Utf16ToCp1251(std::string_view(contents).substr(kUtf16BeMark.size()), true);
  }
  return contents;
}

// The offset of the first `c` at or after `from`, or the size of the text.
std::size_t FindFrom(std::string_view text, std::size_t from, char c) {
  const void* found = std::memchr(text.data() + from, c, text.size() - from);
  return found == nullptr ? text.size()
                          : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
}

// The offset of the first CR or LF at or after `from`, or the size of the text. `next_cr` and
// `next_lf` hold where each was found last and move on only once passed, so that each byte is
// looked at once.
std::size_t LineEnd(std::string_view text, std::size_t from, std::size_t& next_cr,
                    std::size_t& next_lf) {
  if (next_cr < from) next_cr = FindFrom(text, from, '\r');
  if (next_lf < from) next_lf = FindFrom(text, from, '\n');
  return next_cr < next_lf ? next_cr : next_lf;
}

}  // namespace

ProfileReader ProfileReader::FromFile(const std::string& path) {
  if (path.empty()) return ProfileReader();
  // Only an ordinary file is read, whole and within the limit: a directory, a device that never
  // ends, a FIFO that would wait for ever or a file too long for the reader's offsets has no
  // sections. What a file holds beyond the length it had when opened is read too.
  std::string contents;
  const FileReadResult read = ReadWholeFile(path, kMaxFileBytes, contents);
  if (read.status != FileReadStatus::kRead && read.status != FileReadStatus::kChanged) {
    return ProfileReader();
  }
  ProfileReader reader;
  reader.text_ = ToCp1251(std::move(contents));
  reader.Parse();
  return reader;
}

ProfileReader ProfileReader::FromBytes(std::string_view contents) {
  ProfileReader reader;
  reader.text_ = ToCp1251(std::string(contents));
  reader.Parse();
  return reader;
}

ProfileReader::Span ProfileReader::SpanOf(std::string_view part) const {
  return Span{static_cast<std::uint32_t>(part.data() - text_.data()),
              static_cast<std::uint32_t>(part.size())};
}

void ProfileReader::Parse() {
  // Names and values are kept as 32-bit offsets into the text; a text of 4 GiB or more is
  // read up to there.
  const std::string_view text = std::string_view(text_).substr(0, UINT32_MAX);
  // Lines before the first header, and under a header with an empty name, go nowhere.
  Section* current = nullptr;
  std::size_t next_cr = FindFrom(text, 0, '\r');
  std::size_t next_lf = FindFrom(text, 0, '\n');
  std::size_t start = 0;
  std::uint32_t line_number = 0;
  while (start < text.size()) {
    const std::size_t line_end = LineEnd(text, start, next_cr, next_lf);
    const std::string_view line = Trim(text.substr(start, line_end - start));
    ++line_number;
    start = line_end + 1;
    // CR LF ends one line; the empty line between them would be skipped anyway.
    if (start < text.size() && text[line_end] == '\r' && text[start] == '\n') ++start;
    if (line.empty()) continue;

    const std::size_t closing = line.rfind(']');
    if (line.front() == '[' && closing != std::string_view::npos) {
      // Cut at a zero byte, then trimmed: the same as a name asked for (LookupKey).
      const std::string_view name = Trim(TextUpToZero(line.substr(1, closing - 1)));
      if (name.empty()) {
        current = nullptr;
        continue;
      }
      const auto [found, inserted] = section_index_.try_emplace(FoldAsciiCase(name), sections_.size());
      if (inserted) sections_.push_back(Section{SpanOf(name), {}});
      current = &sections_[found->second];
      continue;
    }

    const std::size_t equals = line.find('=');
    if (current == nullptr || equals == std::string_view::npos) continue;
    const std::string_view key = TextUpToZero(Trim(line.substr(0, equals)));
    if (key.empty() || key.front() == ';') continue;
    // A zero byte cuts the value first; the one pair of quotes is removed from what is left.
    std::string_view value = StripMatchingQuotes(TextUpToZero(Trim(line.substr(equals + 1))));
    value = value.substr(0, kMaxValueBytes);
    current->entries.push_back(StoredEntry{SpanOf(key), SpanOf(value), line_number});
  }
}

const ProfileReader::Section* ProfileReader::FindSection(std::string_view name) const {
  const auto found = section_index_.find(LookupKey(name));
  return found == section_index_.end() ? nullptr : &sections_[found->second];
}

std::vector<std::string> ProfileReader::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section& section : sections_) names.emplace_back(TextOf(section.name));
  return names;
}

std::vector<std::string> ProfileReader::KeyNames(std::string_view section) const {
  std::vector<std::string> keys;
  if (const Section* found = FindSection(section)) {
    keys.reserve(found->entries.size());
    for (const StoredEntry& entry : found->entries) keys.emplace_back(TextOf(entry.key));
  }
  return keys;
}

std::string ProfileReader::Value(std::string_view section, std::string_view key) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return std::string();
  const std::string wanted = LookupKey(key);
  for (const StoredEntry& entry : found->entries) {
    if (FoldAsciiCase(TextOf(entry.key)) == wanted) return std::string(TextOf(entry.value));
  }
  return std::string();
}

std::vector<ProfileReader::Entry> ProfileReader::Entries(std::string_view section) const {
  std::vector<Entry> entries;
  if (const Section* found = FindSection(section)) {
    entries.reserve(found->entries.size());
    for (const StoredEntry& entry : found->entries) {
      entries.push_back(Entry{std::string(TextOf(entry.key)), std::string(TextOf(entry.value))});
    }
  }
  return entries;
}

std::string_view ProfileReader::SectionName(std::size_t index) const {
  return TextOf(sections_[index].name);
}

void ProfileReader::ReleaseEntries(std::size_t index) {
  std::vector<StoredEntry>().swap(sections_[index].entries);
}

ProfileReader::EntryView ProfileReader::EntryAt(std::size_t index, std::size_t entry) const {
  const StoredEntry& stored = sections_[index].entries[entry];
  return EntryView{TextOf(stored.key), TextOf(stored.value), stored.line};
}

}  // namespace zelsnmp
