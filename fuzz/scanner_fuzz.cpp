// libFuzzer target for the formatted input scanner over (input, format).
//
// Data: one byte choosing where the destination list starts, then the input text, a zero
// byte, and the format text. Every destination type is present (the list wraps around), each
// in its own heap block of its exact size, so AddressSanitizer reports any store outside a
// destination; formats that call for another type walk the mismatch paths.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "poller/scanner.h"

namespace {

constexpr std::size_t kSmallBufferBytes = 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelsnmp;
  if (size == 0) return 0;
  const std::size_t rotation = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t split = rest.find('\0');
  const std::string_view input = rest.substr(0, split);
  const std::string_view format =
      split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);

  auto int8 = std::make_unique<std::int8_t>();
  auto int16 = std::make_unique<std::int16_t>();
  auto int32 = std::make_unique<std::int32_t>();
  auto int64 = std::make_unique<std::int64_t>();
  auto single = std::make_unique<float>();
  auto twice = std::make_unique<double>();
  auto extended = std::make_unique<long double>();
  auto real = std::make_unique<Real48>();
  auto small_buffer = std::make_unique<char[]>(kSmallBufferBytes);
  auto one_byte = std::make_unique<char[]>(1);
  auto prefixed = std::make_unique<LengthPrefixedText>();
  std::string text;

  const std::vector<ScanDestination> kinds = {
      int8.get(),   int16.get(),  int32.get(),
      int64.get(),  single.get(), twice.get(),
      extended.get(), real.get(), TextBuffer(small_buffer.get(), kSmallBufferBytes),
      prefixed.get(), &text,      TextBuffer(one_byte.get(), 1),
      nullptr,
  };
  std::vector<ScanDestination> destinations;
  for (std::size_t i = 0; i < 2 * kinds.size(); ++i) {
    destinations.push_back(kinds[(rotation + i) % kinds.size()]);
  }

  const std::int32_t result = ScanText(input, format, destinations);
  if (result < -1 || result > static_cast<std::int32_t>(destinations.size())) std::abort();
  if (prefixed->length > 255) std::abort();

  // ScanCore leaves both cursors inside the texts it was given.
  std::string_view input_cursor = input;
  std::string_view format_cursor = format;
  ScanCore(input_cursor, format_cursor, destinations);
  if (input_cursor.data() < input.data() ||
      input_cursor.data() + input_cursor.size() > input.data() + input.size()) {
    std::abort();
  }
  return 0;
}
