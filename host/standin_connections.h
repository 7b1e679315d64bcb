// The stand-in's table of open connections: each one opened gets the next id (1, 2, ...) and
// remembers the name it was opened for, until it is closed. The TM server connections and the
// configuration-server connections each keep one. Safe to use from any thread.

#ifndef ZELSNMP_HOST_STANDIN_CONNECTIONS_H_
#define ZELSNMP_HOST_STANDIN_CONNECTIONS_H_

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace zelsnmp {

class StandinConnections {
 public:
  std::int32_t Open(std::string_view name) {
    std::lock_guard lock(mutex_);
    const std::int32_t id = ++last_id_;
    names_[id] = std::string(name);
    return id;
  }

  // The name of an open connection; nothing for an unknown or closed id.
  std::optional<std::string> NameOf(std::int32_t id) const {
    std::lock_guard lock(mutex_);
    const auto found = names_.find(id);
    if (found == names_.end()) return std::nullopt;
    return found->second;
  }

  // False when the id was not open.
  bool Close(std::int32_t id) {
    std::lock_guard lock(mutex_);
    return names_.erase(id) > 0;
  }

 private:
  mutable std::mutex mutex_;
  std::int32_t last_id_ = 0;
  std::map<std::int32_t, std::string> names_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_HOST_STANDIN_CONNECTIONS_H_
