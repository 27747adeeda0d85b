// A stand-in for one of Windows' setup programs (rundll32.exe, rundll.exe or
// the DUN setup program dunsetup.exe, chosen by STANDIN_PROGRAM at build
// time), for running netrevive.exe end to end under Wine.
//
// It does to the registry what the real entry point would, by its argument
// text (case-insensitive):
//   rundll32.exe rnasetup.dll,UninstallUpgrade     removes DUN's marks
//   rundll32.exe rnasetup.dll,RnaReboot            records a restart request
//                                                  (it does not end Wine)
//   rundll32.exe rnasetup.dll,InstallDefaultDrv    adds the Dial-Up Adapter
//   rundll.exe setupx.dll,InstallHinfSection RNA 128 <inf>
//       when <inf> exists: installs DUN's marks and a default Winsock2 tree
//       where none is; otherwise changes nothing and exits with 1
//   dunsetup.exe /u                                removes the MSDUN key
//   rundll.exe or rundll32.exe with the whole command line equal to
//   WindowsDir + "\" + the MSDUN UninstallString
//       removes the MSDUN key and puts back a default Winsock2 tree, as the
//       upgrade's INF uninstall does
// Anything else changes nothing and exits with 1.
//
// Two files in the Windows directory make the next such run do less, once
// each (the file is deleted): standin-setup-cancel makes InstallHinfSection
// install nothing, as Windows' setup does when its request for the Windows
// CD is cancelled; standin-upgrade-stays makes the upgrade's uninstaller end
// without removing it. Two more stay and act on every run:
// standin-upgrade-always-stays makes every run of the upgrade's uninstaller
// end without removing it, standin-upgrade-no-winsock2 makes the INF
// uninstall remove the upgrade without putting a Winsock2 tree back.
//
// Each run appends two lines to WindowsDir\standin.log: "begin" with its
// command line, working directory and the machine as it found it, and "end"
// with what it did and the machine as it left it. The environment variable
// NETREVIVE_STANDIN_DELAY ("UninstallUpgrade=3000,RnaReboot=500") makes an
// action take that many milliseconds before it acts, for tests of waiting.

#define WIN32_LEAN_AND_MEAN
#include <stdlib.h>
#include <windows.h>

#include <string>

#include "machine_state.h"

#ifndef STANDIN_PROGRAM
#error "STANDIN_PROGRAM must name the program: rundll32, rundll or dunsetup"
#endif

