// The configuration check's report as a person reads it in a terminal: per agent its host and
// community and a table of its lines, followed by the probe's answers when there are some;
// then the findings in line order and a summary line.

#ifndef ZELSNMP_TOOLS_CHECK_REPORT_PRINTER_H_
#define ZELSNMP_TOOLS_CHECK_REPORT_PRINTER_H_

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "tools/check/config_check.h"
#include "tools/check/probe.h"

namespace zelsnmp::check {

// `probes` is empty, or holds one result per agent of `report`. The tables are made to fit
// `width` columns (long OIDs and values cut, the last column wrapped); 0 prints them whole.
// `inform_engine`: the task's own engine ID in hex, for the senders of v3 informs; empty when
// not known (no TM server given).
void PrintReport(std::ostream& out, const std::string& path, const CheckReport& report,
                 const std::vector<ProbeResult>& probes, std::size_t width,
                 const std::string& inform_engine = std::string());

// The same report in three parts, for a probe that prints each agent as it is asked: the
// first line, one agent (with its probe, when there is one), then the findings and summary.
void PrintReportHead(std::ostream& out, const std::string& path);
void PrintReportAgent(std::ostream& out, const CheckedAgent& agent, const ProbeResult* probe,
                      std::size_t width);
void PrintReportTail(std::ostream& out, const CheckReport& report, std::size_t width,
                     const std::string& inform_engine = std::string());

// Adds what the probe found to the report's findings (an agent that did not answer, lines
// without a value the task can write), keeping line order.
void AddProbeFindings(CheckReport& report, const std::vector<ProbeResult>& probes);

// "2 agents, 5 points, 1 warning, 0 errors".
std::string SummaryLine(const CheckReport& report);

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_REPORT_PRINTER_H_
