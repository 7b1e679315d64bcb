#include "snmp/usm_keys.h"

#include <utility>

namespace zelsnmp {
namespace {

// The passphrase is repeated over this many bytes, hashed in pieces of kPasswordBlockBytes.
constexpr std::size_t kPasswordExpansionBytes = 1024 * 1024;
constexpr std::size_t kPasswordBlockBytes = 64;

bool ExtendsByHashing(PrivProtocol privacy) {
  return privacy == PrivProtocol::kAes192 || privacy == PrivProtocol::kAes256;
}

}  // namespace

SecretBytes PasswordToKey(AuthProtocol protocol, std::string_view passphrase) {
  if (passphrase.empty()) return SecretBytes();
  HashComputation hash(protocol);
  if (!hash.ok()) return SecretBytes();
  SecretBytes block(kPasswordBlockBytes);
  std::size_t next = 0;
  for (std::size_t done = 0; done < kPasswordExpansionBytes; done += kPasswordBlockBytes) {
    for (std::size_t i = 0; i < kPasswordBlockBytes; ++i) {
      block.data()[i] = static_cast<unsigned char>(passphrase[next]);
      next = next + 1 == passphrase.size() ? 0 : next + 1;
    }
    hash.Add(block.view());
  }
  return hash.Finish();
}

SecretBytes LocalizeKey(AuthProtocol protocol, const SecretBytes& master_key,
                        std::string_view engine_id) {
  if (master_key.empty()) return SecretBytes();
  HashComputation hash(protocol);
  hash.Add(master_key.view());
  hash.Add(engine_id);
  hash.Add(master_key.view());
  return hash.Finish();
}

std::size_t PrivacyKeyLength(PrivProtocol protocol) {
  switch (protocol) {
    case PrivProtocol::kDes: return 16;
    case PrivProtocol::kTripleDes: return 32;
    case PrivProtocol::kAes128: return 16;
    case PrivProtocol::kAes192: return 24;
    case PrivProtocol::kAes192Reeder: return 24;
    case PrivProtocol::kAes256: return 32;
    case PrivProtocol::kAes256Reeder: return 32;
    case PrivProtocol::kNone: break;
  }
  return 0;
}

SecretBytes LocalizedPrivacyKey(AuthProtocol protocol, PrivProtocol privacy,
                                const SecretBytes& privacy_master_key,
                                std::string_view engine_id) {
  const std::size_t needed = PrivacyKeyLength(privacy);
  if (needed == 0) return SecretBytes();
  SecretBytes key = LocalizeKey(protocol, privacy_master_key, engine_id);
  if (key.empty()) return key;
  // Each piece is as long as the digest; one piece is enough for every hash and cipher, the
  // loop only keeps the rule general.
  SecretBytes piece = key;
  while (key.size() < needed) {
    if (ExtendsByHashing(privacy)) {
      piece = HashOf(protocol, key.view());
    } else {
      piece = LocalizeKey(protocol, PasswordToKey(protocol, piece.view()), engine_id);
    }
    if (piece.empty()) return SecretBytes();
    key.Append(piece.view());
  }
  return key.Prefix(needed);
}

UsmKeyCache::UsmKeyCache(std::size_t max_localized_keys)
    : max_localized_keys_(max_localized_keys > 0 ? max_localized_keys : 1) {}

SecretBytes UsmKeyCache::AuthenticationKey(AuthProtocol protocol, std::string_view passphrase,
                                           std::string_view engine_id) {
  return Localized(protocol, PrivProtocol::kNone, passphrase, engine_id);
}

SecretBytes UsmKeyCache::PrivacyKey(AuthProtocol protocol, PrivProtocol privacy,
                                    std::string_view passphrase, std::string_view engine_id) {
  if (privacy == PrivProtocol::kNone) return SecretBytes();
  return Localized(protocol, privacy, passphrase, engine_id);
}

SecretBytes UsmKeyCache::AuthenticationKeyNotKept(AuthProtocol protocol,
                                                  std::string_view passphrase,
                                                  std::string_view engine_id) {
  return LocalizeKey(protocol, master_keys_[MasterKeyIndex(protocol, passphrase)].key, engine_id);
}

bool UsmKeyCache::PrepareMasterKey(AuthProtocol protocol, std::string_view passphrase) {
  return !master_keys_[MasterKeyIndex(protocol, passphrase)].key.empty();
}

void UsmKeyCache::Clear() {
  master_keys_.clear();
  localized_keys_.clear();
  localizations_ = 0;
}

std::size_t UsmKeyCache::MasterKeyIndex(AuthProtocol protocol, std::string_view passphrase) {
  const SecretBytes wanted(passphrase);
  for (std::size_t i = 0; i < master_keys_.size(); ++i) {
    if (master_keys_[i].protocol == protocol && master_keys_[i].passphrase == wanted) return i;
  }
  master_keys_.push_back({protocol, wanted, PasswordToKey(protocol, passphrase)});
  return master_keys_.size() - 1;
}

SecretBytes UsmKeyCache::Localized(AuthProtocol protocol, PrivProtocol privacy,
                                   std::string_view passphrase, std::string_view engine_id) {
  LocalizedKeyId id(MasterKeyIndex(protocol, passphrase), privacy, std::string(engine_id));
  auto found = localized_keys_.find(id);
  if (found == localized_keys_.end()) {
    const SecretBytes& master = master_keys_[std::get<0>(id)].key;
    SecretBytes key = privacy == PrivProtocol::kNone
                          ? LocalizeKey(protocol, master, engine_id)
                          : LocalizedPrivacyKey(protocol, privacy, master, engine_id);
    ++localizations_;
    if (localized_keys_.size() >= max_localized_keys_) ForgetLeastRecentlyUsed();
    found = localized_keys_.emplace(std::move(id), LocalizedKey{std::move(key)}).first;
  }
  found->second.last_use = ++use_clock_;
  return found->second.key;
}

void UsmKeyCache::ForgetLeastRecentlyUsed() {
  // A linear search: it runs only when a new engine is keyed with the cache full.
  auto oldest = localized_keys_.begin();
  for (auto it = localized_keys_.begin(); it != localized_keys_.end(); ++it) {
    if (it->second.last_use < oldest->second.last_use) oldest = it;
  }
  if (oldest != localized_keys_.end()) localized_keys_.erase(oldest);
}

}  // namespace zelsnmp
