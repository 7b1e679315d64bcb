#include "poller/point_messages.h"

#include "util/cp1251.h"

namespace zelsnmp {

namespace {

PointTexts ToCp1251(PointTexts texts) {
  for (std::string* text : {&texts.rate_base, &texts.rate_restart, &texts.rate_type_changed,
                            &texts.rate_no_time, &texts.out_of_range, &texts.no_rtt}) {
    *text = Utf8ToCp1251(*text);
  }
  return texts;
}

// Why a line is mistaken, in UTF-8; the word of the file follows it where it says ": ".
std::string Why(SourceProblem problem) {
  switch (problem) {
    case SourceProblem::kNone: return "";
    case SourceProblem::kUnknownSource: return "неизвестный источник: ";
    case SourceProblem::kUnknownModifier: return "неизвестный модификатор: ";
    case SourceProblem::kRepeatedModifier: return "модификатор задан повторно: ";
    case SourceProblem::kNotANumber: return "не десятичное число: ";
    case SourceProblem::kModifierOnStatus: return "модификатор не для точки #TC: ";
    case SourceProblem::kRateOnDeviceStatus: return "rate не для источника ";
    case SourceProblem::kRttOnStatus: return "источник не для точки #TC: ";
    case SourceProblem::kDevicePointNoPoint: return "источник только для точки #TC, #TS, #TT: ";
    case SourceProblem::kBadColumn: return "столбец не OID: ";
    case SourceProblem::kBadKeyColumn: return "ключевой столбец не OID: ";
    case SourceProblem::kBadRow: return "нужно СТОЛБЕЦ[КЛЮЧЕВОЙ_СТОЛБЕЦ=КЛЮЧ]: ";
    case SourceProblem::kUnclosedQuote: return "не закрыта кавычка: ";
  }
  return "";
}

}  // namespace

const PointTexts& PointMessages() {
  static const PointTexts texts = ToCp1251({
      .rate_base = ": первое значение, запомнено для скорости",
      .rate_restart = ": агент перезапущен, значение запомнено для скорости",
      .rate_type_changed = ": тип значения изменился, значение запомнено для скорости",
      .rate_no_time = ": время агента не изменилось, скорость не вычислена",
      .out_of_range = ": не помещается в точку: ",
      .no_rtt = "нет ответа",
  });
  return texts;
}

std::string PointMistakeLine(const PointMistake& mistake) {
  return Utf8ToCp1251("Ошибка в строке точки [") + mistake.section +
         Utf8ToCp1251("], строка " + std::to_string(mistake.line) + ", ") + mistake.key +
         Utf8ToCp1251(": " + Why(mistake.problem)) + mistake.word + "\r\n";
}

std::string ShowNumber(double value) { return ShowDecimal(value); }

std::string RowWalkLine(const std::string& section, const std::string& column,
                        std::size_t rows_read, std::size_t rows_matched) {
  return Utf8ToCp1251("Обход столбца ") + column + " [" + section +
         Utf8ToCp1251("]: прочитано строк " + std::to_string(rows_read) + ", совпало " +
                      std::to_string(rows_matched)) +
         "\r\n";
}

std::string RowWalkFailedLine(const std::string& section, const std::string& column,
                              std::size_t rows_read) {
  return Utf8ToCp1251("Обход столбца ") + column + " [" + section +
         Utf8ToCp1251("]: прочитано строк " + std::to_string(rows_read) + ", обход не завершён") +
         "\r\n";
}

std::string RowNotFoundLine(const std::string& section, const std::string& address,
                            const RowKey& row) {
  return Utf8ToCp1251("Строка таблицы не найдена [") + section + "], " + address +
         Utf8ToCp1251(": ни одна строка столбца ") + std::string(row.key_column) +
         Utf8ToCp1251(" не равна ") + std::string(row.key) + "\r\n";
}

std::string RowSeveralLine(const std::string& section, const std::string& address,
                           const RowKey& row, std::size_t rows, const std::string& index) {
  return Utf8ToCp1251("Несколько строк таблицы [") + section + "], " + address + ": " +
         std::string(row.key_column) + "=" + std::string(row.key) +
         Utf8ToCp1251(" в " + std::to_string(rows) + " строках, взята строка ") + index +
         "\r\n";
}

std::string RowMovedLine(const std::string& oid, const std::string& address,
                         const std::string& key_oid) {
  return oid + "(" + address + ")" +
         Utf8ToCp1251(": строка таблицы сменила ключ (" ) + key_oid +
         Utf8ToCp1251("), значение не записано, строка будет найдена заново") + "\r\n";
}

}  // namespace zelsnmp
