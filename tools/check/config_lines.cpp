#include "tools/check/config_lines.h"

#include <algorithm>

#include "poller/profile_reader.h"
#include "util/cp1251.h"

namespace zelsnmp::check {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// A section and a key no configuration uses, put around one line to see how the reader takes it.
constexpr std::string_view kFrameSection = "zelsnmp-check frame \x01";
constexpr std::string_view kFrameKey = "zelsnmp-check frame key \x01";

bool IsBlank(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x09 && byte <= 0x0D) || byte == 0x1A || byte == 0x20;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> PhysicalLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// How the reader takes `line` (in the file's own encoding; `mark` is its byte-order mark).
void Classify(std::string_view mark, std::string_view line, ConfigLine& result) {
  const std::string framed = std::string(mark) + "[" + std::string(kFrameSection) + "]\n" +
                             std::string(line) + "\n" + std::string(kFrameKey) + "=1\n";
  const ProfileReader reader = ProfileReader::FromBytes(framed);
  const std::vector<std::string> names = reader.SectionNames();
  const std::vector<ProfileReader::Entry> entries = reader.Entries(kFrameSection);
  const bool frame_key_seen = !entries.empty() && entries.back().key == kFrameKey;
  if (names.size() >= 2 || !frame_key_seen) {
    result.kind = LineKind::kSection;
    result.name = names.size() >= 2 ? names[1] : std::string();
    return;
  }
  if (entries.size() >= 2) {
    result.kind = LineKind::kEntry;
    result.key = entries.front().key;
    result.value = entries.front().value;
    return;
  }
  const std::string_view trimmed = Trim(result.raw);
  if (trimmed.empty()) {
    result.kind = LineKind::kBlank;
  } else if (trimmed.front() == ';') {
    result.kind = LineKind::kComment;
  } else if (trimmed.find('=') == std::string_view::npos) {
    result.kind = LineKind::kNoEquals;
  } else {
    result.kind = LineKind::kEmptyKey;
  }
}

// Valid UTF-8 that holds at least one character beyond ASCII. Windows-1251 letters are seldom
// valid UTF-8: a Cyrillic letter there is one byte of 0xC0 or more, which UTF-8 requires to
// be followed by bytes of 0x80 to 0xBF.
bool IsUtf8BeyondAscii(std::string_view bytes) {
  bool beyond_ascii = false;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t followers = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      followers = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      followers = 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      followers = 3;
    } else {
      return false;
    }
    for (std::size_t f = 1; f <= followers; ++f) {
      if (i + f >= bytes.size() || (static_cast<unsigned char>(bytes[i + f]) & 0xC0) != 0x80) {
        return false;
      }
    }
    beyond_ascii = true;
    i += followers + 1;
  }
  return beyond_ascii;
}

// UTF-16 text of a configuration is mostly ASCII, so one byte of nearly every pair is zero,
// while a single-byte file has at most a stray zero.
bool LooksLikeUtf16(std::string_view bytes) {
  std::size_t zero_even = 0;
  std::size_t zero_odd = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\0') ++(i % 2 == 0 ? zero_even : zero_odd);
  }
  const std::size_t pairs = bytes.size() / 2;
  const std::size_t zeros = std::max(zero_even, zero_odd);
  return pairs >= 2 && zeros * 2 >= pairs && std::min(zero_even, zero_odd) * 8 <= zeros;
}

}  // namespace

ConfigLines SplitConfigLines(std::string_view file_bytes) {
  ConfigLines result;
  if (file_bytes.starts_with("\xFF\xFE") || file_bytes.starts_with("\xFE\xFF")) {
    result.encoding = FileEncoding::kUtf16;
    return result;
  }
  if (LooksLikeUtf16(file_bytes)) {
    result.encoding = FileEncoding::kUtf16WithoutMark;
    return result;
  }
  std::string_view mark;
  if (file_bytes.starts_with(kUtf8Mark)) {
    mark = kUtf8Mark;
    file_bytes.remove_prefix(kUtf8Mark.size());
    result.encoding = FileEncoding::kUtf8;
  } else if (IsUtf8BeyondAscii(file_bytes)) {
    result.encoding = FileEncoding::kUtf8WithoutMark;
  }
  std::string section;
  bool in_section = false;
  int number = 0;
  for (std::string_view line : PhysicalLines(file_bytes)) {
    ConfigLine config_line;
    config_line.number = ++number;
    config_line.raw = mark.empty() ? std::string(line) : Utf8ToCp1251(line);
    Classify(mark, line, config_line);
    if (config_line.kind == LineKind::kSection) {
      section = config_line.name;
      in_section = true;
    }
    if (config_line.kind == LineKind::kEntry) {
      std::string_view after = config_line.raw;
      after.remove_prefix(after.find('=') + 1);
      config_line.raw_value_length = Trim(after.substr(0, after.find('\0'))).size();
    }
    config_line.section = section;
    config_line.in_section = in_section;
    result.lines.push_back(std::move(config_line));
  }
  return result;
}

}  // namespace zelsnmp::check
