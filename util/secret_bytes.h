// SecretBytes: key material of the SNMPv3 security model (master keys, localized keys,
// privacy keys) in memory of its own that is overwritten with zeros when the value is
// destroyed, reassigned or cleared, so that a key outlives its owner nowhere in the heap.
//
// Promises: the wipe is done through volatile writes, which the compiler may not drop as dead
// stores. The bytes are never printed by accident: there is no stream output, and the test
// printer shows only the length. Copies are deep (each copy wipes its own bytes); a moved-from
// value is empty. Comparison with == takes the same time for every pair of equal-length values.

#ifndef ZELSNMP_UTIL_SECRET_BYTES_H_
#define ZELSNMP_UTIL_SECRET_BYTES_H_

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string_view>

namespace zelsnmp {

class SecretBytes {
 public:
  SecretBytes() = default;
  // `size` zero bytes, to be filled through data().
  explicit SecretBytes(std::size_t size);
  explicit SecretBytes(std::string_view bytes);
  ~SecretBytes();

  SecretBytes(const SecretBytes& other);
  SecretBytes& operator=(const SecretBytes& other);
  SecretBytes(SecretBytes&& other) noexcept;
  SecretBytes& operator=(SecretBytes&& other) noexcept;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  unsigned char* data() { return bytes_.get(); }
  const unsigned char* data() const { return bytes_.get(); }
  // The bytes, for handing to the cryptographic operations; valid while this value lives
  // unchanged.
  std::string_view view() const;

  // The first `count` bytes (all of them when there are fewer).
  SecretBytes Prefix(std::size_t count) const;
  // This value followed by `more`.
  void Append(std::string_view more);
  // Wipes and empties.
  void Clear();

  friend bool operator==(const SecretBytes& a, const SecretBytes& b);

 private:
  std::unique_ptr<unsigned char[]> bytes_;
  std::size_t size_ = 0;
};

// Overwrites `size` bytes at `buffer` with zeros in a way the compiler keeps.
void WipeBytes(void* buffer, std::size_t size);

// What a test framework prints for a secret: its length, never its bytes.
void PrintTo(const SecretBytes& secret, std::ostream* out);

}  // namespace zelsnmp

#endif  // ZELSNMP_UTIL_SECRET_BYTES_H_
