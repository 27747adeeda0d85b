#ifndef NETREVIVE_SIMULATOR_SESSION_PLAYER_H_
#define NETREVIVE_SIMULATOR_SESSION_PLAYER_H_

#include <stdio.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "rehearsal/machine_folder.h"
#include "rehearsal/options.h"
#include "rehearsal/session_events.h"
#include "rehearsal/tty_keys.h"

namespace netrevive::rehearsal {

// One run of the program in a simulation.
struct RunReport {
  int session = 0;
  std::vector<std::string> argv;
  std::string runonce_name;     // the RunOnce value that started it; "" for the user's run
  std::string runonce_command;  // its command line
  bool callers_check = false;   // the Check the simulator has the caller run at the end
  std::string output;           // what the program printed
  std::string shown;            // the same with a line "[key]" at each pause
  // The entry of Endings() the output matches; nullptr when none or several do.
  const Ending* ending = nullptr;
  std::string ending_name;  // EndingName of the output: the ending's, "unknown" or "a+b"
  // How the session ended after the run.
  simulated_pc::SessionRequest session_end = simulated_pc::SessionRequest::kNone;
};

struct SessionReport {
  std::vector<RunReport> runs;
  int restarts = 0;
  int logoffs = 0;
};

// One place the program waits for a key, as the session player meets it.
struct PauseStop {
  int run = 0;                    // 1-based run of the program in the simulation
  std::vector<std::string> argv;  // the run's command line
  bool by_windows = false;        // Windows started the run from RunOnce
  bool callers_check = false;     // the Check the simulator has the caller run at the end
  int pause = 0;                  // 1-based pause in the run
  std::string output;             // what the run printed up to the pause
  std::string screen;             // what it printed since the last key press
};

// Called at each pause with the machine as it is there (before a Windows
// CD held ready goes into its drive); the callee copies what it keeps.
using PauseHook = std::function<void(const PauseStop&, const simulated_pc::SimMachine&)>;

struct SessionSettings {
  KeySource keys = KeySource::kAuto;
  TtyKeys* tty = nullptr;  // for KeySource::kTerminal
  bool one_run = false;
  // argv[0] of the user's start; "" for the machine's program path.
  std::string program;
  // How the machine's last session ended before this simulation (from its
  // folder); kNone starts with the user running the program.
  simulated_pc::SessionRequest pending = simulated_pc::SessionRequest::kNone;
  int max_sessions = 10;
  bool advice = false;  // print meaning and advice after each ending line
  // The user's first run's argv; empty for the machine's program path alone.
  std::vector<std::string> first_argv;
  std::string start_text;           // the command line first_argv came from, to show
  SessionReport* report = nullptr;  // filled when given
  PauseHook on_pause;               // called at each pause when given
};

// Plays the repair on the machine: the user's run of the program, then for
// as long as a run ends with a restart or log-off request, a new Windows
// session that runs each HKLM RunOnce entry. Prints the program's output, the
// simulator's own lines and, at the end, what changed. Returns how the last
// session ended when the simulation stopped before Windows went on
// (--one-run or the session limit), kNone otherwise.
simulated_pc::SessionRequest RunSessions(simulated_pc::SimMachine& machine,
                                         const SessionSettings& settings, SimOutput& out);

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_SESSION_PLAYER_H_
