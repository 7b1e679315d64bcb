#include "tools/check/option_report.h"

#include <algorithm>

#include "net/ip_literal.h"
#include "tools/check/display_text.h"

namespace zelsnmp::check {

namespace {

// True when `name` is an IPv6 address, alone or followed by ":community".
bool LooksLikeIPv6(const std::string& name) {
  if (std::count(name.begin(), name.end(), ':') < 2) return false;
  return IsIPv6Literal(name) || IsIPv6Literal(name.substr(0, name.rfind(':')));
}

}  // namespace

std::string DescribeOptionMistake(const OptionMistake& mistake) {
  const std::string key = Displayable(mistake.key);
  const std::string range = std::to_string(mistake.low) + " to " + std::to_string(mistake.high);
  std::string why;
  switch (mistake.problem) {
    case OptionProblem::kUnknownKey:
      why = "no such option";
      break;
    case OptionProblem::kRepeated:
      why = "given again (first at line " + std::to_string(mistake.first_line) + ")";
      break;
    case OptionProblem::kEmpty:
      why = "no value";
      break;
    case OptionProblem::kNotANumber:
      why = "not a number, " + range;
      break;
    case OptionProblem::kOutOfRange:
      why = "out of range, " + range;
      break;
    case OptionProblem::kNotAHost:
      why = "no host name, IPv4 or IPv6 address";
      break;
    case OptionProblem::kPointLineInDefaults:
      return "a point line \"" + key + "\" in [*], where only options belong";
    case OptionProblem::kNotAVersion:
      why = "no version, 2c or 3";
      break;
    case OptionProblem::kBadLength:
      why = "not " + range + " bytes long";
      break;
    case OptionProblem::kUnknownAuthProtocol:
      why =
          "PROTOCOL:passphrase needed, the protocol one of MD5, SHA, SHA-224, SHA-256, "
          "SHA-384, SHA-512";
      break;
    case OptionProblem::kUnknownPrivProtocol:
      why =
          "PROTOCOL:passphrase needed, the protocol one of DES, 3DES, AES, AES-192, AES-256, "
          "AES-192-C, AES-256-C";
      break;
    case OptionProblem::kShortPassphrase:
      why = "a passphrase shorter than " + std::to_string(mistake.low) + " bytes";
      break;
    case OptionProblem::kNotAnEngineId:
      why = "no engine ID in hex of " + range + " bytes";
      break;
    case OptionProblem::kNeedsUser:
      why = "version 3 needs @user";
      break;
    case OptionProblem::kPrivWithoutAuth:
      why = "privacy needs @auth";
      break;
    case OptionProblem::kOnlyForVersion2c:
      why = "a v2c option, but the version is 3";
      break;
    case OptionProblem::kOnlyForVersion3:
      why = "an SNMPv3 option, but the version is 2c (write @version = 3)";
      break;
  }
  const bool defaults = mistake.section == kDefaultsSectionName;
  return "option " + key + " of [" + Displayable(mistake.section) + "]: " + why +
         (defaults ? "; the agents that take it from [*] are not polled"
                   : "; the agent is not polled");
}

void AddOptionFindings(const PollConfig& config, const std::vector<int>& header_lines,
                       std::vector<Finding>& findings) {
  for (const OptionMistake& mistake : config.option_mistakes) {
    findings.push_back({mistake.line, Severity::kError, DescribeOptionMistake(mistake)});
  }
  for (std::size_t a = 0; a < config.agents.size(); ++a) {
    const AgentEntry& agent = config.agents[a];
    if (agent.options.host || !LooksLikeIPv6(agent.section_name)) continue;
    findings.push_back(
        {a < header_lines.size() ? header_lines[a] : 0, Severity::kWarning,
         "the section name holds an IPv6 address, which the task cuts at the first \":\" "
         "(host \"" +
             Displayable(agent.Host()) + "\"): give the address with @host"});
  }
}

void PrintAgentOptions(std::ostream& out, const AgentEntry& agent) {
  for (const OptionLine& option : agent.options.lines) {
    out << "  option " << Displayable(option.key) << " = "
        << Displayable(ShowOptionValue(option.key, option.value)) << "  ("
        << (option.from_defaults ? "from [*], " : "") << "line " << option.line << ")\n";
  }
  if (agent.options.mistaken) {
    out << "  not polled: its options hold a mistake; its #TC and #TT points are flagged\n";
  }
}

}  // namespace zelsnmp::check
