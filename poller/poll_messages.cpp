#include "poller/poll_messages.h"

#include "util/cp1251.h"

namespace zelsnmp {

namespace {

PollTexts ToCp1251(PollTexts texts) {
  for (std::string* text :
       {&texts.no_address, &texts.pass_started, &texts.answer_from, &texts.no_answer_from,
        &texts.answer_error, &texts.answer_error_from, &texts.conversion_error,
        &texts.send_query_failed, &texts.float_overflow, &texts.line_end}) {
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
  });
  return texts;
}

}  // namespace zelsnmp
