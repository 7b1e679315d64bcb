#include "poller/poll_messages.h"

#include <cstddef>
#include <span>
#include <string_view>

#include "snmp/usm_protocol_names.h"
#include "util/cp1251.h"

namespace zelsnmp {

namespace {

// "A, B или C".
std::string ListOfNames(std::span<const std::string_view> names) {
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) list += i + 1 == names.size() ? " или " : ", ";
    list += names[i];
  }
  return list;
}

PollTexts ToCp1251(PollTexts texts) {
  for (std::string* text :
       {&texts.no_address, &texts.pass_started, &texts.answer_from, &texts.no_answer_from,
        &texts.answer_error, &texts.answer_error_from, &texts.conversion_error,
        &texts.send_query_failed, &texts.float_overflow, &texts.line_end, &texts.not_polled,
        &texts.request_size, &texts.request_size_oids}) {
    *text = Utf8ToCp1251(*text);
  }
  return texts;
}

}  // namespace

const PollTexts& PollMessages() {
  static const PollTexts texts = ToCp1251({
      .no_address = "Не задан ни один адрес для опроса\r\n",
      .pass_started = "\r\nНачинаем цикл опроса\r\n",
      .answer_from = "Ответ от ",
      .no_answer_from = "Нет ответа от ",
      .answer_error = "Ошибка ",
      .answer_error_from = " в ответе от ",
      .conversion_error = "Ошибка преобразования\r\n",
      .send_query_failed = "SendQuery ",
      .float_overflow = "Floating point overflow",
      .line_end = "\r\n",
      .not_polled = "Не опрашивается из-за ошибки в параметрах: ",
      .request_size = "Запросы к ",
      .request_size_oids = " уменьшены до ",
  });
  return texts;
}

std::string OptionMistakeLine(const OptionMistake& mistake) {
  const std::string range =
      "от " + std::to_string(mistake.low) + " до " + std::to_string(mistake.high);
  std::string why;
  switch (mistake.problem) {
    case OptionProblem::kUnknownKey: why = "неизвестный параметр"; break;
    case OptionProblem::kRepeated:
      why = "задан повторно, впервые в строке " + std::to_string(mistake.first_line);
      break;
    case OptionProblem::kEmpty: why = "нет значения"; break;
    case OptionProblem::kNotANumber: why = "не число, допустимо " + range; break;
    case OptionProblem::kOutOfRange: why = "вне пределов, допустимо " + range; break;
    case OptionProblem::kNotAHost: why = "не имя узла и не IP-адрес"; break;
    case OptionProblem::kPointLineInDefaults: why = "строка точки в секции [*]"; break;
    case OptionProblem::kNotAVersion:
      why = "допустимо 2c или 3";
      break;
    case OptionProblem::kBadLength:
      why = "длина от " + std::to_string(mistake.low) + " до " + std::to_string(mistake.high) +
            " байт";
      break;
    case OptionProblem::kUnknownAuthProtocol:
      why = "нужно ПРОТОКОЛ:пароль, протокол " + ListOfNames(AuthProtocolSpellings());
      break;
    case OptionProblem::kUnknownPrivProtocol:
      why = "нужно ПРОТОКОЛ:пароль, протокол " + ListOfNames(PrivProtocolSpellings());
      break;
    case OptionProblem::kShortPassphrase:
      why = "пароль короче " + std::to_string(mistake.low) + " байт";
      break;
    case OptionProblem::kNotAnEngineId:
      why = "нужен шестнадцатеричный идентификатор от " + std::to_string(mistake.low) + " до " +
            std::to_string(mistake.high) + " байт";
      break;
    case OptionProblem::kNeedsUser:
      why = "для версии 3 нужен @user";
      break;
    case OptionProblem::kPrivWithoutAuth:
      why = "шифрование без @auth невозможно";
      break;
    case OptionProblem::kOnlyForVersion2c:
      why = "параметр версии 2c, а задана версия 3";
      break;
    case OptionProblem::kOnlyForVersion3:
      why = "параметр SNMPv3, а версия 2c (нужно @version = 3)";
      break;
  }
  // The section name and the key are the file's own bytes: they are not converted.
  return Utf8ToCp1251("Ошибка в параметрах агента [") + mistake.section +
         Utf8ToCp1251("], строка " + std::to_string(mistake.line) + ", ") + mistake.key +
         Utf8ToCp1251(": " + why + "\r\n");
}

std::string UsmRefusalLine(const std::string& section, const UsmStatus& status) {
  std::string line = Utf8ToCp1251("Ошибка SNMPv3 у агента [") + section +
                     "]: " + UsmSession::UsmStatusText(status);
  if (status.outcome == UsmOutcome::kReport && status.report != UsmReport::kNone) {
    line += " (" + std::string(UsmReportName(status.report)) + ")";
  }
  return line + "\r\n";
}

std::string UsmAnswersAgainLine(const std::string& section) {
  return Utf8ToCp1251("Агент [") + section + Utf8ToCp1251("] снова отвечает по SNMPv3\r\n");
}

std::string UsmEngineChangedLine(const std::string& section, const std::string& engine_id) {
  return Utf8ToCp1251("Агент [") + section +
         Utf8ToCp1251("]: сменился идентификатор машины SNMPv3 (engine ID), новый ") +
         EngineIdHex(engine_id) + "\r\n";
}

std::string UsmEngineRestartedLine(const std::string& section, std::int32_t boots) {
  return Utf8ToCp1251("Агент [") + section +
         Utf8ToCp1251("] перезапущен: счётчик запусков SNMPv3 (engine boots) вырос до " +
                      std::to_string(boots) + "\r\n");
}

std::string WindowNarrowedLine(std::size_t capacity, std::size_t limit, long long granted,
                               long long wanted, const std::string& setting) {
  std::string line = "Окно /p" + std::to_string(capacity) + " сужено до " +
                     std::to_string(limit) + " запросов: приёмный буфер сокета " +
                     std::to_string(granted) + " байт, запрошено " + std::to_string(wanted);
  if (!setting.empty()) line += "; увеличьте " + setting;
  return Utf8ToCp1251(line + "\r\n");
}

std::string AnswersDroppedLine(std::int64_t count) {
  return Utf8ToCp1251("Ответы потеряны: приёмный буфер сокета переполнен, система отбросила " +
                      std::to_string(count) + " датаграмм\r\n");
}

}  // namespace zelsnmp
