#include "platform/simulated_pc/sim_setup_programs.h"

#include <utility>

#include "platform/simulated_pc/sim_command_line.h"
#include "platform/simulated_pc/sim_machine_parts.h"
#include "platform/simulated_pc/sim_paths.h"

namespace netrevive::simulated_pc {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
  return SimMachine::NormalizeFilePath(a) == SimMachine::NormalizeFilePath(b);
}

std::string Program(const SimMachine& machine, const char* tail) {
  return machine.windows_dir() + tail;
}

// The argument text after the program, as the helper reads it.
std::string ArgumentText(const ProcessRecord& run) {
  std::string line = run.command_line;
  std::string rest;
  if (StartsWithNoCase(line, run.program)) {
    rest = line.substr(run.program.size());
  } else {
    std::vector<std::string> argv = SplitCommandLine(line);
    size_t skip = (!line.empty() && line[0] == '"') ? argv[0].size() + 2 : argv[0].size();
    rest = skip < line.size() ? line.substr(skip) : "";
  }
  size_t first = rest.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = rest.find_last_not_of(" \t");
  return rest.substr(first, last - first + 1);
}

HelperOutcome Done(std::string effect, uint32_t duration = kHelperDurationMs) {
  HelperOutcome outcome;
  outcome.recognised = true;
  outcome.duration_ms = duration;
  outcome.effect = std::move(effect);
  return outcome;
}

}  // namespace

HelperOutcome DefaultHelperModel(SimMachine& machine, const ProcessRecord& run) {
  const std::string args = ArgumentText(run);
  const bool rundll32 = SameFile(run.program, Program(machine, "\\rundll32.exe"));
  const bool rundll = SameFile(run.program, Program(machine, "\\rundll.exe"));

  // The upgrade's own uninstaller, by the text it registered.
  std::string uninstall;
  if (machine.GetString(kMsdunPath, "UninstallString", &uninstall)) {
    const bool by_text = (rundll || rundll32) &&
                         EqualsNoCase(run.command_line, machine.windows_dir() + "\\" + uninstall);
    const bool by_dunsetup = SameFile(run.program, Program(machine, "\\system\\dunsetup.exe")) &&
                             EqualsNoCase(args, "/u");
    if ((by_dunsetup || by_text) && machine.upgrade_stays()) {
      return Done("ended without removing the DUN upgrade (MSDUN)");
    }
    if (by_dunsetup) {
      machine.DeleteKey(kMsdunPath);
      return Done("removed the DUN upgrade (MSDUN)");
    }
    if (by_text) {
      // The upgrade brought its own Winsock 2; its INF uninstall puts back
      // Windows' own Winsock 2 settings, which the fresh run that follows it
      // removes again.
      machine.DeleteKey(kMsdunPath);
      if (machine.upgrade_restores_winsock2() && !machine.KeyExists(kWinsock2Path)) {
        AddDefaultWinsock2Tree(&machine);
        return Done("removed the DUN upgrade (MSDUN), restored the Winsock2 settings");
      }
      return Done("removed the DUN upgrade (MSDUN)");
    }
  }

  if (rundll32 && EqualsNoCase(args, "rnasetup.dll,uninstallupgrade")) {
    RemoveDun(&machine);
    return Done("removed Dial-Up Networking");
  }
  if (rundll32 && EqualsNoCase(args, "rnasetup.dll,rnareboot")) {
    machine.RequestRestart();
    HelperOutcome outcome = Done("requested a restart", 0);
    outcome.requested_restart = true;
    return outcome;
  }
  if (rundll32 && EqualsNoCase(args, "rnasetup.dll,installdefaultdrv")) {
    if (!machine.KeyExists(kDialUpAdapterPath)) InstallDialUpAdapter(&machine);
    return Done("installed the default dial-up driver (Dial-Up Adapter)");
  }
  const std::string hinf = "setupx.dll,installhinfsection rna 128 ";
  if (rundll && StartsWithNoCase(args, hinf)) {
    const std::string inf = args.substr(hinf.size());
    if (!machine.FileExists(inf)) {
      HelperOutcome outcome = Done(inf + " not found; nothing installed");
      outcome.exit_code = 1;
      return outcome;
    }
    if (machine.setup_cancels() > 0) {
      machine.set_setup_cancels(machine.setup_cancels() - 1);
      return Done("the caller cancelled its request for the Windows CD; nothing installed");
    }
    InstallDun(&machine);
    std::string effect = "installed Dial-Up Networking from " + inf;
    if (!machine.KeyExists(kWinsock2Path)) {
      AddDefaultWinsock2Tree(&machine);
      effect += " and rebuilt Winsock2";
    }
    return Done(effect);
  }

  HelperOutcome unknown;
  unknown.recognised = false;
  unknown.duration_ms = kHelperDurationMs;
  unknown.effect = "unknown command; nothing changed";
  return unknown;
}

}  // namespace netrevive::simulated_pc
