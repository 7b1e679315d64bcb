// The stand-in of scadalink: connections to TM servers that exist as folders of the site, and a
// journal of every point write in <site>/tm/<server>/journal.tsv.
//
// Journal line: time, operation, channel, RTU, point, value, separated by TABs and ended by LF,
// written with one write so that a reader never sees half a line. Each connection keeps its
// journal open from its first point write until it is disconnected.

#include "host/scadalink.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <string>
#include <system_error>

#include "host/standin_connections.h"
#include "host/standin_site.h"
#include "sys/file_appender.h"
#include "sys/process.h"
#include "util/cp1251.h"

namespace zelsnmp::standin {
namespace {

// TM server connections, by the server name (Windows-1251) they were opened for.
StandinConnections& Connections() {
  static StandinConnections connections;
  return connections;
}

// The server of a live connection, or nothing.
bool ServerOf(std::int32_t connection, std::string* server) {
  std::optional<std::string> name = Connections().NameOf(connection);
  if (!name) return false;
  *server = std::move(*name);
  return true;
}

// The open journal of each connection that wrote a point. A journal is opened again when the
// site setting has changed since (a connection's server does not change).
class Journals {
 public:
  bool Append(std::int32_t connection, const std::string& server, std::string_view line) {
    const char* site_setting = std::getenv("ZELSNMP_SITE");
    const std::string_view site = site_setting != nullptr ? site_setting : "";
    std::lock_guard lock(mutex_);
    Journal& journal = journals_[connection];
    if (!journal.file || journal.site != site) {
      journal.site = site;
      journal.file = std::make_unique<FileAppender>(SitePath() / "tm" / PathFromCp1251(server) /
                                                     "journal.tsv");
    }
    return journal.file->Append(line);
  }

  void Close(std::int32_t connection) {
    std::lock_guard lock(mutex_);
    journals_.erase(connection);
  }

 private:
  struct Journal {
    std::string site;  // the site setting the path was made for
    std::unique_ptr<FileAppender> file;
  };
  std::mutex mutex_;
  std::map<std::int32_t, Journal> journals_;
};

Journals& OpenJournals() {
  static Journals journals;
  return journals;
}

std::int32_t WritePoint(const char* operation, std::int32_t connection, std::uint16_t channel,
                        std::uint16_t rtu, std::uint16_t point, const std::string& value) {
  RecordCall(std::string(operation) + " " + std::to_string(connection) + " " +
             std::to_string(channel) + " " + std::to_string(rtu) + " " + std::to_string(point) +
             " " + value);
  std::string server;
  if (!ServerOf(connection, &server)) return 0;
  const std::string line = LocalTimeStamp('T') + "\t" + operation + "\t" +
                           std::to_string(channel) + "\t" + std::to_string(rtu) + "\t" +
                           std::to_string(point) + "\t" + value + "\n";
  return OpenJournals().Append(connection, server, line) ? 1 : 0;
}

// Why slConnect refuses, in one English line (UTF-8) for the person running the task; empty
// when it connects.
std::string ConnectRefusal(std::string_view machine, std::string_view server) {
  std::error_code ignored;
  if (FaultRequested("tm-connect")) return "slConnect fails as ZELSNMP_SIM_FAIL asks (tm-connect)";
  if (!IsLocalMachine(machine)) {
    return std::string("machine \"") + Cp1251ToUtf8(machine) + "\" is not this one";
  }
  if (!IsSinglePathComponent(server)) {
    std::string refusal(1, '"');
    refusal += Cp1251ToUtf8(server);
    refusal += "\" is no server name";
    return refusal;
  }
  if (!std::filesystem::is_directory(SitePath(), ignored)) {
    return "no site folder " + SitePath().string() + " (ZELSNMP_SITE, or ./site when unset)";
  }
  const std::filesystem::path folder = SitePath() / "tm" / PathFromCp1251(server);
  if (!std::filesystem::is_directory(folder, ignored)) {
    return "no TM server folder " + folder.string();
  }
  return "";
}

std::string FlagsText(std::uint16_t flags) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(flags));
  return text;
}

}  // namespace
}  // namespace zelsnmp::standin

using namespace zelsnmp::standin;

extern "C" {

std::int32_t slConnect(const char* machine, const char* server, std::int32_t, slConnectEventProc,
                       std::int32_t) {
  std::int32_t id = 0;
  const std::string_view server_name = TextOf(server);
  const std::string refusal = ConnectRefusal(TextOf(machine), server_name);
  if (refusal.empty()) {
    id = Connections().Open(server_name);
  } else {
    zelsnmp::WriteToStandardError("stand-in: " + refusal + "\n");
  }
  RecordCall("slConnect " + QuotedForRecord(TextOf(machine)) + " " + QuotedForRecord(server_name) + " = " + std::to_string(id));
  return id;
}

std::int32_t slSystemTime(std::int32_t connection, char* buffer, std::int32_t) {
  RecordCall("slSystemTime " + std::to_string(connection));
  // The task gives 84 bytes; the time takes 24 with its zero byte.
  CopyToBuffer(LocalTimeStamp(' '), buffer, 24);
  return 1;
}

std::int32_t slIsConnected(std::int32_t connection) {
  std::string server;
  const std::int32_t connected =
      !FaultRequested("tm-connected") && ServerOf(connection, &server) ? 1 : 0;
  RecordCall("slIsConnected " + std::to_string(connection) + " = " + std::to_string(connected));
  return connected;
}

std::int32_t slGetCurrentServer(std::int32_t connection, char* machine,
                                std::int32_t machine_capacity, char* server,
                                std::int32_t server_capacity) {
  RecordCall("slGetCurrentServer " + std::to_string(connection) + " " +
             std::to_string(machine_capacity) + " " + std::to_string(server_capacity));
  std::string server_name;
  if (!ServerOf(connection, &server_name)) return 0;
  CopyToBuffer(zelsnmp::LocalHostName(), machine, machine_capacity);
  CopyToBuffer(server_name, server, server_capacity);
  return 1;
}

std::int32_t slSetStatus(std::int32_t connection, std::uint16_t channel, std::uint16_t rtu,
                         std::uint16_t point, std::int32_t value, std::int32_t, std::int32_t) {
  return WritePoint("slSetStatus", connection, channel, rtu, point, std::to_string(value));
}

std::int32_t slSetStatusFlags(std::int32_t connection, std::uint16_t channel, std::uint16_t rtu,
                              std::uint16_t point, std::uint16_t flags) {
  return WritePoint("slSetStatusFlags", connection, channel, rtu, point, FlagsText(flags));
}

std::int32_t slSetAnalogFloatCodeUT(std::int32_t connection, std::uint16_t channel,
                                    std::uint16_t rtu, std::uint16_t point, float value,
                                    std::int32_t, std::int32_t, std::int32_t) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return WritePoint("slSetAnalogFloatCodeUT", connection, channel, rtu, point, text);
}

std::int32_t slSetAnalogFlags(std::int32_t connection, std::uint16_t channel, std::uint16_t rtu,
                              std::uint16_t point, std::uint16_t flags) {
  return WritePoint("slSetAnalogFlags", connection, channel, rtu, point, FlagsText(flags));
}

std::int32_t slDisconnect(std::int32_t connection) {
  RecordCall("slDisconnect " + std::to_string(connection));
  OpenJournals().Close(connection);
  return Connections().Close(connection) ? 1 : 0;
}

}  // extern "C"
