// AgentPoller: the poll pass, one SNMP GetRequest per configured agent with the answers written
// into the TM points bound to their OIDs.
//
// The poller owns the one SNMP client of the poll cycle and keeps it from pass to pass, so that
// its socket and local port stay the same; the client is replaced by a fresh one only after its
// SendQuery raised. For each agent, in configuration order, a pass sends one v2c GetRequest with
// a NULL binding per section line and then:
//   - on an answer with error status 0, traces each line's value and writes it into its point
//     as point_write.h decides (a conversion-error trace line for a "#TT" value that is no
//     number, "Floating point overflow" in the error log for one beyond the single range; a
//     value the device did not report flags the point as for no answer); other lines are only
//     traced;
//   - on no answer, or an answer whose error status is not 0 (it carries no valid values), sets
//     flags 0x0001 on the agent's "#TC" and "#TT" points; "#TS" points keep what they had.
// Every trace and error line carries its data verbatim. A pass never throws: an exception ends
// the pass and its message goes to the error log, "SendQuery " in front when SendQuery raised.
//
// Each agent is asked at its options' host, port, time-out and tries (the client's own settings
// where it sets none), in requests that fit its device (poller/request_plan.h): each request
// is traced and written as a whole agent's answer is ("Ответ от "/"Нет ответа от " with the
// section name); a tooBig or an error index sends parts of it again in the same pass, and what
// was learned is kept for later passes, a new kept request size going to the message log once.
// An agent whose options hold a mistake is never asked: every pass traces that and flags its
// "#TC" and "#TT" points as for a silent agent.
//
// A v3 agent (@version = 3) is asked through its UsmSession (poller/agent_security.h), kept from
// pass to pass, and otherwise exactly as a v2c one: the same trace lines, points and fit; a
// request the agent refuses is one without an answer. Why it refuses goes to the error log once
// per change, and its answering again to the message log. v2c and v3 agents interleave freely
// in both passes.
//
// With more than one request in flight allowed (SetRequestsInFlight), a pass keeps up to that
// many requests in flight on the client's socket (poller/windowed_pass.cpp) and writes the same
// lines and points, in the same order, as the serial pass would for the same answers. An agent
// that left its last request unanswered is asked as usual, but its request holds no place in
// the window, so that dead devices cost a pass one time-out (x tries) together. A window that
// the socket's receive queue cannot hold is narrowed, and said once in the message log; answers
// the platform dropped all the same are said in the error log.
//
// Lines bound to a table row by a key column's value (poller/row_book.h) are asked once the
// pass has walked the key column for them (row_pass.cpp: before the agent's requests in the
// serial pass; in the windowed one, all agents' walks at once through the window before its
// other requests, windowed_walks.cpp); every request of row lines asks
// their rows' key instances too, and a row whose key instance no longer holds its key is not
// written but walked again at the next pass.
//
// Single-threaded; each SendQuery blocks for at most the client's time-out.

#ifndef ZELSNMP_POLLER_AGENT_POLLER_H_
#define ZELSNMP_POLLER_AGENT_POLLER_H_

#include <cstdint>
#include <functional>
#include <memory>

#include <vector>

#include "poller/agent_security.h"
#include "poller/device_points.h"
#include "poller/poll_config.h"
#include "poller/request_plan.h"
#include "poller/row_book.h"
#include "poller/value_rules.h"
#include "snmp/notification_message.h"
#include "snmp/request_window.h"
#include "snmp/snmp_client.h"

namespace zelsnmp {

class AgentPoller {
 public:
  // Makes a client; the poll cycle's makes one with its defaults (port 161, 5000 ms). Tests
  // give one that points elsewhere.
  using ClientFactory = std::function<std::unique_ptr<TSNMPSend>()>;

  explicit AgentPoller(std::int32_t tm_connection, ClientFactory make_client = {});

  // Makes the SNMPv3 sessions of `config`'s v3 agents and derives their keys, so that loading
  // pays for them rather than the first pass (RunPass does it too, for a configuration not
  // prepared).
  void PrepareSecurity(const PollConfig& config) { security_.Prepare(config); }
  // The v3 sessions of the prepared configuration, for the notification receiver.
  AgentSecurity& security() { return security_; }
  // Master keys derived so far: one per distinct passphrase and hash.
  std::size_t MasterKeyDerivations() const { return security_.MasterKeyDerivations(); }

  // One poll pass over every agent of `config`.
  void RunPass(const PollConfig& config);

  // How many agents' requests a pass keeps in flight at once; 1 (the default) polls them one
  // after the other.
  void SetRequestsInFlight(int count) { requests_in_flight_ = count; }

  // Notifications (poller/notification_write.cpp). `hook` runs every `slice_ms` while the
  // exchange waits for an answer, so that notifications are taken during a pass too.
  void SetWaitHook(std::function<void()> hook, int slice_ms);
  // Writes the bindings of `notification` whose OID a point line of `agent` asks, traced under
  // a line that names the notification and the section.
  void WriteNotification(const PollConfig& config, std::size_t agent,
                         const Notification& notification);
  // Polls the one section `agent` as a pass would, out of turn.
  void PollOutOfTurn(const PollConfig& config, std::size_t agent);

 private:
  // How one request of the pass ended. kTooLarge: a v3 request longer than the agent's engine
  // takes (its msgMaxSize) was not sent; it is refused as the engine would, with tooBig.
  enum class Outcome { kNotAsked, kNoAnswer, kAnswer, kTooLarge };
  // The outcome of a request that was asked: answered, or `status` of its v3 session says why not.
  static Outcome AskedOutcome(bool answered, const UsmSession* security, const UsmStatus& status);

