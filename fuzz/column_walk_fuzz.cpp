// libFuzzer target: arbitrary bytes decoded as the answer to each request of a key column's
// walk (poller/row_book.h), given again and again as a device that always sends the same
// datagram would. The walk's promises are checked: it never reads more rows than its limit,
// every answer reads a row or ends it (or once turns GetBulk into GetNext), so the same answer
// ends it within three requests, and a row it matched lies under the column.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_require.h"
#include "poller/row_book.h"
#include "snmp/oid_order.h"
#include "snmp/snmp_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelsnmp;
  if (size == 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  TSNMPRec reply;
  if (!reply.DecodeMessage(bytes)) return 0;
  // The first byte: GetBulk or GetNext, and the repetitions.
  ColumnWalk walk("1.3.6.1.2.1.2.2.1.2", {"eth0", ""}, 1 + data[0] % 64, data[0] < 128);
  TSNMPRec query;
  std::size_t requests = 0;
  while (walk.Next(query, "public")) {
    Require(++requests <= 3);
    Require(query.BindingCount() == 1);
    walk.Take(&reply);
    Require(walk.RowsRead() <= kWalkRowLimit);
  }
  Require(walk.Done());
  for (const KeyMatch& match : walk.Matches()) {
    Require(match.rows <= walk.RowsRead());
    Require((match.rows == 0) == match.first_index.empty());
    if (match.rows > 0) Require(OidUnder("1.3.6.1.2.1.2.2.1.2." + match.first_index, walk.Column()));
  }
  return 0;
}
