#include "poller/engine_boots_file.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "snmp/usm_engine.h"
#include "sys/file.h"

namespace zelsnmp {
namespace {

// Ten digits and a line end are all a count needs; anything longer holds no count.
constexpr std::uint64_t kMaxBootsFileBytes = 16;

// The count the file's bytes hold, or 0 when they hold none.
std::int32_t CountIn(std::string_view bytes) {
  while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) {
    bytes.remove_suffix(1);
  }
  if (bytes.empty() || bytes.size() > 10) return 0;
  std::int64_t count = 0;
  for (const char c : bytes) {
    if (c < '0' || c > '9') return 0;
    count = count * 10 + (c - '0');
  }
  if (count < 1 || count > UsmEngineState::kMaxEngineBoots) return 0;
  return static_cast<std::int32_t>(count);
}

}  // namespace

std::string EngineBootsFileName(std::string_view tm_server) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string name = "zelSNMP_";
  for (const char c : tm_server) {
    const bool plain =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    if (plain) {
      name += c;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    name += '_';
    name += kDigits[byte >> 4];
    name += kDigits[byte & 0x0F];
  }
  return name + ".boots";
}

EngineBootsStart StartEngineBoots(const std::string& path) {
  EngineBootsStart start;
  std::string bytes;
  const FileReadResult read = ReadWholeFile(path, kMaxBootsFileBytes, bytes);
  if (read.status == FileReadStatus::kMissing) {
    start.was = EngineBootsStart::Was::kMissing;
  } else if (const std::int32_t count = CountIn(bytes);
             count == 0 || (read.status != FileReadStatus::kRead)) {
    start.was = EngineBootsStart::Was::kUnreadable;
  } else if (count == UsmEngineState::kMaxEngineBoots) {
    start.was = EngineBootsStart::Was::kAtMaximum;
    start.boots = count;
  } else {
    start.was = EngineBootsStart::Was::kCounted;
    start.boots = count + 1;
  }
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << start.boots << "\r\n";
    out.flush();
    if (!out) {
      start.write_error = "не удалось записать " + temporary;
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return start;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    start.write_error = error.message();
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return start;
  }
  start.written = true;
  return start;
}

}  // namespace zelsnmp