namespace {

struct Outcome {
  std::string action;
  std::string effect;
  int exit_code = 0;
};

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The command line after its first word (the program), as Windows' own
// setup programs read it.
std::string ArgumentText(const std::string& line) {
  size_t end;
  if (!line.empty() && line[0] == '"') {
    end = line.find('"', 1);
    end = end == std::string::npos ? line.size() : end + 1;
  } else {
    end = line.find_first_of(" \t");
    if (end == std::string::npos) end = line.size();
  }
  return Trim(line.substr(end));
}

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// The action the command line asks for; nothing is done yet.
std::string ChooseAction(const std::string& program, const std::string& line,
                         const std::string& lower_args) {
  const std::string uninstall = standin::UpgradeUninstallString();
  if (program == "dunsetup") return lower_args == "/u" ? "UpgradeUninstall" : "Unknown";
  if (!uninstall.empty() &&
      standin::Lower(line) == standin::Lower(standin::WindowsDir() + "\\" + uninstall)) {
    return "UpgradeUninstall";
  }
  if (program == "rundll32") {
    if (lower_args == "rnasetup.dll,uninstallupgrade") return "UninstallUpgrade";
    if (lower_args == "rnasetup.dll,rnareboot") return "RnaReboot";
    if (lower_args == "rnasetup.dll,installdefaultdrv") return "InstallDefaultDrv";
  }
  if (program == "rundll" && StartsWith(lower_args, "setupx.dll,installhinfsection rna 128 ")) {
    return "InstallHinfSection";
  }
  return "Unknown";
}

// Whether the file WindowsDir\name was there; it is deleted.
bool TakeFlag(const char* name) {
  const std::string path = standin::WindowsDir() + "\\" + name;
  return DeleteFileA(path.c_str()) != FALSE;
}

// Whether the file WindowsDir\name is there; it stays.
bool HasFlag(const char* name) { return standin::FileExists(standin::WindowsDir() + "\\" + name); }

Outcome Act(const std::string& program, const std::string& action, const std::string& args) {
  Outcome outcome;
  outcome.action = action;
  if (action == "UpgradeUninstall" &&
      (HasFlag("standin-upgrade-always-stays") || TakeFlag("standin-upgrade-stays"))) {
    outcome.effect = "ended without removing MSDUN";
  } else if (action == "InstallHinfSection" && TakeFlag("standin-setup-cancel")) {
    outcome.effect = "the request for the Windows CD was cancelled; nothing installed";
  } else if (action == "UpgradeUninstall") {
    bool removed = standin::RemoveUpgrade();
    outcome.effect = removed ? "removed MSDUN" : "MSDUN not found";
    // The INF uninstall of the upgrade restores Windows' own Winsock2.
    if (program != "dunsetup" && !HasFlag("standin-upgrade-no-winsock2") &&
        standin::RestoreDefaultWinsock2()) {
      outcome.effect += ", restored the default Winsock2";
    }
    outcome.exit_code = removed ? 0 : 1;
  } else if (action == "UninstallUpgrade") {
    standin::RemoveDun();
    outcome.effect = "removed DUN";
  } else if (action == "RnaReboot") {
    outcome.effect = "restart requested";
  } else if (action == "InstallDefaultDrv") {
    outcome.effect = standin::InstallDialUpAdapter() ? "installed the Dial-Up Adapter"
                                                     : "the Dial-Up Adapter was there";
  } else if (action == "InstallHinfSection") {
    const std::string inf =
        args.substr(std::string("setupx.dll,InstallHinfSection RNA 128 ").size());
    if (standin::FileExists(inf)) {
      standin::InstallDun();
      outcome.effect = "installed DUN from " + inf;
      if (standin::RestoreDefaultWinsock2()) outcome.effect += ", restored the default Winsock2";
    } else {
      outcome.effect = inf + " not found; nothing installed";
      outcome.exit_code = 1;
    }
  } else {
    outcome.effect = "unknown command; nothing changed";
    outcome.exit_code = 1;
  }
  return outcome;
}

// Milliseconds NETREVIVE_STANDIN_DELAY gives the action, 0 when none.
DWORD DelayFor(const std::string& action) {
  char value[512];
  DWORD size = GetEnvironmentVariableA("NETREVIVE_STANDIN_DELAY", value, sizeof value);
  if (size == 0 || size >= sizeof value) return 0;
  const std::string list = std::string(",") + value + ",";
  const std::string key = "," + action + "=";
  size_t at = list.find(key);
  if (at == std::string::npos) return 0;
  return strtoul(list.c_str() + at + key.size(), nullptr, 10);
}

}  // namespace

int main() {
  const std::string program = STANDIN_PROGRAM;
  const std::string line = GetCommandLineA();
  const std::string args = ArgumentText(line);
  char module[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, module, sizeof module);
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof cwd, cwd);
  const std::string pid = std::to_string(GetCurrentProcessId());
  const std::string action = ChooseAction(program, line, standin::Lower(args));

  standin::AppendLog("begin\tpid=" + pid + "\taction=" + action +
                     "\tprogram=" + standin::Escape(module) + "\tcommand=" + standin::Escape(line) +
                     "\tcwd=" + standin::Escape(cwd) + "\t" + standin::DescribeMachine());
  DWORD delay = DelayFor(action);
  if (delay > 0) Sleep(delay);
  Outcome outcome = Act(program, action, args);
  standin::AppendLog(
      "end\tpid=" + pid + "\taction=" + action + "\texit=" + std::to_string(outcome.exit_code) +
      "\teffect=" + standin::Escape(outcome.effect) + "\t" + standin::DescribeMachine());
  return outcome.exit_code;
}