  // Polls one agent, request after request; false when SendQuery raised: the pass ends there.
  bool PollAgent(RequestPlan& plan, std::size_t agent);
  // The effects of one request's outcome (`reply` when answered), in the order of the pass;
  // gives the requests to send next in its place.
  std::vector<RequestPart> ApplyOutcome(RequestPlan& plan, const RequestPart& part,
                                        Outcome outcome, const TSNMPRec& reply);
  void WriteAnswer(const RequestPlan& plan, const RequestPart& part, const TSNMPRec& reply);
  void FlagLines(const AgentEntry& agent, std::size_t first, std::size_t end);
  // The agent's options hold a mistake: traced and flagged, never asked.
  void ApplyNotPolled(const AgentEntry& agent);
  // After the agent's last request of the pass: a new kept size goes to the message log.
  void FinishAgent(RequestPlan& plan, std::size_t agent);
  // Where and how the agent's requests go: its options over the client's own settings, and its
  // SNMPv3 session when it has one.
  RequestTarget TargetOf(const RequestPlan& plan, std::size_t agent) const;
  void ReplaceClient();
  // Gives the client's sockets the wait hook.
  void HookClient();
  // The OID that line `index` of `agent` asks now: a fixed OID, a found row's instance, or
  // empty (a row not found, or to be found again; a device point).
  std::string AskedOid(std::size_t agent, std::size_t index, const PointLine& line) const;
  void Write(const PointAddress& at, const PointWrite& write);

  // What a point shows beyond a bare OID (point_pass.cpp). A line that is not bare, from an
  // answer with values: its value through the value rules, device points left for the end.
  void WriteSourceLine(const RequestPlan& plan, const RequestPart& part, std::size_t line,
                       const TSNMPRec& reply);
  // A line left out of a request, or of a request without an answer: false for a device
  // point, which is written at the end of the agent; a rate line without a value starts
  // again from a new base when `no_value`.
  bool TakesPartOutcome(const AgentEntry& entry, std::size_t agent, std::size_t line,
                        bool no_value);
  // A request to `agent` ended, answered or not, after `elapsed_ms`; `security` is a v3
  // request's outcome (null for v2c).
  void NoteRequest(std::size_t agent, bool answered, double elapsed_ms,
                   const UsmStatus* security);
  // The agent's last request of the pass is applied: its device points are written.
  void WriteDevicePoints(const PollConfig& config, std::size_t agent);
  // Rows found by their name (row_pass.cpp). Walks the key columns of the agent's rows that are
  // due in this pass, request after request through the client, before its requests are
  // planned; false when SendQuery raised.
  bool WalkRows(const RequestPlan& plan, std::size_t agent);
  // The agent's row lines whose key column is to be walked in this pass; none for an agent
  // whose walk went unanswered and that sends other requests.
  std::vector<std::size_t> DueRowLines(const RequestPlan& plan, std::size_t agent);
  // True when a line of the agent is asked, or answered for, beside its walks: a fixed OID, a
  // device point or a row found.
  bool AsksBesideWalks(const AgentEntry& entry, std::size_t agent) const;
  // The walk of `group`'s key column, with GetNext where the device refused GetBulk.
  ColumnWalk StartWalk(const RequestPlan& plan, std::size_t agent, const KeyColumnGroup& group);
  // A request of a walk ended, answered or not, after `elapsed_ms`; `security` as NoteRequest's.
  void NoteWalkRequest(const RequestPlan& plan, std::size_t agent, bool answered,
                       double elapsed_ms, const UsmStatus* security);
  // What the ended `walk` found for `group`'s rows: traced, and their indexes kept.
  void EndWalk(const RequestPlan& plan, std::size_t agent, const KeyColumnGroup& group,
               const ColumnWalk& walk);
  // The due walks of a windowed pass, all agents' at once through `window`, before its other
  // requests (windowed_walks.cpp); false when the exchange raised: the pass ends there.
  bool RunWindowedWalks(const RequestPlan& plan, RequestWindow& window);
  // A row line of an answer: true when its key instance still holds the key, so that its value
  // may be written; else the row is walked again next pass and the line is flagged here.
  bool RowStillHolds(const AgentEntry& entry, std::size_t agent, std::size_t line,
                     const TSNMPRec& reply);
  // The device's clock in an answer to a request with row lines: a restart walks them again.
  void NoteRowClock(std::size_t agent, const TSNMPRec& reply);
  // RunPass with several requests in flight (windowed_pass.cpp).
  void RunWindowedPass(RequestPlan& plan);
  // At the end of a windowed pass: a narrowed window and dropped answers to the logs.
  void NoteReceiveQueue(const RequestWindow& window);

  std::int32_t tm_connection_;
  ClientFactory make_client_;
  std::unique_ptr<TSNMPSend> client_;
  // The client's settings as made, for the agents without options of their own.
  RequestTarget client_defaults_;
  int requests_in_flight_ = 1;
  std::vector<AgentFit> fits_;
  AgentSecurity security_;
  std::uint32_t passes_ = 0;
  std::vector<RequestPart> parts_;  // the serial pass's requests to go for one agent
  // Per agent: its last request went unanswered (windowed passes).
  std::vector<char> likely_silent_;
  // What the windows learned about the receive queue, from pass to pass.
  std::size_t largest_answer_ = 0;
  std::size_t logged_limit_ = 0;  // the narrowed window last said in the message log
  std::int64_t dropped_seen_ = 0;
  const TSNMPSend* dropped_client_ = nullptr;  // whose socket dropped_seen_ counts
  std::vector<DevicePass> device_passes_;  // per agent, this pass
  RateBook rate_bases_;
  RowBook rows_;
  std::uint32_t pass_ = 0;  // this pass's number
  std::function<void()> wait_hook_;
  int wait_hook_slice_ms_ = 0;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_AGENT_POLLER_H_
