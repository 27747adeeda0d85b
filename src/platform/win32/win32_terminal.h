#ifndef NETREVIVE_PLATFORM_WIN32_WIN32_TERMINAL_H_
#define NETREVIVE_PLATFORM_WIN32_WIN32_TERMINAL_H_

#include <stddef.h>

#include "platform/terminal.h"

namespace netrevive {

// The console of the real machine: output goes to the standard output handle
// as raw bytes, keys come from the console itself through MSVCRT's _getch, so
// that redirected standard input never answers a prompt.
class Win32Terminal final : public Terminal {
 public:
  Win32Terminal();

  void Write(const char* data, size_t size) override;
  void Flush() override;
  void WaitForKey() override;

 private:
  void* output_;  // the standard output HANDLE
};

}  // namespace netrevive

#endif  // NETREVIVE_PLATFORM_WIN32_WIN32_TERMINAL_H_
