#include "snmp/usm_reports.h"

#include <array>
#include <cstddef>

#include "snmp/snmp_message.h"
#include "util/cp1251.h"

namespace zelsnmp {
namespace {

struct ReportEntry {
  UsmReport report;
  std::string_view oid;
  std::string_view name;
  std::string_view text;  // UTF-8
};

constexpr std::array<ReportEntry, 7> kReports = {{
    {UsmReport::kNone, "", "", "Агент SNMPv3 отклонил запрос"},
    {UsmReport::kUnsupportedSecurityLevel, "1.3.6.1.6.3.15.1.1.1.0",
     "usmStatsUnsupportedSecLevels", "Агент SNMPv3 не поддерживает заданный уровень защиты"},
    {UsmReport::kNotInTimeWindow, "1.3.6.1.6.3.15.1.1.2.0", "usmStatsNotInTimeWindows",
     "Запрос SNMPv3 вне временного окна агента"},
    {UsmReport::kUnknownUserName, "1.3.6.1.6.3.15.1.1.3.0", "usmStatsUnknownUserNames",
     "Агенту SNMPv3 неизвестен пользователь"},
    {UsmReport::kUnknownEngineId, "1.3.6.1.6.3.15.1.1.4.0", "usmStatsUnknownEngineIDs",
     "Агенту SNMPv3 неизвестен идентификатор машины (engine ID)"},
    {UsmReport::kWrongDigest, "1.3.6.1.6.3.15.1.1.5.0", "usmStatsWrongDigests",
     "Неверная подпись запроса SNMPv3 (пароль или алгоритм аутентификации)"},
    {UsmReport::kDecryptionError, "1.3.6.1.6.3.15.1.1.6.0", "usmStatsDecryptionErrors",
     "Агент SNMPv3 не смог расшифровать запрос (пароль или алгоритм шифрования)"},
}};

const ReportEntry& EntryOf(UsmReport report) {
  for (const ReportEntry& entry : kReports) {
    if (entry.report == report) return entry;
  }
  return kReports[0];
}

struct OutcomeEntry {
  UsmOutcome outcome;
  std::string_view text;  // UTF-8
};

constexpr std::array<OutcomeEntry, 10> kOutcomes = {{
    {UsmOutcome::kNone, "Обмена SNMPv3 ещё не было"},
    {UsmOutcome::kAnswered, "Агент SNMPv3 ответил"},
    {UsmOutcome::kNoAnswer, "Агент SNMPv3 не ответил"},
    {UsmOutcome::kDiscoveryFailed,
     "Агент SNMPv3 не ответил на запрос идентификатора машины (engine ID)"},
    {UsmOutcome::kReport, "Агент SNMPv3 отклонил запрос"},
    {UsmOutcome::kNotInTime, "Не удалось согласовать время с агентом SNMPv3"},
    {UsmOutcome::kNoKeys, "Не удалось вычислить ключи SNMPv3 пользователя"},
    {UsmOutcome::kSendFailed, "Не удалось отправить запрос SNMPv3"},
    {UsmOutcome::kEncryptedUnanswered,
     "Аутентификация SNMPv3 прошла, но агент не ответил на зашифрованный запрос (вероятно, "
     "пароль или алгоритм шифрования)"},
    {UsmOutcome::kRequestTooLarge, "Запрос SNMPv3 длиннее, чем принимает агент (msgMaxSize)"},
}};

}  // namespace

UsmReport UsmReportOfOid(std::string_view oid_text) {
  for (const ReportEntry& entry : kReports) {
    if (!entry.oid.empty() && entry.oid == oid_text) return entry.report;
  }
  return UsmReport::kNone;
}

UsmReport UsmReportOf(const TSNMPRec& report) {
  if (report.BindingCount() == 0) return UsmReport::kNone;
  return UsmReportOfOid(report.Bindings()[0].OidText);
}

std::string_view UsmReportOid(UsmReport report) {
  return EntryOf(report).oid;
}

std::string_view UsmReportName(UsmReport report) {
  return EntryOf(report).name;
}

const std::string& UsmReportText(UsmReport report) {
  static const std::array<std::string, kReports.size()> texts = [] {
    std::array<std::string, kReports.size()> converted;
    for (std::size_t i = 0; i < kReports.size(); ++i) {
      converted[i] = Utf8ToCp1251(kReports[i].text);
    }
    return converted;
  }();
  return texts[static_cast<std::size_t>(&EntryOf(report) - kReports.data())];
}

const std::string& UsmOutcomeText(UsmOutcome outcome) {
  static const std::array<std::string, kOutcomes.size()> texts = [] {
    std::array<std::string, kOutcomes.size()> converted;
    for (std::size_t i = 0; i < kOutcomes.size(); ++i) {
      converted[i] = Utf8ToCp1251(kOutcomes[i].text);
    }
    return converted;
  }();
  for (std::size_t i = 0; i < kOutcomes.size(); ++i) {
    if (kOutcomes[i].outcome == outcome) return texts[i];
  }
  return texts[0];
}

}  // namespace zelsnmp
