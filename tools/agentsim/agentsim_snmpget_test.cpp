// The value texts of the task's decoder beside what net-snmp's snmpget prints (-On -Oe -Ot) for
// the same answer of agentsim, one binding of every type. Skipped where snmpget is missing.
//
// Intended differences, each a rule of the task's own: snmpget quotes strings and prints bytes
// that are not text in hexadecimal, the task gives the bytes as they are; snmpget prints an
// Opaque float or double with six decimals ("%f"), the task the shortest text that reads back
// to the same value of its width, which read so and printed with "%f" gives snmpget's text;
// snmpget names the exception values, the task gives empty text with their tag. Counter32, Gauge32
// and TimeTicks read alike, unsigned; only a status point takes the 32-bit pattern of a large one,
// later.

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "snmp/snmp_client.h"
#include "testing/agent_process.h"
#include "testing/peer_programs.h"
#include "testing/temp_directory.h"

namespace zelsnmp::agentsim {
namespace {

using testing_support::AgentProcess;
using testing_support::TempDirectory;

// How snmpget's text after the type name relates to the task's value text.
enum class Printed {
  kAsIs,      // the same text
  kQuoted,    // the text in double quotes
  kHexBytes,  // every byte as two hexadecimal digits and a blank
  kDotFirst,  // the text after a "."
  kFloat,     // the task's text read as a float, printed with "%f"
  kDouble,    // the task's text read as a double, printed with "%f"
  kNothing,   // nothing: the type name is all
};

struct TypeCase {
  const char* data;    // TAG|VALUE of the data file
  int tag;             // the tag the task reports
  const char* prefix;  // snmpget's text before the value
  Printed printed;
};

const TypeCase kTypeCases[] = {
    {"2|-42", TagInteger, "INTEGER: ", Printed::kAsIs},
    {"2|2147483647", TagInteger, "INTEGER: ", Printed::kAsIs},
    {"4|Access switch", TagOctetString, "STRING: ", Printed::kQuoted},
    {"4x|00ff41", TagOctetString, "Hex-STRING: ", Printed::kHexBytes},
    {"5|", TagNull, "NULL", Printed::kNothing},
    {"6|1.3.6.1.4.1.8072.3.2.10", TagObjectId, "OID: ", Printed::kDotFirst},
    {"64|10.0.255.1", TagIpAddress, "IpAddress: ", Printed::kAsIs},
    {"64x|c0a80001", TagIpAddress, "IpAddress: ", Printed::kAsIs},
    {"65|3000000000", TagCounter32, "Counter32: ", Printed::kAsIs},
    {"66|4294967295", TagGauge32, "Gauge32: ", Printed::kAsIs},
    {"67|8640000", TagTimeTicks, "", Printed::kAsIs},
    {"68|raw", TagOpaque, "OPAQUE: ", Printed::kHexBytes},
    {"68x|9f78043dcccccd", TagOpaque, "Opaque: Float: ", Printed::kFloat},           // 0.1
    {"68x|9f7804c2f6e979", TagOpaque, "Opaque: Float: ", Printed::kFloat},           // -123.456
    {"68x|9f780460ad78ec", TagOpaque, "Opaque: Float: ", Printed::kFloat},           // 1e20
    {"68x|9f780433d6bf95", TagOpaque, "Opaque: Float: ", Printed::kFloat},           // 1e-7
    {"68x|9f7804ff800000", TagOpaque, "Opaque: Float: ", Printed::kFloat},           // -inf
    {"68x|9f78047fc00000", TagOpaque, "Opaque: Float: ", Printed::kFloat},           // nan
    {"68x|9f7908c00921fb54442d18", TagOpaque, "Opaque: Float: ", Printed::kDouble},  // -pi
    {"68x|9f790843e0000000000000", TagOpaque, "Opaque: Float: ", Printed::kDouble},  // 2^63
    {"70|18446744073709551615", TagCounter64, "Counter64: ", Printed::kAsIs},
    {"128|", TagNoSuchObject, "No Such Object available on this agent at this OID",
     Printed::kNothing},
    {"129|", TagNoSuchInstance, "No Such Instance currently exists at this OID", Printed::kNothing},
    {"130|", TagEndOfMibView,
     "No more variables left in this MIB View (It is past the end of the MIB tree)",
     Printed::kNothing},
};

const std::string kBase = "1.3.6.1.4.1.32473.9.";

// What snmpget prints for the task's `text` under `printed`.
std::string AsSnmpgetPrints(const std::string& text, Printed printed) {
  switch (printed) {
    case Printed::kAsIs:
      return text;
    case Printed::kQuoted:
      return "\"" + text + "\"";
    case Printed::kHexBytes: {
      std::string hex;
      for (char c : text) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X ", static_cast<unsigned char>(c));
        hex += digits;
      }
      return hex;
    }
    case Printed::kDotFirst:
      return "." + text;
    case Printed::kFloat:
    case Printed::kDouble: {
      const double value = printed == Printed::kFloat ? std::strtof(text.c_str(), nullptr)
                                                      : std::strtod(text.c_str(), nullptr);
      char number[512];
      std::snprintf(number, sizeof number, "%f", value);
      return number;
    }
    case Printed::kNothing:
      return "";
  }
  return "";
}

TEST(AgentsimSnmpgetTest, EveryTypeReadsAsSnmpgetReadsIt) {
  const std::string missing = testing_support::PeersUnavailable({"snmpget"});
  if (!missing.empty()) GTEST_SKIP() << missing;
  std::string data;
  const int count = static_cast<int>(std::size(kTypeCases));
  for (int i = 0; i < count; ++i) {
    data += kBase + std::to_string(i + 1) + "|" + kTypeCases[i].data + "\n";
  }
  AgentProcess agent("127.0.0.1:0", data);
  ASSERT_TRUE(agent.listening()) << agent.Output();

  TSNMPSend client;
  client.Timeout = 2000;
  client.Query().Community = "public";
  client.Query().Version = kSnmpVersion2c;
  client.Query().PDUType = PduGetRequest;
  std::string command = "snmpget -v2c -c public -On -Oe -Ot -t 2 -r 1 127.0.0.1:" + agent.port();
  for (int i = 0; i < count; ++i) {
    client.Query().AddBinding(kBase + std::to_string(i + 1), "", TagNull);
    command += " " + kBase + std::to_string(i + 1);
  }
  client.TargetHost = "127.0.0.1";
  client.TargetPort = agent.port();
  ASSERT_TRUE(client.SendQuery()) << client.LastErrorText();
  TempDirectory directory;
  const testing_support::ToolRun get = testing_support::RunNetSnmpTool(directory.path(), command);
  const std::string& output = get.output;

  std::map<std::string, std::string> printed;  // OID -> the text after " = "
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t equals = line.find(" = ");
    if (line.size() > 1 && equals != std::string::npos) {
      printed[line.substr(1, equals - 1)] = line.substr(equals + 3);
    }
  }
  ASSERT_EQ(client.Reply().BindingCount(), count);
  for (int i = 0; i < count; ++i) {
    const TypeCase& c = kTypeCases[i];
    const TSNMPMib& binding = client.Reply().Bindings()[i];
    SCOPED_TRACE(c.data);
    ASSERT_EQ(binding.OidText, kBase + std::to_string(i + 1));
    EXPECT_EQ(binding.ValueTag, c.tag);
    ASSERT_TRUE(printed.count(binding.OidText)) << output << get.errors;
    EXPECT_EQ(printed[binding.OidText], c.prefix + AsSnmpgetPrints(binding.ValueText, c.printed))
        << "task: \"" << binding.ValueText << "\"";
  }
}

}  // namespace
}  // namespace zelsnmp::agentsim
