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
    case NotificationDrop::kUnknownUser:
      why = "пользователь SNMPv3 не совпадает ни с одной секцией v3 этого адреса";
      break;
    case NotificationDrop::kLevelTooLow:
      why = "уровень защиты SNMPv3 не тот, что задан для секции";
      break;
    case NotificationDrop::kWrongDigest:
      why = "неверная подпись SNMPv3 (пароль или алгоритм аутентификации)";
      break;
    case NotificationDrop::kWrongEngineId:
      why = "engine ID отправителя не тот, что у опрашиваемого агента";
      break;
    case NotificationDrop::kNotInTimeWindow: why = "сообщение SNMPv3 вне временного окна"; break;
    case NotificationDrop::kReplay: why = "повтор уже принятого уведомления SNMPv3"; break;
    case NotificationDrop::kDecryptionFailed:
      why = "не удалось расшифровать SNMPv3 (пароль или алгоритм шифрования)";
      break;
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

std::string InformEngineLine(const std::string& engine_id_hex, std::int32_t boots) {
  return Utf8ToCp1251("Inform SNMPv3 принимаются машиной задачи: engine ID " + engine_id_hex +
                      ", engineBoots " + std::to_string(boots) + "\r\n");
}

std::string EngineBootsStartedOverLine(const std::string& file_name, bool missing) {
  return Utf8ToCp1251("Файл " + file_name + (missing ? " не найден" : " не прочитан") +
                      ": счёт engineBoots начат заново с 1\r\n");
}

std::string EngineBootsAtMaximumLine(const std::string& file_name) {
  return Utf8ToCp1251("Счёт engineBoots в файле " + file_name +
                      " достиг 2147483647: inform SNMPv3 с аутентификацией не принимаются\r\n");
}

std::string EngineBootsNotWrittenLine(const std::string& file_name, const std::string& reason) {
  return Utf8ToCp1251("Файл " + file_name + " не записан (" + reason +
                      "): при следующем запуске счёт engineBoots может повториться\r\n");
}

std::string OutOfTurnPollLine(const std::string& section) {
  return Utf8ToCp1251("Внеочередной опрос по уведомлению: ") + section + "\r\n";
}

}  // namespace zelsnmp
