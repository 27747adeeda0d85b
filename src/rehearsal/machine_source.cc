#include "rehearsal/machine_source.h"

#include <filesystem>
#include <system_error>

#include "platform/simulated_pc/sim_command_line.h"
#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/machine_export.h"
#include "rehearsal/machine_folder.h"

namespace netrevive::rehearsal {

using simulated_pc::SessionRequest;

namespace {

constexpr const char kDefaultPreset[] = "98se";

bool Fail(MachineFault what, const std::string& message, MachineFault* fault, std::string* error) {
  *fault = what;
  *error = message;
  return false;
}

}  // namespace

bool GetMachine(const SimOptions& options, MachineSource* source, MachineFault* fault,
                std::string* error) {
  *fault = MachineFault::kNone;
  std::error_code ec;
  const bool folder_exists =
      !options.machine_dir.empty() && std::filesystem::exists(options.machine_dir, ec);
  if (folder_exists && !options.preset.empty()) {
    return Fail(
        MachineFault::kCommandLine,
        "--preset cannot be used with " + options.machine_dir + ", which already holds a machine",
        fault, error);
  }
  if (folder_exists) {
    MachineFolderError folder_error;
    if (!LoadMachineFolder(options.machine_dir, &source->machine, &source->pending,
                           &folder_error)) {
      return Fail(MachineFault::kFolder, folder_error.ToString(), fault, error);
    }
    source->origin = "folder " + options.machine_dir;
  } else if (!options.registry.empty()) {
    ExportSettings from;
    from.files = options.registry;
    from.marker = options.marker;
    from.missing = options.missing;
    if (!MachineFromExport(from, &source->machine, &source->pending, &source->notes, error)) {
      *fault = MachineFault::kExport;
      return false;
    }
    source->origin = "the PC of the registry " +
                     std::string(options.registry.size() == 1 ? "export " : "exports ") +
                     ExportNames(options.registry) + ", run unattended";
  } else {
    const std::string name = options.preset.empty() ? kDefaultPreset : options.preset;
    const simulated_pc::PresetInfo* preset = nullptr;
    for (const simulated_pc::PresetInfo& known : simulated_pc::PresetMachines()) {
      if (known.name == name) preset = &known;
    }
    if (preset == nullptr) {
      return Fail(MachineFault::kCommandLine, "unknown preset \"" + name + "\"", fault, error);
    }
    source->machine = preset->build();
    source->origin = (options.preset.empty() ? "the default machine, preset " : "preset ") + name +
                     " (" + preset->description + ")";
    if (!options.machine_dir.empty()) {
      source->origin += ", kept in the new folder " + options.machine_dir;
    }
  }
  if (options.start_given && source->pending != SessionRequest::kNone) {
    return Fail(MachineFault::kCommandLine,
                "--start cannot be used with " + options.machine_dir +
                    ": its last session ended in the middle of a repair, so Windows goes on "
                    "first",
                fault, error);
  }
  for (const simulated_pc::FaultRule& rule : options.faults) source->machine.AddFault(rule);
  return true;
}

SessionSettings SettingsFor(const SimOptions& options, const MachineSource& source) {
  SessionSettings settings;
  settings.keys = options.keys;
  settings.one_run = options.one_run;
  settings.program = options.program;
  settings.pending = source.pending;
  settings.advice = options.advice;
  if (options.start_given) {
    settings.first_argv = simulated_pc::SplitCommandLine(options.start);
    settings.start_text = options.start;
  }
  return settings;
}

}  // namespace netrevive::rehearsal
