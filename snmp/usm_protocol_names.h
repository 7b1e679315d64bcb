// The names of the user-based security model's protocols, as the configuration (@auth, @priv)
// and the operators write them: the system's own ("SHA-256", "AES-192-C") and net-snmp's
// spellings of the same protocols ("SHA256", "AES192C"). A name is matched in any letter case,
// with blanks (spaces, tabs) around it ignored; every protocol is shown by its own name.
//
//   MD5                      SHA (SHA-1), SHA1
//   SHA-224, SHA224          SHA-256, SHA256          SHA-384, SHA384          SHA-512, SHA512
//   DES                      3DES
//   AES (AES-128), AES-128, AES128
//   AES-192, AES192          AES-256, AES256          (key extended by hashing)
//   AES-192-C, AES192C       AES-256-C, AES256C       (key extended by a second localization)

#ifndef ZELSNMP_SNMP_USM_PROTOCOL_NAMES_H_
#define ZELSNMP_SNMP_USM_PROTOCOL_NAMES_H_

#include <optional>
#include <span>
#include <string_view>

#include "snmp/usm_crypto.h"

namespace zelsnmp {

// The protocol a name stands for; empty for any other text (also for "none": no protocol is
// not a name).
std::optional<AuthProtocol> AuthProtocolByName(std::string_view name);
std::optional<PrivProtocol> PrivProtocolByName(std::string_view name);

// The protocol's own name, in upper case; "none" for kNone.
std::string_view AuthProtocolName(AuthProtocol protocol);
std::string_view PrivProtocolName(PrivProtocol protocol);

// Every accepted spelling, each protocol's own name first, in the order of the table above
// (for texts that list them).
std::span<const std::string_view> AuthProtocolSpellings();
std::span<const std::string_view> PrivProtocolSpellings();

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_PROTOCOL_NAMES_H_
