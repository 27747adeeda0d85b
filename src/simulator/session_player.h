#ifndef NETREVIVE_SIMULATOR_SESSION_PLAYER_H_
#define NETREVIVE_SIMULATOR_SESSION_PLAYER_H_

#include <stdio.h>

#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"
#include "simulator/machine_folder.h"
#include "simulator/options.h"
#include "simulator/tty_keys.h"

namespace netrevive::simulator {

// Standard output of the simulator: the program's own bytes and the
// simulator's lines, which start with "== " and always begin a line.
class SimOutput {
 public:
  // One piece of output, for callers that read the output back (the guide).
  struct Event {
    bool note = false;  // a simulator line (its text without "== "), else program bytes
    std::string text;
  };

  // out may be null: then the output is only kept in events.
  explicit SimOutput(FILE* out, std::vector<Event>* events = nullptr)
      : out_(out), events_(events) {}

  void Program(const char* data, size_t size);
  // Writes "== " + text and a line end.
  void Note(const std::string& text);
  void Flush();

 private:
  FILE* out_;
  std::vector<Event>* events_;
  bool at_line_start_ = true;
};

// One run of the program in a simulation.
struct RunReport {
  int session = 0;
  std::vector<std::string> argv;
  std::string runonce_name;     // the RunOnce value that started it; "" for the user's run
  std::string runonce_command;  // its command line
  std::string output;           // what the program printed
  std::string shown;            // the same with a line "[key]" at each pause
  std::string ending;           // EndingName of the output
  // How the session ended after the run: "restart", "log-off" or "" for none.
  std::string session_end;
};

struct SessionReport {
  std::vector<RunReport> runs;
  int restarts = 0;
  int logoffs = 0;
};

struct SessionSettings {
  KeySource keys = KeySource::kAuto;
  TtyKeys* tty = nullptr;  // for KeySource::kTerminal
  bool one_run = false;
  // argv[0] of the user's start; "" for the machine's program path.
  std::string program;
  // How the machine's last session ended before this simulation (from its
  // folder); kNone starts with the user running the program.
  sim::SessionRequest pending = sim::SessionRequest::kNone;
  int max_sessions = 10;
  bool advice = false;  // print meaning and advice after each ending line
  // The user's first run's argv; empty for the machine's program path alone.
  std::vector<std::string> first_argv;
  std::string start_text;           // the command line first_argv came from, to show
  SessionReport* report = nullptr;  // filled when given
};

// Plays the repair on the machine: the user's run of the program, then for
// as long as a run ends with a restart or log-off request, a new Windows
// session that runs each HKLM RunOnce entry. Prints the program's output, the
// simulator's own lines and, at the end, what changed. Returns how the last
// session ended when the simulation stopped before Windows went on
// (--one-run or the session limit), kNone otherwise.
sim::SessionRequest RunSessions(sim::SimMachine& machine, const SessionSettings& settings,
                                SimOutput& out);

}  // namespace netrevive::simulator

#endif  // NETREVIVE_SIMULATOR_SESSION_PLAYER_H_
