#include "steps/build_failure_report.h"
#include "steps/helper_runner.h"
#include "steps/resume.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

// The end of every report of a reinstallation that could not be scheduled:
// DUN is already uninstalled, so the user is told how to get it back.
void ReportScheduleFailed(Console& console) {
  console.PrintText("Please reboot the machine and reinstall DUN via add/remove programs.\n");
  console.PromptForKey("Press any key to terminate the program.");
}

}  // namespace

bool PrepareReinstall(Platform& os, Console& console, const char* self_path, HelperRun* reboot) {
  ResumeCommand command;
  if (!BuildResumeCommand(self_path, RunMode::kReinstallDun, &command)) {
    ReportBuildFailure(console, BuildStatus::kTooLong);
    console.PrintText("The program's path is too long to schedule its next run.\n");
    ReportScheduleFailed(console);
    return false;
  }
  // Build the restart command before anything is written, so that a failure
  // to build it leaves no entry and no marker behind.
  BuildStatus status = BuildHelperRun(os, Helper::kRnaReboot, reboot);
  if (status != BuildStatus::kOk) {
    ReportBuildFailure(console, status);
    console.PrintText("Unable to DUN Reboot.\n");
    ReportScheduleFailed(console);
    return false;
  }

  if (!WriteResumeEntry(os, console, command.c_str())) return false;

  // The entry is in place before the marker exists.
  if (!WriteMarker(os)) {
    console.PrintText("Unable to create the file that authorises the reinstallation of DUN.\n");
    ReportScheduleFailed(console);
    return false;
  }
  return true;
}

void RestartForReinstall(Platform& os, Console& console, HelperRun* reboot) {
  if (!RunHelper(os, reboot)) {
    console.PrintText("Unable to DUN Reboot.\n");
    console.PromptForKey("Press any key to terminate the program.");
    console.PrintLine("");
  }
}

}  // namespace netrevive
