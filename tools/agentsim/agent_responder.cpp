#include "tools/agentsim/agent_responder.h"

#include <cstdio>

#include <algorithm>
#include <vector>

#include "snmp/ber.h"
#include "snmp/oid_order.h"

namespace zelsnmp::agentsim {
namespace {

bool V1CanCarry(std::int32_t tag) {
  return tag != TagCounter64 && tag != TagNoSuchObject && tag != TagNoSuchInstance &&
         tag != TagEndOfMibView;
}

}  // namespace

std::string PrintableText(const std::string& text) {
  std::string out;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

TSNMPRec ResponseHeaderFor(const TSNMPRec& request) {
  TSNMPRec answer;
  answer.Version = request.Version;
  answer.Community = request.Community;
  answer.PDUType = PduResponse;
  answer.ID = request.ID;
  return answer;
}

// The request's bindings unchanged, with `error_status` blaming the binding at `index`.
TSNMPRec BlamingAnswer(const TSNMPRec& request, std::int32_t error_status, std::int32_t index) {
  TSNMPRec answer = ResponseHeaderFor(request);
  answer.ErrorStatus = error_status;
  answer.ErrorIndex = index;
  for (const TSNMPMib& original : request.Bindings()) {
    answer.AddBinding(original.OidText, original.ValueText, original.ValueTag);
  }
  return answer;
}

}  // namespace

namespace {

// The data's entry after `oid` in OID order; end() past the last.
SnmprecData::const_iterator NextInOrder(const SnmprecData& data, std::string_view oid) {
  SnmprecData::const_iterator next = data.end();
  for (auto entry = data.begin(); entry != data.end(); ++entry) {
    if (CompareOids(entry->first, oid) <= 0) continue;
    if (next == data.end() || CompareOids(entry->first, next->first) < 0) next = entry;
  }
  return next;
}

// Adds the entry after `oid` to `answer`; false when there is none (endOfMibView added).
bool AddNext(TSNMPRec& answer, const SnmprecData& data, std::string& oid) {
  const auto next = NextInOrder(data, oid);
  if (next == data.end()) {
    answer.AddBinding(oid, "", TagEndOfMibView);
    return false;
  }
  oid = next->first;
  answer.AddBinding(next->first, next->second.text, next->second.tag);
  return true;
}

std::optional<TSNMPRec> BuildNextAnswer(const TSNMPRec& request, const SnmprecData& data) {
  TSNMPRec answer = ResponseHeaderFor(request);
  std::int32_t index = 0;
  for (const TSNMPMib& binding : request.Bindings()) {
    ++index;
    std::string oid = binding.OidText;
    if (request.Version == kSnmpVersion2c) {
      AddNext(answer, data, oid);
      continue;
    }
    auto next = NextInOrder(data, oid);
    // A v1 agent steps over what v1 cannot carry.
    while (next != data.end() && !V1CanCarry(next->second.tag)) {
      next = NextInOrder(data, next->first);
    }
    if (next == data.end()) return BlamingAnswer(request, kErrorStatusNoSuchName, index);
    answer.AddBinding(next->first, next->second.text, next->second.tag);
  }
  return answer;
}

std::optional<TSNMPRec> BuildBulkAnswer(const TSNMPRec& request, const SnmprecData& data) {
  if (request.Version != kSnmpVersion2c) return std::nullopt;
  TSNMPRec answer = ResponseHeaderFor(request);
  const std::span<const TSNMPMib> bindings = request.Bindings();
  const std::size_t non_repeaters = static_cast<std::size_t>(
      std::clamp<std::int32_t>(request.NonRepeaters(), 0, request.BindingCount()));
  std::vector<std::string> repeaters;
  for (std::size_t i = 0; i < bindings.size(); ++i) {
    std::string oid = bindings[i].OidText;
    if (i < non_repeaters) {
      AddNext(answer, data, oid);
    } else {
      repeaters.push_back(std::move(oid));
    }
  }
  if (repeaters.empty()) return answer;
  const std::size_t room = (kMaxBulkBindings - std::min(kMaxBulkBindings, non_repeaters)) /
                           repeaters.size();
  const std::size_t rounds = std::min<std::size_t>(
      static_cast<std::size_t>(std::max<std::int32_t>(request.MaxRepetitions(), 0)), room);
  for (std::size_t round = 0; round < rounds; ++round) {
    bool any = false;
    for (std::string& oid : repeaters) any = AddNext(answer, data, oid) || any;
    if (!any) break;
  }
  return answer;
}

}  // namespace

std::optional<TSNMPRec> BuildAnswer(const TSNMPRec& request, const SnmprecData& data,
                                    const std::optional<std::string>& community,
                                    bool omit_missing) {
  if (request.Version != kSnmpVersion1 && request.Version != kSnmpVersion2c) return std::nullopt;
  if (community && request.Community != *community) return std::nullopt;
  if (request.PDUType == PduGetNextRequest) return BuildNextAnswer(request, data);
  if (request.PDUType == PduGetBulkRequest) return BuildBulkAnswer(request, data);
  if (request.PDUType != PduGetRequest) return std::nullopt;

  TSNMPRec answer = ResponseHeaderFor(request);
  std::int32_t index = 0;
  for (const TSNMPMib& binding : request.Bindings()) {
    ++index;
    auto found = data.find(binding.OidText);
    if (request.Version == kSnmpVersion2c) {
      if (found == data.end()) {
        if (omit_missing) continue;
        answer.AddBinding(binding.OidText, "", TagNoSuchObject);
      } else {
        answer.AddBinding(binding.OidText, found->second.text, found->second.tag);
      }
    } else if (found == data.end() || !V1CanCarry(found->second.tag)) {
      return BlamingAnswer(request, kErrorStatusNoSuchName, index);
    } else {
      answer.AddBinding(binding.OidText, found->second.text, found->second.tag);
    }
  }
  return answer;
}

TSNMPRec BuildErrorAnswer(const TSNMPRec& request, std::int32_t error_status) {
  TSNMPRec answer = ResponseHeaderFor(request);
  answer.ErrorStatus = error_status;
  return answer;
}

std::optional<TSNMPRec> BuildErrorIndexAnswer(const TSNMPRec& request, const std::string& oid,
                                              std::int32_t error_status) {
  std::int32_t index = 0;
  for (const TSNMPMib& binding : request.Bindings()) {
    ++index;
    if (binding.OidText == oid) return BlamingAnswer(request, error_status, index);
  }
  return std::nullopt;
}

std::optional<TSNMPRec> ApplyAnswerFaults(const TSNMPRec& request, TSNMPRec answer,
                                          const AgentOptions& options) {
  const auto bindings = static_cast<std::size_t>(request.BindingCount());
  if (options.no_getbulk && request.PDUType == PduGetBulkRequest) {
    return BuildErrorAnswer(request, kErrorStatusGenErr);
  }
  if (options.drop_above && bindings > *options.drop_above) return std::nullopt;
  if (options.max_oids && bindings > *options.max_oids) {
    return BuildErrorAnswer(request, kErrorStatusTooBig);
  }
  // A GetBulk answer fills the buffer and no more.
  if (options.max_oids && request.PDUType == PduGetBulkRequest &&
      static_cast<std::size_t>(answer.BindingCount()) > *options.max_oids) {
    TSNMPRec cut = ResponseHeaderFor(request);
    for (const TSNMPMib& binding : answer.Bindings().first(*options.max_oids)) {
      cut.AddBinding(binding.OidText, binding.ValueText, binding.ValueTag);
    }
    answer = std::move(cut);
  }
  if (options.error_index_for) {
    auto blamed =
        BuildErrorIndexAnswer(request, *options.error_index_for, options.error_index_status);
    if (blamed) answer = std::move(*blamed);
  }
  if (options.error_status != 0) answer = BuildErrorAnswer(request, options.error_status);
  if (options.max_size) {
    TSNMPRec copy = answer;
    if (copy.EncodeMessage().size() > *options.max_size) {
      return BuildErrorAnswer(request, kErrorStatusTooBig);
    }
  }
  return answer;
}

std::string DescribeAnswer(const TSNMPRec& request, const TSNMPRec& answer,
                           const std::string& sender, std::string_view v3_security) {
  std::string line = "answered " + sender;
  if (!v3_security.empty()) {
    line += ' ';
    line += v3_security;
  } else {
    line += request.Version == kSnmpVersion1 ? " v1" : " v2c";
    line += " id=" + std::to_string(request.ID);
    line += " community=\"" + PrintableText(request.Community) + "\"";
  }
  line += " oids=";
  bool first = true;
  for (const TSNMPMib& binding : request.Bindings()) {
    if (!first) line += ",";
    line += PrintableText(binding.OidText);
    first = false;
  }
  line += " answer-id=" + std::to_string(answer.ID);
  line += " error-status=" + std::to_string(answer.ErrorStatus);
  line += " error-index=" + std::to_string(answer.ErrorIndex);
  return line;
}

}  // namespace zelsnmp::agentsim
