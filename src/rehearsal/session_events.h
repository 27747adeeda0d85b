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

// How the rehearsal names each way a session can end, one row per request:
// the word of a machine folder's "pending=" setting, and the words of the
// simulator's lines and of the prediction. kNone's row has only its word:
// no line speaks of a session that did not end.
struct SessionEndNames {
  simulated_pc::SessionRequest request;
  const char* word;             // machine.txt: "none", "restart", "logoff"
  const char* exit_windows;     // what the program asked ExitWindowsEx for
  const char* last_session;     // how the machine's last session ended, before the simulation
  const char* windows_next;     // what Windows does once the session has ended
  const char* stopped_before;   // what --one-run stops before ("... before Windows ...")
  const char* prediction_then;  // the prediction's line after a run that ended the session
};
inline constexpr SessionEndNames kSessionEndNames[] = {
    {simulated_pc::SessionRequest::kNone, "none", "", "", "", "", ""},
    {simulated_pc::SessionRequest::kRestart, "restart", "Windows is asked to restart",
     "with a restart request", "Windows restarts", "restarts", "Windows restarts"},
    {simulated_pc::SessionRequest::kLogOff, "logoff", "the user is logged off",
     "with the user logged off", "the session ends; the user logs on again",
     "logs the user on again", "the session ends (log-off)"},
};

// The row of request.
const SessionEndNames& NamesOf(simulated_pc::SessionRequest request);

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
