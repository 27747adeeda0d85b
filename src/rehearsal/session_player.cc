#include "rehearsal/session_player.h"

#include <map>
#include <vector>

#include "console/console.h"
#include "driver/driver.h"
#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_session_start.h"
#include "platform/simulated_pc/sim_snapshot.h"
#include "rehearsal/endings.h"

namespace netrevive::rehearsal {

using simulated_pc::CallRecord;
using simulated_pc::ChangeMark;
using simulated_pc::ChangesSince;
using simulated_pc::ExitRequest;
using simulated_pc::FormatChanges;
using simulated_pc::MachineChange;
using simulated_pc::MarkChanges;
using simulated_pc::Op;
using simulated_pc::ProcessRecord;
using simulated_pc::RunOnceAction;
using simulated_pc::RunOnceEntry;
using simulated_pc::SessionRequest;
using simulated_pc::SessionStart;
using simulated_pc::SimMachine;

namespace {

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

SimEvent Event(EventKind kind) {
  SimEvent event;
  event.kind = kind;
  return event;
}

struct HelperRunNote {
  int session = 0;
  std::string command_line;
  std::string effect;
  bool by_windows = false;  // started from RunOnce, not by the program
};

class Simulation {
 public:
  Simulation(SimMachine& machine, const SessionSettings& settings, SimOutput& out)
      : machine_(machine), settings_(settings), out_(out) {}

  SessionRequest Run();

  // Prints what the program did through the platform since the last look:
  // helper starts, session ends and injected faults. Called before each
  // piece of program output, so these lines fall where the calls happened.
  void ReportNewCalls();
  void Program(const char* data, size_t size) {
    ReportNewCalls();
    out_.Program(data, size);
    run_output_.append(data, size);
    run_shown_.append(data, size);
    pause_.screen.append(data, size);
  }
  void Flush() { out_.Flush(); }
  void WaitForKey();

 private:
  // callers_check: the Check the simulator has the caller run at the end.
  void RunProgram(const std::vector<std::string>& argv, const std::string& runonce_name = "",
                  const std::string& runonce_command = "", bool callers_check = false);
  // Plays the RunOnce entries of the session that starts. False when there
  // were none.
  bool PlayEntries(SessionStart& start);
  // The caller runs the Check once the repair has gone as far as it goes,
  // unless the last run was the Check.
  void RunCheck();
  // Lists the changes between the snapshot and now under the heading.
  void PrintChanges(const std::string& heading, const ChangeMark& before);
  void PrintSummary(const ChangeMark& before);

  SimMachine& machine_;
  const SessionSettings& settings_;
  SimOutput& out_;
  size_t calls_seen_ = 0;
  size_t processes_seen_ = 0;
  int session_ = 0;
  int program_runs_ = 0;
  int restarts_ = 0;
  int logoffs_ = 0;
  std::vector<HelperRunNote> helper_runs_;
  std::string run_output_;  // what the program printed in the current run
  std::string run_shown_;   // the same with the pauses marked
  PauseStop pause_;         // the current run, its pauses counted; screen since the last key
  SessionReport report_;
};

// The console device of the program inside the simulator.
class SimTerminal final : public Terminal {
 public:
  explicit SimTerminal(Simulation& simulation) : simulation_(simulation) {}
  void Write(const char* data, size_t size) override { simulation_.Program(data, size); }
  void Flush() override { simulation_.Flush(); }
  void WaitForKey() override { simulation_.WaitForKey(); }

