#include "driver/driver.h"

#include "steps/dun_upgrade.h"
#include "steps/helper_runner.h"
#include "steps/repair_state.h"
#include "steps/resume.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

void PrintBanner(Console& console) {
  console.PrintLine("Netrevive Program.\n");
  console.PrintLine("This program was written for use by the Quillmark University Community.");
  console.PrintLine("If you are not affiliated with QU we are not responsible for any ");
  console.PrintLine("problems you might encounter while using this program. If you ");
  console.PrintLine("experience any problems with this software and are affiliated with");
  console.PrintLine("QU please contact the MERX at 555-555-0142.\n\n");
}

// From the first change to the system until the program ends, Ctrl+C and
// Ctrl+Break must not stop a repair half-way. A failure to set them aside
// does not stop the repair either.
void IgnoreBreakKeys(Platform& os) { os.SetConsoleCtrlHandler(); }

void FreshRun(Platform& os, Console& console, const char* argv0) {
  console.PrintLine("Determining OS version...\n");
  if (!CheckOperatingSystem(os, console)) return;
  SelfPath self;
  if (!ResolveSelfPath(os, console, argv0, &self)) return;
  if (!CheckStartDrive(os, console, self.c_str())) return;
  if (!CheckNotTemporary(os, console, self.c_str())) return;
  if (!CheckResumeCommandLength(os, console, self.c_str())) return;
  if (!CheckDunSetupInformation(os, console)) return;
  const char* self_path = self.c_str();
  // What could stop the repair half-way is looked at before it changes
  // anything.
  if (!CheckBeforeFirstChange(os, console)) return;

  console.PrintLine("Removing all Winsock2 information from the registry...\n");
  IgnoreBreakKeys(os);
  if (!RemoveWinsock2Keys(os, console)) {
    console.PrintLine("An error occured while removing the registry keys.");
    console.PrintLine("Please contact the MERX at 555-555-0142 if you are");
    console.PrintLine("affilated with Quillmark University.");
    return;
  }
  console.PrintLine("The Winsock 2 keys have been removed.");
  console.PrintLine("Checking for the existance of Dial Up Networking...");

  if (IsDunMissing(os)) {
    console.PrintLine("Dial Up Networking was not found, Installing DUN...");
    // The marker authorises the one reinstallation that happens right now.
    if (WriteMarker(os)) {
      if (ReinstallDun(os, console, argv0, /*marker_written=*/true)) return;
    } else {
      console.PrintText("Unable to create the file that authorises the reinstallation of DUN.\n");
    }
    console.PromptForKey("ReInstallation of RNA Failed. Please report this Error.");
    return;
  }

  console.PrintLine("Checking for Dial Up Networking upgrades...");
  if (!RemoveDunUpgrade(os, console, self_path)) return;

  console.PrintLine("Proceeding with the uninstallation of Dial-Up Networking...");
  console.PromptForKey("Press any key to continue.");

  if (!CountSetupTry(os, SetupStep::kUninstallDun)) {
    ReportSetupTriesUsedUp(console, self_path);
    return;
  }
  if (!UninstallDun(os, console)) {
    console.PrintLine("Uninstallation of Dial-Up Networking Failed.");
    console.PrintLine("This might indicate other problems, please contact the MERX at");
    console.PrintLine("555-555-0142 if you are affilated with Quillmark University.");
    return;
  }
  // The entry and the marker are written before the pause: a window closed
  // there, or a power cut, still brings the reinstallation after a restart.
  HelperRun reboot;
  if (!PrepareReinstall(os, console, self_path, &reboot)) return;
  console.PrintLine("The computer must be rebooted, press any key to continue.");
  console.PromptForKey("DO NOT TERMINATE THIS PROGRAM AT THIS TIME!");
  RestartForReinstall(os, console, &reboot);
}

void UpgradeRemove(Platform& os, Console& console, const char* argv0) {
  SelfPath self;
  if (!ResolveSelfPath(os, console, argv0, &self)) return;
  const char* self_path = self.c_str();
  // The upgrade may still be listed: its uninstaller left it (reported), or
  // the session ended before the uninstaller started (it is started now).
  DunUpgradeLookup lookup;
  LookUpDunUpgrade(os, &lookup);
  if (lookup.result == UpgradeLookup::kFound) {
    IgnoreBreakKeys(os);
    RemoveDunUpgrade(os, console, self_path);
    return;
  }
  console.PrintLine("The Dial Up Networking Upgrade has been removed.");
  console.PrintLine("Proceeding with the uninstallation of Dial Up Networking.");
  console.PromptForKey("Press any key to continue.");

  IgnoreBreakKeys(os);
  if (!CountSetupTry(os, SetupStep::kUninstallDun)) {
    ReportSetupTriesUsedUp(console, self_path);
    return;
  }
  if (!UninstallDun(os, console)) {
    console.PrintLine("There has been an error while uninstalling Dial Up Networking.");
    console.PrintLine("Please contact the MERX at 555-555-0142.");
    return;
  }
  HelperRun reboot;
  if (!PrepareReinstall(os, console, self_path, &reboot)) return;
  console.PrintText("DUN has been successfully uninstalled.\nThe computer must now be rebooted.\n");
  console.PromptForKey("Press any key to continue. DO NOT TERMINATE THE PROGRAM.");
  RestartForReinstall(os, console, &reboot);
}

void ReinstallDunRun(Platform& os, Console& console, const char* argv0) {
  console.PrintText("The Winsock 2 keys and DUN have been uninstalled.\n");
  console.PrintText("DUN will now be reinstalled.\n");
  console.PromptForKey("Press any key to continue.");
  IgnoreBreakKeys(os);
  if (ReinstallDun(os, console, argv0)) return;
  console.PrintLine("Reinstallation of RNA has failed.");
  console.PromptForKey("Please contact the MERX at (555) 555-0142");
}

void Usage(Console& console) {
  console.PrintLine("\nUsage: netrevive.exe\nPreforms the winsock 2 fix on Win9x computers\n");
  console.PromptForKey("Press any key to continue");
}

}  // namespace

RunMode SelectRunMode(int argc, const char* const* argv) {
  if (argc == 1) return RunMode::kFreshRun;
  if (argc == 2 && argv[1] != nullptr) {
    for (const ModeWord& word : kModeWords) {
      if (TextEquals(argv[1], word.word)) return word.mode;
    }
  }
  return RunMode::kUsage;
}

int RunNetrevive(int argc, const char* const* argv, Platform& os, Console& console) {
  TakeProgramErrorMode(os);
  PrintBanner(console);
  const char* argv0 = (argc > 0 && argv != nullptr && argv[0] != nullptr) ? argv[0] : "";
  switch (SelectRunMode(argc, argv)) {
    case RunMode::kFreshRun:
      FreshRun(os, console, argv0);
      break;
    case RunMode::kUpgradeRemove:
      UpgradeRemove(os, console, argv0);
      break;
    case RunMode::kReinstallDun:
      ReinstallDunRun(os, console, argv0);
      break;
    case RunMode::kUsage:
      Usage(console);
      break;
    case RunMode::kCheck:
      CheckNetworking(os, console, argv0);
      break;
  }
  console.Flush();
  return 0;
}

}  // namespace netrevive
