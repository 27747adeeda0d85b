// netrevive-sim: the repair program's core run against a simulated Windows 9x
// PC, with Windows' part played between the program's runs.

#include <stdio.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "driver/sim/guide.h"
#include "driver/sim/machine_folder.h"
#include "driver/sim/options.h"
#include "driver/sim/prediction.h"
#include "driver/sim/sim_session.h"
#include "driver/sim/tty_keys.h"
#include "platform/sim/sim_command_line.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_presets.h"

namespace {

using netrevive::sim::KeySource;
using netrevive::sim::MachineFolderError;
using netrevive::sim::SessionRequest;
using netrevive::sim::SimMachine;
using netrevive::sim::SimOptions;

constexpr const char kDefaultPreset[] = "98se";

int BadCommandLine(const std::string& message) {
  fprintf(stderr, "netrevive-sim: %s\nTry 'netrevive-sim --help'.\n", message.c_str());
  return 2;
}

std::string PresetDescription(const std::string& name) {
  for (const netrevive::sim::PresetInfo& preset : netrevive::sim::PresetMachines()) {
    if (preset.name == name) return preset.description;
  }
  return "";
}

int SimMain(int argc, const char* const* argv) {
  SimOptions options;
  std::string error;
  if (!netrevive::sim::ParseSimOptions(argc, argv, &options, &error)) return BadCommandLine(error);
  if (options.help) {
    fputs(netrevive::sim::SimHelpText().c_str(), stdout);
    return 0;
  }
  if (!options.guide_dir.empty()) {
    if (argc != 3 && argc != 2) return BadCommandLine("--guide takes no other options");
    if (!netrevive::sim::WriteSupportGuide(options.guide_dir, &error)) {
      fprintf(stderr, "netrevive-sim: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }

  std::error_code ec;
  bool folder_exists =
      !options.machine_dir.empty() && std::filesystem::exists(options.machine_dir, ec);
  if (folder_exists && !options.preset.empty()) {
    return BadCommandLine("--preset cannot be used with " + options.machine_dir +
                          ", which already holds a machine");
  }

  netrevive::sim::TtyKeys tty;
  if (options.keys == KeySource::kTerminal && !tty.Open(&error)) {
    fprintf(stderr, "netrevive-sim: %s\n", error.c_str());
    return 2;
  }

  SimMachine machine;
  SessionRequest pending = SessionRequest::kNone;
  std::string origin;
  std::vector<std::string> export_notes;
  if (folder_exists) {
    MachineFolderError folder_error;
    if (!netrevive::sim::LoadMachineFolder(options.machine_dir, &machine, &pending,
                                           &folder_error)) {
      fprintf(stderr, "netrevive-sim: %s\n", folder_error.ToString().c_str());
      fprintf(stderr, "netrevive-sim: the machine folder was left unchanged\n");
      return 1;
    }
    origin = "folder " + options.machine_dir;
  } else if (!options.registry.empty()) {
    netrevive::sim::ExportSettings from;
    from.file = options.registry;
    from.marker = options.marker;
    from.missing = options.missing;
    if (!netrevive::sim::MachineFromExport(from, &machine, &pending, &export_notes, &error)) {
      fprintf(stderr, "netrevive-sim: %s\n", error.c_str());
      return 1;
    }
    origin = "the PC of the registry export " + options.registry + ", run unattended";
  } else {
    std::string preset = options.preset.empty() ? kDefaultPreset : options.preset;
    if (!netrevive::sim::MakePresetMachine(preset, &machine)) {
      return BadCommandLine("unknown preset \"" + preset + "\"");
    }
    origin = (options.preset.empty() ? "the default machine, preset " : "preset ") + preset + " (" +
             PresetDescription(preset) + ")";
    if (!options.machine_dir.empty()) origin += ", kept in the new folder " + options.machine_dir;
  }
  if (options.start_given && pending != SessionRequest::kNone) {
    return BadCommandLine("--start cannot be used with " + options.machine_dir +
                          ": its last session ended in the middle of a repair, so Windows goes "
                          "on first");
  }
  for (const netrevive::sim::FaultRule& rule : options.faults) machine.AddFault(rule);

  netrevive::sim::SimOutput out(stdout);
  out.Note("netrevive-sim: " + origin);
  for (const std::string& note : export_notes) out.Note("  " + note);
  netrevive::sim::SessionSettings settings;
  settings.keys = options.keys;
  settings.tty = &tty;
  settings.one_run = options.one_run;
  settings.program = options.program;
  settings.pending = pending;
  settings.advice = options.advice;
  if (options.start_given) {
    settings.first_argv = netrevive::sim::SplitCommandLine(options.start);
    settings.start_text = options.start;
  }
  netrevive::sim::SessionReport report;
  settings.report = &report;
  SessionRequest left = netrevive::sim::RunSessions(machine, settings, out);
  if (!options.registry.empty()) {
    out.Note("prediction for the PC of " + options.registry + ":");
    for (const std::string& line : netrevive::sim::PredictionLines(report)) out.Note(line);
  }

  if (!options.machine_dir.empty()) {
    MachineFolderError folder_error;
    if (!netrevive::sim::SaveMachineFolder(options.machine_dir, machine, left, &folder_error)) {
      out.Flush();
      fprintf(stderr, "netrevive-sim: cannot save the machine: %s\n",
              folder_error.ToString().c_str());
      return 1;
    }
    out.Note("machine saved in " + options.machine_dir);
  }
  out.Flush();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return SimMain(argc, argv); }
