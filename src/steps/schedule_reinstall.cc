#include "platform/helper_runner.h"
#include "platform/resume.h"
#include "steps/build_failure_report.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

// The end of every report of a reinstallation that could not be scheduled:
// DUN is already uninstalled, so the user is told how to get it back.
bool ReportScheduleFailed(Console& console) {
  console.PrintText("Please reboot the machine and reinstall DUN via add/remove programs.\n");
  console.PrintLine("Press any key to terminate the program.");
  console.PauseForKey();
  return false;
}

}  // namespace

bool ScheduleReinstall(Platform& os, Console& console, const char* self_path) {
  ResumeCommand command;
  if (!BuildResumeCommand(self_path, " ReinstallDUN", &command)) {
    ReportBuildFailure(console, BuildStatus::kTooLong);
    console.PrintText("The program's path is too long to schedule its next run.\n");
    return ReportScheduleFailed(console);
  }
  // Build the restart command before anything is written, so that a failure
  // to build it leaves no entry and no marker behind.
  HelperRun reboot;
  BuildStatus status = BuildHelperRun(os, Helper::kRnaReboot, &reboot);
  if (status != BuildStatus::kOk) {
    ReportBuildFailure(console, status);
    console.PrintText("Unable to DUN Reboot.\n");
    return ReportScheduleFailed(console);
  }

  if (!WriteResumeEntry(os, console, command.c_str())) return false;

  // The entry is in place before the marker exists.
  if (!WriteMarker(os)) {
    console.PrintText("Unable to create the file that authorises the reinstallation of DUN.\n");
    return ReportScheduleFailed(console);
  }

  if (!RunHelper(os, &reboot)) {
    console.PrintText("Unable to DUN Reboot.\n");
    console.PrintLine("Press any key to terminate the program.");
    console.PauseForKey();
    console.PrintLine("");
  }
  return false;
}

}  // namespace netrevive
