// The texts of what a point shows (poller/point_source.h): the error line of a mistaken point
// line at load and the debug lines of the rules that make a written value (poller/value_rules.h)
// and of the device points.
//
// Written here as readable UTF-8 and converted once to the Windows-1251 bytes that cross the
// host interface, as the poll cycle's other texts are; run-time data (section names, point
// addresses, OIDs, words of the file) is put in verbatim and the whole line is always the
// argument of "%s".

#ifndef ZELSNMP_POLLER_POINT_MESSAGES_H_
#define ZELSNMP_POLLER_POINT_MESSAGES_H_

#include <string>

#include "poller/point_source.h"

namespace zelsnmp {

struct PointTexts {
  // Debug, each after "OID(point address)" and followed by CR LF.
  std::string rate_base;          // the first value: only a base
  std::string rate_restart;       // the device restarted: the value is the new base
  std::string rate_type_changed;  // the value's type changed: the value is the new base
  std::string rate_no_time;       // no time passed on the device's clock since the base
  std::string out_of_range;       // + the number: the point kind cannot hold it
  std::string no_rtt;             // the value of an @rtt without an answer
};

// The texts in Windows-1251.
const PointTexts& PointMessages();

// The error line of a mistaken point line, in Windows-1251 with its CR LF: "Ошибка в строке
// точки [SECTION], строка N, KEY: WHY", the section, key and word verbatim.
std::string PointMistakeLine(const PointMistake& mistake);

// The lines of rows found by their name, in Windows-1251 with their CR LF; section, address,
// OIDs and key verbatim.
// Debug, one per walk: "Обход столбца KEYCOLUMN [SECTION]: прочитано строк N, совпало M".
std::string RowWalkLine(const std::string& section, const std::string& column,
                        std::size_t rows_read, std::size_t rows_matched);
// Debug, the walk ended without reading the column through: "... : обход не завершён".
std::string RowWalkFailedLine(const std::string& section, const std::string& column,
                              std::size_t rows_read);
// Error, once: no row holds the key.
std::string RowNotFoundLine(const std::string& section, const std::string& address,
                            const RowKey& row);
// Message, once: several rows hold the key; the first is taken.
std::string RowSeveralLine(const std::string& section, const std::string& address,
                           const RowKey& row, std::size_t rows, const std::string& index);
// Debug: the row's key instance no longer holds the key; nothing written, walked again.
std::string RowMovedLine(const std::string& oid, const std::string& address,
                         const std::string& key_oid);

// A number as the debug lines show it: up to 9 significant digits, "." as decimal point.
std::string ShowNumber(double value);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_POINT_MESSAGES_H_
