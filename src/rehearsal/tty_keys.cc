#include "rehearsal/tty_keys.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

namespace netrevive::rehearsal {

namespace {

// What a signal handler needs to put the terminal back as it was.
int g_restore_fd = -1;
struct termios g_restore_settings;

void RestoreAndRaise(int signal_number) {
  if (g_restore_fd >= 0) tcsetattr(g_restore_fd, TCSANOW, &g_restore_settings);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

}  // namespace

TtyKeys::~TtyKeys() {
  if (fd_ >= 0) ::close(fd_);
}

bool TtyKeys::Open(std::string* error) {
  fd_ = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) {
    *error = std::string("cannot read keys from the terminal (/dev/tty: ") + strerror(errno) +
             "); use --keys auto to answer every pause at once";
    return false;
  }
  struct termios settings;
  if (tcgetattr(fd_, &settings) != 0) {
    *error = std::string("/dev/tty is not a terminal (") + strerror(errno) +
             "); use --keys auto to answer every pause at once";
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

void TtyKeys::ReadKey() {
  if (fd_ < 0) return;
  struct termios saved;
  if (tcgetattr(fd_, &saved) != 0) return;
  struct termios raw = saved;
  // One byte at a time, unechoed; Ctrl+C still interrupts.
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;

  g_restore_settings = saved;
  g_restore_fd = fd_;
  struct sigaction action;
  memset(&action, 0, sizeof(action));
  action.sa_handler = RestoreAndRaise;
  struct sigaction old_int;
  struct sigaction old_term;
  struct sigaction old_hup;
  sigaction(SIGINT, &action, &old_int);
  sigaction(SIGTERM, &action, &old_term);
  sigaction(SIGHUP, &action, &old_hup);

  tcsetattr(fd_, TCSANOW, &raw);
  char key = 0;
  ssize_t got;
  do {
    got = ::read(fd_, &key, 1);
  } while (got < 0 && errno == EINTR);
  tcsetattr(fd_, TCSANOW, &saved);

  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
  sigaction(SIGHUP, &old_hup, nullptr);
  g_restore_fd = -1;
}

}  // namespace netrevive::rehearsal
