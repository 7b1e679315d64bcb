// The task's poll configuration: one entry per SNMP agent, each with the point lines of its
// section, read from the INI file that start-up fetched from the configuration server.
//
// LoadPollConfig reads the file once, in full, and then deletes it, whatever it held; the poll
// cycle works only from the in-memory copy. Loading never fails: an empty path, a missing or
// unreadable file or a file without sections all give an empty list.
//
// A section name is "host" or "host:community"; a section line is "point address = SOURCE
// [MODIFIER ...]" (poller/point_source.h, read here once), or
// an agent option ("@key = value", poller/agent_options.h), which is parsed at load into the
// agent's options and is no point line. The section "*" holds options for every agent and is
// no agent itself. Texts are Windows-1251 byte strings, kept as they are.

#ifndef ZELSNMP_POLLER_POLL_CONFIG_H_
#define ZELSNMP_POLLER_POLL_CONFIG_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "poller/agent_options.h"
#include "poller/point_source.h"
// kDefaultCommunity: the community of an agent whose section name gives none.
#include "snmp/snmp_message.h"

namespace zelsnmp {

// One line of an agent's section, kept as one text: name "=" value, the name being the point
// address and the value the OID text.
struct PointLine {
  std::string text;
  // What the value asks for, read at load (poller/point_source.h); null for a bare OID line,
  // so that such a line costs what it always did.
  std::shared_ptr<const PointSource> parsed = {};

  const PointSource& Source() const { return parsed ? *parsed : BareSource(); }

  // The text before the first "=" (the whole text when it has none).
  std::string Name() const;
  // The text after the first "=" (empty when it has none).
  std::string Value() const;
  // The OID the line asks of the device: the whole value of a bare line, else the source word.
  std::string Oid() const {
    return parsed ? std::string(parsed->Word(Value())) : Value();
  }
};

// One agent: its section name and its point lines in file order. A section without lines is
// an entry with an empty list.
struct AgentEntry {
  std::string section_name;
  std::vector<PointLine> lines;
  // Its "@" lines and those of "*", parsed.
  AgentOptions options = AgentOptions();

  // @host when given, else word 1 of the section name with ":" as delimiter (empty when the
  // name begins with ":").
  std::string Host() const;
  // @community when given, else word 2 of the section name with ":" as delimiter, or
  // kDefaultCommunity when that is empty.
  std::string Community() const;
};

// The agents in the order in which the file lists their sections, and the mistakes of their
// options and of "*" in line order.
struct PollConfig {
  std::vector<AgentEntry> agents;
  std::vector<OptionMistake> option_mistakes = {};
  // The point lines that hold a mistake (not polled), in file order.
  std::vector<PointMistake> point_mistakes = {};
};

// Reads the configuration file at `path` and deletes the file in every case (a failed deletion
// is ignored). Never fails; see the file comment.
PollConfig LoadPollConfig(const std::string& path);

// The n-th word of `text` (n counted from 1), words being separated by any one byte of
// `delimiters`. Every delimiter counts, so adjacent delimiters enclose an empty word and a
// leading delimiter makes word 1 empty; blanks are ordinary bytes. n < 1 gives the empty text.
std::string WordAt(int n, std::string_view text, std::string_view delimiters);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_POLL_CONFIG_H_
