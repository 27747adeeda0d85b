#ifndef NETREVIVE_DRIVER_SIM_SIM_SESSION_H_
#define NETREVIVE_DRIVER_SIM_SIM_SESSION_H_

#include <stdio.h>

#include <string>

#include "driver/sim/machine_folder.h"
#include "driver/sim/options.h"
#include "driver/sim/tty_keys.h"
#include "platform/sim/sim_machine.h"

namespace netrevive::sim {

// Standard output of the simulator: the program's own bytes and the
// simulator's lines, which start with "== " and always begin a line.
class SimOutput {
 public:
  explicit SimOutput(FILE* out) : out_(out) {}

  void Program(const char* data, size_t size);
  // Writes "== " + text and a line end.
  void Note(const std::string& text);
  void Flush();

 private:
  FILE* out_;
  bool at_line_start_ = true;
};

struct SessionSettings {
  KeySource keys = KeySource::kAuto;
  TtyKeys* tty = nullptr;  // for KeySource::kTerminal
  bool one_run = false;
  // argv[0] of the user's start; "" for the machine's program path.
  std::string program;
  // How the machine's last session ended before this simulation (from its
  // folder); kNone starts with the user running the program.
  SessionRequest pending = SessionRequest::kNone;
  int max_sessions = 10;
};

// Plays the repair on the machine: the user's run of the program, then for
// as long as a run ends with a restart or log-off request, a new Windows
// session that runs each HKLM RunOnce entry. Prints the program's output, the
// simulator's own lines and, at the end, what changed. Returns how the last
// session ended when the simulation stopped before Windows went on
// (--one-run or the session limit), kNone otherwise.
SessionRequest RunSessions(SimMachine& machine, const SessionSettings& settings, SimOutput& out);

}  // namespace netrevive::sim

#endif  // NETREVIVE_DRIVER_SIM_SIM_SESSION_H_
