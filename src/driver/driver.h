#ifndef NETREVIVE_DRIVER_DRIVER_H_
#define NETREVIVE_DRIVER_DRIVER_H_

#include "console/console.h"
#include "platform/platform.h"
#include "steps/resume.h"

namespace netrevive {

// Chooses the run mode from the command line: no argument, or exactly one of
// the mode words (byte-wise, case-sensitive).
RunMode SelectRunMode(int argc, const char* const* argv);

// The whole program: banner, run mode, repair steps. argv[0] is the program's
// own invocation text; its later runs are started from it as
// ResolveSelfPath makes it fit for that.
// Always returns 0, the program's exit status.
int RunNetrevive(int argc, const char* const* argv, Platform& os, Console& console);

}  // namespace netrevive

#endif  // NETREVIVE_DRIVER_DRIVER_H_
