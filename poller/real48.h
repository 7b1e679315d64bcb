// EncodeReal48: the 6-byte real that the H floating prefix of the scanner stores.
//
// The value is rounded to the nearest representable one (ties to even, 40 significant
// bits). The format holds magnitudes from 2^-128 to (2 - 2^-39) * 2^126 and has no
// infinity or NaN, so:
//   - zero (of either sign) and magnitudes that round below 2^-128 give all six bytes 0;
//   - magnitudes beyond the largest, infinities included, saturate to the largest magnitude
//     with the value's sign (exponent byte 255, every fraction bit set);
//   - a NaN gives all six bytes 0, since no value of the format stands for it.

#ifndef ZELSNMP_POLLER_REAL48_H_
#define ZELSNMP_POLLER_REAL48_H_

#include "poller/scan_destination.h"

namespace zelsnmp {

Real48 EncodeReal48(long double value);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_REAL48_H_
