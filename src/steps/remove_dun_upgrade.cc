#include "platform/fixed_text.h"
#include "steps/build_failure_report.h"
#include "steps/dun_upgrade.h"
#include "steps/helper_runner.h"
#include "steps/repair_state.h"
#include "steps/resume.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

// The upgrade is still listed after its own uninstaller ran: running it
// again by itself could go round for ever, so the caller decides. A start
// by hand tries the uninstaller once more.
bool ReportUpgradeStillInstalled(Platform& os, Console& console, const char* self_path) {
  ForgetSetupTries(os, SetupStep::kUpgradeUninstaller);
  console.PrintLine("The Dial Up Networking Upgrade is still installed: its uninstaller did");
  console.PrintLine("not remove it. Please remove it with Add/Remove Programs, restart the");
  console.PrintLine("computer, then click Start, Run, type");
  PrintStartRunCommand(console, self_path, "UpgradeRemove");
  console.PrintLine("and press Enter to carry on with the repair.");
  console.PromptForKey("Press any key to terminate the program.");
  return false;
}

}  // namespace

bool RemoveDunUpgrade(Platform& os, Console& console, const char* self_path) {
  DunUpgradeReader reader(os);
  RegStatus status = kErrorSuccess;
  UpgradeLookup found = reader.Find(&status);
  if (found == UpgradeLookup::kNotFound) return true;
  if (found != UpgradeLookup::kFound) {
    ReportUpgradeLookupFailure(console, found, status);
    return false;
  }
  RepairState state;
  ReadRepairState(os, &state);
  if (state.Tries(SetupStep::kUpgradeUninstaller) > 0) {
    return ReportUpgradeStillInstalled(os, console, self_path);
  }

  ResumeCommand resume;
  if (!BuildResumeCommand(self_path, RunMode::kUpgradeRemove, &resume)) {
    ReportBuildFailure(console, BuildStatus::kTooLong);
    console.PrintText("The program's path is too long to schedule its next run.\n");
    console.PrintText("Please remove the upgrade from Add remove programs and run the\n");
    console.PrintLine("fix again from a shorter path.");
    console.PromptForKey("Press any key to terminate the program.");
    return false;
  }
  console.PrintText("\nDUN Upgrades found, proceeding to remove.\n");
  console.PrintText("\nRemember: You will have to REINSTALL the upgrade yourself!");
  console.PrintLine(
      "\nPlease use the most recent upgrade, DUN 1.4, avialable from Microsoft's website.");
  console.PromptForKey("You cannot abort the program at this point.\n");

  UninstallText value;
  reader.ReadUninstallText(&value);
  UninstallerForm form = UninstallerForm::kDunSetup;
  if (!ChooseUninstallerForm(value, &form)) {
    ReportUnknownUninstallText(console, value);
    return false;
  }

  HelperRun run;
  BuildStatus built = BuildUninstallerRun(os, form, value.text, &run);
  if (built != BuildStatus::kOk) {
    ReportUninstallerBuildFailure(console, built);
    return false;
  }

  // A DUN setup uninstall resumes with the DUN uninstall; a rundll one
  // starts the whole fix again.
  const char* next_run = form == UninstallerForm::kDunSetup ? resume.c_str() : self_path;
  if (!WriteResumeEntry(os, console, next_run)) return false;

  // The command line may be changed by the start; keep the text to name it.
  FixedText<kCommandSize> shown;
  shown.Append(run.command_line.c_str());
  // Counted right before the start: a run that finds the upgrade still
  // listed afterwards knows its uninstaller has had its chance.
  CountSetupTry(os, SetupStep::kUpgradeUninstaller);
  if (!RunHelper(os, &run)) {
    // Without the uninstaller the next start must not resume into a DUN
    // uninstall with the upgrade still installed: take the entry back first.
    DeleteResumeEntry(os, console);
    console.PrintText("\nUnable to start the upgrade's uninstaller:\n\t");
    console.PrintText(shown.c_str());
    console.PrintText("\n");
    console.PrintText("Please remove the upgrade from Add remove programs and run the\n");
    console.PrintLine("fix again.");
    console.PromptForKey("Press any key to terminate the program.");
    // It never started: a later run may start it.
    ForgetSetupTries(os, SetupStep::kUpgradeUninstaller);
    return false;
  }

  if (!os.ExitWindowsEx(0, 0xFFFFFFFFu)) {
    console.PrintText("Windows could not end the session.\n");
    console.PrintLine("Please restart the computer yourself to continue the fix.");
    console.PromptForKey("Press any key to terminate the program.");
  }
  return false;
}

}  // namespace netrevive
