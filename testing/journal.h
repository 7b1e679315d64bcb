// Test helper: the point writes of a stand-in TM server, read back from its journal.tsv
// ("time TAB operation TAB channel TAB rtu TAB point TAB value", one write per line).

#ifndef ZELSNMP_TESTING_JOURNAL_H_
#define ZELSNMP_TESTING_JOURNAL_H_

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace zelsnmp::testing_support {

struct JournalEntry {
  std::string time;       // YYYY-MM-DDThh:mm:ss.mmm
  std::string operation;  // slSetStatus, slSetStatusFlags, ...
  std::string point;      // "channel:rtu:point"
  std::string value;

  // Seconds since midnight, for comparing the times of writes.
  double SecondOfDay() const {
    return std::stod(time.substr(11, 2)) * 3600 + std::stod(time.substr(14, 2)) * 60 +
           std::stod(time.substr(17));
  }
};

inline std::vector<JournalEntry> ReadJournal(const std::filesystem::path& journal_file) {
  std::vector<JournalEntry> entries;
  std::ifstream in(journal_file, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (fields.size() != 6) continue;
    entries.push_back({fields[0], fields[1], fields[2] + ":" + fields[3] + ":" + fields[4],
                       fields[5]});
  }
  return entries;
}

// The writes to one point ("channel:rtu:point"), as "operation value", in order.
inline std::vector<std::string> WritesTo(const std::vector<JournalEntry>& journal,
                                         const std::string& point) {
  std::vector<std::string> writes;
  for (const JournalEntry& entry : journal) {
    if (entry.point == point) writes.push_back(entry.operation + " " + entry.value);
  }
  return writes;
}

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_TESTING_JOURNAL_H_
