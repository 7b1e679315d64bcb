// The log lines of the notification receiver and of what a notification does, in
// Windows-1251 with their line ends; run-time data (addresses, section names, OIDs) in them
// verbatim. Handed to the logs as the argument of "%s", never as a format.

#ifndef ZELSNMP_POLLER_NOTIFICATION_MESSAGES_H_
#define ZELSNMP_POLLER_NOTIFICATION_MESSAGES_H_

#include <cstdint>
#include <string>

#include "poller/notification_receiver.h"
#include "snmp/notification_message.h"

namespace zelsnmp {

// Error: the port could not be bound for `family` ("IPv4", "IPv6"); the reason as the socket
// layer tells it.
std::string NotificationBindFailedLine(int port, const std::string& family,
                                       std::int32_t error_code, const std::string& error_text);
// Message: the task listens on `port` for `families` ("IPv4", "IPv4, IPv6").
std::string NotificationListeningLine(int port, const std::string& families);
// Debug: a datagram from `source` dropped for `reason`.
std::string NotificationDroppedLine(const std::string& source, NotificationDrop reason);
// Debug: a notification taken for `section`: its kind, and what names it (the v1 trap's
// enterprise and numbers, the v2 notification's snmpTrapOID.0).
std::string NotificationTakenLine(const Notification& notification, const std::string& section);
// Debug: an inform answered again and not acted on.
std::string InformRepeatedLine(const std::string& source, std::int32_t request_id);
// Message: the task's own engine takes v3 informs, with its ID in hex and its boots count.
std::string InformEngineLine(const std::string& engine_id_hex, std::int32_t boots);
// Message: the boots file was missing (or held no count): the count starts over at 1.
std::string EngineBootsStartedOverLine(const std::string& file_name, bool missing);
// Error: the boots count is at its maximum and stays there.
std::string EngineBootsAtMaximumLine(const std::string& file_name);
// Error: the boots file could not be written, for `reason` (UTF-8).
std::string EngineBootsNotWrittenLine(const std::string& file_name, const std::string& reason);
// Debug: the section polled out of turn after a notification.
std::string OutOfTurnPollLine(const std::string& section);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_NOTIFICATION_MESSAGES_H_
