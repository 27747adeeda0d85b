#include "platform/simulated_pc/sim_session_start.h"

#include "platform/simulated_pc/sim_presets.h"

namespace netrevive::simulated_pc {

SessionStart::SessionStart(SimMachine& machine) : machine_(machine) {
  machine_.BeginNewSession();
  values_ = machine_.ListValues(kRunOncePath);
}

bool SessionStart::IsTheProgram(const std::string& program) const {
  ResolvedCommand self = machine_.ResolveCommandLine("\"" + machine_.self_path() + "\"");
  std::string self_file = self.found ? self.program : machine_.self_path();
  return SimMachine::NormalizeFilePath(program) == SimMachine::NormalizeFilePath(self_file);
}

bool SessionStart::Next(RunOnceEntry* entry) {
  if (next_ >= values_.size()) return false;
  const RegValue& value = values_[next_++];
  *entry = RunOnceEntry{};
  entry->name = value.name;
  // The data as it is now: an entry run before may have changed it.
  machine_.GetString(kRunOncePath, value.name, &entry->command);
  machine_.DeleteValue(kRunOncePath, value.name);
  if (value.type != kRegSz && value.type != kRegExpandSz) {
    entry->action = RunOnceAction::kDroppedNotText;
    return true;
  }
  entry->resolved = machine_.ResolveCommandLine(entry->command);
  if (!entry->resolved.found) {
    entry->action = RunOnceAction::kDroppedNotFound;
  } else if (machine_.GoneAfterRestart(entry->resolved.program)) {
    entry->action = RunOnceAction::kDroppedDriveGone;
  } else if (IsTheProgram(entry->resolved.program)) {
    entry->action = RunOnceAction::kRunsProgram;
  } else {
    entry->action = RunOnceAction::kRunsHelper;
    ProcessRecord run;
    run.program = entry->resolved.program;
    run.command_line = entry->command;
    run.started_at_ms = machine_.clock_ms();
    run.session = machine_.session();
    entry->helper = machine_.RunHelper(run);
  }
  return true;
}

bool SessionStart::NextProgramRun(std::vector<std::string>* argv) {
  RunOnceEntry entry;
  while (Next(&entry)) {
    if (entry.action == RunOnceAction::kRunsProgram) {
      *argv = entry.resolved.argv;
      return true;
    }
  }
  return false;
}

std::vector<std::string> StartSessionUpToProgram(SimMachine& machine) {
  SessionStart start(machine);
  std::vector<std::string> argv;
  start.NextProgramRun(&argv);
  return argv;
}

}  // namespace netrevive::simulated_pc
