// The reasons a version-3 engine gives for refusing a message: the usmStats counters it names
// in the first binding of its Report, each with its name and a short text for the error log.
//
// The texts are kept here as readable UTF-8 and converted to Windows-1251, the code page of the
// task's log lines, once, on first use.

#ifndef ZELSNMP_SNMP_USM_REPORTS_H_
#define ZELSNMP_SNMP_USM_REPORTS_H_

#include <string>
#include <string_view>

namespace zelsnmp {

class TSNMPRec;

enum class UsmReport {
  kNone,                      // no binding, or not a usmStats counter
  kUnsupportedSecurityLevel,  // usmStatsUnsupportedSecLevels
  kNotInTimeWindow,           // usmStatsNotInTimeWindows
  kUnknownUserName,           // usmStatsUnknownUserNames
  kUnknownEngineId,           // usmStatsUnknownEngineIDs
  kWrongDigest,               // usmStatsWrongDigests
  kDecryptionError,           // usmStatsDecryptionErrors
};

// The counter a Report's first binding names; kNone for any other OID.
UsmReport UsmReportOfOid(std::string_view oid_text);
UsmReport UsmReportOf(const TSNMPRec& report);

// The counter's OID text ("1.3.6.1.6.3.15.1.1.2.0") and MIB name ("usmStatsNotInTimeWindows");
// empty for kNone.
std::string_view UsmReportOid(UsmReport report);
std::string_view UsmReportName(UsmReport report);

// A short Russian text for the error log, in Windows-1251, without a line end; for kNone the
// text of a Report that names no counter of the security model.
const std::string& UsmReportText(UsmReport report);

// How a version-3 request ended.
enum class UsmOutcome {
  kNone,             // no request yet
  kAnswered,
  kNoAnswer,         // the request got no answer in time
  kDiscoveryFailed,  // the engine did not answer discovery in time
  kReport,           // the engine refused the request with a Report (which one: UsmReport)
  kNotInTime,        // the engine's clock could not be agreed: answers came outside its window
  kNoKeys,           // the user's keys cannot be derived
  kSendFailed,       // the datagram could not be sent
  // At authPriv: the engine answered an authenticated step of the request (its clock), but the
  // encrypted request went unanswered through all its tries. An engine that cannot decrypt a
  // request may drop it without a Report, so the privacy passphrase or protocol is the likely
  // cause, not a dead device.
  kEncryptedUnanswered,
  // The request is longer than the engine's msgMaxSize: not sent, to be asked in smaller parts.
  kRequestTooLarge,
};

// A short Russian text for the error log, in Windows-1251, without a line end (for kReport the
// general one; UsmReportText names the Report).
const std::string& UsmOutcomeText(UsmOutcome outcome);

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_REPORTS_H_
