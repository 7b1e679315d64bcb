#include "tools/check/config_check.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

#include "net/block_socket.h"
#include "poller/profile_reader.h"
#include "snmp/ber.h"
#include "snmp/usm_crypto.h"
#include "sys/file.h"
#include "sys/process.h"
#include "tools/check/config_lines.h"
#include "tools/check/display_text.h"
#include "tools/check/option_report.h"
#include "tools/check/point_report.h"
#include "util/ascii_case.h"

namespace zelsnmp::check {

namespace {

constexpr std::string_view kAgentPort = "161";

// Agents drop a whole request that names an OID of more numbers than this.
constexpr std::size_t kMaxOidNumbers = 128;

// Why a file could not be taken, for the operator.
std::string DescribeUnread(const FileReadResult& read) {
  const std::string limit = std::to_string(ProfileReader::kMaxFileBytes);
  switch (read.status) {
    case FileReadStatus::kRead:
    case FileReadStatus::kChanged:
      return "it changed while it was read (" + std::to_string(read.length_at_open) +
             " bytes when opened, " + std::to_string(read.bytes_read) +
             " read): check it again once it is written";
    case FileReadStatus::kMissing: return "no such file";
    case FileReadStatus::kNoPermission: return "this user may not read it";
    case FileReadStatus::kDirectory: return "it is a directory; give the configuration file";
    case FileReadStatus::kDevice: return "it is a device, not a file";
    case FileReadStatus::kPipe: return "it is a pipe or a socket, not a file";
    case FileReadStatus::kNotRegular: return "it is not an ordinary file";
    case FileReadStatus::kTooLarge:
      return (read.bytes_read > read.length_at_open
                  ? "it grew past " + limit + " bytes while it was read"
                  : "it holds " + std::to_string(read.length_at_open) + " bytes") +
             ": the task reads no file longer than " + limit + " bytes";
    case FileReadStatus::kReadError: break;
  }
  return read.error_text.empty() ? "a read failed" : read.error_text;
}

std::size_t OidNumbers(std::string_view oid) {
  return oid.empty() ? 0 : static_cast<std::size_t>(std::count(oid.begin(), oid.end(), '.')) + 1;
}

bool HasLetter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
}

// The task deletes the file it loads; the check loads a copy of its own. Nothing when the copy
// cannot be made.
std::optional<PollConfig> LoadLikeTheTask(const std::string& bytes) {
  static std::atomic<int> counter{0};
  std::error_code error;
  const std::filesystem::path copy =
      std::filesystem::temp_directory_path(error) /
      ("zelsnmp-check-" + std::to_string(CurrentProcessId()) + "-" + std::to_string(++counter));
  std::ofstream out(copy, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (error || !out) {
    std::filesystem::remove(copy, error);
    return std::nullopt;
  }
  return LoadPollConfig(copy.string());
}

class ReportBuilder {
 public:
  explicit ReportBuilder(CheckReport& report) : report_(report) {}

  void Add(int line, Severity severity, std::string text) {
    report_.findings.push_back({line, severity, std::move(text)});
  }

  void CheckLines(const ConfigLines& lines);
  void CheckAgent(const AgentEntry& entry, const std::vector<const ConfigLine*>& entry_lines,
                  int header_line, const HostResolver& resolve);

 private:
  void CheckBytes(const ConfigLine& line);
  void CheckPoint(CheckedPoint& point);

  CheckReport& report_;
  // The first line writing each point: "status 1:1:1" or "analog 1:1:1".
  std::map<std::string, int> point_writers_;
};

void ReportBuilder::CheckBytes(const ConfigLine& line) {
  std::string_view raw = line.raw;
  const std::size_t zero = raw.find('\0');
  if (zero != std::string_view::npos) {
    Add(line.number, Severity::kWarning,
        "a zero byte at column " + std::to_string(zero + 1) +
            ": the task reads the key or value only up to it");
  }
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const auto byte = static_cast<unsigned char>(raw[i]);
    if (byte == 0 || byte == '\t' || !IsNoTextByte(byte)) continue;
    // Blanks at either end are trimmed by the task.
    const bool at_end = raw.find_first_not_of(" \t\v\f\x1A") > i ||
                        raw.find_last_not_of(" \t\v\f\x1A") < i;
    if (at_end) continue;
    Add(line.number, Severity::kWarning, "byte " + HexByte(byte) + " at column " +
                                             std::to_string(i + 1) + " is no text");
  }
}

void ReportBuilder::CheckLines(const ConfigLines& lines) {
  std::map<std::string, int> first_header;
  for (const ConfigLine& line : lines.lines) {
    CheckBytes(line);
    switch (line.kind) {
      case LineKind::kBlank:
      case LineKind::kComment:
        break;
      case LineKind::kSection:
        if (line.name.empty()) {
          Add(line.number, Severity::kWarning,
              "a section without a name: the task ignores it and its lines");
        } else if (auto [at, inserted] = first_header.emplace(FoldAsciiCase(line.name), line.number);
                   !inserted) {
          Add(line.number, Severity::kNote,
              "section [" + Displayable(line.name) + "] again (first at line " +
                  std::to_string(at->second) + "): its lines join that agent's");
        }
        break;
      case LineKind::kEntry:
        if (!line.in_section) {
          Add(line.number, Severity::kWarning, "before the first section: the task ignores it");
        } else if (line.section.empty()) {
          Add(line.number, Severity::kWarning,
              "in a section without a name: the task ignores it");
        }
        if (line.raw_value_length > ProfileReader::kMaxValueBytes &&
            line.value.size() == ProfileReader::kMaxValueBytes) {
          Add(line.number, Severity::kWarning,
              "a value of " + std::to_string(line.raw_value_length) +
                  " bytes: the task keeps its first 2047");
        }
        break;
      case LineKind::kNoEquals:
        Add(line.number, Severity::kWarning, "no \"=\" in the line: the task ignores it");
        break;
      case LineKind::kEmptyKey:
        Add(line.number, Severity::kWarning,
            "nothing before \"=\": the task ignores the line");
        break;
    }
  }
}

void ReportBuilder::CheckPoint(CheckedPoint& point) {
  const std::string key = point.config_line.Name();
  const PointAddress& at = point.address;
  if (at.kind == PointKind::kNone) {
    if (!key.empty() && key.front() == '#') {
      Add(point.line, Severity::kWarning,
          "\"" + Displayable(key) +
              "\" is no point address (#TC, #TS or #TT in upper case, then "
              "channel:rtu:point): the value is only traced");
    } else {
      Add(point.line, Severity::kNote, "no point address: the value is only traced");
    }
  } else {
    ++report_.points;
    if (at.scanned_length < TextBeforeZero(key).size()) {
      Add(point.line, Severity::kWarning,
          "\"" + Displayable(key.substr(at.scanned_length)) + "\" after the point address \"" +
              Displayable(key.substr(0, at.scanned_length)) + "\" is ignored");
    }
    const struct {
      const char* name;
      std::int32_t scanned;
      std::uint16_t sent;
    } numbers[] = {{"channel", at.scanned_channel, at.channel},
                   {"RTU", at.scanned_rtu, at.rtu},
                   {"point", at.scanned_point, at.point}};
    for (const auto& number : numbers) {
      if (number.scanned != number.sent) {
        Add(point.line, Severity::kWarning,
            std::string(number.name) + " " + std::to_string(number.scanned) +
                " reaches the TM server as its low 16 bits, " + std::to_string(number.sent));
      }
    }
    const std::string where = std::to_string(at.channel) + ":" + std::to_string(at.rtu) + ":" +
                              std::to_string(at.point);
    const std::string family = at.kind == PointKind::kAnalog ? "analog " : "status ";
    const auto [first, inserted] = point_writers_.emplace(family + where, point.line);
    if (!inserted) {
      Add(point.line, Severity::kError,
          "writes the same " + family + "point " + where + " as line " +
              std::to_string(first->second) + ": each pass overwrites the other");
    }
  }
  if (!point.config_line.Source().OnWire()) return;
  if (point.oid.empty()) {
    Add(point.line, Severity::kError, "no OID after \"=\"");
  } else if (point.oid_sent != point.oid) {
    const std::string name_note =
        HasLetter(point.oid) ? " holds a name: names are not accepted, an OID in numbers is "
                               "needed (such as 1.3.6.1.2.1.1.3.0); it"
                             : "";
    Add(point.line, Severity::kError,
        "the OID \"" + Displayable(point.oid) + "\"" + name_note + " travels as " +
            point.oid_sent + ": no reply ever names it, so the line never gets a value");
  }
  if (const std::size_t numbers = OidNumbers(point.oid_sent); numbers > kMaxOidNumbers) {
    Add(point.line, Severity::kError,
        "an OID of " + std::to_string(numbers) + " numbers: agents take at most " +
            std::to_string(kMaxOidNumbers) +
            " and drop the whole request, so every point of the agent goes stale");
  }
}

void ReportBuilder::CheckAgent(const AgentEntry& entry,
                               const std::vector<const ConfigLine*>& entry_lines,
                               int header_line, const HostResolver& resolve) {
  CheckedAgent agent;
  agent.line = header_line;
  agent.entry = entry;
  agent.host = entry.Host();
  agent.community = entry.Community();
  agent.default_community =
      !entry.options.community && WordAt(2, entry.section_name, ":").empty();
  if (agent.host.empty()) {
    Add(header_line, Severity::kError, "no host in the section name");
  } else {
    if (agent.host.front() == ' ' || agent.host.back() == ' ') {
      Add(header_line, Severity::kWarning,
          "the host \"" + Displayable(agent.host) + "\" has blanks, which are part of it");
    }
    if (std::optional<std::string> address = resolve(agent.host)) {
      agent.resolved = *address;
    } else {
      Add(header_line, Severity::kWarning,
          "the host \"" + Displayable(agent.host) + "\" does not resolve");
    }
  }
  if (!WordAt(3, entry.section_name, ":").empty() ||
      std::count(entry.section_name.begin(), entry.section_name.end(), ':') > 1) {
    Add(header_line, Severity::kNote, "the text after the second \":\" is ignored");
  }
  if (entry.lines.empty()) {
    Add(header_line, Severity::kNote, "no lines: the agent is asked with an empty request");
  }
  // The reader and the second read agree line for line; if not, numbers are left out.
  const bool numbered = entry_lines.size() == entry.lines.size();
  for (std::size_t i = 0; i < entry.lines.size(); ++i) {
    CheckedPoint point;
    point.line = numbered ? entry_lines[i]->number : 0;
    point.config_line = entry.lines[i];
    point.address = ScanPointAddress(point.config_line.Name());
    point.oid = point.config_line.Oid();
    // A device point or a line with a mistake asks the device nothing.
    point.oid_sent = point.config_line.Source().OnWire() ? BerToOidText(OidTextToBer(point.oid))
                                                       : point.oid;
    CheckPoint(point);
    agent.points.push_back(std::move(point));
  }
  report_.agents.push_back(std::move(agent));
}

// What keeps the cryptographic library from being used, in the checker's words.
std::string DescribeCryptoFault(const CryptoLibraryFault& fault) {
  std::string files;
  for (const std::string& file : fault.files) files += (files.empty() ? "" : ", ") + file;
  switch (fault.kind) {
    case CryptoLibraryFault::Kind::kFilesMissing:
      return files + (fault.files.size() == 1 ? " is" : " are") + " not beside the program";
    case CryptoLibraryFault::Kind::kNotLoaded:
      return files + " does not load (error " + fault.detail + ")";
    case CryptoLibraryFault::Kind::kEntryMissing:
      return files + " lacks " + fault.detail;
    case CryptoLibraryFault::Kind::kTooOld:
      return files + " is too old (version " + fault.detail + ")";
  }
  return files;
}

// Once, at the first v3 agent: the cryptographic library of SNMPv3 cannot be used here. The
// task where the same is true polls no v3 agent and flags their points.
void AddCryptoFinding(const PollConfig& config, const std::vector<int>& header_lines,
                      ReportBuilder& builder) {
  for (std::size_t a = 0; a < config.agents.size(); ++a) {
    const AgentOptions& options = config.agents[a].options;
    if (options.version != 3 || options.mistaken) continue;
    if (const std::optional<CryptoLibraryFault> fault = CryptoLibraryProblem()) {
      builder.Add(header_lines[a], Severity::kWarning,
                  "SNMPv3 cannot be used here: " + DescribeCryptoFault(*fault) +
                      "; zelSNMP.exe without the two DLLs beside it polls no SNMPv3 agent and "
                      "flags their points");
    }
    return;
  }
}

}  // namespace

