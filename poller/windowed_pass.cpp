// The poll pass with several requests in flight at once: AgentPoller::RunPass when more than
// one request in flight is allowed. The serial pass is left as it is.
//
// Requests go out in the order the serial pass sends them (agents in configuration order, each
// agent's requests in order) through the one client's socket, at most the allowed number
// unanswered, each with its own request ID, target and deadline (snmp/request_window.h). The
// outcome of every request is kept until all requests before it are applied and is then
// applied by ApplyOutcome, exactly as the serial pass applies it; the requests that replace a
// refused one (halves, the rest without a line left out) are placed where it stood and sent
// before any later one. So the journal and the trace of a pass are the same lines in the same
// order as the serial pass writes for the same answers, and a pass lasts about as long as its
// slowest agent instead of the sum of them all.
//
// An agent whose last request went unanswered is asked in its turn as any other, but as likely
// silent: its request holds no place in the window while it waits. However many agents are
// dead, the pass then lasts at most their time-out (x tries) beyond the live agents' work;
// only the pass in which they died waits for them in the window. An answer clears the mark.
//
// The walks of key columns due in the pass go first, through the same window, every agent's
// at once (windowed_walks.cpp); the agents' requests are planned once every walk has ended, so
// that they ask the rows found. The walks' trace lines come before the first request's, in
// agent order, and write no point: the journal is the serial pass's for the same answers.
//
// At the end of the pass the window's bound from the granted receive queue goes to the message
// log when it narrowed the window below what was asked (again only when it narrows further),
// and datagrams the platform dropped since the last pass go to the error log.
//
// An exception from the exchange (exhausted resources) ends the pass as SendQuery's does in the
// serial pass: the requests already sent are still waited for and applied in order, then
// "SendQuery " + its message goes to the error log, the client is replaced and the requests not
// yet sent get nothing.

#include <chrono>
#include <deque>
#include <exception>
#include <list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/nodehub.h"
#include "net/socket_api.h"
#include "poller/agent_poller.h"
#include "poller/poll_messages.h"
#include "snmp/request_window.h"

