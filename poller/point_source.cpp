#include "poller/point_source.h"

#include <cmath>
#include <cstdio>

#include "util/ascii_case.h"
#include "util/parse_float.h"

namespace zelsnmp {

namespace {

constexpr std::string_view kStatusSource = "@status";
constexpr std::string_view kRttSource = "@rtt";
constexpr std::string_view kRateModifier = "rate";
constexpr std::string_view kScaleModifier = "scale=";
constexpr std::string_view kOffsetModifier = "offset=";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

std::size_t WordEnd(std::string_view text, std::size_t at) {
  while (at < text.size() && !IsBlank(text[at])) ++at;
  return at;
}

// A decimal number as a configuration writes it: sign, digits with an optional fraction (at
// least one digit in all), an optional exponent; its value finite.
bool ReadDecimal(std::string_view text, double& value) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  std::size_t digits = 0;
  while (at < text.size() && IsDigit(text[at])) ++at, ++digits;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && IsDigit(text[at])) ++at, ++digits;
  }
  if (digits == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    std::size_t exponent_digits = 0;
    while (at < text.size() && IsDigit(text[at])) ++at, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  if (at != text.size()) return false;
  // The system's own reading of decimal text; a "+" it takes as well.
  const FloatParseResult parsed = ParseFloatText(text);
  if (parsed.error_position != 0 || !std::isfinite(parsed.value)) return false;
  value = parsed.value;
  return true;
}

// Nine significant digits, or as many more as it takes to read back as the same number.
std::string ShowExactly(double value) {
  char text[40];
  for (int digits = 9; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (ParseFloatText(text).value == value) break;
  }
  return text;
}

struct RowRead {
  SourceProblem problem = SourceProblem::kNone;
  std::size_t end = 0;  // one past the source word
  std::string_view column;
  std::string_view key_column;
  std::string key;
};

// COLUMN[KEYCOLUMN=KEY] from `at`, where `open` is the position of "[".
RowRead ReadRow(std::string_view text, std::size_t at, std::size_t open) {
  RowRead read;
  read.column = text.substr(at, open - at);
  std::size_t i = open + 1;
  const std::size_t key_column_begin = i;
  while (i < text.size() && text[i] != '=' && text[i] != ']' && !IsBlank(text[i])) ++i;
  read.end = WordEnd(text, i);
  if (i == text.size() || text[i] != '=') {
    read.problem = SourceProblem::kBadRow;
    return read;
  }
  read.key_column = text.substr(key_column_begin, i - key_column_begin);
  ++i;
  if (i < text.size() && text[i] == '"') {
    ++i;
    for (;;) {
      if (i == text.size()) {
        read.problem = SourceProblem::kUnclosedQuote;
        read.end = text.size();
        return read;
      }
      if (text[i] == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          read.key += '"';
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      read.key += text[i++];
    }
  } else {
    const std::size_t key_begin = i;
    while (i < text.size() && text[i] != ']' && !IsBlank(text[i])) ++i;
    read.key.assign(text.substr(key_begin, i - key_begin));
  }
  read.end = WordEnd(text, i);
  if (i == text.size() || text[i] != ']' || read.end != i + 1) {
    read.problem = SourceProblem::kBadRow;
    return read;
  }
  if (!IsDottedOid(read.column)) {
    read.problem = SourceProblem::kBadColumn;
  } else if (!IsDottedOid(read.key_column)) {
    read.problem = SourceProblem::kBadKeyColumn;
  }
  return read;
}

// Records the first mistake only: it is the one the line is named for.
void Fail(PointSource& source, SourceProblem problem, std::string_view word,
          std::string* mistaken_word) {
  if (source.problem != SourceProblem::kNone) return;
  source.problem = problem;
  if (mistaken_word != nullptr) *mistaken_word = std::string(word);
}

void ReadModifier(PointSource& source, std::string_view word, std::string* mistaken_word) {
  auto read_number = [&](std::string_view name, bool& given, double& value) {
    if (given) return Fail(source, SourceProblem::kRepeatedModifier, name, mistaken_word);
    given = true;
    if (!ReadDecimal(word.substr(name.size() + 1), value)) {
      Fail(source, SourceProblem::kNotANumber, word, mistaken_word);
    }
  };
  if (SameIgnoringAsciiCase(word, kRateModifier)) {
    if (source.rate) Fail(source, SourceProblem::kRepeatedModifier, kRateModifier, mistaken_word);
    source.rate = true;
  } else if (StartsIgnoringAsciiCase(word, kScaleModifier)) {
    read_number("scale", source.has_scale, source.scale);
  } else if (StartsIgnoringAsciiCase(word, kOffsetModifier)) {
    read_number("offset", source.has_offset, source.offset);
  } else {
    Fail(source, SourceProblem::kUnknownModifier, word, mistaken_word);
  }
}

// The mistakes that depend on the point's kind, once the words are read.
void CheckAgainstKind(PointSource& source, PointKind kind, std::string* mistaken_word) {
  const bool device = source.kind == SourceKind::kStatus || source.kind == SourceKind::kRtt;
  const std::string_view device_name =
      source.kind == SourceKind::kStatus ? kStatusSource : kRttSource;
  if (device && kind == PointKind::kNone) {
    return Fail(source, SourceProblem::kDevicePointNoPoint, device_name, mistaken_word);
  }
  if (kind == PointKind::kStatusOneBased) {
    if (source.rate) return Fail(source, SourceProblem::kModifierOnStatus, "rate", mistaken_word);
    if (source.has_scale) {
      return Fail(source, SourceProblem::kModifierOnStatus, "scale", mistaken_word);
    }
    if (source.has_offset) {
      return Fail(source, SourceProblem::kModifierOnStatus, "offset", mistaken_word);
    }
    if (source.kind == SourceKind::kRtt) {
      return Fail(source, SourceProblem::kRttOnStatus, kRttSource, mistaken_word);
    }
  }
  if (device && source.rate) {
    Fail(source, SourceProblem::kRateOnDeviceStatus, device_name, mistaken_word);
  }
}

}  // namespace

