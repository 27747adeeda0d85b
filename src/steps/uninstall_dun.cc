#include "steps/build_failure_report.h"
#include "steps/helper_runner.h"
#include "steps/steps.h"

namespace netrevive {

bool UninstallDun(Platform& os, Console& console) {
  HelperRun run;
  BuildStatus status = BuildHelperRun(os, Helper::kUninstallUpgrade, &run);
  if (status == BuildStatus::kOk && RunHelper(os, &run)) return true;

  if (status != BuildStatus::kOk) ReportBuildFailure(console, status);
  console.PrintText("Unable to remove DUN, remove DUN thru add remove programs.\n");
  console.PrintLine("");
  console.PromptForKey("Press any key to terminate the program.");
  return false;
}

}  // namespace netrevive
