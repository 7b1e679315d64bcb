// Placeholder; the profile reader follows.
#ifndef ZELSNMP_POLLER_PROFILE_READER_H_
#define ZELSNMP_POLLER_PROFILE_READER_H_
#endif  // ZELSNMP_POLLER_PROFILE_READER_H_
