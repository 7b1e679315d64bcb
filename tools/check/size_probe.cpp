#include "tools/check/size_probe.h"

#include <memory>

#include "poller/agent_query.h"
#include "snmp/snmp_client.h"

namespace zelsnmp::check {

namespace {

constexpr std::int32_t kErrorStatusTooBig = 1;

// Asks for the first `bindings` lines; true when an answer without tooBig came.
bool Ask(TSNMPSend& client, const AgentEntry& agent, std::size_t bindings, SizeProbe& probe) {
  FillAgentRequest(client.Query(), agent, 0, bindings, {});
  SizeTry attempt{bindings};
  if (client.SendQuery()) {
    attempt.error_status = client.Reply().ErrorStatus;
    attempt.answered = attempt.error_status != kErrorStatusTooBig;
  }
  probe.tries.push_back(attempt);
  return attempt.answered;
}

}  // namespace

SizeProbe ProbeRequestSize(const AgentEntry& agent, std::int32_t timeout_ms,
                           std::size_t refused_size, UsmSession* security) {
  SizeProbe probe;
  probe.lines = agent.lines.size();
  if (probe.lines == 0) return probe;
  auto client = std::make_unique<TSNMPSend>();
  client->Timeout = timeout_ms;
  AimAgentClient(*client, agent);
  client->Security = security;
  std::size_t size = probe.lines;
  if (refused_size != 0 && refused_size < size) {
    size = refused_size;
  } else if (refused_size == 0 && Ask(*client, agent, size, probe)) {
    probe.largest = size;
    return probe;
  }
  std::size_t refused = size;  // the smallest size refused so far
  // One binding right after the first refusal: a device that answers not even that is not
  // worth a time-out per halving.
  if (size == 1 || !Ask(*client, agent, 1, probe)) return probe;
  probe.largest = 1;
  for (size = (size + 1) / 2; size > 1; size = (size + 1) / 2) {
    if (Ask(*client, agent, size, probe)) {
      probe.largest = size;
      break;
    }
    refused = size;
  }
  // Between the largest answered and the smallest refused size.
  while (refused - probe.largest > 1) {
    const std::size_t middle = probe.largest + (refused - probe.largest) / 2;
    if (Ask(*client, agent, middle, probe)) {
      probe.largest = middle;
    } else {
      refused = middle;
    }
  }
  return probe;
}

std::string DescribeSizeProbe(const SizeProbe& probe) {
  if (probe.largest == 0) return "not even one binding is answered";
  if (probe.largest >= probe.lines) {
    return "all " + std::to_string(probe.lines) + " lines in one request";
  }
  return "at most " + std::to_string(probe.largest) +
         " bindings per request: write @max-oids = " + std::to_string(probe.largest);
}

std::optional<std::string> SizeAdvice(const std::optional<SizeProbe>& probe,
                                      const AgentEntry& agent) {
  if (!probe || probe->largest == 0 || probe->largest >= probe->lines) return std::nullopt;
  const auto largest = static_cast<std::int32_t>(probe->largest);
  const std::int32_t max_oids = agent.options.max_oids;
  if (max_oids != 0 && max_oids <= largest) return std::nullopt;
  return "the device answers at most " + std::to_string(largest) +
         " bindings per request: write @max-oids = " + std::to_string(largest);
}

}  // namespace zelsnmp::check
