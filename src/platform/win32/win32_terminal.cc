#include "platform/win32/win32_terminal.h"

#define WIN32_LEAN_AND_MEAN
#include <conio.h>
#include <windows.h>

namespace netrevive {

Win32Terminal::Win32Terminal() : output_(::GetStdHandle(STD_OUTPUT_HANDLE)) {}

// A console or a pipe may take less than asked for; go on until all is
// written or the handle refuses (no console at all, a closed pipe), in
// which case the rest is dropped: there is nowhere else to report it.
bool Win32Terminal::WriteAll(const char* data, size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(output_, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// Each line ends with CR LF, as a text-mode C stream writes it on Windows,
// whether the output goes to the console, a file or a pipe.
void Win32Terminal::Write(const char* data, size_t size) {
  char chunk[256];
  size_t used = 0;
  for (size_t i = 0; i < size; ++i) {
    if (used + 2 > sizeof(chunk)) {
      if (!WriteAll(chunk, used)) return;
      used = 0;
    }
    if (data[i] == '\n') chunk[used++] = '\r';
    chunk[used++] = data[i];
  }
  WriteAll(chunk, used);
}

// WriteFile does not buffer: once Write returns, the bytes are with the
// console or the file behind standard output.
void Win32Terminal::Flush() {}

bool Win32Terminal::HasConsoleInput() {
  HANDLE input =
      ::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(input);
  return true;
}

// MSVCRT's _getch reads from the console input device (CONIN$), not from the
// standard input handle, and does not echo.
void Win32Terminal::WaitForKey() {
  // A function or cursor key arrives as two codes, 0 or 0xE0 and then its
  // scan code; both belong to the one key press.
  int key = _getch();
  if (key == 0 || key == 0xE0) _getch();
}

}  // namespace netrevive
