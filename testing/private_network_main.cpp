// The entry of the tests that need port 161 (the end-to-end tests, the configuration check's
// probe): before any test runs, the process moves into a network namespace of its own with
// only its loopback interface up, so that the agents of a test can take port 161 on 127.0.0.x
// without clashing with the machine or with other test processes, and nothing a test sends can
// leave the machine. The task and the agents it starts inherit the namespace. As root a network
// namespace alone is enough; otherwise a user namespace comes with it, with this user mapped to
// root inside. When neither is possible the tests skip.

#include "testing/private_network.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace zelsnmp::testing_support {

namespace {

std::string g_unavailable_reason = "the network namespace was not set up";

bool WriteProcFile(const char* path, const std::string& text) {
  const int file = open(path, O_WRONLY);
  if (file < 0) return false;
  const bool written = write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(file);
  return written;
}

std::string EnterNetworkNamespace() {
  if (unshare(CLONE_NEWNET) != 0) {
    const std::string as_root = strerror(errno);
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
      return std::string("cannot make a network namespace (unshare -n: ") + as_root +
             "; unshare -rn: " + strerror(errno) +
             "); run as root or allow unprivileged user namespaces";
    }
    if (!WriteProcFile("/proc/self/setgroups", "deny") ||
        !WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
      return std::string("cannot map the user into its namespace: ") + strerror(errno);
    }
  }
  const int probe = socket(AF_INET, SOCK_DGRAM, 0);
  if (probe < 0) return std::string("no socket in the namespace: ") + strerror(errno);
  ifreq request{};
  strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ioctl(probe, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  up = up && ioctl(probe, SIOCSIFFLAGS, &request) == 0;
  const std::string reason = strerror(errno);
  close(probe);
  if (!up) return "cannot bring the loopback interface up: " + reason;
  return "";
}

}  // namespace

const std::string& PrivateNetworkUnavailableReason() {
  return g_unavailable_reason;
}

std::string AddLoopbackIPv6Address(const std::string& address) {
  static std::set<std::string> added;
  if (added.count(address) != 0) return "";
  sockaddr_in6 to{};
  to.sin6_family = AF_INET6;
  if (inet_pton(AF_INET6, address.c_str(), &to.sin6_addr) != 1)
    return "not an IPv6 address: " + address;
  const std::string command = "ip -6 addr add " + address + "/128 dev lo nodad";
  if (std::system(command.c_str()) != 0) return "cannot run: " + command;
  const int probe = socket(AF_INET6, SOCK_DGRAM, 0);
  if (probe < 0) return std::string("no IPv6 socket: ") + strerror(errno);
  socklen_t length = sizeof to;
  bool ready = bind(probe, reinterpret_cast<const sockaddr*>(&to), length) == 0 &&
               getsockname(probe, reinterpret_cast<sockaddr*>(&to), &length) == 0;
  // Until one probe comes back, or five seconds: a lost probe is sent again.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  bool arrived = false;
  while (ready && !arrived && std::chrono::steady_clock::now() < give_up) {
    sendto(probe, "probe", 5, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    pollfd wait{probe, POLLIN, 0};
    if (poll(&wait, 1, 20) == 1) {
      char bytes[8];
      arrived = recv(probe, bytes, sizeof bytes, 0) > 0;
    }
  }
  close(probe);
  if (!arrived) return "no datagram reaches " + address + " on the loopback interface";
  added.insert(address);
  return "";
}

}  // namespace zelsnmp::testing_support

int main(int argc, char** argv) {
  // Before anything may start a thread: a user namespace can only be entered single-threaded.
  zelsnmp::testing_support::g_unavailable_reason =
      zelsnmp::testing_support::EnterNetworkNamespace();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
