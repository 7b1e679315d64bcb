#include "poller/point_write.h"

#include <charconv>
#include <cmath>
#include <string>

#include "poller/scanner.h"
#include "snmp/ber.h"
#include "util/parse_float.h"
#include "util/parse_int.h"

namespace zelsnmp {

namespace {

// The smallest magnitude that rounds to infinity in single precision: the largest single value
// plus half of its last place (the tie rounds to even, which is upwards here).
constexpr double kSingleOverflowMagnitude = 0x1.ffffffp127;

// The forms are tried in this order.
struct PointForm {
  std::string_view format;
  PointKind kind;
};
constexpr PointForm kPointForms[] = {
    {"#TC%d:%d:%d", PointKind::kStatusOneBased},
    {"#TS%d:%d:%d", PointKind::kStatus},
    {"#TT%d:%d:%d", PointKind::kAnalog},
};

bool IsUnsigned32Tag(std::int32_t tag) {
  return tag == TagCounter32 || tag == TagGauge32 || tag == TagTimeTicks;
}

struct StatusNumber {
  std::int32_t value = 0;
  PointWriteReason reason = PointWriteReason::kNotANumber;
};

// The whole number of a status value; `default_value` when there is none.
StatusNumber ReadStatusNumber(const TSNMPMib& binding, std::int32_t default_value) {
  const std::string& text = binding.ValueText;
  const std::int32_t parsed = ParseIntDefault(text, default_value);
  // Two different defaults tell a parsed number from a default.
  if (parsed == ParseIntDefault(text, default_value + 1)) {
    return {parsed, PointWriteReason::kValue};
  }
  // Unsigned 32-bit values are rendered unsigned; a status point takes their 32-bit pattern.
  if (IsUnsigned32Tag(binding.ValueTag)) {
    std::uint32_t unsigned_value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, unsigned_value);
    if (error == std::errc() && stop == end && !text.empty()) {
      return {static_cast<std::int32_t>(unsigned_value), PointWriteReason::kCounterPattern};
    }
  }
  return {default_value, PointWriteReason::kNotANumber};
}

PointWrite DecideAnalog(const TSNMPMib& binding) {
  const FloatParseResult parsed = ParseFloatText(binding.ValueText);
  if (parsed.error_position != 0) {
    return {PointWriteKind::kNothing, PointWriteReason::kNotAFloat};
  }
  // An infinity in an analog point would poison every calculation fed from it: the value is
  // refused and the point keeps what it had.
  if (std::fabs(parsed.value) >= kSingleOverflowMagnitude) {
    return {PointWriteKind::kNothing, PointWriteReason::kFloatOverflow};
  }
  return {PointWriteKind::kAnalog, PointWriteReason::kValue, 0, static_cast<float>(parsed.value)};
}

}  // namespace

PointAddress ScanPointAddress(std::string_view key) {
  for (const PointForm& form : kPointForms) {
    PointAddress address;
    const ScanDestination destinations[] = {&address.scanned_channel, &address.scanned_rtu,
                                            &address.scanned_point};
    // The scan leaves `rest` at the first byte the address did not take.
    std::string_view rest = key;
    std::string_view format = form.format;
    if (ScanCore(rest, format, destinations) == 3) {
      address.kind = form.kind;
      address.channel = static_cast<std::uint16_t>(address.scanned_channel);
      address.rtu = static_cast<std::uint16_t>(address.scanned_rtu);
      address.point = static_cast<std::uint16_t>(address.scanned_point);
      address.scanned_length = key.substr(0, key.find('\0')).size() - rest.size();
      return address;
    }
  }
  return {};
}

const TSNMPMib* FindReplyBinding(const TSNMPRec& reply, std::string_view oid_text) {
  for (const TSNMPMib& binding : reply.Bindings()) {
    if (binding.OidText == oid_text) return &binding;
  }
  return nullptr;
}

bool CarriesNoValue(const TSNMPMib* binding) {
  if (binding == nullptr) return true;
  const std::int32_t tag = binding->ValueTag;
  return tag == TagNull || tag == TagNoSuchObject || tag == TagNoSuchInstance ||
         tag == TagEndOfMibView;
}

PointWrite DecideSilentWrite(const PointAddress& address) {
  switch (address.kind) {
    case PointKind::kStatusOneBased:
      return {PointWriteKind::kStatusFlags, PointWriteReason::kNoAnswer};
    case PointKind::kAnalog:
      return {PointWriteKind::kAnalogFlags, PointWriteReason::kNoAnswer};
    case PointKind::kStatus:
      return {PointWriteKind::kNothing, PointWriteReason::kNoAnswer};
    case PointKind::kNone:
      break;
  }
  return {PointWriteKind::kNothing, PointWriteReason::kNotAPoint};
}

PointWrite DecideAnswerWrite(const PointAddress& address, const TSNMPMib* binding) {
  if (address.kind == PointKind::kNone) return {};
  if (CarriesNoValue(binding)) {
    PointWrite write = DecideSilentWrite(address);
    write.reason = PointWriteReason::kNoValue;
    return write;
  }
  switch (address.kind) {
    case PointKind::kStatusOneBased: {
      const StatusNumber number = ReadStatusNumber(*binding, 1);
      // Wraps like the 32-bit arithmetic of the TM server for the one value without a
      // predecessor, -2147483648.
      const auto value = static_cast<std::uint32_t>(number.value) - 1u;
      return {PointWriteKind::kStatus, number.reason, static_cast<std::int32_t>(value)};
    }
    case PointKind::kStatus: {
      const StatusNumber number = ReadStatusNumber(*binding, 0);
      return {PointWriteKind::kStatus, number.reason, number.value};
    }
    case PointKind::kAnalog:
      return DecideAnalog(*binding);
    case PointKind::kNone:
      break;
  }
  return {};
}

}  // namespace zelsnmp
