// TSNMPRec: one SNMP message of version 1 or 2c, and TSNMPMib, one of its variable bindings.
//
// A message holds the message header (Version, Community), the PDU header (PDUType, ID,
// ErrorStatus, ErrorIndex) and the ordered bindings it owns. It encodes itself to BER bytes for
// sending and fills itself from received bytes; every item goes through the BER codec and every
// value travels as the text that codec renders.
//
// Request: ResetMessage, set Community, Version and PDUType, AddBinding once per OID, then
// EncodeMessage (which raises ID by one, wrapping from 2147483647 to -2147483648). Reply:
// DecodeMessage, then BindingValue per OID.
//
// No operation throws. EncodeMessage cannot fail: malformed texts still give bytes by the
// conversion rules of the codec. DecodeMessage gives false only when the bytes are not a
// whole SEQUENCE (fewer than two bytes, a primitive first tag, or fewer bytes than the outer
// length announces); the message is then in its reset state. Anything inside a whole outer
// SEQUENCE decodes to defined texts and tags. A version-3 message is recognised but not
// read: only Version (3) is filled and it has no bindings. A v1 Trap PDU (0xA4) keeps its
// variable bindings; its own header fields (enterprise, agent address, trap numbers,
// time stamp) are skipped, and ID, ErrorStatus and ErrorIndex stay 0. The system never sends
// either; EncodeMessage writes the one v1/v2c layout whatever Version and PDUType hold.
//
// A message is used by one thread at a time.

#ifndef ZELSNMP_SNMP_SNMP_MESSAGE_H_
#define ZELSNMP_SNMP_SNMP_MESSAGE_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelsnmp {

// PDU tags.
constexpr int PduGetRequest = 0xA0;
constexpr int PduGetNextRequest = 0xA1;
constexpr int PduResponse = 0xA2;
constexpr int PduSetRequest = 0xA3;
constexpr int PduTrap = 0xA4;
constexpr int PduGetBulkRequest = 0xA5;
constexpr int PduInformRequest = 0xA6;
constexpr int PduTrapV2 = 0xA7;
// The answer of a version-3 engine that refused a request; it reads like a Response.
constexpr int PduReport = 0xA8;

constexpr std::int32_t kSnmpVersion1 = 0;
constexpr std::int32_t kSnmpVersion2c = 1;
constexpr std::int32_t kSnmpVersion3 = 3;

// The community of a fresh or reset message, and of an agent configured without one.
inline constexpr std::string_view kDefaultCommunity = "vxkfqz";

// The name of an SNMP error status as the protocol's documents spell it: "noError" (0) ...
// "tooBig" (1) ... "authorizationError" (16) ... "inconsistentName" (18); empty for any other
// number.
std::string_view ErrorStatusName(std::int32_t error_status);

// One variable binding.
class TSNMPMib {
 public:
  std::string OidText;        // dotted decimal, stored as the caller gives it
  std::string ValueText;      // value as rendered by ReadBerItem, or as given for sending
  std::int32_t ValueTag = 0;  // BER tag byte of the value, 0 to 255
};

class TSNMPRec {
 public:
  TSNMPRec();
  virtual ~TSNMPRec() = default;
  TSNMPRec(const TSNMPRec&) = default;
  TSNMPRec& operator=(const TSNMPRec&) = default;
  TSNMPRec(TSNMPRec&&) = default;
  TSNMPRec& operator=(TSNMPRec&&) = default;

  std::int32_t Version = 0;      // on the wire: 0 SNMPv1, 1 SNMPv2c
  std::int32_t PDUType = 0;      // 0xA0 GetRequest, 0xA2 Response; any tag byte is carried
  std::int32_t ID = 1;           // request ID
  std::int32_t ErrorStatus = 0;  // also NonRepeaters of a GetBulk request
  std::int32_t ErrorIndex = 0;   // also MaxRepetitions of a GetBulk request
  std::string Community{kDefaultCommunity};

  // Second names of ErrorStatus and ErrorIndex: the same storage.
  std::int32_t& NonRepeaters() { return ErrorStatus; }
  std::int32_t NonRepeaters() const { return ErrorStatus; }
  std::int32_t& MaxRepetitions() { return ErrorIndex; }
  std::int32_t MaxRepetitions() const { return ErrorIndex; }

  // Every field back to its fresh value and no bindings; ID keeps its value. The storage of up
  // to kKeptBindingCount bindings of short texts is kept for the next bindings, so that a
  // message filled again and again allocates nothing; anything beyond that is released, so a
  // reply of many or long bindings keeps no memory after it.
  void ResetMessage();

  // Appends a binding; nothing is validated and duplicates stay.
  void AddBinding(std::string_view oid_text, std::string_view value_text, std::int32_t value_tag);

  std::int32_t BindingCount() const;

  // ValueText of the first binding whose OidText equals `oid_text` byte for byte; empty text
  // when there is none.
  std::string BindingValue(std::string_view oid_text) const;

  // The bindings in order; valid until the message is next changed.
  std::span<const TSNMPMib> Bindings() const { return {bindings_.data(), binding_count_}; }

  // The message as BER bytes; afterwards ID is one higher.
  std::string EncodeMessage();

  // Resets the message and fills it from `bytes`; true when they were taken as a message.
  // Costs time and memory in proportion to the size of `bytes`.
  bool DecodeMessage(std::string_view bytes);

  // DecodeMessage up to the PDU header: the same result and fields, but no binding is read.
  // Lets a receiver compare the PDU type and request ID before it spends anything on the
  // bindings.
  bool DecodeHeader(std::string_view bytes);

  // The PDU alone, as a version-3 message carries it in its scoped PDU: the bytes
  // EncodeMessage writes behind the community. Afterwards ID is one higher.
  std::string EncodePdu();

  // Resets the message and fills the PDU fields and bindings from the PDU item at the start of
  // `bytes`; Version and Community keep their reset values and bytes behind the item are
  // ignored. False, leaving the message reset, when the bytes do not begin with a whole
  // constructed item. Inside it the same defined texts and tags as DecodeMessage.
  bool DecodePdu(std::string_view bytes);

  // DecodePdu up to the PDU header: the same result and fields, but no binding is read.
  bool DecodePduHeader(std::string_view bytes);

 private:
  static constexpr std::size_t kKeptBindingCount = 64;
  static constexpr std::size_t kKeptTextCapacity = 128;
  static constexpr std::size_t kKeptEncodingCapacity = 4096;

  // The whole message, or with `pdu_only` the PDU item alone.
  bool Decode(std::string_view bytes, bool pdu_only, bool with_bindings);
  // The storage for one binding more: a kept one when there is one, else a new one. It counts
  // as a binding of the message only once CommitBinding is called.
  TSNMPMib& SpareBinding();
  void CommitBinding();
  // The binding list's content octets for the bindings as they stand.
  const std::string& EncodedBindings();

  // bindings_[0, binding_count_) are the message's bindings; the rest is kept storage.
  std::vector<TSNMPMib> bindings_;
  std::size_t binding_count_ = 0;
  // The binding list as last encoded, current while no binding has been added since: a
  // request sent again and again is encoded once.
  std::string encoded_bindings_;
  bool encoded_bindings_current_ = false;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_SNMP_MESSAGE_H_
