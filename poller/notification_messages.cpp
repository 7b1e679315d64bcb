#include "poller/notification_messages.h"

#include <string_view>

#include "util/cp1251.h"

namespace zelsnmp {

namespace {

// snmpTrapOID.0: the second binding of every SNMPv2-Trap and InformRequest names it.
constexpr std::string_view kSnmpTrapOid = "1.3.6.1.6.3.1.1.4.1.0";

}  // namespace

std::string NotificationBindFailedLine(int port, const std::string& family,
                                       std::int32_t error_code, const std::string& error_text) {
  return Utf8ToCp1251("Уведомления не принимаются: порт UDP " + std::to_string(port) + " (" +
                      family + ") не открыт, ошибка " + std::to_string(error_code) + " " +
                      error_text + "; опрос идёт без уведомлений\r\n");
}

std::string NotificationListeningLine(int port, const std::string& families) {
  return Utf8ToCp1251("Уведомления (trap, inform) принимаются на порту UDP " +
                      std::to_string(port) + " (" + families + ")\r\n");
}

std::string NotificationDroppedLine(const std::string& source, NotificationDrop reason) {
  std::string why;
  switch (reason) {
    case NotificationDrop::kUnknownSource: why = "адрес не принадлежит ни одному агенту"; break;
    case NotificationDrop::kWrongCommunity:
      why = "community не совпадает ни с одной секцией v2c этого адреса";
      break;
    case NotificationDrop::kMalformed: why = "сообщение не разобрано"; break;
    case NotificationDrop::kNotANotification:
      why = "это не Trap, SNMPv2-Trap и не InformRequest";
      break;
    case NotificationDrop::kVersion3: why = "уведомления SNMPv3 пока не принимаются"; break;
  }
  return Utf8ToCp1251("Уведомление от " + source + " отброшено: " + why +
                      " (такие от этого адреса не чаще раза в час)\r\n");
}

std::string NotificationTakenLine(const Notification& notification, const std::string& section) {
  std::string line = "Уведомление ";
  line += NotificationKindName(notification.pdu_type);
  if (notification.pdu_type == PduInformRequest) {
    line += ' ';
    line += std::to_string(notification.request_id);
  }
  // The section name is Windows-1251 already; the rest is ASCII.
  line = Utf8ToCp1251(line + " от ") + section;
  if (notification.pdu_type == PduTrap) {
    line += ": enterprise " + notification.enterprise + ", generic " +
            std::to_string(notification.generic_trap) + ", specific " +
            std::to_string(notification.specific_trap);
  } else {
    for (const TSNMPMib& binding : notification.bindings) {
      if (binding.OidText == kSnmpTrapOid) {
        line += ": snmpTrapOID " + binding.ValueText;
        break;
      }
    }
  }
  return line + "\r\n";
}

std::string InformRepeatedLine(const std::string& source, std::int32_t request_id) {
  return Utf8ToCp1251("Повтор InformRequest " + std::to_string(request_id) + " от " + source +
                      ": ответ отправлен снова, точки не пишутся\r\n");
}

std::string OutOfTurnPollLine(const std::string& section) {
  return Utf8ToCp1251("Внеочередной опрос по уведомлению: ") + section + "\r\n";
}

}  // namespace zelsnmp
