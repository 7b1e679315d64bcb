// The poll pass with several agents' requests in flight at once: AgentPoller::RunPass when more
// than one request in flight is allowed. The serial pass is left as it is.
//
// Requests go out in configuration order through the one client's socket, at most the allowed
// number unanswered, each with its own request ID and deadline (snmp/request_window.h). The
// outcome of every agent is kept until all agents before it are done and is then applied by
// ApplyReply on the client's Reply, exactly as the serial pass applies it: the journal and the
// trace of a pass are the same lines in the same order as the serial pass writes for the same
// answers, and a pass lasts about as long as its slowest agent instead of the sum of them all.
//
// An exception from the exchange (exhausted resources) ends the pass as SendQuery's does in the
// serial pass: the requests already sent are still waited for and applied in order, then
// "SendQuery " + its message goes to the error log, the client is replaced and the agents not
// yet sent get nothing.

#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/nodehub.h"
#include "poller/agent_poller.h"
#include "poller/agent_query.h"
#include "poller/poll_messages.h"
#include "snmp/request_window.h"

namespace zelsnmp {

void AgentPoller::RunWindowedPass(const PollConfig& config) {
  const std::vector<AgentEntry>& agents = config.agents;
  std::vector<std::optional<SettledRequest>> outcomes(agents.size());
  std::size_t next_to_send = 0;
  std::size_t next_to_apply = 0;
  auto apply_settled_in_order = [&] {
    for (; next_to_apply < agents.size() && outcomes[next_to_apply]; ++next_to_apply) {
      SettledRequest outcome = std::move(*outcomes[next_to_apply]);
      outcomes[next_to_apply].reset();
      client_->Reply() = std::move(outcome.reply);
      ApplyReply(agents[next_to_apply], outcome.answered);
    }
  };
  RequestWindow window(*client_, static_cast<std::size_t>(requests_in_flight_));
  auto store = [&outcomes](std::vector<SettledRequest> settled) {
    for (SettledRequest& outcome : settled) {
      const std::size_t index = outcome.tag;
      outcomes[index] = std::move(outcome);
    }
  };
  // Runs one step of the exchange; false when it raised and the pass is over.
  auto exchange = [&](auto&& step) {
    try {
      step();
      return true;
    } catch (const std::exception& error) {
      // The agents already sent are still waited for, as the serial pass would have
      // polled them before this one; a second failure gives them up.
      try {
        while (window.in_flight() > 0) store(window.Settle());
      } catch (const std::exception&) {
      }
      apply_settled_in_order();
      const std::string line = PollMessages().send_query_failed + error.what();
      e_printf("%s", line.c_str(), 0, 0, 0, 0);
      ReplaceClient();
      return false;
    }
  };

  for (;;) {
    apply_settled_in_order();
    if (next_to_apply == agents.size()) return;
    if (next_to_send < agents.size() && !window.full()) {
      const std::size_t index = next_to_send++;
      FillAgentQuery(*client_, agents[index]);
      const bool went = exchange([&] {
        if (!window.Send(client_->Query(), client_->TargetHost, index)) {
          outcomes[index].emplace();  // a failed send: no answer
        }
      });
      if (!went) return;
    } else {
      const bool went = exchange([&] { store(window.Settle()); });
      if (!went) return;
    }
  }
}

}  // namespace zelsnmp
