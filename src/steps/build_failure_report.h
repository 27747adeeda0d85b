#ifndef NETREVIVE_STEPS_BUILD_FAILURE_REPORT_H_
#define NETREVIVE_STEPS_BUILD_FAILURE_REPORT_H_

#include "console/console.h"
#include "platform/windows_dir.h"

namespace netrevive {

// Says why a path or command could not be built; the caller goes on with its
// own report of the step that cannot be carried out.
inline void ReportBuildFailure(Console& console, BuildStatus status) {
  if (status == BuildStatus::kNoWindowsDir) {
    console.PrintText("Unable to find the Windows directory.\n");
  } else {
    console.PrintText("A path or command line is too long for this program to build.\n");
  }
}

}  // namespace netrevive

#endif  // NETREVIVE_STEPS_BUILD_FAILURE_REPORT_H_
