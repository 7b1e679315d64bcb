#include "util/secret_bytes.h"

#include <cstring>
#include <ostream>
#include <utility>

namespace zelsnmp {

void WipeBytes(void* buffer, std::size_t size) {
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(buffer);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
}

SecretBytes::SecretBytes(std::size_t size)
    : bytes_(size == 0 ? nullptr : new unsigned char[size]()), size_(size) {}

SecretBytes::SecretBytes(std::string_view bytes) : SecretBytes(bytes.size()) {
  if (size_ != 0) std::memcpy(bytes_.get(), bytes.data(), size_);
}

SecretBytes::~SecretBytes() { Clear(); }

SecretBytes::SecretBytes(const SecretBytes& other) : SecretBytes(other.view()) {}

SecretBytes& SecretBytes::operator=(const SecretBytes& other) {
  if (this != &other) {
    SecretBytes copy(other);
    *this = std::move(copy);
  }
  return *this;
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : bytes_(std::move(other.bytes_)), size_(std::exchange(other.size_, 0)) {}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
  if (this != &other) {
    Clear();
    bytes_ = std::move(other.bytes_);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

std::string_view SecretBytes::view() const {
  if (size_ == 0) return {};
  return std::string_view(reinterpret_cast<const char*>(bytes_.get()), size_);
}

SecretBytes SecretBytes::Prefix(std::size_t count) const {
  return SecretBytes(view().substr(0, count));
}

void SecretBytes::Append(std::string_view more) {
  if (more.empty()) return;
  SecretBytes joined(size_ + more.size());
  if (size_ != 0) std::memcpy(joined.data(), bytes_.get(), size_);
  std::memcpy(joined.data() + size_, more.data(), more.size());
  *this = std::move(joined);
}

void SecretBytes::Clear() {
  if (bytes_) WipeBytes(bytes_.get(), size_);
  bytes_.reset();
  size_ = 0;
}

bool operator==(const SecretBytes& a, const SecretBytes& b) {
  if (a.size_ != b.size_) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < a.size_; ++i) difference |= a.bytes_[i] ^ b.bytes_[i];
  return difference == 0;
}

void PrintTo(const SecretBytes& secret, std::ostream* out) {
  *out << "<secret of " << secret.size() << " bytes>";
}

}  // namespace zelsnmp
