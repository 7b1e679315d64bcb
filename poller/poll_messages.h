// The texts the poll cycle writes to the debug and error logs, each with its own line end.
//
// They are written here as readable UTF-8 and converted to the Windows-1251 bytes that cross the
// host interface in one place, on first use, with the same helper as the start-up texts. The
// poll cycle joins them with run-time data (section names, OIDs, values) and always hands the
// result to the log outputs as the argument of "%s", never as a format.

#ifndef ZELSNMP_POLLER_POLL_MESSAGES_H_
#define ZELSNMP_POLLER_POLL_MESSAGES_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "poller/agent_options.h"
#include "snmp/usm_session.h"

namespace zelsnmp {

struct PollTexts {
  std::string no_address;          // error: no agent configured; CR LF
  std::string pass_started;        // debug: CR LF, the line, CR LF
  std::string answer_from;         // debug: + section name + line_end
  std::string no_answer_from;      // debug: + section name + line_end
  std::string answer_error;        // debug: + error status + answer_error_from + section name
  std::string answer_error_from;   //        + line_end
  std::string conversion_error;    // debug: a #TT value that is no number; CR LF
  std::string send_query_failed;   // error: + exception message, no line end
  std::string float_overflow;      // error: a #TT value beyond single precision, no line end
  std::string line_end;            // CR LF
  std::string not_polled;          // debug: + section name + line_end
  std::string request_size;        // message: + section name + request_size_oids
  std::string request_size_oids;   //          + bindings + " OID" + line_end
};

// The texts in Windows-1251.
const PollTexts& PollMessages();

// The error line of an option mistake, in Windows-1251 with its CR LF; the section name and the
// key are in it verbatim, the value never.
std::string OptionMistakeLine(const OptionMistake& mistake);

// The error line of a v3 agent that refuses requests, in Windows-1251 with its CR LF: the
// section name verbatim, why, and the usmStats counter of a Report by name.
std::string UsmRefusalLine(const std::string& section, const UsmStatus& status);
// The message line of a v3 agent that answers again after refusing.
std::string UsmAnswersAgainLine(const std::string& section);
// The message line of a v3 agent that answers as another engine (a replaced device): the
// section name verbatim and the new engine ID in hex.
std::string UsmEngineChangedLine(const std::string& section, const std::string& engine_id);
// The message line of a v3 agent whose engine boots count went up to `boots` (a restart).
std::string UsmEngineRestartedLine(const std::string& section, std::int32_t boots);

// The message line of a window of `capacity` requests narrowed to `limit` because the socket's
// receive queue was granted `granted` bytes of the `wanted`, naming the system `setting` that
// caps it (none when empty).
std::string WindowNarrowedLine(std::size_t capacity, std::size_t limit, long long granted,
                               long long wanted, const std::string& setting);
// The error line of `count` datagrams the system dropped for want of room in the receive queue.
std::string AnswersDroppedLine(std::int64_t count);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_POLL_MESSAGES_H_
