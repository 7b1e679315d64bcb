// The console key check of the poll cycle.
//
// PollConsoleKey looks whether a key press is waiting in the task's console and, if so, takes
// exactly one and gives a non-zero code for it; otherwise it gives 0 at once, never blocking.
// When standard input is not a terminal (redirected from a file or a pipe, or closed), it always
// gives 0, as the console check on a redirected handle does.
//
// On Windows it takes one record from the standard input console: a key-down record gives its
// virtual-key code, any other record (key release, mouse, focus...) is taken and gives 0.
//
// On POSIX the first call puts the terminal into non-canonical, no-echo mode, so that a single
// key is seen without Enter and nothing is echoed, and keeps it so for the life of the process.
// The previous mode is restored on every way out: a normal return or exit, and a signal that ends
// the process (handlers are added only for signals still at their default action, so a handler
// that turns SIGINT/SIGTERM into an orderly stop is left alone; that stop then ends in an exit).
// A process in the background of its terminal is left alone and sees no key.

#ifndef ZELSNMP_SYS_CONSOLE_H_
#define ZELSNMP_SYS_CONSOLE_H_

namespace zelsnmp {

int PollConsoleKey();

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_CONSOLE_H_
