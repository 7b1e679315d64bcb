// The request-size probe of the configuration check: the largest request an agent answers,
// for devices that refuse large requests with tooBig or drop them without a word.
//
// The agent is asked for its first lines, all of them first. A request refused with tooBig or
// left without an answer is halved until one is answered (a device that answers not even one
// binding is given up after that one); the largest answered size is then narrowed down between
// it and the smallest refused one, one request at a time. Each silent try costs the client's
// time-out, so the search asks about 2 log2(lines) requests at most. The requests are the
// task's own (community, version, NULL bindings), sent to the agent's host and port.

#ifndef ZELSNMP_TOOLS_CHECK_SIZE_PROBE_H_
#define ZELSNMP_TOOLS_CHECK_SIZE_PROBE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "poller/poll_config.h"

namespace zelsnmp {
class UsmSession;
}  // namespace zelsnmp

namespace zelsnmp::check {

struct SizeTry {
  std::size_t bindings = 0;
  bool answered = false;          // an answer without tooBig came
  std::int32_t error_status = 0;  // of the answer, when one came
};

struct SizeProbe {
  std::size_t lines = 0;       // the agent's lines
  std::size_t largest = 0;     // the largest request answered without tooBig; 0 when none was
  std::vector<SizeTry> tries;  // in the order asked
};

// Asks the agent as described above, waiting `timeout_ms` for each answer (its @timeout when
// it has one). A `refused_size` other than 0 is a size already refused, which is not asked
// again: the search starts below it. A v3 agent is asked through `security`, its session.
SizeProbe ProbeRequestSize(const AgentEntry& agent, std::int32_t timeout_ms,
                           std::size_t refused_size = 0, UsmSession* security = nullptr);

// For people: "all 60 lines in one request", or "at most 40 bindings per request: write
// @max-oids = 40", or "not even one binding is answered".
std::string DescribeSizeProbe(const SizeProbe& probe);

// The @max-oids the agent needs when the probe found that its present one (or none) asks for
// more than the device answers: "the device answers at most 40 bindings per request: write
// @max-oids = 40"; nothing when it needs none.
std::optional<std::string> SizeAdvice(const std::optional<SizeProbe>& probe,
                                      const AgentEntry& agent);

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_SIZE_PROBE_H_
