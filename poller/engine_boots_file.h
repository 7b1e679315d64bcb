// The engineBoots count of the task's own SNMPv3 engine (snmp/usm_authority.h), kept in a
// small file in the task's working directory so that it goes up at each start, as RFC 3414
// asks of an authoritative engine whose ID stays the same.
//
// The file is "zelSNMP_<server>.boots" (EngineBootsFileName), holding the count as decimal
// digits and a line end. StartEngineBoots reads it, takes the count one higher and writes it
// back before the receiver answers anything: first into "<file>.tmp", which is then renamed
// over the file, so that a crash at any moment leaves either the old count or the new one,
// never half a file. A missing file, or one that does not hold a count of 1 to 2147483647 and
// nothing else, starts the count over at 1 (the caller says so in the message log). At
// 2147483647 the count stays there, as RFC 3414 says: the engine then takes no authenticated
// message until it is given another ID.

#ifndef ZELSNMP_POLLER_ENGINE_BOOTS_FILE_H_
#define ZELSNMP_POLLER_ENGINE_BOOTS_FILE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace zelsnmp {

// The file's name for the TM server `tm_server`: each byte other than an ASCII letter, digit
// or '-' becomes '_' and its two hex digits, so that any server name (a Cyrillic one in
// Windows-1251, one with '\\' or '{') gives a plain file name of its own.
std::string EngineBootsFileName(std::string_view tm_server);

struct EngineBootsStart {
  enum class Was {
    kCounted,     // the file held a count, now one higher
    kMissing,     // no file: started at 1
    kUnreadable,  // a file without a count in it: started at 1
    kAtMaximum,   // the file held 2147483647, which stays
  };
  Was was = Was::kMissing;
  std::int32_t boots = 1;
  bool written = false;     // the new count is in the file
  std::string write_error;  // why not, when not written
};

// Reads the count at `path`, raises it and writes it back (see above).
EngineBootsStart StartEngineBoots(const std::string& path);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_ENGINE_BOOTS_FILE_H_
