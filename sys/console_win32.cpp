#include "sys/console.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zelsnmp {

int PollConsoleKey() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return 0;
  // Fails on a handle that is no console (a file, a pipe): then there is no key either.
  DWORD pending = 0;
  if (!GetNumberOfConsoleInputEvents(input, &pending) || pending == 0) return 0;
  INPUT_RECORD record{};
  DWORD read = 0;
  if (!ReadConsoleInputA(input, &record, 1, &read) || read != 1) return 0;
  if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return 0;
  return record.Event.KeyEvent.wVirtualKeyCode;
}

}  // namespace zelsnmp
