#ifndef NETREVIVE_SUPPORT_KIT_PAUSE_PROBE_H_
#define NETREVIVE_SUPPORT_KIT_PAUSE_PROBE_H_

// Where the caller can be when the phone rings: every pause of a repair and
// the last screen of every run, with the simulated PC as it is at that
// moment, and what becomes of the PC when the caller closes the window or
// switches off there instead of pressing the key.

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"

namespace netrevive::support_kit {

// One place the program waits for a key.
struct Stop {
  int run = 0;                    // 1-based run of the program in the repair
  std::vector<std::string> argv;  // the run's command line
  bool by_windows = false;        // Windows started the run from RunOnce
  int pause = 0;                  // 1-based pause in the run
  bool last = false;              // the run's last pause (its last screen)
  std::string screen;             // what the run printed since the last key press
  std::string state;              // what has been done to the PC, in words
  // What happens when the caller closes the window here and restarts the
  // PC: the endings of the runs Windows starts by itself, or of the caller
  // starting the program again when nothing comes back; the same after
  // switching off.
  std::string after_close;
  std::string after_power_off;
  // What pressing the key does: the next screen's first line, the restart,
  // or the end of the run.
  std::string next;
  std::string ending;  // the run's ending
};

// The simulated PC for netrevive-sim's arguments (presets, --inject,
// --program, --start; --keys auto implied) and the user's first command line.
bool BuildSimulatedPc(const std::vector<std::string>& args, simulated_pc::SimMachine* machine,
                      std::vector<std::string>* first_argv, std::string* error);

// Plays the repair for netrevive-sim's arguments (as SimulateInMemory takes
// them) and lists its stops. False with a message for arguments it does
// not take.
bool ProbeStops(const std::vector<std::string>& args, std::vector<Stop>* stops, std::string* error);

// The PC's state as the repair sees it, in words, compared with before:
// backups, the Winsock2 key, DUN, the upgrade, what is scheduled.
std::string DescribeState(const simulated_pc::SimMachine& before,
                          const simulated_pc::SimMachine& now);

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_PAUSE_PROBE_H_
