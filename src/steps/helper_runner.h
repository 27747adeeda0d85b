#ifndef NETREVIVE_STEPS_HELPER_RUNNER_H_
#define NETREVIVE_STEPS_HELPER_RUNNER_H_

#include "platform/fixed_text.h"
#include "platform/platform.h"
#include "platform/windows_dir.h"

namespace netrevive {

// One start of a Windows setup program.
struct HelperRun {
  FixedText<kPathSize> program;
  FixedText<kCommandSize> command_line;
  FixedText<kPathSize> working_directory;
  bool wait = true;
};

// Windows' own setup entry points the repair uses.
enum class Helper {
  kUninstallUpgrade,    // rundll32.exe rnasetup.dll,UninstallUpgrade, waited for
  kRnaReboot,           // rundll32.exe rnasetup.dll,RnaReboot, not waited for
  kInstallHinfSection,  // rundll.exe setupx.dll,InstallHinfSection RNA 128 <rna.inf>, waited for
  kInstallDefaultDrv,   // rundll32.exe rnasetup.dll,InstallDefaultDrv, waited for
};

// The forms of a Dial-Up Networking upgrade's registered uninstaller.
enum class UninstallerForm {
  kDunSetup,  // "dunsetup.exe /u", run from WindowsDir\system
  kRundll,    // "rundll.exe ...", run from WindowsDir
  kRundll32,  // "rundll32.exe ...", run from WindowsDir
};

// Fills run for one of the fixed helpers. Nothing is started.
BuildStatus BuildHelperRun(Platform& os, Helper helper, HelperRun* run);

// Fills run for an upgrade's uninstaller whose registered uninstall command
// is uninstall_text (it starts with the program's file name).
BuildStatus BuildUninstallerRun(Platform& os, UninstallerForm form, const char* uninstall_text,
                                HelperRun* run);

// The error mode the program runs with: its own looks at a floppy or CD-ROM
// drive without a disc (the setup files' folder on the Windows CD) fail at
// once instead of showing Windows' "drive is not ready" box and waiting.
constexpr uint32_t kProgramErrorMode = kSemFailCriticalErrors | kSemNoOpenFileErrorBox;

// Sets kProgramErrorMode, at the start of every run, and keeps the mode it
// replaces: the one the program was started with, which RunHelper hands on
// to Windows' setup programs.
void TakeProgramErrorMode(Platform& os);

// Starts run->program detached in its working directory and, when run->wait
// is set, blocks until it has ended. Returns yes when the process was
// created; its exit code is not examined. Both handles CreateProcessA returns
// are closed. A wait that cannot be made ends at once. The command line may
// be changed by the start. The program starts with the error mode this
// program was started with, since it inherits the mode and Windows' setup
// must still ask for its disc; kProgramErrorMode is set again after the wait.
bool RunHelper(Platform& os, HelperRun* run);

}  // namespace netrevive

#endif  // NETREVIVE_STEPS_HELPER_RUNNER_H_
