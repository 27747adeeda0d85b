#ifndef NETREVIVE_SIMULATOR_TTY_KEYS_H_
#define NETREVIVE_SIMULATOR_TTY_KEYS_H_

#include <string>

namespace netrevive::rehearsal {

// Single key presses read from the controlling terminal (/dev/tty), never
// from standard input, without echo and without waiting for Enter, as the
// program's console does on Windows. The terminal's settings are restored
// after each key, and also when the process is interrupted while waiting.
class TtyKeys {
 public:
  TtyKeys() = default;
  ~TtyKeys();
  TtyKeys(const TtyKeys&) = delete;
  TtyKeys& operator=(const TtyKeys&) = delete;

  // Opens /dev/tty. False with a message when there is no terminal.
  bool Open(std::string* error);
  // Waits for one key. Returns at once when the terminal is gone.
  void ReadKey();

 private:
  int fd_ = -1;
};

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_TTY_KEYS_H_