bool IsDottedOid(std::string_view text) {
  std::size_t arcs = 0;
  std::size_t at = 0;
  for (;;) {
    const std::size_t begin = at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    if (at == begin || (text[begin] == '0' && at - begin > 1)) return false;
    ++arcs;
    if (at == text.size()) return arcs >= 2;
    if (text[at] != '.') return false;
    ++at;
  }
}

PointKind PointKindOf(std::string_view key) {
  constexpr std::size_t kMostDigits = 9;  // far from the 32-bit limits of the scanner's %d
  bool plain = key.size() > 3 && key[0] == '#' && key[1] == 'T';
  const PointKind kind = !plain          ? PointKind::kNone
                         : key[2] == 'C' ? PointKind::kStatusOneBased
                         : key[2] == 'S' ? PointKind::kStatus
                         : key[2] == 'T' ? PointKind::kAnalog
                                         : PointKind::kNone;
  plain = plain && kind != PointKind::kNone;
  std::size_t at = 3;
  for (int number = 0; plain && number < 3; ++number) {
    const std::size_t begin = at;
    while (at < key.size() && IsDigit(key[at])) ++at;
    plain = at > begin && at - begin <= kMostDigits &&
            (number == 2 ? at == key.size() : at < key.size() && key[at++] == ':');
  }
  return plain ? kind : ScanPointAddress(key).kind;
}

const PointSource& BareSource() {
  static const PointSource bare;
  return bare;
}

bool IsBareSource(std::string_view value) {
  // Most lines are an OID alone: three vectorised searches say so.
  if (value.find(' ') != std::string_view::npos || value.find('\t') != std::string_view::npos ||
      value.find('[') != std::string_view::npos) {
    const std::size_t begin = SkipBlanks(value, 0);
    const std::size_t end = WordEnd(value, begin);
    const std::string_view first = value.substr(begin, end - begin);
    return (first.empty() || first.front() != '@') &&
           first.find('[') == std::string_view::npos && SkipBlanks(value, end) == value.size();
  }
  return value.empty() || value.front() != '@';
}

PointSource ParsePointSource(std::string_view value, PointKind kind, std::string* mistaken_word,
                             RowKeyCache* rows) {
  PointSource source;
  if (IsBareSource(value)) return source;
  const std::size_t begin = SkipBlanks(value, 0);
  std::size_t end = WordEnd(value, begin);
  const std::string_view first = value.substr(begin, end - begin);
  const std::size_t open = first.find('[');
  const bool device = !first.empty() && first.front() == '@';
  source.bare = false;
  if (open != std::string_view::npos && !device) {
    RowRead read = ReadRow(value, begin, begin + open);
    end = read.end;
    source.kind = SourceKind::kRow;
    source.word_begin = static_cast<std::uint32_t>(begin);
    source.word_length = static_cast<std::uint32_t>(end - begin);
    if (read.problem != SourceProblem::kNone) {
      Fail(source, read.problem, source.Word(value), mistaken_word);
    }
    const std::string_view word = source.Word(value);
    source.row = rows != nullptr ? rows->Find(word) : nullptr;
    if (source.row == nullptr) {
      source.row = std::make_shared<const RowKey>(read.column, read.key_column, read.key);
      if (rows != nullptr) rows->Add(word, source.row);
    }
  } else {
    source.word_begin = static_cast<std::uint32_t>(begin);
    source.word_length = static_cast<std::uint32_t>(first.size());
    if (SameIgnoringAsciiCase(first, kStatusSource)) {
      source.kind = SourceKind::kStatus;
    } else if (SameIgnoringAsciiCase(first, kRttSource)) {
      source.kind = SourceKind::kRtt;
    } else if (device) {
      Fail(source, SourceProblem::kUnknownSource, first, mistaken_word);
    }
  }
  for (std::size_t at = SkipBlanks(value, end); at < value.size(); at = SkipBlanks(value, end)) {
    end = WordEnd(value, at);
    ReadModifier(source, value.substr(at, end - at), mistaken_word);
  }
  CheckAgainstKind(source, kind, mistaken_word);
  return source;
}

std::string DescribeModifiers(const PointSource& source) {
  std::string text;
  auto add = [&text](std::string_view word) {
    if (!text.empty()) text += ' ';
    text += word;
  };
  if (source.rate) add("rate");
  if (source.has_scale) add("scale=" + ShowExactly(source.scale));
  if (source.has_offset) add("offset=" + ShowExactly(source.offset));
  return text;
}

std::string ShowDecimal(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

std::string ModifierWords(std::string_view value, const PointSource& source) {
  std::string words;
  std::size_t at = std::min<std::size_t>(value.size(), source.word_begin + source.word_length);
  for (at = SkipBlanks(value, at); at < value.size(); at = SkipBlanks(value, at)) {
    const std::size_t end = WordEnd(value, at);
    if (!words.empty()) words += ' ';
    words += value.substr(at, end - at);
    at = end;
  }
  return words;
}

}  // namespace zelsnmp
