#ifndef NETREVIVE_PLATFORM_SIM_SIM_SESSION_START_H_
#define NETREVIVE_PLATFORM_SIM_SIM_SESSION_START_H_

// What Windows 9x does when a session starts after a restart or a log-off:
// it runs the entries of HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce
// one after the other, in the order of the values, each to its end before the
// next. It deletes each entry before it runs it, so that the entry runs once
// even when its program fails. It drops, without running anything:
// - an entry whose data is not text;
// - an entry whose command line names no program file on the drive;
// - an entry whose program is on a floppy disk or a network drive, which is
//   gone after the restart (SimMachine::GoneAfterRestart).
// The repair program itself is run by the caller of this model (it needs the
// console); every other program is a setup helper that runs here, as the
// machine's helper model plays it. Entries written while the session starts
// wait for the next one.
//
// netrevive-sim, the support guide and the tests all start sessions through
// this one model.

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"

namespace netrevive::simulated_pc {

// What Windows does with one RunOnce entry.
enum class RunOnceAction {
  kRunsProgram,       // it starts the repair program: the caller runs it with resolved.argv
  kRunsHelper,        // it starts another program, which ran (helper)
  kDroppedNotText,    // the value is not REG_SZ or REG_EXPAND_SZ
  kDroppedNotFound,   // no program file for the command line
  kDroppedDriveGone,  // the program is on a floppy disk or network drive
};

struct RunOnceEntry {
  std::string name;     // the value's name, "" for the default value
  std::string command;  // its text up to the first NUL ("" when not text)
  RunOnceAction action = RunOnceAction::kDroppedNotText;
  ResolvedCommand resolved;  // the program Windows would start and its argv
  HelperOutcome helper;      // for kRunsHelper: what the helper model did
};

class SessionStart {
 public:
  // Ends the machine's session and begins the next (BeginNewSession), and
  // notes the RunOnce entries it finds.
  explicit SessionStart(SimMachine& machine);

  // Whether RunOnce held any entry when the session began.
  bool any_entries() const { return !values_.empty(); }

  // Takes the next entry: deletes it, then drops it, runs it when it is a
  // helper, or leaves the run to the caller when it starts the program.
  // False when every entry has been taken.
  bool Next(RunOnceEntry* entry);

  // Takes entries up to the next one that starts the program and gives its
  // argv; false when none is left. The entries after it stay in RunOnce
  // until Next takes them (or, once this object is gone, until the next
  // session starts).
  bool NextProgramRun(std::vector<std::string>* argv);

 private:
  bool IsTheProgram(const std::string& program) const;

  SimMachine& machine_;
  std::vector<RegValue> values_;
  size_t next_ = 0;
};

// Starts the next session and plays its RunOnce entries up to the first that
// starts the program; its argv, or empty when no entry starts it. For tests
// that run the program themselves between sessions.
std::vector<std::string> StartSessionUpToProgram(SimMachine& machine);

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_SESSION_START_H_
