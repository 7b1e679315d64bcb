// What a point shows: the value of a point line ("#TT1:1:5 = SOURCE [MODIFIER ...]") read once,
// at load, into a PointSource that the poll pass and the configuration check share.
//
// The value is split at blanks (space, tab). The first word is the source:
//   - an OID: asked of the device as written (a line of one word is byte for byte the OID the
//     pass has always sent, whatever its text);
//   - COLUMN[KEYCOLUMN=KEY]: the column's instance in the table row whose KEYCOLUMN holds KEY;
//     KEY in double quotes may hold blanks and "]", and "" inside quotes stands for one quote.
//     the pass finds the row by walking KEYCOLUMN (poller/row_book.h);
//   - @status or @rtt (any ASCII case): the device's state or response time in the pass, never
//     sent to the device.
// The other words are modifiers, each at most once, in any order (names in any ASCII case):
// "rate", "scale=K", "offset=C" with K and C decimal numbers (sign, fraction and exponent
// allowed: "0.008", "-1e-3").
//
// A line holding a mistake is not polled; the rest of its section is. The mistake is named by a
// PointMistake (section, line, point address, what is wrong, the word concerned).

#ifndef ZELSNMP_POLLER_POINT_SOURCE_H_
#define ZELSNMP_POLLER_POINT_SOURCE_H_

#include <algorithm>
#include <cstddef>
#include <functional>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "poller/point_write.h"

namespace zelsnmp {

enum class SourceKind {
  kOid,     // a fixed OID
  kRow,     // a column's instance found by a key column's value
  kStatus,  // @status
  kRtt,     // @rtt
};

enum class SourceProblem {
  kNone,
  kUnknownSource,       // a first word beginning with "@" that is no device point
  kUnknownModifier,     // `word`
  kRepeatedModifier,    // `word` given twice
  kNotANumber,          // scale= or offset= without a decimal number (`word`)
  kModifierOnStatus,    // rate, scale or offset on a "#TC" point (`word`)
  kRateOnDeviceStatus,  // rate on @status
  kRttOnStatus,         // @rtt on a "#TC" point
  kDevicePointNoPoint,  // @status or @rtt on a line that is no point (`word`)
  kBadColumn,           // COLUMN is no dotted OID
  kBadKeyColumn,        // KEYCOLUMN is no dotted OID
  kBadRow,              // no "[", "=" or "]" where COLUMN[KEYCOLUMN=KEY] needs it
  kUnclosedQuote,       // a quoted KEY without its closing quote
};

// The row of a COLUMN[KEYCOLUMN=KEY] source, as read: the three texts in one piece of storage,
// so that a row line costs one allocation more than a plain one. Neither copied nor moved.
struct RowKey {
  RowKey(std::string_view column_text, std::string_view key_column_text, std::string_view key_text)
      : storage_(Joined(column_text, key_column_text, key_text)),
        column(std::string_view(storage_).substr(0, column_text.size())),
        key_column(std::string_view(storage_).substr(column_text.size(), key_column_text.size())),
        key(std::string_view(storage_).substr(column_text.size() + key_column_text.size())) {}
  RowKey(const RowKey&) = delete;
  RowKey& operator=(const RowKey&) = delete;

 private:
  static std::string Joined(std::string_view a, std::string_view b, std::string_view c) {
    std::string joined;
    joined.reserve(a.size() + b.size() + c.size());
    joined.append(a).append(b).append(c);
    return joined;
  }

  std::string storage_;

 public:
  std::string_view column;
  std::string_view key_column;
  std::string_view key;  // quotes removed, "" read as one quote
};

struct PointSource {
  SourceKind kind = SourceKind::kOid;
  // The value was one word: the OID is the whole value, as the pass has always sent it.
  bool bare = true;
  bool rate = false;
  bool has_scale = false;
  bool has_offset = false;
  double scale = 1;
  double offset = 0;
  SourceProblem problem = SourceProblem::kNone;
  // Where the source word lies in the value (for kOid the OID asked), when the line is not
  // bare; kept as a place rather than a copy, so that a line costs one text.
  std::uint32_t word_begin = 0;
  std::uint32_t word_length = 0;
  std::shared_ptr<const RowKey> row = {};

  std::string_view Word(std::string_view value) const {
    return value.substr(std::min<std::size_t>(word_begin, value.size()), word_length);
  }
  bool Mistaken() const { return problem != SourceProblem::kNone; }
  bool HasModifiers() const { return rate || has_scale || has_offset; }
  // Asked of the device: a fixed OID without a mistake.
  bool OnWire() const { return kind == SourceKind::kOid && problem == SourceProblem::kNone; }
  bool DevicePoint() const {
    return problem == SourceProblem::kNone &&
           (kind == SourceKind::kStatus || kind == SourceKind::kRtt);
  }
};

// The kind ScanPointAddress gives `key`, found without the scanner for the plain form
// "#TC12:3:45" (at most nine digits per number), by the scanner otherwise.
PointKind PointKindOf(std::string_view key);

// The source of a line of one OID and nothing else.
const PointSource& BareSource();

// A mistake of a point line, for the error log and the check.
struct PointMistake {
  std::string section;  // as written
  int line = 0;
  std::string key;  // the point address as written
  SourceProblem problem = SourceProblem::kNone;
  std::string word = {};  // the word concerned, as written
};

// True when `value` is one word that is neither a device point nor a row: a line as the pass
// has always read it, whose OID is the whole value. Cheap, so that loading such lines costs
// what it did.
bool IsBareSource(std::string_view value);

// The rows a configuration's lines have read, by their source word: lines with the same row
// word (the same interface name on many devices of one kind) share one RowKey, so that loading
// them allocates it once.
class RowKeyCache {
 public:
  std::shared_ptr<const RowKey> Find(std::string_view word) const {
    const auto found = rows_.find(word);
    return found == rows_.end() ? nullptr : found->second;
  }
  void Add(std::string_view word, std::shared_ptr<const RowKey> row) {
    rows_.emplace(std::string(word), std::move(row));
  }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  std::unordered_map<std::string, std::shared_ptr<const RowKey>, Hash, std::equal_to<>> rows_;
};

// Reads the value of a point line whose point address is of kind `kind`. `mistaken_word`, when
// given, receives the word a mistake concerns; `rows`, when given, keeps the rows read.
PointSource ParsePointSource(std::string_view value, PointKind kind,
                             std::string* mistaken_word = nullptr, RowKeyCache* rows = nullptr);

// The modifiers as a line shows them again: "rate scale=0.008 offset=-40" (empty when none),
// each number in nine significant digits or as many more as read back the same number.
std::string DescribeModifiers(const PointSource& source);

// A number as the task shows it in texts: up to 9 significant digits, "." as decimal point.
std::string ShowDecimal(double value);

// The words of `value` after its source word, as written, joined by single blanks.
std::string ModifierWords(std::string_view value, const PointSource& source);

// True when `text` is a dotted OID: decimal arcs without leading zeros, single dots, at least
// two arcs.
bool IsDottedOid(std::string_view text);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_POINT_SOURCE_H_
