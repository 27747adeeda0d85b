// netrevive-sim: the repair program's core run against a simulated Windows 9x
// PC, with Windows' part played between the program's runs.

#include <stdio.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "rehearsal/machine_export.h"
#include "rehearsal/machine_folder.h"
#include "rehearsal/machine_source.h"
#include "rehearsal/options.h"
#include "rehearsal/session_player.h"
#include "rehearsal/transcript.h"
#include "rehearsal/tty_keys.h"
#include "support_kit/guide.h"
#include "support_kit/prediction.h"

namespace {

using netrevive::rehearsal::KeySource;
using netrevive::rehearsal::MachineFolderError;
using netrevive::rehearsal::SimOptions;
using netrevive::simulated_pc::SessionRequest;
using netrevive::simulated_pc::SimMachine;

int BadCommandLine(const std::string& message) {
  fprintf(stderr, "netrevive-sim: %s\nTry 'netrevive-sim --help'.\n", message.c_str());
  return 2;
}

int SimMain(int argc, const char* const* argv) {
  SimOptions options;
  std::string error;
  if (!netrevive::rehearsal::ParseSimOptions(argc, argv, &options, &error))
    return BadCommandLine(error);
  if (options.help) {
    fputs(netrevive::rehearsal::SimHelpText().c_str(), stdout);
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

  netrevive::rehearsal::TtyKeys tty;
  if (options.keys == KeySource::kTerminal && !tty.Open(&error)) {
    fprintf(stderr, "netrevive-sim: %s\n", error.c_str());
    return 2;
  }

  netrevive::rehearsal::MachineSource source;
  netrevive::rehearsal::MachineFault fault;
  if (!netrevive::rehearsal::GetMachine(options, &source, &fault, &error)) {
    if (fault == netrevive::rehearsal::MachineFault::kCommandLine) return BadCommandLine(error);
    fprintf(stderr, "netrevive-sim: %s\n", error.c_str());
    if (fault == netrevive::rehearsal::MachineFault::kFolder) {
      fprintf(stderr, "netrevive-sim: the machine folder was left unchanged\n");
    }
    return 1;
  }
  SimMachine& machine = source.machine;

  std::vector<netrevive::rehearsal::SimEvent> events;
  netrevive::rehearsal::SimOutput out(options.transcript ? nullptr : stdout,
                                      options.transcript ? &events : nullptr);
  out.Line("netrevive-sim: " + source.origin);
  for (const std::string& note : source.notes) out.Line("  " + note);
  netrevive::rehearsal::SessionSettings settings =
      netrevive::rehearsal::SettingsFor(options, source);
  settings.tty = &tty;
  netrevive::rehearsal::SessionReport report;
  settings.report = &report;
  SessionRequest left = netrevive::rehearsal::RunSessions(machine, settings, out);
  if (!options.registry.empty()) {
    out.Line("prediction for the PC of " + netrevive::rehearsal::ExportNames(options.registry) +
             ":");
    for (const std::string& line : netrevive::support_kit::PredictionLines(report)) out.Line(line);
  }

  if (options.transcript) {
    const std::string transcript = netrevive::rehearsal::Transcript(events);
    fwrite(transcript.data(), 1, transcript.size(), stdout);
  }

  if (!options.machine_dir.empty()) {
    MachineFolderError folder_error;
    if (!netrevive::rehearsal::SaveMachineFolder(options.machine_dir, machine, left,
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
