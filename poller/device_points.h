// Device points: "@status" and "@rtt" lines, which show the device itself rather than one of
// its values. Neither is ever sent to the device; both are written once per pass, after the
// device's last request of the pass.
//
// @status: 0 every request of the pass was answered; 1 some request went unanswered through all
// its tries; 2 the device refused (an error status that flags a request's lines, an SNMPv3
// refusal); 3 not polled (its options hold a mistake). When several apply, the highest. It is
// written whatever happened and never flagged: the number on "#TS" and "#TT" (through scale and
// offset when given), 0 for 0 and 1 for anything else on "#TC" (an alarm bit).
//
// @rtt: the milliseconds from the first try of the pass's first request to the device to its
// answer (a float on "#TT", rounded on "#TS"); without an answer to that request the point is
// flagged ("#TT") or left alone ("#TS").

#ifndef ZELSNMP_POLLER_DEVICE_POINTS_H_
#define ZELSNMP_POLLER_DEVICE_POINTS_H_

#include <algorithm>
#include <optional>

#include "poller/point_source.h"
#include "poller/point_write.h"
#include "poller/value_rules.h"
#include "snmp/usm_session.h"

namespace zelsnmp {

enum DeviceStatus : int {
  kDeviceAnswered = 0,
  kDeviceUnanswered = 1,
  kDeviceRefused = 2,
  kDeviceNotPolled = 3,
};

// What one pass learnt of one device.
struct DevicePass {
  int status = kDeviceAnswered;
  bool first_request_seen = false;
  std::optional<double> rtt_ms;  // the first request's, when it was answered

  void Note(DeviceStatus seen) { status = std::max(status, static_cast<int>(seen)); }
  // A request went out and ended after `elapsed_ms`, answered or not.
  void NoteRequest(bool answered, double elapsed_ms) {
    if (!answered) Note(kDeviceUnanswered);
    if (first_request_seen) return;
    first_request_seen = true;
    if (answered) rtt_ms = elapsed_ms;
  }
};

// An SNMPv3 request that ended in a refusal of the agent's engine (a Report, a clock that
// could not be agreed, or an encrypted request left unanswered by an engine that had
// authenticated the same request's clock) rather than in silence.
inline bool IsUsmRefusal(const UsmStatus& status) {
  return status.outcome == UsmOutcome::kReport || status.outcome == UsmOutcome::kNotInTime ||
         status.outcome == UsmOutcome::kEncryptedUnanswered;
}

// The write of device point `source` on a point of kind `kind` after the pass `pass`; the
// number shown in the trace goes to `shown` (nothing for an @rtt without an answer).
inline ModifiedValue DecideDeviceWrite(const PointSource& source, PointKind kind,
                                       const DevicePass& pass, std::optional<double>& shown) {
  if (source.kind == SourceKind::kStatus) {
    shown = pass.status;
    if (kind == PointKind::kStatusOneBased) {
      ModifiedValue alarm;
      alarm.step = ValueStep::kWritten;
      alarm.number = pass.status == kDeviceAnswered ? 0 : 1;
      alarm.write = {PointWriteKind::kStatus, PointWriteReason::kValue,
                     pass.status == kDeviceAnswered ? 0 : 1};
      return alarm;
    }
    return ApplyScaleAndKind(source, kind, pass.status);
  }
  shown = pass.rtt_ms;
  if (!pass.rtt_ms) {
    ModifiedValue silent;
    silent.step = ValueStep::kWritten;
    silent.write = DecideSilentWrite(PointAddress{kind});
    return silent;
  }
  return ApplyScaleAndKind(source, kind, *pass.rtt_ms);
}

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_DEVICE_POINTS_H_
