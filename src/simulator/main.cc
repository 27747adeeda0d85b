// netrevive-sim: the repair program's core run against a simulated Windows 9x
// PC, with Windows' part played between the program's runs.

#include <stdio.h>

#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"
#include "simulator/machine_export.h"
#include "simulator/machine_folder.h"
#include "simulator/machine_source.h"
#include "simulator/options.h"
#include "simulator/session_player.h"
#include "simulator/transcript.h"
#include "simulator/tty_keys.h"
#include "support_kit/guide.h"
#include "support_kit/prediction.h"

namespace {

using netrevive::sim::SessionRequest;
using netrevive::sim::SimMachine;
using netrevive::simulator::KeySource;
using netrevive::simulator::MachineFolderError;
using netrevive::simulator::SimOptions;

int BadCommandLine(const std::string& message) {
  fprintf(stderr, "netrevive-sim: %s\nTry 'netrevive-sim --help'.\n", message.c_str());
  return 2;
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

  netrevive::simulator::TtyKeys tty;
  if (options.keys == KeySource::kTerminal && !tty.Open(&error)) {
    fprintf(stderr, "netrevive-sim: %s\n", error.c_str());
    return 2;
  }

  netrevive::simulator::MachineSource source;
  netrevive::simulator::MachineFault fault;
  if (!netrevive::simulator::GetMachine(options, &source, &fault, &error)) {
    if (fault == netrevive::simulator::MachineFault::kCommandLine) return BadCommandLine(error);
    fprintf(stderr, "netrevive-sim: %s\n", error.c_str());
    if (fault == netrevive::simulator::MachineFault::kFolder) {
      fprintf(stderr, "netrevive-sim: the machine folder was left unchanged\n");
    }
    return 1;
  }
  SimMachine& machine = source.machine;

  std::vector<netrevive::simulator::SimEvent> events;
  netrevive::simulator::SimOutput out(options.transcript ? nullptr : stdout,
                                      options.transcript ? &events : nullptr);
  out.Line("netrevive-sim: " + source.origin);
  for (const std::string& note : source.notes) out.Line("  " + note);
  netrevive::simulator::SessionSettings settings =
      netrevive::simulator::SettingsFor(options, source);
  settings.tty = &tty;
  netrevive::simulator::SessionReport report;
  settings.report = &report;
  SessionRequest left = netrevive::simulator::RunSessions(machine, settings, out);
  if (!options.registry.empty()) {
    out.Line("prediction for the PC of " + netrevive::simulator::ExportNames(options.registry) +
             ":");
    for (const std::string& line : netrevive::support_kit::PredictionLines(report)) out.Line(line);
  }

  if (options.transcript) {
    const std::string transcript = netrevive::simulator::Transcript(events);
    fwrite(transcript.data(), 1, transcript.size(), stdout);
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
