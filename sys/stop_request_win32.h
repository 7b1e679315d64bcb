// The Windows console control handling behind SignalEventOnStopRequest, reachable by the tests.
//
// Ctrl+C, Ctrl+Break, closing the console window, logging off and shutting down all signal the
// stop event. Ctrl+C and Ctrl+Break leave the process running. After a close, log-off or
// shut-down notification, Windows ends the process as soon as the handler returns (and, if it
// does not return, after a few seconds): the handler therefore does not return but waits in
// `CloseWait`, so that the task can use that time to stop in order and end by itself.

#ifndef ZELSNMP_SYS_STOP_REQUEST_WIN32_H_
#define ZELSNMP_SYS_STOP_REQUEST_WIN32_H_

namespace zelsnmp {

// What the installed handler does with one console control notification (a CTRL_*_EVENT
// value); true when the notification was handled.
bool HandleConsoleControl(unsigned long control_type);

// The wait after a close, log-off or shut-down notification (by default: until the process
// ends). Tests put a recording function in its place; gives the previous one.
using CloseWait = void (*)();
CloseWait SetCloseWaitForTesting(CloseWait wait);

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_STOP_REQUEST_WIN32_H_
