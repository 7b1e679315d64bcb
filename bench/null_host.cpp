// Host calls that do nothing: the floor of a poll pass, against which the stand-in's cost is
// measured. Only the calls a poll pass makes are here.

#include "host/nodehub.h"
#include "host/scadalink.h"

extern "C" {

std::int32_t slSetStatus(std::int32_t, std::uint16_t, std::uint16_t, std::uint16_t, std::int32_t,
                         std::int32_t, std::int32_t) {
  return 1;
}
std::int32_t slSetStatusFlags(std::int32_t, std::uint16_t, std::uint16_t, std::uint16_t,
                              std::uint16_t) {
  return 1;
}
std::int32_t slSetAnalogFloatCodeUT(std::int32_t, std::uint16_t, std::uint16_t, std::uint16_t,
                                    float, std::int32_t, std::int32_t, std::int32_t) {
  return 1;
}
std::int32_t slSetAnalogFlags(std::int32_t, std::uint16_t, std::uint16_t, std::uint16_t,
                              std::uint16_t) {
  return 1;
}
std::int32_t e_printf(const char*, ...) { return 0; }
std::int32_t m_printf(const char*, ...) { return 0; }
std::int32_t d_printf(const char*, ...) { return 0; }

}  // extern "C"
