#include "poller/poll_messages.h"

#include "util/cp1251.h"

namespace zelsnmp {

namespace {

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
  }
  // The section name and the key are the file's own bytes: they are not converted.
  return Utf8ToCp1251("Ошибка в параметрах агента [") + mistake.section +
         Utf8ToCp1251("], строка " + std::to_string(mistake.line) + ", ") + mistake.key +
         Utf8ToCp1251(": " + why + "\r\n");
}

}  // namespace zelsnmp
