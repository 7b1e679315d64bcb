// The stand-in of nodehub's configuration server: files of <site>/config copied to a local path.
//
// A remote path is split at "\" and "/"; each component must be a single, ordinary name, so that
// a fetch can never reach outside <site>/config.

#include <string>
#include <system_error>
#include <vector>

#include "host/nodehub.h"
#include "host/standin_connections.h"
#include "host/standin_site.h"

namespace zelsnmp::standin {
namespace {

// Configuration-server connections, by the machine they were opened for.
StandinConnections& Connections() {
  static StandinConnections connections;
  return connections;
}

bool IsOpen(std::int32_t handle) { return Connections().NameOf(handle).has_value(); }

// The file below <site>/config that a remote path names; false when a component is unusable.
bool ConfigFilePath(std::string_view remote, std::filesystem::path* file) {
  *file = SitePath() / "config";
  for (;;) {
    const size_t separator = remote.find_first_of("\\/");
    const std::string_view component = remote.substr(0, separator);
    if (!IsSinglePathComponent(component)) return false;
    *file /= PathFromCp1251(component);
    if (separator == std::string_view::npos) return true;
    remote.remove_prefix(separator + 1);
  }
}

std::int32_t Fail(std::string_view reason, std::int32_t* error_word, char* error_text,
                  std::int32_t error_capacity) {
  if (error_word != nullptr) *error_word = 1;
  CopyToBuffer(reason, error_text, error_capacity);
  return 0;
}


}  // namespace
}  // namespace zelsnmp::standin

using namespace zelsnmp::standin;

extern "C" {

std::int32_t nhConnect(const char* machine, std::int32_t* error_word, char* error_text,
                       std::int32_t error_capacity) {
  const std::string_view machine_name = TextOf(machine);
  std::int32_t handle = 0;
  if (FaultRequested("config-connect")) {
    Fail("Simulated failure", error_word, error_text, error_capacity);
  } else if (!IsLocalMachine(machine_name)) {
    Fail("Computer " + std::string(machine_name) + " is not reachable", error_word, error_text,
         error_capacity);
  } else {
    handle = Connections().Open(machine_name);
    if (error_word != nullptr) *error_word = 0;
  }
  RecordCall("nhConnect " + QuotedForRecord(machine_name) + " " + std::to_string(error_capacity) + " = " +
             std::to_string(handle));
  return handle;
}

std::int32_t nhFileGet(std::int32_t handle, const char* remote_path, const char* local_path,
                       std::int32_t timeout_ms, std::int32_t* out_word,
                       std::int32_t* error_word, char* error_text, std::int32_t error_capacity) {
  const std::string_view remote = TextOf(remote_path);
  const std::string_view local = TextOf(local_path);
  RecordCall("nhFileGet " + std::to_string(handle) + " " + QuotedForRecord(remote) + " " + QuotedForRecord(local) +
             " " + std::to_string(timeout_ms) + " " + std::to_string(error_capacity));
  if (out_word != nullptr) *out_word = 0;
  if (FaultRequested("file-get")) {
    return Fail("Simulated failure", error_word, error_text, error_capacity);
  }
  if (!IsOpen(handle)) return Fail("Not connected", error_word, error_text, error_capacity);
  std::filesystem::path source;
  if (!ConfigFilePath(remote, &source)) {
    return Fail("Invalid file path " + std::string(remote), error_word, error_text,
                error_capacity);
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(source, error)) {
    return Fail("File " + std::string(remote) + " not found", error_word, error_text,
                error_capacity);
  }
  if (local.empty() ||
      !std::filesystem::copy_file(source, PathFromCp1251(local),
                                  std::filesystem::copy_options::overwrite_existing, error)) {
    return Fail("Cannot write file " + std::string(local), error_word, error_text,
                error_capacity);
  }
  if (error_word != nullptr) *error_word = 0;
  return 1;
}

std::int32_t nhDisconnect(std::int32_t handle) {
  RecordCall("nhDisconnect " + std::to_string(handle));
  return Connections().Close(handle) ? 1 : 0;
}

}  // extern "C"
