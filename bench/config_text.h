// Configuration files for the benchmarks: `sections` agents of `lines` point lines each, in
// the shape a complex's configuration has (status, analog and signal points bound to OIDs).

#ifndef ZELSNMP_BENCH_CONFIG_TEXT_H_
#define ZELSNMP_BENCH_CONFIG_TEXT_H_

#include <string>

namespace zelsnmp::bench {

inline constexpr int kLinesPerSection = 50;

// Section i is agent 10.x.y.z (or `fixed_host` for all) with community "public<i>".
inline std::string ConfigText(int sections, int lines, const std::string& fixed_host = "") {
  static const char* const kKinds[] = {"#TC", "#TT", "#TS"};
  std::string text;
  text.reserve(static_cast<std::size_t>(sections) * lines * 40);
  for (int s = 0; s < sections; ++s) {
    const std::string host = fixed_host.empty()
                                 ? "10." + std::to_string(s / 65536) + "." +
                                       std::to_string(s / 256 % 256) + "." + std::to_string(s % 256)
                                 : fixed_host;
    text += "[" + host + ":public" + std::to_string(s) + "]\r\n";
    for (int l = 0; l < lines; ++l) {
      text += kKinds[l % 3];
      text += "1:" + std::to_string(s % 1000) + ":" + std::to_string(l) + "=1.3.6.1.2.1.2.2.1." +
              std::to_string(10 + l % 12) + "." + std::to_string(1 + l) + "\r\n";
    }
  }
  return text;
}

}  // namespace zelsnmp::bench

#endif  // ZELSNMP_BENCH_CONFIG_TEXT_H_
