#ifndef NETREVIVE_PLATFORM_WIN32_WIN32_TERMINAL_H_
#define NETREVIVE_PLATFORM_WIN32_WIN32_TERMINAL_H_

#include <stddef.h>

#include "platform/terminal.h"

namespace netrevive {

// The console of the real machine: output goes to the standard output handle
// with CR LF line ends, keys come from the console itself through MSVCRT's
// _getch, so that redirected standard input never answers a prompt.
class Win32Terminal final : public Terminal {
 public:
  Win32Terminal();

  // Whether the process has a console to read keys from. Without one
  // (started detached), _getch returns at once and every pause would pass
  // by itself.
  static bool HasConsoleInput();

  void Write(const char* data, size_t size) override;
  void Flush() override;
  void WaitForKey() override;

 private:
  bool WriteAll(const char* data, size_t size);

  void* output_;  // the standard output HANDLE
};

}  // namespace netrevive

#endif  // NETREVIVE_PLATFORM_WIN32_WIN32_TERMINAL_H_
