#include "platform/win32/win32_terminal.h"

#define WIN32_LEAN_AND_MEAN
#include <conio.h>
#include <windows.h>

namespace netrevive {

Win32Terminal::Win32Terminal() : output_(::GetStdHandle(STD_OUTPUT_HANDLE)) {}

void Win32Terminal::Write(const char* data, size_t size) {
  // A console or a pipe may take less than asked for; go on until all is
  // written or the handle refuses (no console at all, a closed pipe), in
  // which case the rest is dropped: there is nowhere else to report it.
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(output_, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) {
      return;
    }
    data += written;
    size -= written;
  }
}

// WriteFile does not buffer: once Write returns, the bytes are with the
// console or the file behind standard output.
void Win32Terminal::Flush() {}

// MSVCRT's _getch reads from the console input device (CONIN$), not from the
// standard input handle, and does not echo.
void Win32Terminal::WaitForKey() {
  // A function or cursor key arrives as two codes, 0 or 0xE0 and then its
  // scan code; both belong to the one key press.
  int key = _getch();
  if (key == 0 || key == 0xE0) _getch();
}

}  // namespace netrevive
