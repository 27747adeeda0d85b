#include "platform/fixed_text.h"
#include "steps/build_failure_report.h"
#include "steps/helper_runner.h"
#include "steps/repair_state.h"
#include "steps/resume.h"
#include "steps/setup_files.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

bool ReportCannotStartReinstall(Console& console) {
  console.PrintText(
      "Unable to start the reinstall process. Please reinstall DUN via add/remove programs.\n");
  console.PromptForKey("Press any key to terminate program.");
  return false;
}

// A setup step that has had its tries: the caller starts the program by
// hand. Yes: the report says all there is to say.
bool ReportTriesUsedUp(Platform& os, Console& console, const char* argv0) {
  SelfPath self;
  ReportSetupTriesUsedUp(console, ResolveSelfPathQuietly(os, argv0, &self));
  return true;
}

// Installs the default dial-up driver, schedules the Check and restarts
// Windows.
bool FinishReinstall(Platform& os, Console& console, const char* argv0) {
  console.PrintLine("Completeing Reinstallation...");

  HelperRun driver;
  BuildStatus status = BuildHelperRun(os, Helper::kInstallDefaultDrv, &driver);
  if (status == BuildStatus::kOk && !CountSetupTry(os, SetupStep::kInstallDriver)) {
    return ReportTriesUsedUp(os, console, argv0);
  }
  if (status != BuildStatus::kOk || !RunHelper(os, &driver)) {
    if (status != BuildStatus::kOk) ReportBuildFailure(console, status);
    console.PrintText(
        "Unable to complete the reinstall process. Please reinstall DUN via add/remove "
        "programs.\n");
    console.PromptForKey("Press any key to terminate the program.");
    console.PrintLine("");
    return false;
  }
  // Windows 9x writes registry changes to its files when it gets round to
  // it: the restart must find the driver.
  os.RegFlushKey(kHkeyLocalMachine);
  // The repair is complete: nothing is left for a later run to carry on.
  if (!EndRepairState(os)) {
    console.PrintText("The file netrevive.QU in the Windows directory could not be deleted;\n");
    console.PrintText("please delete it once the computer has restarted.\n");
  }
  SelfPath self;
  const char* self_path = ResolveSelfPathQuietly(os, argv0, &self);
  // After the restart Windows runs the Check once, which tells whether
  // dial-up networking really came back. A path that cannot be resolved
  // schedules nothing and stops nothing. It is written before the pause, so
  // that a window closed there still gets the Check.
  ScheduleCheck(os, self_path == self.c_str() ? self_path : "");

  console.PrintText(
      "The winsock 2  fix has been successfully applied to this computer. Please allow the \n");
  console.PromptForKey(
      "computer to reboot before you access network services. Press any key to reboot.\n");

  HelperRun reboot;
  status = BuildHelperRun(os, Helper::kRnaReboot, &reboot);
  if (status != BuildStatus::kOk || !RunHelper(os, &reboot)) {
    if (status != BuildStatus::kOk) ReportBuildFailure(console, status);
    // The reinstallation itself is done: only the restart is left.
    console.PrintText("Unable to DUN Reboot.\n");
    console.PrintText("Dial-Up Networking has been reinstalled; please restart the computer.\n");
    console.PromptForKey("Press any key to terminate the program.");
  }
  return true;
}

// Windows' setup ran but installed nothing: the caller cancelled its
// request for the Windows CD, say. The marker goes back, so that the
// program started by hand in this mode tries once more.
bool ReportNothingInstalled(Platform& os, Console& console, const char* argv0) {
  console.PrintLine("Windows' setup ended, but Dial-Up Networking was not installed. Windows");
  console.PrintLine("may have asked for its CD or setup files and not been given them.");
  if (!WriteMarker(os)) {
    console.PrintLine("Unable to create the file that authorises the reinstallation of DUN.");
    console.PrintLine("Put the Windows CD in its drive and reinstall DUN via add/remove programs.");
    console.PromptForKey("Press any key to terminate the program.");
    return false;
  }
  SelfPath self;
  const char* command = ResolveSelfPathQuietly(os, argv0, &self);
  console.PrintLine("Put the Windows CD in its drive, then click Start, Run, type");
  console.PrintText("\t");
  console.PrintText(command);
  console.PrintText(" ReinstallDUN");
  console.PrintLine("");
  console.PrintLine("and press Enter to try again, or reinstall DUN via add/remove programs.");
  console.PromptForKey("Press any key to terminate the program.");
  return false;
}

}  // namespace

bool ReinstallDun(Platform& os, Console& console, const char* argv0, bool marker_written) {
  MarkerState marker = ConsumeMarker(os);
  if (marker == MarkerState::kAbsent && !marker_written) {
    // A restart came before the marker was written, or after it was taken:
    // the caller finishes the repair with a start by hand.
    if (IsDunMissing(os)) {
      SelfPath self;
      console.PrintLine(
          "Dial-Up Networking is not installed, and no reinstallation is authorised.");
      console.PrintLine("To finish the repair, click Start, Run, type");
      PrintStartRunCommand(console, ResolveSelfPathQuietly(os, argv0, &self), nullptr);
      console.PrintLine("and press Enter.");
      console.PromptForKey("Press any key to terminate the program.");
    }
    return true;
  }
  if (marker == MarkerState::kAbsent || marker == MarkerState::kNoWindowsDir) {
    // Whether a reinstallation is authorised cannot be told, or the marker
    // just written cannot be read back: say so rather than end as if there
    // were nothing to do.
    if (marker == MarkerState::kAbsent) {
      console.PrintText("The file rundunreinst.QU in the Windows directory could not be read.\n");
    } else {
      ReportBuildFailure(console, BuildStatus::kNoWindowsDir);
    }
    return ReportCannotStartReinstall(console);
  }
  if (marker == MarkerState::kLeftBehind) {
    console.PrintText("The file rundunreinst.QU in the Windows directory could not be deleted;\n");
    console.PrintText("please delete it once the computer has restarted.\n");
  }

  console.PrintLine("\nRe-installing DUN.");
  console.PromptForKey("Press any key to confirm reinstallation.");

  // Without rna.inf the setup program would start, install nothing and end.
  FixedText<kPathSize> inf;
  if (FindDunSetupInformation(os, &inf) == DunSetupInformation::kMissing) {
    return ReportCannotStartReinstall(console);
  }

  HelperRun run;
  BuildStatus status = BuildHelperRun(os, Helper::kInstallHinfSection, &run);
  if (status == BuildStatus::kOk && !CountSetupTry(os, SetupStep::kInstallDun)) {
    return ReportTriesUsedUp(os, console, argv0);
  }
  // The folder Windows' setup is to copy from, for its "Copy files from:" box.
  if (status == BuildStatus::kOk) PrintSetupFilesLine(os, console);
  if (status != BuildStatus::kOk || !RunHelper(os, &run)) {
    if (status != BuildStatus::kOk) ReportBuildFailure(console, status);
    return ReportCannotStartReinstall(console);
  }
  // What Windows' setup installed must outlast a power cut.
  os.RegFlushKey(kHkeyLocalMachine);
  if (IsDunMissing(os)) return ReportNothingInstalled(os, console, argv0);
  return FinishReinstall(os, console, argv0);
}

}  // namespace netrevive
