// A device whose counters and clock move: --counter OID:STEP grows the OID's value by STEP with
// every answered request, wrapping at its type's width (2^32 for Counter32, Gauge32 and
// TimeTicks, 2^64 for Counter64, the signed 32-bit range for Integer32), and sysUpTime.0 goes
// on by one second (100 ticks) per answered request, so that a rate is known in advance: STEP
// per second of the device's own clock, whatever the time between requests. --restart-after N
// restarts the device after every N answered requests: sysUpTime.0 and the counters start again
// from their beginning.
//
// Without either option the data is answered as loaded.
//
// --renumber-after N plays a device that re-indexes its tables: RenumberTables gives the data
// with every table instance (an OID whose last arc is not 0) moved `shift` indexes further.

#ifndef ZELSNMP_TOOLS_AGENTSIM_DEVICE_COUNTERS_H_
#define ZELSNMP_TOOLS_AGENTSIM_DEVICE_COUNTERS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/agentsim/agent_options.h"
#include "tools/agentsim/snmprec.h"

namespace zelsnmp::agentsim {

// `data` with the last arc of every OID not ending in .0 raised by `shift`; scalars as they are.
SnmprecData RenumberTables(const SnmprecData& data, std::uint64_t shift);

class DeviceCounters {
 public:
  DeviceCounters(const SnmprecData& data, const std::vector<CounterStep>& counters,
                 std::uint32_t restart_after);

  // False when neither option is given: the data stays as loaded.
  bool Moving() const { return moving_; }
  // The data as the next answer shows it (the device one answer older).
  const SnmprecData& NextAnswer();

  // An error text when a counter's OID is not in the data or holds no whole number.
  static std::string Check(const SnmprecData& data, const std::vector<CounterStep>& counters);

 private:
  struct Counter {
    std::string oid;
    std::uint64_t step = 0;
    std::uint64_t start = 0;  // the value as loaded, as an unsigned pattern of its width
    std::int32_t tag = 0;
  };

  SnmprecData data_;
  std::vector<Counter> counters_;
  std::uint32_t restart_after_ = 0;
  std::uint64_t answers_since_restart_ = 0;
  bool moving_ = false;
};

}  // namespace zelsnmp::agentsim

#endif  // ZELSNMP_TOOLS_AGENTSIM_DEVICE_COUNTERS_H_
