// netrevive-sim: the repair program's core run against a simulated Windows 9x
// PC, with Windows' part played between the program's runs.

#include <stdio.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "driver/sim/machine_folder.h"
#include "driver/sim/options.h"
#include "driver/sim/sim_session.h"
#include "driver/sim/tty_keys.h"
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
  if (folder_exists) {
    MachineFolderError folder_error;
    if (!netrevive::sim::LoadMachineFolder(options.machine_dir, &machine, &pending,
                                           &folder_error)) {
      fprintf(stderr, "netrevive-sim: %s\n", folder_error.ToString().c_str());
      fprintf(stderr, "netrevive-sim: the machine folder was left unchanged\n");
      return 1;
    }
    origin = "folder " + options.machine_dir;
  } else {
    std::string preset = options.preset.empty() ? kDefaultPreset : options.preset;
    if (!netrevive::sim::MakePresetMachine(preset, &machine)) {
      return BadCommandLine("unknown preset \"" + preset + "\"");
    }
    origin = (options.preset.empty() ? "the default machine, preset " : "preset ") + preset + " (" +
             PresetDescription(preset) + ")";
    if (!options.machine_dir.empty()) origin += ", kept in the new folder " + options.machine_dir;
  }
  for (const netrevive::sim::FaultRule& rule : options.faults) machine.AddFault(rule);

  netrevive::sim::SimOutput out(stdout);
  out.Note("netrevive-sim: " + origin);
  netrevive::sim::SessionSettings settings;
  settings.keys = options.keys;
  settings.tty = &tty;
  settings.one_run = options.one_run;
  settings.program = options.program;
  settings.pending = pending;
  SessionRequest left = netrevive::sim::RunSessions(machine, settings, out);

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
