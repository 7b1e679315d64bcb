// The keys of the SNMPv3 user-based security model: a user's passphrase becomes a master key
// (1 MiB of the passphrase repeated, hashed), and a master key becomes the key localized to one
// authoritative engine (hash of master key, engine ID, master key). A privacy key is localized
// the same way and then cut or extended to exactly the bytes its cipher needs.
//
// Every key is a SecretBytes value. An empty key is the failure result (an empty passphrase, an
// unusable cryptographic library, kNone); callers treat it as "no key". Nothing here logs.

#ifndef ZELSNMP_SNMP_USM_KEYS_H_
#define ZELSNMP_SNMP_USM_KEYS_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "snmp/usm_crypto.h"
#include "util/secret_bytes.h"

namespace zelsnmp {

// The master key Ku of a passphrase under the protocol's hash (its digest length).
SecretBytes PasswordToKey(AuthProtocol protocol, std::string_view passphrase);

// The localized key Kul = H(Ku || engine_id || Ku).
SecretBytes LocalizeKey(AuthProtocol protocol, const SecretBytes& master_key,
                        std::string_view engine_id);

// The key bytes the privacy protocol's cipher takes: DES 16 (8 key bytes, then 8 pre-IV bytes),
// triple DES 32 (24 key bytes, then 8 pre-IV bytes), AES 16, 24 or 32; 0 for kNone.
std::size_t PrivacyKeyLength(PrivProtocol protocol);

// The localized privacy key of exactly PrivacyKeyLength(privacy) bytes. A localized key shorter
// than that is extended: for AES-192/AES-256 by appending the hash of the key so far; for 3DES
// and the "-C" AES protocols by appending the key localized from the master key of the
// localized key (the localized key taken as a passphrase).
SecretBytes LocalizedPrivacyKey(AuthProtocol protocol, PrivProtocol privacy,
                                const SecretBytes& privacy_master_key, std::string_view engine_id);

// The keys of every user and engine the task talks to, each derived once: the master key once
// per distinct (hash, passphrase), the localized key once per (master key, engine ID, privacy
// protocol) while it is kept. Many agents that share one user cost one master-key derivation.
// Passphrases are kept only as SecretBytes, to recognise them.
//
// Localized keys are kept for at most `max_localized_keys` (engine ID, key) pairs: when one more
// is needed, the one used longest ago is wiped and forgotten, so that engine IDs learnt over
// years of replaced devices do not grow the cache without bound. Keys are handed out as copies,
// which their holders own, so that forgetting one takes nothing from a session. Master keys are
// as many as the configuration's distinct passphrases and stay. Not for use by several threads
// at once.
class UsmKeyCache {
 public:
  static constexpr std::size_t kDefaultMaxLocalizedKeys = 1024;

  explicit UsmKeyCache(std::size_t max_localized_keys = kDefaultMaxLocalizedKeys);
  UsmKeyCache(const UsmKeyCache&) = delete;
  UsmKeyCache& operator=(const UsmKeyCache&) = delete;

  // The localized authentication key; empty when it cannot be derived.
  SecretBytes AuthenticationKey(AuthProtocol protocol, std::string_view passphrase,
                                std::string_view engine_id);
  // The localized privacy key (see LocalizedPrivacyKey); empty when it cannot be derived.
  SecretBytes PrivacyKey(AuthProtocol protocol, PrivProtocol privacy, std::string_view passphrase,
                         std::string_view engine_id);

  // The localized authentication key for an engine the task does not talk to as a rule (to
  // check a message that names another engine), from the cached master key but not kept, so
  // that engines named by others do not fill the cache.
  SecretBytes AuthenticationKeyNotKept(AuthProtocol protocol, std::string_view passphrase,
                                       std::string_view engine_id);

  // Derives the master key of (protocol, passphrase) now, if not yet derived, so that the
  // costly step is paid at configuration load rather than at the first exchange. False when it
  // cannot be derived.
  bool PrepareMasterKey(AuthProtocol protocol, std::string_view passphrase);

  // How many master keys and localized keys were derived so far, and how many localized keys
  // are kept now.
  std::size_t MasterKeyDerivations() const { return master_keys_.size(); }
  std::size_t Localizations() const { return localizations_; }
  std::size_t LocalizedKeysKept() const { return localized_keys_.size(); }

  // Wipes and forgets every key.
  void Clear();

 private:
  struct MasterKey {
    AuthProtocol protocol;
    SecretBytes passphrase;
    SecretBytes key;
  };
  // Master key index, privacy protocol (kNone for the authentication key), engine ID.
  using LocalizedKeyId = std::tuple<std::size_t, PrivProtocol, std::string>;
  struct LocalizedKey {
    SecretBytes key;
    std::uint64_t last_use = 0;  // of use_clock_
  };

  std::size_t MasterKeyIndex(AuthProtocol protocol, std::string_view passphrase);
  SecretBytes Localized(AuthProtocol protocol, PrivProtocol privacy, std::string_view passphrase,
                        std::string_view engine_id);
  // Makes room for one more localized key.
  void ForgetLeastRecentlyUsed();

  std::size_t max_localized_keys_;
  std::vector<MasterKey> master_keys_;
  std::map<LocalizedKeyId, LocalizedKey> localized_keys_;
  std::uint64_t use_clock_ = 0;
  std::size_t localizations_ = 0;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_KEYS_H_
