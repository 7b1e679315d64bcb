// What one configuration line writes into its TM point: the point address read from the line's
// key, and the write that an agent's answer (or its silence) makes of it.
//
// The poll pass carries these writes out; the configuration check shows them without making
// them, so both always agree. Nothing here touches the TM server or the logs.
//
// Point address: "#TC%d:%d:%d", "#TS%d:%d:%d" or "#TT%d:%d:%d", tried in this order; the first
// that yields all three numbers decides, and text after the third number is ignored. The TM
// server takes the low 16 bits of each number. Any other key is no point: its value is only
// traced.
//
// The write from an answer, per kind:
//   - a binding the answer lacks, or one carrying NULL, noSuchObject, noSuchInstance or
//     endOfMibView, is a value the device did not report: the point is treated as for an agent
//     that did not answer (flags 0x0001 on "#TC" and "#TT", nothing on "#TS");
//   - "#TC": the whole number minus 1, "#TS": the whole number (ParseIntDefault); a value that
//     is no whole number gives the default (0 is written in both cases). A Counter32, Gauge32
//     or TimeTicks of 2^31 or more is taken as its 32-bit pattern, a negative number; a
//     Counter64 beyond the signed 32-bit range gives the default;
//   - "#TT": the number as a single-precision float (ParseFloatText); text that is no number
//     writes nothing (a conversion error), nor does a magnitude beyond the single range.

#ifndef ZELSNMP_POLLER_POINT_WRITE_H_
#define ZELSNMP_POLLER_POINT_WRITE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "snmp/snmp_message.h"

namespace zelsnmp {

enum class PointKind {
  kNone,            // any other key: the value is only traced
  kStatusOneBased,  // "#TC": a status point fed with the value minus 1
  kStatus,          // "#TS": a status point fed with the value
  kAnalog,          // "#TT": an analog point fed with a float
};

struct PointAddress {
  PointKind kind = PointKind::kNone;
  // The numbers as the TM server receives them.
  std::uint16_t channel = 0;
  std::uint16_t rtu = 0;
  std::uint16_t point = 0;
  // The numbers as scanned, before they are cut to 16 bits.
  std::int32_t scanned_channel = 0;
  std::int32_t scanned_rtu = 0;
  std::int32_t scanned_point = 0;
  // Bytes of the key that the point address took; the rest is ignored.
  std::size_t scanned_length = 0;
};

PointAddress ScanPointAddress(std::string_view key);

enum class PointWriteKind {
  kNothing,
  kStatus,       // slSetStatus with `status`
  kStatusFlags,  // slSetStatusFlags with 0x0001
  kAnalog,       // slSetAnalogFloatCodeUT with `analog`
  kAnalogFlags,  // slSetAnalogFlags with 0x0001
};

// Why a line writes what it writes.
enum class PointWriteReason {
  kNotAPoint,       // the key is no point address
  kValue,           // the reported value
  kCounterPattern,  // an unsigned 32-bit value of 2^31 or more, as its 32-bit pattern
  kNotANumber,      // a status value that is no whole number in range: the default
  kNotAFloat,       // an analog value that is no number: nothing, a conversion error
  kFloatOverflow,   // an analog value beyond the single range: nothing, an error
  kNoValue,         // the device reported no value for the OID
  kNoAnswer,        // the agent did not answer, or refused the request
};

struct PointWrite {
  PointWriteKind kind = PointWriteKind::kNothing;
  PointWriteReason reason = PointWriteReason::kNotAPoint;
  std::int32_t status = 0;
  float analog = 0;
};

inline constexpr std::uint16_t kPointFlagNoAnswer = 0x0001;

// The first binding of `reply` whose OID text equals `oid_text`, or null.
const TSNMPMib* FindReplyBinding(const TSNMPRec& reply, std::string_view oid_text);

// True for a binding that carries no value of the device (null included).
bool CarriesNoValue(const TSNMPMib* binding);

// The write for a line whose agent answered; `binding` is the line's reply binding or null.
PointWrite DecideAnswerWrite(const PointAddress& address, const TSNMPMib* binding);

// The write for a line whose agent did not answer.
PointWrite DecideSilentWrite(const PointAddress& address);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_POINT_WRITE_H_