 private:
  Simulation& simulation_;
};

void Simulation::WaitForKey() {
  ReportNewCalls();
  ++pause_.pause;
  if (settings_.on_pause) {
    pause_.output = run_output_;
    settings_.on_pause(pause_, machine_);
  }
  pause_.screen.clear();
  // A Windows CD the user holds goes into its drive when he is asked for it.
  if (machine_.disc_ready()) {
    machine_.InsertDiscReady();
    out_.Add(Event(EventKind::kDiscInserted));
  }
  if (!run_shown_.empty() && run_shown_.back() != '\n') run_shown_ += '\n';
  run_shown_ += "[key]\n";
  if (settings_.keys == KeySource::kAuto) {
    out_.Add(Event(EventKind::kKeyPause));
    return;
  }
  out_.Flush();
  if (settings_.tty != nullptr) settings_.tty->ReadKey();
}

void Simulation::ReportNewCalls() {
  const std::vector<CallRecord>& calls = machine_.calls();
  for (; calls_seen_ < calls.size(); ++calls_seen_) {
    const CallRecord& call = calls[calls_seen_];
    if (call.faulted) {
      SimEvent fault = Event(EventKind::kInjectedFault);
      fault.text = call.ToString();
      out_.Add(fault);
    }
    if (call.operation == Op::kCreateProcessA) {
      if (call.result != 0 && processes_seen_ < machine_.processes().size()) {
        const ProcessRecord& run = machine_.processes()[processes_seen_++];
        SimEvent helper = Event(EventKind::kHelperStarted);
        helper.text = run.command_line;
        helper.folder = run.working_directory;
        helper.effect = run.recognised ? run.effect : "not a known setup program, no change";
        if (run.requested_restart) helper.request = SessionRequest::kRestart;
        out_.Add(helper);
        helper_runs_.push_back(HelperRunNote{session_, run.command_line, helper.effect, false});
      } else {
        SimEvent failed = Event(EventKind::kHelperNotStarted);
        failed.text = call.path;
        failed.number = static_cast<int>(call.status);
        out_.Add(failed);
      }
    } else if (call.operation == Op::kExitWindowsEx && call.result != 0) {
      SimEvent exit = Event(EventKind::kExitWindows);
      exit.request = ExitRequest(call.exit_flags);
      out_.Add(exit);
    }
  }
}

void Simulation::RunProgram(const std::vector<std::string>& args, const std::string& runonce_name,
                            const std::string& runonce_command, bool callers_check) {
  SimEvent starts = Event(EventKind::kProgramStarts);
  starts.argv = args;
  out_.Add(starts);
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  SimTerminal terminal(*this);
  Console console(terminal, &machine_);
  run_output_.clear();
  run_shown_.clear();
  pause_ = PauseStop{};
  pause_.run = program_runs_ + 1;
  pause_.argv = args;
  pause_.by_windows = !runonce_name.empty();
  pause_.callers_check = callers_check;
  machine_.StartProgram();
  int status = RunNetrevive(static_cast<int>(args.size()), argv.data(), machine_, console);
  ReportNewCalls();
  SimEvent ended = Event(EventKind::kProgramEnded);
  ended.number = status;
  out_.Add(ended);
  ++program_runs_;
  RunReport run;
  run.session = session_;
  run.argv = args;
  run.runonce_name = runonce_name;
  run.runonce_command = runonce_command;
  run.callers_check = callers_check;
  run.output = run_output_;
  run.shown = run_shown_;
  const std::vector<const Ending*> endings = MatchEndings(run_output_);
  run.ending = endings.size() == 1 ? endings[0] : nullptr;
  run.ending_name = EndingName(run_output_);
  run.session_end = machine_.requested_session_end();
  SimEvent ending = Event(EventKind::kEnding);
  ending.ending = run.ending;
  ending.text = run.ending_name;
  out_.Add(ending);
  if (settings_.advice && run.ending != nullptr) {
    ending.kind = EventKind::kEndingMeaning;
    out_.Add(ending);
    ending.kind = EventKind::kEndingAdvice;
    out_.Add(ending);
  }
  report_.runs.push_back(run);
}

bool Simulation::PlayEntries(SessionStart& start) {
  if (!start.any_entries()) {
    SimEvent empty = Event(EventKind::kRunOnceEmpty);
    empty.session = session_;
    out_.Add(empty);
    return false;
  }
  RunOnceEntry entry;
  while (start.Next(&entry)) {
    SimEvent event = Event(EventKind::kRunOnceEntry);
    event.session = session_;
    event.entry = entry;
    out_.Add(event);
    switch (entry.action) {
      case RunOnceAction::kDroppedNotText:
        break;
      case RunOnceAction::kDroppedNotFound:
      case RunOnceAction::kDroppedDriveGone:
        event.kind = EventKind::kRunOnceDropped;
        out_.Add(event);
        break;
      case RunOnceAction::kRunsHelper:
        event.kind = EventKind::kWindowsRuns;
        event.effect =
            entry.helper.recognised ? entry.helper.effect : "not a known setup program, no change";
        if (entry.helper.requested_restart) event.request = SessionRequest::kRestart;
        out_.Add(event);
        helper_runs_.push_back(HelperRunNote{session_, entry.command, event.effect, true});
        break;
      case RunOnceAction::kRunsProgram:
        RunProgram(entry.resolved.argv, entry.name, entry.command);
        break;
    }
    // --one-run: the entries after the program's stay for the next session.
    if (entry.action == RunOnceAction::kRunsProgram && settings_.one_run) break;
  }
  return true;
}

SessionRequest Simulation::Run() {
  calls_seen_ = machine_.calls().size();
  processes_seen_ = machine_.processes().size();
  ChangeMark before = MarkChanges(machine_);

  SessionRequest ended = settings_.pending;
  SessionRequest left = SessionRequest::kNone;
  if (ended == SessionRequest::kNone) {
    session_ = 1;
    std::vector<std::string> first = settings_.first_argv;
    const std::string& start = settings_.program.empty() ? machine_.self_path() : settings_.program;
    if (first.empty()) first = {start};
    SimEvent user = Event(EventKind::kUserStarts);
    user.command = settings_.first_argv.empty() ? start : settings_.start_text;
    user.text = settings_.first_argv.empty() ? start : Quote(settings_.start_text);
    out_.Add(user);
    RunProgram(first);
    PrintChanges("changes in session 1:", before);
    ended = machine_.requested_session_end();
  } else {
    SimEvent last = Event(EventKind::kLastSessionEnded);
    last.request = ended;
    out_.Add(last);
  }
  while (true) {
    if (ended == SessionRequest::kNone) {
      out_.Add(Event(EventKind::kSimulationEnds));
      break;
    }
    if (settings_.one_run && program_runs_ > 0) {
      SimEvent stop = Event(EventKind::kStoppedAtOneRun);
      stop.request = ended;
      out_.Add(stop);
      left = ended;
      break;
    }
    if (session_ >= settings_.max_sessions) {
      SimEvent stop = Event(EventKind::kStoppedAtSessions);
      stop.number = settings_.max_sessions;
      out_.Add(stop);
      left = ended;
      break;
    }
    SimEvent session_ends = Event(EventKind::kSessionEnds);
    session_ends.request = ended;
    out_.Add(session_ends);
    ++(ended == SessionRequest::kRestart ? restarts_ : logoffs_);
    SessionStart start(machine_);
    ++session_;
    ChangeMark session_start = MarkChanges(machine_);
    if (!PlayEntries(start)) break;
    PrintChanges("changes in session " + std::to_string(session_) + ":", session_start);
    ended = machine_.requested_session_end();
  }
  if (left == SessionRequest::kNone) RunCheck();
  PrintSummary(before);
  out_.Flush();
  report_.restarts = restarts_;
  report_.logoffs = logoffs_;
  if (settings_.report != nullptr) *settings_.report = report_;
  return left;
}

void Simulation::RunCheck() {
  if (!report_.runs.empty()) {
    const std::vector<std::string>& last = report_.runs.back().argv;
    if (last.size() == 2 && last[1] == "Check") return;
  }
  const std::string& self = machine_.self_path();
  SimEvent caller = Event(EventKind::kCallerRunsCheck);
  caller.text = (self.find(' ') == std::string::npos ? self : Quote(self)) + " Check";
  caller.command = self + " Check";
  out_.Add(caller);
  ChangeMark check_start = MarkChanges(machine_);
  RunProgram({self, "Check"}, "", "", true);
  PrintChanges("changes by the Check:", check_start);
}

void Simulation::PrintChanges(const std::string& heading, const ChangeMark& before) {
  // Where files were copied from, by target, from the platform calls.
  std::map<std::string, std::string> copied_from;
  for (const CallRecord& call : machine_.calls()) {
    if (call.operation == Op::kCopyFileA && call.result != 0) {
      copied_from[SimMachine::NormalizeFilePath(call.copy_target)] = call.path;
    }
  }

  out_.Line(heading);
  std::vector<MachineChange> changes = ChangesSince(machine_, before);
  if (changes.empty()) out_.Line("  none");
  for (const MachineChange& change : changes) {
    std::string line = FormatChanges({change});
    while (!line.empty() && line.back() == '\n') line.pop_back();
    if (change.kind == MachineChange::Kind::kFileCreated ||
        change.kind == MachineChange::Kind::kFileChanged) {
      auto it = copied_from.find(SimMachine::NormalizeFilePath(change.path));
      if (it != copied_from.end()) line += " (copied from " + it->second + ")";
    }
    out_.Line("  " + line);
  }
}

void Simulation::PrintSummary(const ChangeMark& before) {
  PrintChanges("summary: changes from the start to the end:", before);
  out_.Line("helper runs: " + std::to_string(helper_runs_.size()));
  for (const HelperRunNote& run : helper_runs_) {
    out_.Line("  session " + std::to_string(run.session) +
              (run.by_windows ? " (RunOnce): " : ": ") + run.command_line);
  }
  out_.Line("program runs: " + std::to_string(program_runs_) +
            ", restarts: " + std::to_string(restarts_) + ", log-offs: " + std::to_string(logoffs_));
}

}  // namespace

SessionRequest RunSessions(SimMachine& machine, const SessionSettings& settings, SimOutput& out) {
  Simulation simulation(machine, settings, out);
  return simulation.Run();
}

}  // namespace netrevive::rehearsal
