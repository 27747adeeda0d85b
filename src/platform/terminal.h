#ifndef NETREVIVE_PLATFORM_TERMINAL_H_
#define NETREVIVE_PLATFORM_TERMINAL_H_

#include <stddef.h>

namespace netrevive {

// The device under the console: raw output bytes, a flush, and one key read
// from the console itself (never from redirected standard input), unechoed.
class Terminal {
 public:
  virtual void Write(const char* data, size_t size) = 0;
  virtual void Flush() = 0;
  virtual void WaitForKey() = 0;

 protected:
  ~Terminal() = default;
};

}  // namespace netrevive

#endif  // NETREVIVE_PLATFORM_TERMINAL_H_