int CheckReport::Count(Severity severity) const {
  return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                        [severity](const Finding& f) {
                                          return f.severity == severity;
                                        }));
}

int CheckReport::ExitStatus() const {
  if (Count(Severity::kError) > 0) return 2;
  return Count(Severity::kWarning) > 0 ? 1 : 0;
}

std::optional<std::string> ResolveLikeTheTask(const std::string& host) {
  TUDPBlockSocket socket;
  socket.ConnectTo(host, std::string(kAgentPort));
  if (socket.LastErrorCode() != 0) return std::nullopt;
  return socket.RemoteAddressText();
}

std::optional<CheckReport> CheckConfigFile(const std::string& path, std::string& error,
                                           const HostResolver& resolve) {
  std::string bytes;
  const FileReadResult read = ReadWholeFile(path, ProfileReader::kMaxFileBytes, bytes);
  if (read.status != FileReadStatus::kRead) {
    error = "cannot read " + path + ": " + DescribeUnread(read);
    return std::nullopt;
  }
  const std::optional<PollConfig> loaded = LoadLikeTheTask(bytes);
  if (!loaded) {
    error = "cannot make a temporary copy of " + path + " to load";
    return std::nullopt;
  }
  const PollConfig& config = *loaded;
  const ConfigLines lines = SplitConfigLines(bytes);

  CheckReport report;
  ReportBuilder builder(report);
  if (lines.encoding == FileEncoding::kUtf16) {
    builder.Add(0, Severity::kNote, "a UTF-16 file: lines are shown without their numbers");
  } else if (lines.encoding == FileEncoding::kUtf16WithoutMark) {
    builder.Add(0, Severity::kError,
                "looks like UTF-16 without a byte-order mark: the task reads it byte by byte "
                "and misreads every line; save as Windows-1251 or UTF-8 with a byte-order mark");
  } else if (lines.encoding == FileEncoding::kUtf8WithoutMark) {
    builder.Add(0, Severity::kWarning,
                "looks like UTF-8 without a byte-order mark: Cyrillic will be misread; save as "
                "Windows-1251 or UTF-8 with a byte-order mark");
  }
  builder.CheckLines(lines);

  std::map<std::string, std::vector<const ConfigLine*>> entries_by_section;
  std::map<std::string, int> header_by_section;
  for (const ConfigLine& line : lines.lines) {
    if (line.kind == LineKind::kSection) {
      header_by_section.emplace(FoldAsciiCase(line.name), line.number);
    }
    // Option lines are no point lines: the agent's points are numbered without them.
    if (line.kind == LineKind::kEntry && line.in_section && !IsOptionKey(line.key)) {
      entries_by_section[FoldAsciiCase(line.section)].push_back(&line);
    }
  }
  std::vector<int> header_lines;
  for (const AgentEntry& agent : config.agents) {
    const std::string folded = FoldAsciiCase(agent.section_name);
    header_lines.push_back(header_by_section[folded]);
    builder.CheckAgent(agent, entries_by_section[folded], header_by_section[folded], resolve);
  }
  AddOptionFindings(config, header_lines, report.findings);
  AddCryptoFinding(config, header_lines, builder);
  AddPointFindings(config, report.findings);
  if (config.agents.empty()) {
    builder.Add(0, Severity::kError,
                "no agent: the task would stop at once (no address to poll)");
  }
  std::stable_sort(report.findings.begin(), report.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  return report;
}

}  // namespace zelsnmp::check
