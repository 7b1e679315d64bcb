#include "tools/agentsim/device_counters.h"

#include <charconv>
#include <limits>

#include "snmp/ber.h"

namespace zelsnmp::agentsim {

namespace {

constexpr std::string_view kSysUpTimeOid = "1.3.6.1.2.1.1.3.0";
constexpr std::uint64_t kTicksPerAnswer = 100;

bool ReadPattern(const SnmprecValue& value, std::uint64_t& pattern) {
  const std::string& text = value.text;
  const char* end = text.data() + text.size();
  if (value.tag == TagCounter64) {
    const auto [stop, error] = std::from_chars(text.data(), end, pattern);
    return !text.empty() && error == std::errc() && stop == end;
  }
  std::int64_t number = 0;
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc() || stop != end) return false;
  if (value.tag != TagCounter32 && value.tag != TagGauge32 && value.tag != TagTimeTicks &&
      value.tag != TagInteger) {
    return false;
  }
  pattern = static_cast<std::uint64_t>(number) & 0xFFFFFFFFull;
  return true;
}

std::string ShowPattern(std::int32_t tag, std::uint64_t pattern) {
  if (tag == TagCounter64) return std::to_string(pattern);
  const auto low = static_cast<std::uint32_t>(pattern);
  if (tag == TagInteger) return std::to_string(static_cast<std::int32_t>(low));
  return std::to_string(low);
}

}  // namespace

std::string DeviceCounters::Check(const SnmprecData& data,
                                  const std::vector<CounterStep>& counters) {
  for (const CounterStep& counter : counters) {
    const auto found = data.find(counter.oid);
    std::uint64_t pattern = 0;
    if (found == data.end()) return "--counter " + counter.oid + ": the data has no such OID";
    if (!ReadPattern(found->second, pattern)) {
      return "--counter " + counter.oid + ": the data holds no whole number of type 2, 65, 66, "
             "67 or 70 there";
    }
  }
  return "";
}

DeviceCounters::DeviceCounters(const SnmprecData& data, const std::vector<CounterStep>& counters,
                               std::uint32_t restart_after)
    : restart_after_(restart_after), moving_(!counters.empty() || restart_after > 0) {
  if (!moving_) return;
  data_ = data;
  for (const CounterStep& step : counters) {
    const auto found = data_.find(step.oid);
    Counter counter{step.oid, step.step, 0, 0};
    if (found == data_.end() || !ReadPattern(found->second, counter.start)) continue;
    counter.tag = found->second.tag;
    counters_.push_back(counter);
  }
}

SnmprecData RenumberTables(const SnmprecData& data, std::uint64_t shift) {
  SnmprecData moved;
  for (const auto& [oid, value] : data) {
    const std::size_t dot = oid.rfind('.');
    const std::string last = oid.substr(dot + 1);
    if (dot == std::string::npos || last == "0") {
      moved.emplace(oid, value);
      continue;
    }
    std::uint64_t index = 0;
    std::from_chars(last.data(), last.data() + last.size(), index);
    moved.emplace(oid.substr(0, dot + 1) + std::to_string(index + shift), value);
  }
  return moved;
}

const SnmprecData& DeviceCounters::NextAnswer() {
  if (restart_after_ > 0 && answers_since_restart_ == restart_after_) answers_since_restart_ = 0;
  ++answers_since_restart_;
  for (const Counter& counter : counters_) {
    // Unsigned arithmetic wraps modulo 2^64; the narrower types keep their low 32 bits.
    const std::uint64_t value = counter.start + counter.step * answers_since_restart_;
    data_[counter.oid].text = ShowPattern(counter.tag, value);
  }
  data_[std::string(kSysUpTimeOid)] =
      SnmprecValue{std::to_string(static_cast<std::uint32_t>(kTicksPerAnswer *
                                                             answers_since_restart_)),
                   TagTimeTicks};
  return data_;
}

}  // namespace zelsnmp::agentsim
