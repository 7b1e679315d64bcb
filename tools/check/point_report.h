// What the configuration check says about what each point shows (poller/point_source.h): the
// source and modifiers as read, every mistake of a point line as an error with its line, and,
// when probing, what the device points and the lines with modifiers would write.

#ifndef ZELSNMP_TOOLS_CHECK_POINT_REPORT_H_
#define ZELSNMP_TOOLS_CHECK_POINT_REPORT_H_

#include <string>
#include <vector>

#include "poller/poll_config.h"
#include "tools/check/config_check.h"
#include "tools/check/probe.h"

namespace zelsnmp::check {

// The mistake for people: "#TT1:1:4: an unknown modifier "raet"; the line is not polled".
std::string DescribePointMistake(const PointMistake& mistake);

// An error per point mistake of `config`.
void AddPointFindings(const PollConfig& config, std::vector<Finding>& findings);

// The modifiers after the source, for the OID column: "  rate scale=0.008"; empty for none.
std::string ModifiersCell(const PointLine& line);

// Rewrites the probed writes of `agent`'s device points (@status, @rtt as the pass would write
// them after this probe) and of its lines with modifiers (a rate: only a base in one probe).
void ApplyProbedSources(const AgentEntry& agent, ProbeResult& probe);

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_POINT_REPORT_H_
