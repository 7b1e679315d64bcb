#include "poller/profile_reader.h"

#include <array>
#include <fstream>
#include <utility>

#include "util/cp1251.h"
#include "util/text_end.h"

namespace zelsnmp {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr std::size_t kReadChunkBytes = 64 * 1024;

// 0x1A is the old end-of-file mark that editors still leave at the end of a file.
bool IsBlank(char c) { return (c >= '\x09' && c <= '\x0D') || c == '\x1A' || c == ' '; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Only ASCII letters are folded: the names are Windows-1251 bytes, and the Windows functions
// compare Cyrillic letters as they are.
std::string FoldCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// A name asked for is compared the way a stored one was made: up to its first zero, trimmed.
std::string LookupKey(std::string_view name) { return FoldCase(Trim(TextUpToZero(name))); }

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

// The file's text in Windows-1251: converted when it starts with a byte-order mark, else as is.
std::string ToCp1251(std::string_view contents) {
  if (contents.starts_with(kUtf8Mark)) {
    return Utf8ToCp1251(contents.substr(kUtf8Mark.size()));
  }
  if (contents.starts_with(kUtf16LeMark)) {
    return Utf16ToCp1251(contents.substr(kUtf16LeMark.size()), false);
  }
  if (contents.starts_with(kUtf16BeMark)) {
    return Utf16ToCp1251(contents.substr(kUtf16BeMark.size()), true);
  }
  return std::string(contents);
}

}  // namespace

ProfileReader ProfileReader::FromFile(const std::string& path) {
  if (path.empty()) return ProfileReader();
  std::ifstream file(path, std::ios::binary);
  if (!file) return ProfileReader();
  // istream::read turns a read error of the stream buffer into the bad bit (a directory, for
  // one, opens but cannot be read). A file that fails part-way counts as unreadable, so that a
  // half-read file never passes for the whole configuration.
  std::string contents;
  std::array<char, kReadChunkBytes> chunk;
  while (file.read(chunk.data(), chunk.size()) || file.gcount() > 0) {
    contents.append(chunk.data(), static_cast<std::size_t>(file.gcount()));
  }
  if (file.bad()) return ProfileReader();
  return FromBytes(contents);
}

ProfileReader ProfileReader::FromBytes(std::string_view contents) {
  ProfileReader reader;
  reader.Parse(ToCp1251(contents));
  return reader;
}

void ProfileReader::Parse(std::string_view text) {
  // Lines before the first header, and under a header with an empty name, go nowhere.
  Section* current = nullptr;
  while (!text.empty()) {
    const std::size_t line_end = text.find_first_of("\r\n");
    const std::string_view line = Trim(text.substr(0, line_end));
    text.remove_prefix(line_end == std::string_view::npos ? text.size() : line_end + 1);
    if (line.empty()) continue;

    const std::size_t closing = line.rfind(']');
    if (line.front() == '[' && closing != std::string_view::npos) {
      // Cut at a zero byte, then trimmed: the same as a name asked for (LookupKey).
      const std::string_view name = Trim(TextUpToZero(line.substr(1, closing - 1)));
      if (name.empty()) {
        current = nullptr;
        continue;
      }
      const auto [found, inserted] = section_index_.try_emplace(FoldCase(name), sections_.size());
      if (inserted) sections_.push_back(Section{std::string(name), {}});
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
    current->entries.push_back(Entry{std::string(key), std::string(value)});
  }
}

const ProfileReader::Section* ProfileReader::FindSection(std::string_view name) const {
  const auto found = section_index_.find(LookupKey(name));
  return found == section_index_.end() ? nullptr : &sections_[found->second];
}

std::vector<std::string> ProfileReader::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section& section : sections_) names.push_back(section.name);
  return names;
}

std::vector<std::string> ProfileReader::KeyNames(std::string_view section) const {
  std::vector<std::string> keys;
  if (const Section* found = FindSection(section)) {
    keys.reserve(found->entries.size());
    for (const Entry& entry : found->entries) keys.push_back(entry.key);
  }
  return keys;
}

std::string ProfileReader::Value(std::string_view section, std::string_view key) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return std::string();
  const std::string wanted = LookupKey(key);
  for (const Entry& entry : found->entries) {
    if (FoldCase(entry.key) == wanted) return entry.value;
  }
  return std::string();
}

std::vector<ProfileReader::Entry> ProfileReader::Entries(std::string_view section) const {
  const Section* found = FindSection(section);
  return found == nullptr ? std::vector<Entry>() : found->entries;
}

}  // namespace zelsnmp
