// What a notification does to the points of a section: its bindings whose OID a point line
// asks (a fixed OID, or the instance of a row already found by its name) are written at once
// by the rules of an answer to a poll (a bare line as it is, a line with scale or offset
// through the value rules), each traced as a poll's value is, under a line
// naming the notification. Rate lines and device points (@status, @rtt) are left to the poll:
// one value between two passes says nothing of a rate, and a notification is no request. A
// binding without a value (NULL, noSuchObject) writes nothing: a notification that names an
// object without its value does not say the device stopped answering.
//
// Then the section can be polled out of turn, as in a pass: the poll cycle decides when.

#include <exception>
#include <string>
#include <utility>

#include "host/nodehub.h"
#include "poller/agent_poller.h"
#include "poller/notification_messages.h"
#include "poller/point_messages.h"
#include "poller/poll_messages.h"
#include "util/text_end.h"

namespace zelsnmp {

namespace {

void Trace(const std::string& text) { d_printf("%s", text.c_str(), 0, 0, 0, 0); }

}  // namespace

void AgentPoller::SetWaitHook(std::function<void()> hook, int slice_ms) {
  wait_hook_ = std::move(hook);
  wait_hook_slice_ms_ = slice_ms;
  HookClient();
}

void AgentPoller::HookClient() {
  for (TUDPBlockSocket* socket : {&client_->Sock(), &client_->Sock6()}) {
    socket->HeartbeatRate = wait_hook_ ? wait_hook_slice_ms_ : 0;
    if (wait_hook_) {
      socket->OnHeartbeat = [this](TBlockSocket&) { wait_hook_(); };
    } else {
      socket->OnHeartbeat = nullptr;
    }
  }
}

std::string AgentPoller::AskedOid(std::size_t agent, std::size_t index,
                                  const PointLine& line) const {
  const PointSource& source = line.Source();
  if (source.OnWire()) return line.Oid();
  // A row line only once its row is found, and not while it waits to be found again: a
  // renumbered row's instance may hold another row's value by now.
  const RowLine* row = rows_.Line(agent, index);
  if (row == nullptr || row->state != RowState::kFound || row->walk_next) return {};
  return row->oid;
}

void AgentPoller::WriteNotification(const PollConfig& config, std::size_t agent,
                                    const Notification& notification) {
  const AgentEntry& entry = config.agents[agent];
  const PollTexts& texts = PollMessages();
  Trace(NotificationTakenLine(notification, entry.section_name));
  for (const TSNMPMib& binding : notification.bindings) {
    if (CarriesNoValue(&binding)) continue;
    for (std::size_t index = 0; index < entry.lines.size(); ++index) {
      const PointLine& line = entry.lines[index];
      const PointSource& source = line.Source();
      if (source.rate) continue;
      const std::string oid = AskedOid(agent, index, line);
      if (oid.empty() || oid != binding.OidText) continue;
      const std::string address = line.Name();
      const PointAddress at = ScanPointAddress(address);
      const std::string named = oid + "(" + address + ")";
      Trace(named + "=" + std::string(TextUpToZero(binding.ValueText)) + texts.line_end);
      if (!source.HasModifiers() || at.kind == PointKind::kNone) {
        Write(at, DecideAnswerWrite(at, &binding));
        continue;
      }
      const ModifiedValue value = ApplyModifiers(source, at.kind, binding.ValueTag,
                                                 binding.ValueText, nullptr, ValueTime{});
      if (value.step == ValueStep::kWritten) {
        Trace(named + " " + DescribeModifiers(source) + ": " + ShowNumber(value.number) +
              texts.line_end);
        Write(at, value.write);
      } else if (value.step == ValueStep::kOutOfRange) {
        Trace(named + PointMessages().out_of_range + ShowNumber(value.number) + texts.line_end);
      } else {
        Trace(texts.conversion_error);
      }
    }
  }
}

void AgentPoller::PollOutOfTurn(const PollConfig& config, std::size_t agent) {
  try {
    Trace(OutOfTurnPollLine(config.agents[agent].section_name));
    security_.Prepare(config);
    RequestPlan plan(config, fits_, passes_, client_defaults_.retries);
    device_passes_.resize(config.agents.size());
    device_passes_[agent] = DevicePass();
    PollAgent(plan, agent);
  } catch (const std::exception& error) {
    e_printf("%s", error.what(), 0, 0, 0, 0);
  }
}

}  // namespace zelsnmp
