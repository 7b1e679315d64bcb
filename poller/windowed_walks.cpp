// The walks of key columns in a windowed pass (poller/row_book.h): every agent's due walks at
// once, their requests going through the pass's window like any other request (each with its
// own request ID, target and deadline), before the window takes the agents' other requests.
//
// Each agent walks as in the serial pass, one key column after another and one request after
// another: its next request goes out when the answer to its previous one is taken, so at most
// one request per agent is in flight while up to the window's number of agents walk together.
// A dead device's walk then costs the pass one time-out (x tries) however many devices are
// dead, not one each. An agent that left its last request unanswered is not walked (it is
// walked once it answers again), unless it has nothing else to be asked: its walk then holds
// no place in the window. A walk request without an answer marks its agent likely silent, so
// that its other requests of the pass hold no place in the window either.
//
// What the walks found, the requests they made (the device points' status and response time,
// a v3 refusal) and their trace lines are applied when every walk has ended, agent after agent
// in configuration order and each agent's walks in their order, so that the logs do not depend
// on which device answered first. An exception from the exchange ends the pass as in the
// serial pass: the walks that ended are applied, "SendQuery " + its message goes to the error
// log and the client is replaced.

#include <chrono>
#include <cstddef>
#include <deque>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/nodehub.h"
#include "poller/agent_poller.h"
#include "poller/poll_messages.h"

namespace zelsnmp {

namespace {

// One request of a walk, as it ended.
struct WalkRequest {
  bool answered = false;
  double elapsed_ms = 0;
  bool v3 = false;
  UsmStatus status = UsmStatus();
};

// A walk that ended, with its requests.
struct EndedWalk {
  KeyColumnGroup group;
  ColumnWalk walk;
  std::vector<WalkRequest> requests;
};

// One agent's walks of this pass.
struct AgentWalks {
  std::size_t agent = 0;
  RequestTarget target;
  std::vector<std::size_t> due;  // row lines whose key column is not walked yet
  KeyColumnGroup group;          // of the walk under way
  std::optional<ColumnWalk> walk;
  std::vector<WalkRequest> requests;  // of the walk under way
  std::vector<EndedWalk> ended;
  std::chrono::steady_clock::time_point sent_at = {};
};

}  // namespace

bool AgentPoller::RunWindowedWalks(const RequestPlan& plan, RequestWindow& window) {
  const std::size_t agent_count = plan.Config().agents.size();
  likely_silent_.resize(agent_count, 0);
  std::vector<AgentWalks> walks;
  for (std::size_t agent = 0; agent < agent_count; ++agent) {
    const bool silent = likely_silent_[agent] != 0;
    if (silent && AsksBesideWalks(plan.Agent(agent), agent)) continue;
    std::vector<std::size_t> due = DueRowLines(plan, agent);
    if (due.empty()) continue;
    AgentWalks& walking = walks.emplace_back();
    walking.agent = agent;
    walking.target = TargetOf(plan, agent);
    walking.target.likely_silent = silent;
    walking.due = std::move(due);
  }
  if (walks.empty()) return true;

  // The agents whose next request is to go, by their place in `walks` (the tag of its request).
  std::deque<std::size_t> ready;
  for (std::size_t i = 0; i < walks.size(); ++i) ready.push_back(i);

  auto apply_ended = [&] {
    for (AgentWalks& walking : walks) {
      for (const EndedWalk& ended : walking.ended) {
        for (const WalkRequest& request : ended.requests) {
          NoteWalkRequest(plan, walking.agent, request.answered, request.elapsed_ms,
                          request.v3 ? &request.status : nullptr);
        }
        EndWalk(plan, walking.agent, ended.group, ended.walk);
      }
    }
  };
  // Gives the agent's walk its answer (null when none came).
  auto take = [&](AgentWalks& walking, const TSNMPRec* reply) {
    WalkRequest request;
    request.answered = reply != nullptr;
    request.elapsed_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                  walking.sent_at)
            .count();
    if (const UsmSession* session = security_.SessionOf(walking.agent); session != nullptr) {
      request.v3 = true;
      request.status = session->status();
    }
    walking.requests.push_back(request);
    likely_silent_[walking.agent] = reply != nullptr ? 0 : 1;
    walking.target.likely_silent = reply == nullptr;
    walking.walk->Take(reply);
  };

  try {
    for (;;) {
      // A likely silent agent's walk needs no place: it goes out even when the window is full.
      if (!ready.empty() && (!window.full() || window.in_flight() == 0 ||
                             walks[ready.front()].target.likely_silent)) {
        const std::size_t tag = ready.front();
        ready.pop_front();
        AgentWalks& walking = walks[tag];
        const AgentEntry& entry = plan.Agent(walking.agent);
        if (walking.walk && !walking.walk->Next(client_->Query(), entry.Community())) {
          // It ended: the device's refusal of GetBulk holds for its next walk already.
          if (walking.walk->BulkRefused()) rows_.Agent(walking.agent).no_bulk = true;
          walking.ended.push_back(EndedWalk{std::move(walking.group), std::move(*walking.walk),
                                            std::move(walking.requests)});
          walking.walk.reset();
          walking.requests.clear();
        }
        if (!walking.walk) {
          if (walking.due.empty()) continue;
          // One walk per key column, for every due row of it.
          walking.group = TakeKeyColumnGroup(entry, walking.due);
          walking.walk.emplace(StartWalk(plan, walking.agent, walking.group));
          if (!walking.walk->Next(client_->Query(), entry.Community())) {
            ready.push_front(tag);  // ends at once
            continue;
          }
        }
        walking.sent_at = std::chrono::steady_clock::now();
        if (!window.Send(client_->Query(), walking.target, tag)) {
          take(walking, nullptr);  // not sent: no answer
          ready.push_back(tag);
        }
        continue;
      }
      if (window.in_flight() == 0) break;
      for (SettledRequest& settled : window.Settle()) {
        AgentWalks& walking = walks[settled.tag];
        take(walking, settled.answered ? &settled.reply : nullptr);
        ready.push_back(settled.tag);
      }
    }
  } catch (const std::exception& error) {
    apply_ended();
    e_printf("%s", (PollMessages().send_query_failed + error.what()).c_str(), 0, 0, 0, 0);
    ReplaceClient();
    return false;
  }
  apply_ended();
  return true;
}

}  // namespace zelsnmp
