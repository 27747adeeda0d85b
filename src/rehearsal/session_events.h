#ifndef NETREVIVE_SIMULATOR_SESSION_EVENTS_H_
#define NETREVIVE_SIMULATOR_SESSION_EVENTS_H_

// What happens in a simulation, in order, as the session player reports it:
// the program's output and everything the simulator says about the run and
// about Windows between runs. The transcript printer (SimOutput) writes each
// event; the support guide reads them by kind.

#include <stdio.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_session_start.h"
#include "rehearsal/endings.h"

namespace netrevive::rehearsal {

enum class EventKind {
  // ---- the program's run
  kProgramOutput,     // text: bytes the program printed
  kKeyPause,          // the program waits for a key (shown with --keys auto)
  kProgramStarts,     // argv
  kProgramEnded,      // number: the exit status
  kEnding,            // ending (nullptr when none or several match), text: the name shown
  kEndingMeaning,     // ending (--advice)
  kEndingAdvice,      // ending (--advice)
  kInjectedFault,     // text: the call the fault plan failed
  kHelperStarted,     // text: the command line, folder ("" none), effect, request (a restart)
  kHelperNotStarted,  // text: the program, number: the status
  kExitWindows,       // request: what the program asked Windows for
  // ---- Windows around the runs
  kUserStarts,         // command: the command line the user starts; text: as shown
  kLastSessionEnded,   // request: how the machine's last session ended before the simulation
  kSessionEnds,        // request: Windows restarts or the user logs on again
  kRunOnceEmpty,       // session: nothing is scheduled
  kRunOnceEntry,       // session, entry: Windows takes an entry
  kRunOnceDropped,     // entry: Windows drops it (not found, drive gone)
  kWindowsRuns,        // entry: Windows runs a helper from RunOnce; effect, request
  kSimulationEnds,     // no restart or log-off was requested
  kStoppedAtOneRun,    // request: --one-run stops before Windows goes on
  kStoppedAtSessions,  // number: the session limit
  kDiscInserted,       // the Windows CD the user holds goes into its drive at a pause
  kCallerRunsCheck,    // command: the Check the caller starts once the repair has gone its way
  // ---- the simulator's report of changes
  kReportLine,  // text: a line of the changes or the summary
};

struct SimEvent {
  EventKind kind = EventKind::kReportLine;
  std::string text;
  std::string command;
  int number = 0;
  int session = 0;
  simulated_pc::SessionRequest request = simulated_pc::SessionRequest::kNone;
  std::vector<std::string> argv;
  const Ending* ending = nullptr;
  simulated_pc::RunOnceEntry entry;
  std::string folder;
  std::string effect;
};

// For kHelperStarted: "COMMAND_LINE (in FOLDER) -> EFFECT".
std::string HelperStart(const SimEvent& event);

// The line the transcript shows for a simulator event (after "== "); "" for
// program output.
std::string EventLine(const SimEvent& event);

// Standard output of the simulator: the program's own bytes and the
// simulator's lines, which start with "== " and always begin a line.
class SimOutput {
 public:
  // out may be null: then the events are only kept.
  explicit SimOutput(FILE* out, std::vector<SimEvent>* events = nullptr)
      : out_(out), events_(events) {}

  void Add(SimEvent event);
  // A kReportLine event: a line of the simulator's own report.
  void Line(const std::string& text);
  void Program(const char* data, size_t size);
  void Flush();

 private:
  FILE* out_;
  std::vector<SimEvent>* events_;
  bool at_line_start_ = true;
};

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_SESSION_EVENTS_H_
