// netrevive-sim: the repair program's core run against a simulated Windows 9x
// PC, with Windows' part played between the program's runs.

#include <stdio.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/sim/sim_command_line.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_presets.h"
#include "simulator/machine_folder.h"
#include "simulator/options.h"
#include "simulator/session_player.h"
#include "simulator/tty_keys.h"
#include "support_kit/guide.h"
#include "support_kit/prediction.h"

namespace {

using netrevive::sim::SessionRequest;
using netrevive::sim::SimMachine;
using netrevive::simulator::KeySource;
using netrevive::simulator::MachineFolderError;
using netrevive::simulator::SimOptions;

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

std::string ExportNames(const std::vector<std::string>& files) {
  std::string names;
  for (size_t i = 0; i < files.size(); ++i) {
    names += (i == 0 ? "" : i + 1 == files.size() ? " and " : ", ") + files[i];
  }
  return names;
}

int SimMain(int argc, const char* const* argv) {
  SimOptions options;
  std::string error;
  if (!netrevive::simulator::ParseSimOptions(argc, argv, &options, &error))
    return BadCommandLine(error);
  if (options.help) {
    fputs(netrevive::simulator::SimHelpText().c_str(), stdout);
    return 0;
  }
  if (!options.guide_dir.empty()) {
    if (argc != 3 && argc != 2) return BadCommandLine("--guide takes no other options");
    if (!netrevive::support_kit::WriteSupportGuide(options.guide_dir, &error)) {
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

  netrevive::simulator::TtyKeys tty;
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
    if (!netrevive::simulator::LoadMachineFolder(options.machine_dir, &machine, &pending,
                                                 &folder_error)) {
      fprintf(stderr, "netrevive-sim: %s\n", folder_error.ToString().c_str());
      fprintf(stderr, "netrevive-sim: the machine folder was left unchanged\n");
      return 1;
    }
    origin = "folder " + options.machine_dir;
  } else if (!options.registry.empty()) {
    netrevive::support_kit::ExportSettings from;
    from.files = options.registry;
    from.marker = options.marker;
    from.missing = options.missing;
    if (!netrevive::support_kit::MachineFromExport(from, &machine, &pending, &export_notes,
                                                   &error)) {
      fprintf(stderr, "netrevive-sim: %s\n", error.c_str());
      return 1;
    }
    origin = "the PC of the registry " +
             std::string(options.registry.size() == 1 ? "export " : "exports ") +
             ExportNames(options.registry) + ", run unattended";
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

  netrevive::simulator::SimOutput out(stdout);
  out.Line("netrevive-sim: " + origin);
  for (const std::string& note : export_notes) out.Line("  " + note);
  netrevive::simulator::SessionSettings settings;
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
  netrevive::simulator::SessionReport report;
  settings.report = &report;
  SessionRequest left = netrevive::simulator::RunSessions(machine, settings, out);
  if (!options.registry.empty()) {
    out.Line("prediction for the PC of " + ExportNames(options.registry) + ":");
    for (const std::string& line : netrevive::support_kit::PredictionLines(report)) out.Line(line);
  }

  if (!options.machine_dir.empty()) {
    MachineFolderError folder_error;
    if (!netrevive::simulator::SaveMachineFolder(options.machine_dir, machine, left,
                                                 &folder_error)) {
      out.Flush();
      fprintf(stderr, "netrevive-sim: cannot save the machine: %s\n",
              folder_error.ToString().c_str());
      return 1;
    }
    out.Line("machine saved in " + options.machine_dir);
  }
  out.Flush();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return SimMain(argc, argv); }
