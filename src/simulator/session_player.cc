#include "simulator/session_player.h"

#include <map>
#include <vector>

#include "console/console.h"
#include "driver/driver.h"
#include "platform/sim/sim_presets.h"
#include "platform/sim/sim_snapshot.h"
#include "simulator/endings.h"

namespace netrevive::simulator {

using sim::CallRecord;
using sim::ChangeMark;
using sim::ChangesSince;
using sim::ExitRequest;
using sim::FormatChanges;
using sim::HelperOutcome;
using sim::kRegExpandSz;
using sim::kRunOncePath;
using sim::MachineChange;
using sim::MarkChanges;
using sim::Op;
using sim::ProcessRecord;
using sim::RegValue;
using sim::ResolvedCommand;
using sim::SessionRequest;
using sim::SimMachine;

void SimOutput::Program(const char* data, size_t size) {
  if (size == 0) return;
  if (out_ != nullptr) fwrite(data, 1, size, out_);
  if (events_ != nullptr) {
    if (events_->empty() || events_->back().note) events_->push_back(Event{false, ""});
    events_->back().text.append(data, size);
  }
  at_line_start_ = data[size - 1] == '\n';
}

void SimOutput::Note(const std::string& text) {
  if (out_ != nullptr) {
    if (!at_line_start_) fputc('\n', out_);
    fputs("== ", out_);
    fputs(text.c_str(), out_);
    fputc('\n', out_);
  }
  if (events_ != nullptr) events_->push_back(Event{true, text});
  at_line_start_ = true;
}

void SimOutput::Flush() {
  if (out_ != nullptr) fflush(out_);
}

namespace {

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

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
  }
  void Flush() { out_.Flush(); }
  void WaitForKey();

 private:
  void RunProgram(const std::vector<std::string>& argv, const std::string& runonce_name = "",
                  const std::string& runonce_command = "");
  void RunByWindows(const ResolvedCommand& resolved, const std::string& command_line);
  // Runs the RunOnce entries of a new session. False when there were none.
  bool RunOnceEntries();
  bool IsTheProgram(const std::string& program) const;
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
  if (!run_shown_.empty() && run_shown_.back() != '\n') run_shown_ += '\n';
  run_shown_ += "[key]\n";
  if (settings_.keys == KeySource::kAuto) {
    out_.Note("[key]");
    return;
  }
  out_.Flush();
  if (settings_.tty != nullptr) settings_.tty->ReadKey();
}

void Simulation::ReportNewCalls() {
  const std::vector<CallRecord>& calls = machine_.calls();
  for (; calls_seen_ < calls.size(); ++calls_seen_) {
    const CallRecord& call = calls[calls_seen_];
    if (call.faulted) out_.Note("injected fault: " + call.ToString());
    if (call.operation == Op::kCreateProcessA) {
      if (call.result != 0 && processes_seen_ < machine_.processes().size()) {
        const ProcessRecord& run = machine_.processes()[processes_seen_++];
        std::string effect = run.recognised ? run.effect : "not a known setup program, no change";
        out_.Note(
            "helper: " + run.command_line + " (in " +
            (run.working_directory.empty() ? std::string("no folder") : run.working_directory) +
            ") -> " + effect);
        helper_runs_.push_back(HelperRunNote{session_, run.command_line, effect, false});
      } else {
        out_.Note("helper not started: " + call.path + " (status " + std::to_string(call.status) +
                  ")");
      }
    } else if (call.operation == Op::kExitWindowsEx && call.result != 0) {
      out_.Note(ExitRequest(call.exit_flags) == SessionRequest::kRestart
                    ? "ExitWindowsEx: Windows is asked to restart"
                    : "ExitWindowsEx: the user is logged off");
    }
  }
}

bool Simulation::IsTheProgram(const std::string& program) const {
  ResolvedCommand self = machine_.ResolveCommandLine("\"" + machine_.self_path() + "\"");
  std::string self_file = self.found ? self.program : machine_.self_path();
  return SimMachine::NormalizeFilePath(program) == SimMachine::NormalizeFilePath(self_file);
}

void Simulation::RunProgram(const std::vector<std::string>& args, const std::string& runonce_name,
                            const std::string& runonce_command) {
  std::string shown;
  for (size_t i = 0; i < args.size(); ++i) {
    shown += (i == 0 ? "" : " ") + std::string("argv[") + std::to_string(i) + "]=" + Quote(args[i]);
  }
  out_.Note("the program starts: " + shown);
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  SimTerminal terminal(*this);
  Console console(terminal);
  run_output_.clear();
  run_shown_.clear();
  int status = RunNetrevive(static_cast<int>(args.size()), argv.data(), machine_, console);
  ReportNewCalls();
  out_.Note("the program ended (exit status " + std::to_string(status) + ")");
  ++program_runs_;
  RunReport run;
  run.session = session_;
  run.argv = args;
  run.runonce_name = runonce_name;
  run.runonce_command = runonce_command;
  run.output = run_output_;
  run.shown = run_shown_;
  run.ending = EndingName(run_output_);
  SessionRequest ended = machine_.requested_session_end();
  run.session_end = ended == SessionRequest::kRestart  ? "restart"
                    : ended == SessionRequest::kLogOff ? "log-off"
                                                       : "";
  out_.Note("ending: " + run.ending);
  const Ending* ending = FindEnding(run.ending);
  if (settings_.advice && ending != nullptr) {
    out_.Note("meaning: " + std::string(ending->meaning));
    out_.Note("advice: " + std::string(ending->advice));
  }
  report_.runs.push_back(run);
}

