/* scadalink: the client library of the TM server, as the task calls it.
 *
 * Conventions of this interface:
 *  - Plain C functions (extern "C"), the library's own names and argument order.
 *  - Every text is a zero-terminated 8-bit string in the Windows-1251 code page.
 *  - Integers are 32-bit unless given as std::uint16_t: the channel, RTU and point of a TM point
 *    address and the point flags are 16-bit values (only their low 16 bits travel).
 *  - A connection id greater than 0 is a connection; any other value is a failure, and no other
 *    call may be made with it.
 *  - Buffers are owned by the caller and passed with their capacity in bytes where the call
 *    takes one; the library writes at most that many bytes, zero byte included.
 *  - Results the task never reads are still declared, as 32-bit integers.
 *  - Arguments the task passes as 0 are reserved: their meaning is the library's.
 */

#ifndef ZELSNMP_HOST_SCADALINK_H_
#define ZELSNMP_HOST_SCADALINK_H_

#include <cstdint>

#include "host/host_call.h"

extern "C" {

/* Called by the library on connection events; three 32-bit arguments, no result. */
typedef void(ZELSNMP_HOST_CALL* slConnectEventProc)(std::int32_t, std::int32_t, std::int32_t);

/* Connects to TM server `server` on computer `machine`; > 0 is the connection id. */
std::int32_t ZELSNMP_HOST_CALL slConnect(const char* machine, const char* server,
                                         std::int32_t reserved, slConnectEventProc on_event,
                                         std::int32_t reserved2);

/* Writes the server's time into `buffer` (the task gives 84 bytes). */
std::int32_t ZELSNMP_HOST_CALL slSystemTime(std::int32_t connection, char* buffer,
                                            std::int32_t reserved);

/* Non-zero while the connection is up. */
std::int32_t ZELSNMP_HOST_CALL slIsConnected(std::int32_t connection);

/* Fills the two buffers with the machine and the server the connection really reached. */
std::int32_t ZELSNMP_HOST_CALL slGetCurrentServer(std::int32_t connection, char* machine,
                                                  std::int32_t machine_capacity, char* server,
                                                  std::int32_t server_capacity);

/* Point writes. */
std::int32_t ZELSNMP_HOST_CALL slSetStatus(std::int32_t connection, std::uint16_t channel,
                                           std::uint16_t rtu, std::uint16_t point,
                                           std::int32_t value, std::int32_t reserved,
                                           std::int32_t reserved2);
std::int32_t ZELSNMP_HOST_CALL slSetStatusFlags(std::int32_t connection, std::uint16_t channel,
                                                std::uint16_t rtu, std::uint16_t point,
                                                std::uint16_t flags);
std::int32_t ZELSNMP_HOST_CALL slSetAnalogFloatCodeUT(std::int32_t connection,
                                                      std::uint16_t channel, std::uint16_t rtu,
                                                      std::uint16_t point, float value,
                                                      std::int32_t reserved, std::int32_t reserved2,
                                                      std::int32_t reserved3);
std::int32_t ZELSNMP_HOST_CALL slSetAnalogFlags(std::int32_t connection, std::uint16_t channel,
                                                std::uint16_t rtu, std::uint16_t point,
                                                std::uint16_t flags);

/* Closes the connection. */
std::int32_t ZELSNMP_HOST_CALL slDisconnect(std::int32_t connection);

}  /* extern "C" */

#endif  /* ZELSNMP_HOST_SCADALINK_H_ */
