// The answers of the agent simulator: what an SNMP agent holding the given data sends back
// for a request, without any network or fault behaviour.
//
// GetRequests and GetNextRequests of versions 1 and 2c and GetBulkRequests of version 2c are
// answered; anything else is not. A v2c answer to a GetRequest carries every requested
// OID, with noSuchObject (tag 128, empty value) for an OID the data lacks. A v1 answer to a
// request naming an OID the data lacks, or one whose value v1 cannot carry (Counter64 and the
// exception values), is the request's bindings unchanged with error status noSuchName (2) and
// the 1-based index of the first such binding, as v1 agents answer. With `omit_missing` a v2c
// answer leaves an OID the data lacks out instead, as some faulty agents do.
//
// GetNext and GetBulk walk the data in OID order (snmp/oid_order.h): each binding is answered
// with the first OID of the data after it. Past the last one a v2c answer carries the
// request's OID with endOfMibView (tag 130), and a v1 answer is noSuchName at that binding. A
// GetBulk answers its non-repeaters (clamped to 0 .. bindings) once each and then its other
// bindings max-repetitions times over (clamped to 0 .. kMaxBulkBindings in all), each round
// going on from the last; it stops after a round in which every repeater is past the end.

#ifndef ZELSNMP_TOOLS_AGENTSIM_AGENT_RESPONDER_H_
#define ZELSNMP_TOOLS_AGENTSIM_AGENT_RESPONDER_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "snmp/snmp_message.h"
#include "tools/agentsim/agent_options.h"
#include "tools/agentsim/snmprec.h"

namespace zelsnmp::agentsim {

inline constexpr std::int32_t kErrorStatusTooBig = 1;
// The most bindings a GetBulk answer carries.
inline constexpr std::size_t kMaxBulkBindings = 2048;
inline constexpr std::int32_t kErrorStatusNoSuchName = 2;
inline constexpr std::int32_t kErrorStatusGenErr = 5;

// The answer to `request`, or nothing when the request is not one the agent answers (another
// PDU type or version, or a community other than `community` when that is given).
std::optional<TSNMPRec> BuildAnswer(const TSNMPRec& request, const SnmprecData& data,
                                    const std::optional<std::string>& community,
                                    bool omit_missing = false);

// The answer of an agent that refuses `request` as a whole, as with tooBig (1): the request's
// header with `error_status`, error index 0 and no bindings.
TSNMPRec BuildErrorAnswer(const TSNMPRec& request, std::int32_t error_status);

// The answer of an agent that blames one binding: the request's bindings unchanged with
// `error_status` and the 1-based index of the first binding naming `oid`; nothing when the
// request does not name it.
std::optional<TSNMPRec> BuildErrorIndexAnswer(const TSNMPRec& request, const std::string& oid,
                                              std::int32_t error_status);

// `answer` to `request` after the faults of `options` that depend on the request's bindings
// and the answer's size, in this order: genErr to a GetBulk with --no-getbulk; nothing above --drop-above bindings; tooBig above
// --max-oids bindings, and a GetBulk answer cut to --max-oids bindings; the --error-index-for answer; the --error-status answer; tooBig when
// the encoded answer would exceed --max-size bytes.
std::optional<TSNMPRec> ApplyAnswerFaults(const TSNMPRec& request, TSNMPRec answer,
                                          const AgentOptions& options);

// One log line (without line end) for an answered request from `sender`. For a version-3
// request `v3_security` (DescribeV3Security) stands in for the version, ID and community.
std::string DescribeAnswer(const TSNMPRec& request, const TSNMPRec& answer,
                           const std::string& sender, std::string_view v3_security = {});

// Texts that come off the network (communities, user names, OIDs) as one readable line:
// control bytes, bytes above 0x7E, quotes and backslashes as \xNN.
std::string PrintableText(const std::string& text);

}  // namespace zelsnmp::agentsim

#endif  // ZELSNMP_TOOLS_AGENTSIM_AGENT_RESPONDER_H_
