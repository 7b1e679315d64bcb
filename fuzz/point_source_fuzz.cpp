// libFuzzer target: the reading of a point line's value (poller/point_source.h), checked
// against a small reference model written apart from the parser:
//   - the value is cut into words at spaces and tabs; one word without "@" in front and without
//     "[" is a bare OID line, taken whole;
//   - otherwise the first word is the source: "@status" or "@rtt" in any case, another "@" word
//     is unknown, an OID otherwise; the other words are modifiers: "rate", "scale=" or
//     "offset=" (names in any case) followed by a decimal number (sign, digits with at least
//     one digit, an optional fraction and exponent) whose value is finite, each at most once;
//   - the kind of point forbids what it cannot show (#TC: no modifier and no @rtt; no point:
//     no device point; no rate of a device point).
// The first byte chooses the point kind; the rest is the value. Values holding "[" are rows,
// which the model does not read: for them the parser must only not fail, and must give a row
// or a mistake. A value read without a mistake must read the same again when written back as
// its source word and DescribeModifiers.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_require.h"
#include "poller/point_source.h"

namespace {

using zelsnmp::PointKind;
using zelsnmp::PointSource;
using zelsnmp::SourceKind;
using zelsnmp::SourceProblem;

std::vector<std::string> Words(std::string_view value) {
  std::vector<std::string> words;
  std::string word;
  for (char c : value) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

// A decimal number by the model's own reading; its value through strtod.
bool IsDecimal(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  int digits = 0;
  bool point = false;
  while (i < n && ((text[i] >= '0' && text[i] <= '9') || (text[i] == '.' && !point))) {
    if (text[i] == '.') {
      point = true;
    } else {
      ++digits;
    }
    ++i;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponent = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == exponent) return false;
  }
  if (i != n || text.find('\0') != std::string::npos) return false;
  return std::isfinite(std::strtod(text.c_str(), nullptr));
}

struct Model {
  bool bare = true;
  SourceKind kind = SourceKind::kOid;
  SourceProblem problem = SourceProblem::kNone;
  std::string word;
  bool rate = false, scale = false, offset = false;
};

Model Read(std::string_view value, PointKind point) {
  Model model;
  const std::vector<std::string> words = Words(value);
  const bool device = !words.empty() && words[0][0] == '@';
  if (words.size() <= 1 && !device) return model;
  model.bare = false;
  model.word = words[0];
  auto fail = [&model](SourceProblem problem) {
    if (model.problem == SourceProblem::kNone) model.problem = problem;
  };
  if (Lower(words[0]) == "@status") {
    model.kind = SourceKind::kStatus;
  } else if (Lower(words[0]) == "@rtt") {
    model.kind = SourceKind::kRtt;
  } else if (device) {
    fail(SourceProblem::kUnknownSource);
  }
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string lower = Lower(words[i]);
    auto number = [&](const char* name, bool& given) {
      if (given) return fail(SourceProblem::kRepeatedModifier);
      given = true;
      if (!IsDecimal(words[i].substr(std::string(name).size()))) fail(SourceProblem::kNotANumber);
    };
    if (lower == "rate") {
      if (model.rate) fail(SourceProblem::kRepeatedModifier);
      model.rate = true;
    } else if (lower.rfind("scale=", 0) == 0) {
      number("scale=", model.scale);
    } else if (lower.rfind("offset=", 0) == 0) {
      number("offset=", model.offset);
    } else {
      fail(SourceProblem::kUnknownModifier);
    }
  }
  const bool device_point = model.kind != SourceKind::kOid;
  if (device_point && point == PointKind::kNone) fail(SourceProblem::kDevicePointNoPoint);
  if (point == PointKind::kStatusOneBased && (model.rate || model.scale || model.offset)) {
    fail(SourceProblem::kModifierOnStatus);
  }
  if (point == PointKind::kStatusOneBased && model.kind == SourceKind::kRtt) {
    fail(SourceProblem::kRttOnStatus);
  }
  if (device_point && model.rate) fail(SourceProblem::kRateOnDeviceStatus);
  return model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  constexpr PointKind kKinds[] = {PointKind::kNone, PointKind::kStatusOneBased,
                                  PointKind::kStatus, PointKind::kAnalog};
  const PointKind kind = kKinds[data[0] % 4];
  const std::string value(reinterpret_cast<const char*>(data + 1), size - 1);
  const PointSource source = zelsnmp::ParsePointSource(value, kind);
  Require(source.bare == zelsnmp::IsBareSource(value));
  const std::vector<std::string> words = Words(value);
  if (!words.empty() && words[0].find('[') != std::string::npos && words[0][0] != '@') {
    Require(source.kind == SourceKind::kRow && source.row != nullptr);
    return 0;
  }
  const Model model = Read(value, kind);
  Require(source.bare == model.bare);
  if (model.bare) return 0;
  Require(source.kind == model.kind);
  Require(source.problem == model.problem);
  Require(source.Word(value) == model.word);
  if (source.Mistaken()) return 0;
  Require(source.rate == model.rate && source.has_scale == model.scale &&
          source.has_offset == model.offset);
  // Written back, it reads the same.
  const std::string modifiers = zelsnmp::DescribeModifiers(source);
  const PointSource again =
      zelsnmp::ParsePointSource(std::string(source.Word(value)) +
                                    (modifiers.empty() ? "" : " " + modifiers), kind);
  Require(again.kind == source.kind && again.rate == source.rate &&
          again.scale == source.scale && again.offset == source.offset && !again.Mistaken());
  return 0;
}
