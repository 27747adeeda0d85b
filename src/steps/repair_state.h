#ifndef NETREVIVE_STEPS_REPAIR_STATE_H_
#define NETREVIVE_STEPS_REPAIR_STATE_H_

#include "console/console.h"
#include "platform/platform.h"

namespace netrevive {

// The repair under way, remembered in the file netrevive.QU in the Windows
// directory, so that whatever interrupts it (a closed window, a power cut, a
// setup program that hangs) the next run knows where it stands. The fresh run
// writes it after the backups and before the Winsock2 deletion; the run that
// completes the repair deletes it before the final restart. A file that is
// there counts as a repair under way, whatever it holds.

// The setup programs whose starts are counted: each runs at most
// kMaxSetupTries times before the caller has to start it again by hand.
enum class SetupStep {
  kUpgradeUninstaller,  // the DUN upgrade's own uninstaller
  kUninstallDun,        // rnasetup.dll,UninstallUpgrade
  kInstallDun,          // setupx.dll,InstallHinfSection
  kInstallDriver,       // rnasetup.dll,InstallDefaultDrv
};
inline constexpr int kSetupStepCount = 4;
inline constexpr int kMaxSetupTries = 2;

struct RepairState {
  bool under_way = false;
  int tries[kSetupStepCount] = {};
  int Tries(SetupStep step) const { return tries[static_cast<int>(step)]; }
};

// Reads the state; under_way is no when there is no file. A file that
// cannot be read counts as a repair under way with nothing counted.
void ReadRepairState(Platform& os, RepairState* state);

// Writes the whole state; no when the file could not be written whole.
bool WriteRepairState(Platform& os, const RepairState& state);

// Whether the file is there, looked at without reading it.
bool RepairUnderWay(Platform& os);

// Deletes the file; yes when it is gone.
bool EndRepairState(Platform& os);

// Counts one more start of step, unless it has had kMaxSetupTries already:
// then the count goes back to 0, so that the caller's own next start tries
// again, and the answer is no (the caller reports it with
// ReportSetupTriesUsedUp).
bool CountSetupTry(Platform& os, SetupStep step);

// Tells the caller (with a key) to restart and start the program from
// self_path by hand.
void ReportSetupTriesUsedUp(Console& console, const char* self_path);

// Sets the count of step back to 0 (a start by hand tries it again).
void ForgetSetupTries(Platform& os, SetupStep step);

// The line that closes a refusal: "Nothing has been changed on this
// computer." or, where a repair is under way, what it has changed.
void PrintWhatWasChanged(Platform& os, Console& console);

// Whether a refusal gives the support line's number: the checks of the
// program's own path name the caller's remedy instead (copy it to C:\).
enum class SupportNumber { kLeftOut, kGiven };

// The lines every refusal of the checks before the first change ends with:
// PrintWhatWasChanged, the support line's number when asked for, and the
// key that ends the program. Always no, the refusal's answer.
bool EndRefusal(Platform& os, Console& console, SupportNumber number);

// "\t<self_path>" on a line of its own: the command a caller types at
// Start, Run.
void PrintStartRunCommand(Console& console, const char* self_path, const char* mode_word);

}  // namespace netrevive

#endif  // NETREVIVE_STEPS_REPAIR_STATE_H_