void Simulation::RunByWindows(const ResolvedCommand& resolved, const std::string& command_line) {
  ProcessRecord run;
  run.program = resolved.program;
  run.command_line = command_line;
  run.started_at_ms = machine_.clock_ms();
  run.session = machine_.session();
  HelperOutcome outcome = machine_.RunHelper(run);
  std::string effect = outcome.recognised ? outcome.effect : "not a known setup program, no change";
  out_.Note("Windows runs " + resolved.program + " -> " + effect);
  helper_runs_.push_back(HelperRunNote{session_, command_line, effect, true});
}

bool Simulation::RunOnceEntries() {
  std::vector<RegValue> values = machine_.ListValues(kRunOncePath);
  if (values.empty()) {
    out_.Note("session " + std::to_string(session_) +
              ": RunOnce is empty, nothing more is scheduled");
    return false;
  }
  for (const RegValue& value : values) {
    std::string command;
    machine_.GetString(kRunOncePath, value.name, &command);
    // Windows deletes each entry before it runs it, so that it runs once.
    machine_.DeleteValue(kRunOncePath, value.name);
    std::string name = value.name.empty() ? "(default)" : Quote(value.name);
    if (value.type != kRegSz && value.type != kRegExpandSz) {
      out_.Note("session " + std::to_string(session_) + ": RunOnce " + name +
                " is not text; Windows deletes it and goes on");
      continue;
    }
    out_.Note("session " + std::to_string(session_) + ": RunOnce " + name + " = " + command);
    ResolvedCommand resolved = machine_.ResolveCommandLine(command);
    if (!resolved.found) {
      out_.Note("Windows cannot find the program of this entry; it is dropped");
      continue;
    }
    if (machine_.GoneAfterRestart(resolved.program)) {
      out_.Note("Windows cannot find " + resolved.program +
                ": its floppy disk or network drive is gone after the restart; the entry is "
                "dropped");
      continue;
    }
    if (IsTheProgram(resolved.program)) {
      RunProgram(resolved.argv, value.name, command);
      if (settings_.one_run) break;  // later entries stay for the next session
    } else {
      RunByWindows(resolved, command);
    }
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
    out_.Note("session 1: the user starts " +
              (settings_.first_argv.empty() ? start : Quote(settings_.start_text)));
    RunProgram(first);
    PrintChanges("changes in session 1:", before);
    ended = machine_.requested_session_end();
  } else {
    out_.Note(ended == SessionRequest::kRestart
                  ? "the machine's last session ended with a restart request"
                  : "the machine's last session ended with the user logged off");
  }
  while (true) {
    if (ended == SessionRequest::kNone) {
      out_.Note("no restart or log-off was requested; the simulation ends");
      break;
    }
    if (settings_.one_run && program_runs_ > 0) {
      out_.Note(
          "--one-run: stopping before Windows " +
          std::string(ended == SessionRequest::kRestart ? "restarts" : "logs the user on again"));
      left = ended;
      break;
    }
    if (session_ >= settings_.max_sessions) {
      out_.Note("stopping after " + std::to_string(settings_.max_sessions) +
                " sessions: every session schedules another");
      left = ended;
      break;
    }
    if (ended == SessionRequest::kRestart) {
      out_.Note("Windows restarts");
      ++restarts_;
    } else {
      out_.Note("the session ends; the user logs on again");
      ++logoffs_;
    }
    machine_.BeginNewSession();
    ++session_;
    ChangeMark session_start = MarkChanges(machine_);
    if (!RunOnceEntries()) break;
    PrintChanges("changes in session " + std::to_string(session_) + ":", session_start);
    ended = machine_.requested_session_end();
  }
  PrintSummary(before);
  out_.Flush();
  report_.restarts = restarts_;
  report_.logoffs = logoffs_;
  if (settings_.report != nullptr) *settings_.report = report_;
  return left;
}

void Simulation::PrintChanges(const std::string& heading, const ChangeMark& before) {
  // Where files were copied from, by target, from the platform calls.
  std::map<std::string, std::string> copied_from;
  for (const CallRecord& call : machine_.calls()) {
    if (call.operation == Op::kCopyFileA && call.result != 0) {
      copied_from[SimMachine::NormalizeFilePath(call.copy_target)] = call.path;
    }
  }

  out_.Note(heading);
  std::vector<MachineChange> changes = ChangesSince(machine_, before);
  if (changes.empty()) out_.Note("  none");
  for (const MachineChange& change : changes) {
    std::string line = FormatChanges({change});
    while (!line.empty() && line.back() == '\n') line.pop_back();
    if (change.kind == MachineChange::Kind::kFileCreated ||
        change.kind == MachineChange::Kind::kFileChanged) {
      auto it = copied_from.find(SimMachine::NormalizeFilePath(change.path));
      if (it != copied_from.end()) line += " (copied from " + it->second + ")";
    }
    out_.Note("  " + line);
  }
}

void Simulation::PrintSummary(const ChangeMark& before) {
  PrintChanges("summary: changes from the start to the end:", before);
  out_.Note("helper runs: " + std::to_string(helper_runs_.size()));
  for (const HelperRunNote& run : helper_runs_) {
    out_.Note("  session " + std::to_string(run.session) +
              (run.by_windows ? " (RunOnce): " : ": ") + run.command_line);
  }
  out_.Note("program runs: " + std::to_string(program_runs_) +
            ", restarts: " + std::to_string(restarts_) + ", log-offs: " + std::to_string(logoffs_));
}

}  // namespace

SessionRequest RunSessions(SimMachine& machine, const SessionSettings& settings, SimOutput& out) {
  Simulation simulation(machine, settings, out);
  return simulation.Run();
}

}  // namespace netrevive::simulator
