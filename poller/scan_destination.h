// ScanDestination: one place where the formatted input scanner may store a value, together
// with what that place is.
//
// A destination knows the type it points to: an integer of 8, 16, 32 or 64 bits, a float, a
// double, a long double, a 6-byte real, a zero-terminated char buffer with its capacity, a
// 256-byte length-prefixed text or a std::string. The scanner stores through a destination
// only when its type is exactly the one that the conversion letter and size prefix call for;
// any other type ends the scan as a null destination does, so a wrong prefix or a short
// buffer can never write outside the caller's variable.
//
// Pointers to the plain types convert implicitly, so a call reads like the classic one:
//   int channel, rtu, point;
//   ScanText(key, "#TC%d:%d:%d", &channel, &rtu, &point);
// A char buffer has no implicit conversion (its size would be lost); pass it as
// TextBuffer(buffer) for an array or TextBuffer(pointer, capacity).
//
// A destination does not own what it points to; it must outlive the scan.

#ifndef ZELSNMP_POLLER_SCAN_DESTINATION_H_
#define ZELSNMP_POLLER_SCAN_DESTINATION_H_

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace zelsnmp {

// The 6-byte real stored by the H floating prefix. Byte 0 is the power-of-two exponent
// biased by 129 (0 for the value zero); bytes 1 to 5 hold the 39 fraction bits below the
// implied leading 1, least significant byte first, with the sign in the top bit of byte 5.
struct Real48 {
  std::array<std::uint8_t, 6> bytes{};
};
static_assert(sizeof(Real48) == 6);

// The length-prefixed text stored by the h (and l16) word and set forms: one length byte,
// then up to 255 bytes of text. Exactly 256 bytes.
struct LengthPrefixedText {
  std::uint8_t length = 0;
  std::array<char, 255> bytes{};

  std::string_view View() const { return {bytes.data(), length}; }
};
static_assert(sizeof(LengthPrefixedText) == 256);

// The integer types a destination may point to: every signed and unsigned standard integer
// except the character types and bool, which have their own meaning.
template <typename T>
concept ScannableInteger =
    std::integral<T> && !std::is_const_v<T> && !std::same_as<T, bool> && !std::same_as<T, char> &&
    !std::same_as<T, wchar_t> && !std::same_as<T, char8_t> && !std::same_as<T, char16_t> &&
    !std::same_as<T, char32_t> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 ||
                                   sizeof(T) == 8);

class ScanDestination {
 public:
  enum class Type : std::uint8_t {
    kNull,
    kInt8,
    kInt16,
    kInt32,
    kInt64,
    kFloat,
    kDouble,
    kLongDouble,
    kReal48,
    kTextBuffer,          // zero-terminated char buffer of Capacity() bytes
    kLengthPrefixedText,  // LengthPrefixedText
    kString,              // std::string
  };

  // A null destination: a conversion that meets it ends the scan.
  ScanDestination(std::nullptr_t) {}

  template <ScannableInteger T>
  ScanDestination(T* target) : type_(IntegerType(sizeof(T))), target_(target) {}

  ScanDestination(float* target) : type_(Type::kFloat), target_(target) {}
  ScanDestination(double* target) : type_(Type::kDouble), target_(target) {}
  ScanDestination(long double* target) : type_(Type::kLongDouble), target_(target) {}
  ScanDestination(Real48* target) : type_(Type::kReal48), target_(target) {}
  ScanDestination(LengthPrefixedText* target)
      : type_(Type::kLengthPrefixedText), target_(target) {}
  ScanDestination(std::string* target) : type_(Type::kString), target_(target) {}

  // A bare char pointer carries no size; use TextBuffer().
  ScanDestination(char* target) = delete;

  // REQUIRES: buffer points to at least capacity writable bytes (or is null).
  static ScanDestination ForTextBuffer(char* buffer, std::size_t capacity) {
    ScanDestination destination(nullptr);
    destination.type_ = Type::kTextBuffer;
    destination.target_ = buffer;
    destination.capacity_ = capacity;
    return destination;
  }

  Type GetType() const { return type_; }
  void* Target() const { return target_; }
  // Bytes available in a text buffer; 0 for every other type.
  std::size_t Capacity() const { return capacity_; }
  bool IsNull() const { return target_ == nullptr; }

 private:
  static constexpr Type IntegerType(std::size_t size) {
    return size == 1 ? Type::kInt8
           : size == 2 ? Type::kInt16
           : size == 4 ? Type::kInt32
                       : Type::kInt64;
  }

  Type type_ = Type::kNull;
  void* target_ = nullptr;
  std::size_t capacity_ = 0;
};

// A zero-terminated char buffer as a destination: for word and set conversions at most N - 1
// bytes are read so that the zero byte always fits; a character conversion reads at most N.
template <std::size_t N>
ScanDestination TextBuffer(char (&buffer)[N]) {
  return ScanDestination::ForTextBuffer(buffer, N);
}

inline ScanDestination TextBuffer(char* buffer, std::size_t capacity) {
  return ScanDestination::ForTextBuffer(buffer, capacity);
}

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_SCAN_DESTINATION_H_
