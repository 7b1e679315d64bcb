/* The calling convention of the host libraries' operations (scadalink, nodehub).
 *
 * Their interface description does not fix it, so the build chooses it: the CMake option
 * ZELSNMP_HOST_CALLING_CONVENTION (cdecl, the default, or stdcall) sets ZELSNMP_HOST_CALL for
 * a 32-bit Windows build; every other platform has one convention only and leaves it empty.
 * It marks every operation and the connection-event callback the task hands to scadalink. The
 * printf-like outputs (e_printf, m_printf, d_printf) take a variable argument list and are
 * always cdecl.
 */

#ifndef ZELSNMP_HOST_HOST_CALL_H_
#define ZELSNMP_HOST_HOST_CALL_H_

#ifndef ZELSNMP_HOST_CALL
#define ZELSNMP_HOST_CALL
#endif

#endif  /* ZELSNMP_HOST_HOST_CALL_H_ */