namespace zelsnmp {

namespace {

// One request of the pass, or an agent's turn that needs none.
struct Slot {
  RequestPart part;
  bool not_polled = false;  // the agent's options hold a mistake
  bool settled = false;
  bool asked = false;  // a request went out for it
  bool answered = false;
  TSNMPRec reply = TSNMPRec();
  UsmSession* security = nullptr;           // of a v3 request
  UsmStatus security_status = UsmStatus();  // the session's, when the request settled
  std::chrono::steady_clock::time_point sent_at = {};
  std::chrono::steady_clock::time_point settled_at = {};
};

}  // namespace

void AgentPoller::RunWindowedPass(RequestPlan& plan) {
  const std::size_t agent_count = fits_.size();
  // In the order the outcomes are applied; the front is applied next.
  std::list<Slot> slots;
  // The slots not sent yet, in the order of `slots`.
  std::deque<std::list<Slot>::iterator> unsent;
  // The slot of each request sent, by its tag.
  std::vector<std::list<Slot>::iterator> sent;
  // Per agent: its slots not applied yet.
  std::vector<std::size_t> open(agent_count, 0);
  std::size_t next_agent = 0;

  auto settle_unless_sent = [&](std::list<Slot>::iterator slot) {
    if (slot->not_polled || plan.AsksNothing(slot->part)) {
      slot->settled = true;
      return true;
    }
    return false;
  };
  auto add_agent = [&] {
    const std::size_t agent = next_agent++;
    plan.Plan(agent, parts_);
    const std::vector<RequestPart>& parts = parts_;
    if (plan.Agent(agent).options.mistaken) {
      slots.push_back(Slot{RequestPart{agent, 0, 0}, true});
      settle_unless_sent(std::prev(slots.end()));
      ++open[agent];
      return;
    }
    for (const RequestPart& part : parts) {
      slots.push_back(Slot{part});
      ++open[agent];
      if (!settle_unless_sent(std::prev(slots.end()))) unsent.push_back(std::prev(slots.end()));
    }
  };
  auto apply_settled_in_order = [&] {
    while (!slots.empty() && slots.front().settled) {
      Slot& slot = slots.front();
      const std::size_t agent = slot.part.agent;
      std::vector<RequestPart> follow_ups;
      if (slot.not_polled) {
        ApplyNotPolled(plan.Agent(agent));
        device_passes_[agent].Note(kDeviceNotPolled);
      } else {
        const Outcome outcome =
            !slot.asked ? Outcome::kNotAsked
                        : AskedOutcome(slot.answered, slot.security, slot.security_status);
        if (slot.security != nullptr && slot.asked) {
          security_.NoteOutcome(plan.Config(), agent, slot.security_status);
        }
        // A request too long for the engine was not sent: its parts go instead.
        if (slot.asked && outcome != Outcome::kTooLarge) {
          NoteRequest(agent, slot.answered,
                      std::chrono::duration<double, std::milli>(slot.settled_at - slot.sent_at)
                          .count(),
                      slot.security != nullptr ? &slot.security_status : nullptr);
        }
        follow_ups = ApplyOutcome(plan, slot.part, outcome, slot.reply);
      }
      // The follow-ups take the slot's place and go out before anything sent later.
      const auto after = std::next(slots.begin());
      std::vector<std::list<Slot>::iterator> added;
      for (const RequestPart& part : follow_ups) {
        const auto inserted = slots.insert(after, Slot{part});
        ++open[agent];
        if (!settle_unless_sent(inserted)) added.push_back(inserted);
      }
      unsent.insert(unsent.begin(), added.begin(), added.end());
      slots.pop_front();
      if (--open[agent] == 0) {
        if (!plan.Agent(agent).options.mistaken) FinishAgent(plan, agent);
        WriteDevicePoints(plan.Config(), agent);
      }
    }
  };
  RequestWindow window(*client_, static_cast<std::size_t>(requests_in_flight_));
  window.set_largest_answer(largest_answer_);
  likely_silent_.resize(agent_count, 0);
  if (!RunWindowedWalks(plan, window)) return;
  auto store = [&](std::vector<SettledRequest> settled) {
    for (SettledRequest& outcome : settled) {
      Slot& slot = *sent[outcome.tag];
      slot.settled = true;
      slot.settled_at = std::chrono::steady_clock::now();
      slot.answered = outcome.answered;
      likely_silent_[slot.part.agent] = outcome.answered ? 0 : 1;
      slot.reply = std::move(outcome.reply);
      if (slot.security != nullptr) slot.security_status = slot.security->status();
    }
  };
  // Runs one step of the exchange; false when it raised and the pass is over.
  auto exchange = [&](auto&& step) {
    try {
      step();
      return true;
    } catch (const std::exception& error) {
      // The requests already sent are still waited for, as the serial pass would have
      // made them before this one; a second failure gives them up.
      try {
        while (window.in_flight() > 0) store(window.Settle());
      } catch (const std::exception&) {
      }
      // Up to the first request that did not go out; what would replace a refused one is
      // not sent any more.
      unsent.clear();
      apply_settled_in_order();
      const std::string line = PollMessages().send_query_failed + error.what();
      e_printf("%s", line.c_str(), 0, 0, 0, 0);
      ReplaceClient();
      return false;
    }
  };

  for (;;) {
    apply_settled_in_order();
    if (slots.empty() && next_agent == agent_count) return NoteReceiveQueue(window);
    if (unsent.empty() && next_agent < agent_count) {
      add_agent();
      continue;
    }
    // A likely silent request needs no place: it goes out even when the window is full.
    if (!unsent.empty() && (!window.full() || likely_silent_[unsent.front()->part.agent] != 0)) {
      const std::list<Slot>::iterator slot = unsent.front();
      unsent.pop_front();
      plan.FillQuery(client_->Query(), slot->part);
      RequestTarget target = TargetOf(plan, slot->part.agent);
      target.likely_silent = likely_silent_[slot->part.agent] != 0;
      slot->asked = true;
      slot->security = security_.SessionOf(slot->part.agent);
      const std::size_t tag = sent.size();
      sent.push_back(slot);
      slot->sent_at = std::chrono::steady_clock::now();
      const bool went = exchange([&] {
        if (!window.Send(client_->Query(), target, tag)) {
          slot->settled = true;  // no answer
          slot->settled_at = slot->sent_at;
          if (slot->security != nullptr) slot->security_status = slot->security->status();
        }
      });
      if (!went) return;
    } else {
      // Nothing in flight and nothing to send while the front waits cannot happen; it must
      // not turn into a loop if it ever did.
      if (window.in_flight() == 0) return NoteReceiveQueue(window);
      const bool went = exchange([&] { store(window.Settle()); });
      if (!went) return;
    }
  }
}

void AgentPoller::NoteReceiveQueue(const RequestWindow& window) {
  largest_answer_ = window.largest_answer();
  const std::size_t limit = window.limit();
  if (limit < window.capacity() && (logged_limit_ == 0 || limit < logged_limit_)) {
    logged_limit_ = limit;
    const std::string line =
        WindowNarrowedLine(window.capacity(), limit, window.granted_receive_buffer(),
                           window.wanted_receive_buffer(), SocketApi().receive_buffer_limit);
    m_printf("%s", line.c_str(), 0, 0, 0, 0);
  }
  const std::int64_t dropped = window.DroppedDatagrams();
  if (dropped < 0) return;
  // A replaced client has a fresh socket, whose count starts again at 0.
  if (dropped_client_ != client_.get() || dropped < dropped_seen_) dropped_seen_ = 0;
  dropped_client_ = client_.get();
  if (dropped > dropped_seen_) {
    const std::string line = AnswersDroppedLine(dropped - dropped_seen_);
    e_printf("%s", line.c_str(), 0, 0, 0, 0);
  }
  dropped_seen_ = dropped;
}

}  // namespace zelsnmp
