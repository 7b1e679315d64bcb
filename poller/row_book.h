// Rows found by their name: what the poller knows, from pass to pass, about the table rows its
// COLUMN[KEYCOLUMN=KEY] lines are bound to, and the walk of a key column that finds them.
//
// A row line is asked for only once its row is found: the walk of KEYCOLUMN gives the instance
// suffix (the index) of the first row whose value is KEY, byte for byte, and the line then asks
// COLUMN.index. Every request that carries row lines also asks KEYCOLUMN.index of each of their
// rows (once per row and request), so that a value is written only while its row still holds
// KEY; a row that no longer does is walked again in the next pass, and so is every row of a
// device that restarted. A key no row holds is walked for again every kRowRetryPasses-th pass.
//
// ColumnWalk is the walk itself, without any exchange: it fills each request (GetBulk with up
// to the given repetitions, or GetNext for a device that refused GetBulk) and reads each
// answer, until the answer leaves the column, the device reports the end of its view,
// kWalkRowLimit rows were read, or an answer does not go forward. It is bounded in requests as
// in rows: every request it takes reads a row or ends the walk.

#ifndef ZELSNMP_POLLER_ROW_BOOK_H_
#define ZELSNMP_POLLER_ROW_BOOK_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "poller/poll_config.h"
#include "snmp/snmp_message.h"

namespace zelsnmp {

// A walk reads at most this many rows of a key column.
inline constexpr std::size_t kWalkRowLimit = 10000;
// Rows a GetBulk asks for when the agent sets no @max-oids.
inline constexpr std::int32_t kWalkRepetitions = 25;
// A key that no row holds is walked for again every this many-th pass.
inline constexpr std::uint32_t kRowRetryPasses = 60;

enum class RowState : std::uint8_t {
  kUnknown,   // not walked yet, or its last walk did not end
  kFound,     // asked at its index
  kNotFound,  // no row held the key at the last walk
};

// One row line of an agent.
struct RowLine {
  bool row = false;  // the line is a well-formed row; the rest of this is unused otherwise
  RowState state = RowState::kUnknown;
  std::string index;    // the instance suffix found, "3" or "1.4.10.0.0.1"
  std::string oid;      // COLUMN.index, the OID asked
  std::string key_oid;  // KEYCOLUMN.index, asked beside it
  std::uint32_t walked_pass = 0;
  // Its key instance held another value, or the device restarted: walked again at the next
  // pass. Its state stays as it is until then, so that a pass asks what it planned.
  bool walk_next = false;
  bool said_not_found = false;  // the error log said so since it was last found
  bool said_several = false;    // the message log said so since it was last found
};

struct AgentRows {
  std::string section_name;
  std::size_t line_count = 0;
  std::vector<RowLine> lines;  // per line of the agent; empty when it has no row line
  bool no_bulk = false;        // the device refused GetBulk: walked with GetNext
  // A walk got no answer: no walk goes to the device until another of its requests is
  // answered, so that a dead device costs a pass one time-out rather than two.
  bool walk_unanswered = false;
  std::optional<std::uint32_t> uptime;        // its sysUpTime.0 at the last answer
  std::optional<std::int32_t> engine_boots;  // its v3 engine's boots at the last answer
};

class RowBook {
 public:
  // Sizes the book for `config`; what was learned for another section or line count is dropped.
  void Fit(const PollConfig& config);
  bool Empty() const { return agents_.empty(); }
  AgentRows& Agent(std::size_t agent) { return agents_[agent]; }
  const AgentRows* AgentOrNull(std::size_t agent) const {
    return agent < agents_.size() && !agents_[agent].lines.empty() ? &agents_[agent] : nullptr;
  }
  // The row line's state, or null for a line that is no row (or a mistaken one).
  const RowLine* Line(std::size_t agent, std::size_t line) const;
  // True when the line is a row found at an index: it is asked.
  bool Found(std::size_t agent, std::size_t line) const {
    const RowLine* row = Line(agent, line);
    return row != nullptr && row->state == RowState::kFound;
  }
  // True when the row line is to be walked for in pass `pass`.
  bool WalkDue(std::size_t agent, std::size_t line, std::uint32_t pass) const;
  // Every row of the agent is walked again at the next pass (a restart).
  void WalkAgain(std::size_t agent);
  // The device's clock in an answer: true when it went back (or the v3 boots went up) since the
  // last one, a restart.
  bool NoteClock(std::size_t agent, std::optional<std::uint32_t> uptime,
                 std::optional<std::int32_t> engine_boots);

 private:
  std::vector<AgentRows> agents_;
};

// What a walk found for one key.
struct KeyMatch {
  std::string key;
  std::string first_index;  // empty when no row holds it
  std::size_t rows = 0;     // how many rows hold it
};

// The row lines that one walk serves: those bound to the same key column.
struct KeyColumnGroup {
  std::string column;
  std::vector<std::size_t> lines;  // indexes into the agent's lines
  std::vector<std::string> keys;   // each key once
};

// Takes out of `due` (indexes of row lines of `entry`) those that share the first one's key
// column; the rest stay in `due`, in their order.
KeyColumnGroup TakeKeyColumnGroup(const AgentEntry& entry, std::vector<std::size_t>& due);

// Rows a GetBulk of a walk asks for: the agent's @max-oids, or kWalkRepetitions.
inline std::int32_t WalkRepetitions(const AgentEntry& entry) {
  return entry.options.max_oids > 0 ? entry.options.max_oids : kWalkRepetitions;
}

class ColumnWalk {
 public:
  // Walks `column` for `keys`; GetBulk with `repetitions` rows per request unless `bulk` is
  // false.
  ColumnWalk(std::string column, std::vector<std::string> keys, std::int32_t repetitions,
             bool bulk);

  // Fills `query` (reset first) with the next request; false when the walk is over.
  bool Next(TSNMPRec& query, const std::string& community);
  // The answer to the last request, or null when none came.
  void Take(const TSNMPRec* reply);

  bool Done() const { return done_; }
  // The walk ended without reading the column through (no answer, an error, a device that does
  // not go forward): its rows say nothing about the keys.
  bool Failed() const { return failed_; }
  // The device answered GetBulk with an error: it is walked with GetNext from where it was.
  bool BulkRefused() const { return bulk_refused_; }
  // The walk ended because a request got no answer.
  bool Unanswered() const { return unanswered_; }
  std::size_t RowsRead() const { return rows_read_; }
  std::size_t RowsMatched() const { return rows_matched_; }
  std::size_t Requests() const { return requests_; }
  const std::string& Column() const { return column_; }
  const std::vector<KeyMatch>& Matches() const { return matches_; }

 private:
  void End(bool failed) {
    done_ = true;
    failed_ = failed;
  }

  std::string column_;
  std::string last_oid_;
  std::vector<KeyMatch> matches_;
  std::int32_t repetitions_;
  bool bulk_;
  bool bulk_refused_ = false;
  bool unanswered_ = false;
  bool done_ = false;
  bool failed_ = false;
  std::size_t rows_read_ = 0;
  std::size_t rows_matched_ = 0;
  std::size_t requests_ = 0;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_ROW_BOOK_H_
