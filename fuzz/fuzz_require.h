// Require: how a fuzz target states a promise of the code it feeds. A broken promise aborts,
// which libFuzzer reports as a finding with the input that broke it.

#ifndef ZELSNMP_FUZZ_FUZZ_REQUIRE_H_
#define ZELSNMP_FUZZ_FUZZ_REQUIRE_H_

#include <cstdlib>

inline void Require(bool condition) {
  if (!condition) std::abort();
}

#endif  // ZELSNMP_FUZZ_FUZZ_REQUIRE_H_
