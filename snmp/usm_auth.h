// Message authentication of the SNMPv3 user-based security model: the authentication code of a
// whole message is the HMAC of the message (with its authentication parameters field filled
// with zero bytes) under the user's localized authentication key, cut to the protocol's
// parameter length. Receiving compares the code in time independent of where it differs.

#ifndef ZELSNMP_SNMP_USM_AUTH_H_
#define ZELSNMP_SNMP_USM_AUTH_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "snmp/usm_crypto.h"
#include "util/secret_bytes.h"

namespace zelsnmp {

// The length of msgAuthenticationParameters: MD5 and SHA-1 12, SHA-224 16, SHA-256 24,
// SHA-384 32, SHA-512 48; 0 for kNone.
std::size_t AuthParameterLength(AuthProtocol protocol);

// The code to put into msgAuthenticationParameters; empty when it cannot be computed (kNone,
// an empty key, an unusable cryptographic library).
std::string AuthenticationCode(AuthProtocol protocol, const SecretBytes& localized_key,
                               std::string_view whole_message_with_zeroed_parameters);

// True when `received_code` is the message's code. A code of the wrong length, an empty key or
// a failed computation is simply false.
bool AuthenticationCodeMatches(AuthProtocol protocol, const SecretBytes& localized_key,
                               std::string_view whole_message_with_zeroed_parameters,
                               std::string_view received_code);

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_AUTH_H_
