// The ".snmprec" data of the agent simulator: the values it answers with, one binding per
// line of a text file.
//
//   OID|TAG|VALUE
//
// OID is dotted decimal (canonical: decimal arcs without leading zeros, at least two). TAG is
// the BER tag of the value in decimal, one of
//   2 INTEGER, 4 OCTET STRING, 5 NULL, 6 OBJECT IDENTIFIER, 64 IpAddress, 65 Counter32,
//   66 Gauge32, 67 TimeTicks, 68 Opaque, 70 Counter64,
//   128 noSuchObject, 129 noSuchInstance, 130 endOfMibView,
// or "4x" for an OCTET STRING written as pairs of hexadecimal digits. VALUE is the rest of the
// line, '|' included; it must be empty for 5, 128, 129 and 130. Blank lines and lines whose
// first character is '#' are skipped; a line may end in CR LF.
//
// Any other line is refused with an error naming its line number; nothing of a file with an
// error is used. An OID may appear once.

#ifndef ZELSNMP_TOOLS_AGENTSIM_SNMPREC_H_
#define ZELSNMP_TOOLS_AGENTSIM_SNMPREC_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zelsnmp::agentsim {

// A value ready for the message encoder: its text as TSNMPMib carries it, and its tag.
struct SnmprecValue {
  std::string text;
  std::int32_t tag = 0;
  bool operator==(const SnmprecValue&) const = default;
};

// Bindings by OID text.
using SnmprecData = std::map<std::string, SnmprecValue, std::less<>>;

struct SnmprecParseResult {
  SnmprecData data;
  std::string error;  // empty on success; else "line N: ..."
};

SnmprecParseResult ParseSnmprec(std::string_view text);

// Reads and parses the file; a file that cannot be read gives an error naming it.
SnmprecParseResult LoadSnmprecFile(const std::string& path);

// True for canonical dotted decimal OID text with at least two arcs, each fitting 32 bits.
bool IsCanonicalOid(std::string_view text);

}  // namespace zelsnmp::agentsim

#endif  // ZELSNMP_TOOLS_AGENTSIM_SNMPREC_H_
