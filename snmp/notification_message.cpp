#include "snmp/notification_message.h"

#include "snmp/ber.h"

namespace zelsnmp {

namespace {

// One well-formed item inside [position, end): its tag and content.
struct Item {
  int tag = 0;
  std::string_view content;
};

// Reads the item at `position` strictly; false at the first fault. The position moves behind
// the item (for a constructed one too: its content is read by a reader of its own).
bool ReadItem(std::string_view bytes, std::size_t& position, Item& item) {
  if (position >= bytes.size() || bytes.size() - position < 2) return false;
  const unsigned char tag = static_cast<unsigned char>(bytes[position]);
  if ((tag & 0x1F) == 0x1F) return false;  // a tag of several bytes: no SNMP item has one
  unsigned char first = static_cast<unsigned char>(bytes[position + 1]);
  std::size_t at = position + 2;
  std::size_t length = first;
  if (first >= 0x80) {
    const std::size_t count = first & 0x7F;
    // 0x80 is the indefinite form, which SNMP does not use; more than four bytes cannot fit.
    if (count == 0 || count > 4 || bytes.size() - at < count) return false;
    length = 0;
    for (std::size_t i = 0; i < count; ++i) {
      length = (length << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    at += count;
  }
  if (bytes.size() - at < length) return false;
  item.tag = tag;
  item.content = bytes.substr(at, length);
  position = at + length;
  return true;
}

// An INTEGER of one to four content bytes.
bool ReadInteger(std::string_view bytes, std::size_t& position, std::int32_t& value) {
  Item item;
  if (!ReadItem(bytes, position, item) || item.tag != TagInteger) return false;
  if (item.content.empty() || item.content.size() > 4) return false;
  std::uint32_t bits = static_cast<unsigned char>(item.content[0]) >= 0x80 ? ~std::uint32_t{0} : 0;
  for (char c : item.content) bits = (bits << 8) | static_cast<unsigned char>(c);
  value = static_cast<std::int32_t>(bits);
  return true;
}

bool IsValueTag(int tag) {
  switch (tag) {
    case TagInteger:
    case TagOctetString:
    case TagNull:
    case TagObjectId:
    case TagIpAddress:
    case TagCounter32:
    case TagGauge32:
    case TagTimeTicks:
    case TagOpaque:
    case TagCounter64:
    case TagNoSuchObject:
    case TagNoSuchInstance:
    case TagEndOfMibView:
      return true;
    default:
      return false;
  }
}

// The binding list's content: every binding checked first, then rendered.
bool ReadBindings(std::string_view list, std::vector<TSNMPMib>& bindings) {
  std::size_t count = 0;
  for (std::size_t position = 0; position < list.size(); ++count) {
    Item binding;
    if (!ReadItem(list, position, binding) || binding.tag != TagSequence) return false;
    std::size_t inner = 0;
    Item oid;
    Item value;
    if (!ReadItem(binding.content, inner, oid) || oid.tag != TagObjectId || oid.content.empty()) {
      return false;
    }
    if (!ReadItem(binding.content, inner, value) || !IsValueTag(value.tag)) return false;
    if (inner != binding.content.size()) return false;
  }
  bindings.clear();
  bindings.reserve(count);
  for (std::size_t position = 0; position < list.size();) {
    Item binding;
    ReadItem(list, position, binding);
    std::size_t inner = 0;
    Item oid;
    Item value;
    ReadItem(binding.content, inner, oid);
    ReadItem(binding.content, inner, value);
    TSNMPMib& mib = bindings.emplace_back();
    mib.OidText = BerToOidText(oid.content);
    mib.ValueText = PrimitiveBerText(value.content, value.tag);
    mib.ValueTag = value.tag;
  }
  return true;
}

NotificationFault ReadTrapHeader(std::string_view pdu, std::size_t& position, Notification& out) {
  Item item;
  if (!ReadItem(pdu, position, item) || item.tag != TagObjectId || item.content.empty()) {
    return NotificationFault::kMalformed;
  }
  out.enterprise = BerToOidText(item.content);
  if (!ReadItem(pdu, position, item) || item.tag != TagIpAddress || item.content.size() != 4) {
    return NotificationFault::kMalformed;
  }
  out.agent_address = PrimitiveBerText(item.content, item.tag);
  if (!ReadInteger(pdu, position, out.generic_trap) ||
      !ReadInteger(pdu, position, out.specific_trap)) {
    return NotificationFault::kMalformed;
  }
  if (out.generic_trap < 0 || out.generic_trap > 6) return NotificationFault::kMalformed;
  if (!ReadItem(pdu, position, item) || item.tag != TagTimeTicks || item.content.empty() ||
      item.content.size() > 5) {
    return NotificationFault::kMalformed;
  }
  std::uint64_t ticks = 0;
  for (char c : item.content) ticks = (ticks << 8) | static_cast<unsigned char>(c);
  if (ticks > 0xFFFFFFFFu) return NotificationFault::kMalformed;
  out.time_stamp = static_cast<std::uint32_t>(ticks);
  return NotificationFault::kNone;
}

NotificationFault ReadPdu(const Item& pdu, Notification& out);

}  // namespace

NotificationFault DecodeNotification(std::string_view datagram, Notification& out) {
  if (datagram.size() > kMaxNotificationBytes) return NotificationFault::kTooLong;
  std::size_t position = 0;
  Item message;
  if (!ReadItem(datagram, position, message) || message.tag != TagSequence ||
      position != datagram.size()) {
    return NotificationFault::kMalformed;
  }
  std::size_t at = 0;
  if (!ReadInteger(message.content, at, out.version)) return NotificationFault::kMalformed;
  if (out.version == kSnmpVersion3) return NotificationFault::kVersion3;
  if (out.version != kSnmpVersion1 && out.version != kSnmpVersion2c) {
    return NotificationFault::kMalformed;
  }
  Item community;
  if (!ReadItem(message.content, at, community) || community.tag != TagOctetString) {
    return NotificationFault::kMalformed;
  }
  Item pdu;
  if (!ReadItem(message.content, at, pdu) || at != message.content.size()) {
    return NotificationFault::kMalformed;
  }
  out.community.assign(community.content);
  return ReadPdu(pdu, out);
}

NotificationFault DecodeScopedNotificationPdu(std::string_view pdu_bytes, Notification& out) {
  std::size_t position = 0;
  Item pdu;
  if (!ReadItem(pdu_bytes, position, pdu) || position != pdu_bytes.size()) {
    return NotificationFault::kMalformed;
  }
  out.version = kSnmpVersion3;
  out.community.clear();
  return ReadPdu(pdu, out);
}

namespace {

NotificationFault ReadPdu(const Item& pdu, Notification& out) {
  out.pdu_type = pdu.tag;
  std::size_t inside = 0;
  if (pdu.tag == PduTrap) {
    if (out.version != kSnmpVersion1) return NotificationFault::kNotANotification;
    out.request_id = 0;
    if (NotificationFault fault = ReadTrapHeader(pdu.content, inside, out);
        fault != NotificationFault::kNone) {
      return fault;
    }
  } else if (pdu.tag == PduTrapV2 || pdu.tag == PduInformRequest) {
    if (out.version == kSnmpVersion1) return NotificationFault::kNotANotification;
    std::int32_t error_status = 0;
    std::int32_t error_index = 0;
    if (!ReadInteger(pdu.content, inside, out.request_id) ||
        !ReadInteger(pdu.content, inside, error_status) ||
        !ReadInteger(pdu.content, inside, error_index)) {
      return NotificationFault::kMalformed;
    }
  } else if ((pdu.tag & 0xE0) == 0xA0) {
    return NotificationFault::kNotANotification;
  } else {
    return NotificationFault::kMalformed;
  }
  Item list;
  if (!ReadItem(pdu.content, inside, list) || list.tag != TagSequence ||
      inside != pdu.content.size()) {
    return NotificationFault::kMalformed;
  }
  if (!ReadBindings(list.content, out.bindings)) return NotificationFault::kMalformed;
  out.binding_list.assign(list.content);
  return NotificationFault::kNone;
}

}  // namespace

std::string EncodeInformResponsePdu(const Notification& inform) {
  std::string pdu = BuildBerObject(EncodeBerInteger(inform.request_id), TagInteger);
  pdu += BuildBerObject(EncodeBerInteger(0), TagInteger);
  pdu += BuildBerObject(EncodeBerInteger(0), TagInteger);
  pdu += BuildBerObject(inform.binding_list, TagSequence);
  return BuildBerObject(pdu, PduResponse);
}

std::string EncodeInformResponse(const Notification& inform) {
  std::string message = BuildBerObject(EncodeBerInteger(inform.version), TagInteger);
  message += BuildBerObject(inform.community, TagOctetString);
  message += EncodeInformResponsePdu(inform);
  return BuildBerObject(message, TagSequence);
}

std::string_view NotificationKindName(std::int32_t pdu_type) {
  switch (pdu_type) {
    case PduTrap: return "Trap";
    case PduTrapV2: return "SNMPv2-Trap";
    case PduInformRequest: return "InformRequest";
    default: return "?";
  }
}

}  // namespace zelsnmp
