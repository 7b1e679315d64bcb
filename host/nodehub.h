/* nodehub: the client library of the configuration server, the local process monitor, the
 * trace facility and the three log outputs, as the task calls it.
 *
 * Conventions of this interface:
 *  - Plain C functions (extern "C"), the library's own names and argument order.
 *  - Every text is a zero-terminated 8-bit string in the Windows-1251 code page.
 *  - Integers are 32-bit; a configuration-server handle greater than 0 is a connection.
 *  - Buffers are owned by the caller and passed with their capacity in bytes; the library
 *    writes at most that many bytes, zero byte included.
 *  - Out words are 32-bit variables owned by the caller, passed by address.
 *  - Process-monitor events are opaque handles (a Windows event handle on Windows); a null
 *    handle means the event was not created. The task signals and waits on them through
 *    sys/event.h.
 *  - e_printf, m_printf and d_printf are printf-like (%s, %d, %i, %u, %x, %X, %c, %%) and are
 *    always called with the format and exactly five further arguments, 0 in the places the
 *    format does not use. A text built from run-time data is never passed as the format: it goes
 *    as the argument of "%s". No line end is added; the caller's text carries its own.
 *  - Results the task never reads are still declared, as 32-bit integers.
 */

#ifndef ZELSNMP_HOST_NODEHUB_H_
#define ZELSNMP_HOST_NODEHUB_H_

#include <cstdint>

#include "host/host_call.h"

extern "C" {

typedef void* nhEventHandle;

/* The 8-byte record the trace facility keeps for the task. */
typedef struct StracServerRecord {
  std::int32_t words[2];
} StracServerRecord;

/* Trace facility. */
std::int32_t ZELSNMP_HOST_CALL strac_AllocServer(StracServerRecord* record, std::int32_t process_id,
                                                 std::int32_t reserved, char* trace_name,
                                                 char* type_string);
std::int32_t ZELSNMP_HOST_CALL strac_SetServerState(StracServerRecord* record, std::int32_t state);

/* Process monitor: registers the process with its arguments (element 0 the program's path) and
 * stores the start and stop event handles. */
std::int32_t ZELSNMP_HOST_CALL nhPmonLocalRegisterProcess(std::int32_t argument_count,
                                                          const char* const* arguments,
                                                          nhEventHandle* start_event,
                                                          nhEventHandle* stop_event);

/* Configuration server. */
std::int32_t ZELSNMP_HOST_CALL nhConnect(const char* machine, std::int32_t* error_word,
                                         char* error_text, std::int32_t error_capacity);
std::int32_t ZELSNMP_HOST_CALL nhFileGet(std::int32_t handle, const char* remote_path,
                                         const char* local_path, std::int32_t timeout_ms,
                                         std::int32_t* out_word, std::int32_t* error_word,
                                         char* error_text, std::int32_t error_capacity);
std::int32_t ZELSNMP_HOST_CALL nhDisconnect(std::int32_t handle);

/* Log outputs: errors, messages, debug trace. A variable argument list: always cdecl. */
std::int32_t e_printf(const char* format, ...);
std::int32_t m_printf(const char* format, ...);
std::int32_t d_printf(const char* format, ...);

}  /* extern "C" */

#endif  /* ZELSNMP_HOST_NODEHUB_H_ */
