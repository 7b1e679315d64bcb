// RequestPlan: how one poll pass cuts each agent's lines into requests that fit its device, and
// what it learns from the answers for later passes.
//
// An agent's lines go in consecutive requests of at most as many bindings as @max-oids allows
// and as the device was found to take (the kept size), each line once; without either, in one
// request, as the pass has always sent them. The pass reacts to each answer in order:
//   - tooBig to a request of several bindings: the request is split into two halves by the
//     number of bindings, each sent again in the same pass; the largest request the agent then
//     answers without tooBig becomes its kept size for later passes (it only ever shrinks);
//   - tooBig to a single binding, or an error status whose index names one binding: that line
//     is a value the device did not report; it is left out, and the rest of the request goes
//     again without it in the same pass. Later passes leave it out too and ask for it again
//     every kRetryLeftOutPasses-th pass; an answer with its value takes it back;
//   - any other error status: the request's lines are flagged, as for no answer.
// A line left out is still written in its place among the lines of its request, as a value
// the device did not report. Every request of an agent counts against a budget of
// 2 x lines + retries per pass, so that no answer, however strange, makes the pass loop: the
// halving and leaving out of one line each need less than that.
//
// The plan holds no exchange and writes nothing: the poll pass (serial or windowed) sends the
// requests and applies the answers in the same order, so that both write the same lines.

#ifndef ZELSNMP_POLLER_REQUEST_PLAN_H_
#define ZELSNMP_POLLER_REQUEST_PLAN_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "poller/poll_config.h"
#include "poller/row_book.h"
#include "snmp/snmp_message.h"

namespace zelsnmp {

// A line left out of requests is asked for again on every this many-th pass.
inline constexpr std::uint32_t kRetryLeftOutPasses = 60;

// What the poller has learned about one agent's device, kept from pass to pass.
struct AgentFit {
  // Whose it is: state learned for another configuration is dropped.
  std::string section_name;
  std::size_t line_count = 0;
  // Bindings per request that the device took after a tooBig; 0 while none is known.
  std::int32_t kept_size = 0;
  // Per line: 1 + the pass at which it was left out, 0 while it is asked for; empty while no
  // line is left out.
  std::vector<std::uint32_t> left_out_since;

  bool Learned() const { return kept_size != 0 || !left_out_since.empty(); }
};

// One request: the lines [first, end) of an agent, those not asked in this pass excepted.
struct RequestPart {
  std::size_t agent = 0;
  std::size_t first = 0;
  std::size_t end = 0;
};

class RequestPlan {
 public:
  // `fits` is the poller's, one per agent (resized and checked here); `pass` counts the
  // poller's passes; `default_retries` is the client's own setting.
  RequestPlan(const PollConfig& config, std::vector<AgentFit>& fits, std::uint32_t pass,
              std::int32_t default_retries);

  // The rows found by their name that the pass asks for; without it no row line is asked.
  void UseRows(const RowBook* rows) { rows_ = rows; }

  const PollConfig& Config() const { return config_; }
  const AgentEntry& Agent(std::size_t agent) const { return config_.agents[agent]; }

  // The agent's requests in order into `parts` (cleared first); none for an agent with
  // mistaken options (not polled).
  void Plan(std::size_t agent, std::vector<RequestPart>& parts);

  // The number of bindings `part` asks for.
  std::size_t AskedCount(const RequestPart& part) const;
  bool Asked(std::size_t agent, std::size_t line) const;
  // True when `part` needs no request: its agent has lines but none of them is asked (and it
  // is not the one request of an agent with device points only).
  bool AsksNothing(const RequestPart& part) const;

  // Fills `query` (reset first) with the agent's community, version 2c, a GetRequest and a NULL
  // binding per asked line of `part`.
  void FillQuery(TSNMPRec& query, const RequestPart& part) const;

  // The reaction to an answer with an error status; the follow-up requests, in order, or none
  // when the request's lines are to be flagged.
  struct Refusal {
    bool flag_lines = true;
    std::vector<RequestPart> follow_ups;
  };
  Refusal React(const RequestPart& part, std::int32_t error_status, std::int32_t error_index);

  // Notes an answer with values: the size worked, and the lines it asked for are asked for
  // again in later passes.
  void Answered(const RequestPart& part);

  // Called when the agent's last request of the pass is applied: the new kept size when it
  // changed (for the message log), else nothing.
  std::optional<std::int32_t> Finish(std::size_t agent);

 private:
  struct AgentPass {
    std::vector<bool> skipped;  // lines not asked in this pass; empty when all are
    // Some line asks the device nothing (a device point, a mistake): Asked looks at each.
    bool some_not_on_wire = false;
    // Only device points would be asked: one request goes for sysUpTime.0 alone.
    bool ping = false;
    std::int64_t requests_left = 0;
    std::size_t largest_worked = 0;
    bool too_big = false;
  };

  // Takes `count` requests from the agent's budget; false when it has not that many.
  bool TakeRequests(std::size_t agent, std::size_t count);
  void LeaveOut(std::size_t agent, std::size_t line);
  // The part's `index`-th asked line (0-based).
  std::size_t AskedLine(const RequestPart& part, std::size_t index) const;

  // A line that asks the device: a fixed OID, or a row that is found.
  bool OnWire(std::size_t agent, std::size_t line) const;

  const PollConfig& config_;
  const RowBook* rows_ = nullptr;
  std::vector<AgentFit>& fits_;
  std::uint32_t pass_;
  std::int32_t default_retries_;
  std::vector<AgentPass> agents_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_REQUEST_PLAN_H_
