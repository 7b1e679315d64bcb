// What the configuration check says about agent options: each agent's options as the task
// takes them (secret values masked), every option mistake as an error with its line, and a
// warning for a section name that holds an IPv6 address, which the task cannot take from there.

#ifndef ZELSNMP_TOOLS_CHECK_OPTION_REPORT_H_
#define ZELSNMP_TOOLS_CHECK_OPTION_REPORT_H_

#include <ostream>
#include <string>
#include <vector>

#include "poller/poll_config.h"
#include "tools/check/config_check.h"

namespace zelsnmp::check {

// The mistake for people, without the value: "option @port of [sw]: out of range, 1 to 65535;
// the agent is not polled".
std::string DescribeOptionMistake(const OptionMistake& mistake);

// An error per option mistake of `config`, and a warning per agent whose section name looks
// like an IPv6 address while it has no @host; `header_lines` gives each agent's header line
// (0 when unknown), in the order of config.agents.
void AddOptionFindings(const PollConfig& config, const std::vector<int>& header_lines,
                       std::vector<Finding>& findings);

// "  option @port = 1161  (line 3)", one line per option in effect, masked where secret, with
// "from [*]" for those the agent takes from "*"; a note when the agent is not polled.
void PrintAgentOptions(std::ostream& out, const AgentEntry& agent);

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_OPTION_REPORT_H_
