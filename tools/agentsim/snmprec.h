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
// optionally followed by "x": VALUE is then pairs of hexadecimal digits, and the bytes they
// give are read as the VALUE of the plain tag ("4x|0050569a" for bytes that are not text,
// "64x|0a000001" for 10.0.0.1, "68x|9f780441bc0000" for an Opaque float 23.5). VALUE is the
// rest of the line, '|' included; it must be empty for 5, 128, 129 and 130. An IpAddress is
// "a.b.c.d" or its four bytes. Blank lines and lines whose first character is '#' are
// skipped; a line may end in CR LF.
//
// Any other line is refused with an error naming its line number; nothing of a file with an
// error is used. Leniently, such lines are skipped instead and their errors listed. An OID may
// appear once (leniently, its first line counts).
#ifndef ZELSNMP_TOOLS_AGENTSIM_SNMPREC_H_
#define ZELSNMP_TOOLS_AGENTSIM_SNMPREC_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
  std::string error;                 // empty on success; else "line N: ..."
  std::vector<std::string> skipped;  // leniently: "line N: ..." of every line left out
};

SnmprecParseResult ParseSnmprec(std::string_view text, bool lenient = false);

// Reads and parses the file; a file that cannot be read gives an error naming it. Errors and
// skipped lines begin with the file's name.
SnmprecParseResult LoadSnmprecFile(const std::string& path, bool lenient = false);

// True for canonical dotted decimal OID text with at least two arcs, each fitting 32 bits.
bool IsCanonicalOid(std::string_view text);

}  // namespace zelsnmp::agentsim

#endif  // ZELSNMP_TOOLS_AGENTSIM_SNMPREC_H_
