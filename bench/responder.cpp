// A minimal SNMP responder for the exchange benchmarks: answers every datagram on
// 127.0.0.1:<port> at once. In "snmp" mode the answer is the 10-binding Response of the
// benchmark vectors carrying the request's ID; in "raw" mode it is the same bytes, sent back
// without looking at the request (the floor of a UDP ping-pong). Prints the port, then runs
// until killed.
//
// Usage: bench_responder snmp|raw

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_vectors.h"

int main(int argc, char** argv) {
  using namespace zelsnmp;
  using namespace zelsnmp::bench;
  const bool raw = argc > 1 && std::strcmp(argv[1], "raw") == 0;
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return 1;
  socklen_t length = sizeof local;
  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
  std::printf("%d\n", ntohs(local.sin_port));
  std::fflush(stdout);

  TSNMPRec response;
  FillOurs(response, PduResponse, ResponseBindings(10));
  const std::string fixed = OurBytes(PduResponse, ResponseBindings(10));
  TSNMPRec request;
  char buffer[65536];
  for (;;) {
    sockaddr_in peer{};
    socklen_t peer_length = sizeof peer;
    const ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer),
                               &peer_length);
    if (n < 0) continue;
    std::string answer;
    if (raw) {
      answer = fixed;
    } else {
      if (!request.DecodeHeader(std::string_view(buffer, static_cast<std::size_t>(n)))) continue;
      response.ID = request.ID;
      answer = response.EncodeMessage();
    }
    sendto(fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&peer), peer_length);
  }
}
