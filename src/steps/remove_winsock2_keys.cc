#include "platform/fixed_text.h"
#include "platform/windows_dir.h"
#include "steps/build_failure_report.h"
#include "steps/repair_state.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

constexpr const char* kServicesKey = "System\\CurrentControlSet\\Services";

bool CopyInWindowsDir(Platform& os, const char* windows_dir, const char* from_tail,
                      const char* to_tail, bool keep_existing) {
  FixedText<kBackupPathSize> from;
  FixedText<kBackupPathSize> to;
  if (!(from.Append(windows_dir) && from.Append(from_tail) && to.Append(windows_dir) &&
        to.Append(to_tail))) {
    return false;
  }
  // CopyFileA copies the attributes too, and system.dat is read-only: a
  // backup from an earlier run can be overwritten only once they are cleared.
  // A backup to keep is copied only where there is none (fail_if_exists).
  if (!keep_existing) os.SetFileAttributesA(to.c_str(), kFileAttributeNormal);
  // A failed copy does not stop the repair. A copy made keeps no read-only,
  // hidden or system mark, so that MS-DOS's copy can put it back as it is.
  if (os.CopyFileA(from.c_str(), to.c_str(), keep_existing)) {
    os.SetFileAttributesA(to.c_str(), kFileAttributeNormal);
  }
  return true;
}

// Copies system.dat and user.dat to system.tom and user.tom in WindowsDir,
// replacing older copies unless keep_existing: the copies made when a repair
// under way began hold the registry from before its first change, and a run
// that finds that repair under way keeps them (making only those missing).
// No only when the Windows directory cannot be read (reported).
bool BackupRegistryFiles(Platform& os, Console& console, bool keep_existing) {
  FixedText<kBackupPathSize> windows_dir;
  BuildStatus status = ReadWindowsDir(os, &windows_dir);
  if (status == BuildStatus::kOk) {
    // Windows 9x keeps registry changes in memory for a while: the files are
    // written first, so that the copies hold the registry as it is now.
    os.RegFlushKey(kHkeyLocalMachine);
    os.RegFlushKey(kHkeyUsers);
    // The buffers hold any Windows directory with either file name.
    CopyInWindowsDir(os, windows_dir.c_str(), "\\system.dat", "\\system.tom", keep_existing);
    CopyInWindowsDir(os, windows_dir.c_str(), "\\user.dat", "\\user.tom", keep_existing);
    return true;
  }
  ReportBuildFailure(console, status);
  console.PrintText("The registry files could not be backed up.\n");
  console.PrintText("Unable to continue.\n");
  console.PromptForKey("press any key to terminate the program.");
  return false;
}

// Whether the Winsock2 key is known to be missing (opening it answers 2):
// an earlier run, or something else, has deleted it already, and the
// deletion counts as done.
bool IsWinsock2Missing(Platform& os) {
  RegKey key = 0;
  RegStatus status = os.RegOpenKeyExA(kHkeyLocalMachine, kWinsock2Key, kKeyRead, &key);
  if (status == kErrorSuccess) os.RegCloseKey(key);
  return status == kErrorFileNotFound;
}

}  // namespace

bool RemoveWinsock2Keys(Platform& os, Console& console) {
  RepairState state;
  ReadRepairState(os, &state);
  if (!BackupRegistryFiles(os, console, state.under_way)) return false;
  if (!state.under_way) {
    state.under_way = true;
    if (!WriteRepairState(os, state)) {
      console.PrintText("Unable to create the file netrevive.QU in the Windows directory, which\n");
      console.PrintText("lets the repair carry on whatever interrupts it.\n");
      PrintWhatWasChanged(os, console);
      console.PromptForKey("press any key to terminate the program.");
      return false;
    }
  }
  if (IsWinsock2Missing(os)) return true;

  RegKey services = 0;
  if (os.RegOpenKeyExA(kHkeyLocalMachine, kServicesKey, kKeyAllAccess, &services) !=
      kErrorSuccess) {
    console.PrintText("Unable to open the key: HKLM\\System\\CurrentControlSet\\Services\n");
    console.PrintText("Unable to continue.\n");
    console.PromptForKey("press any key to terminate the program.");
    console.PrintLine("");
    return false;
  }
  RegStatus status = os.RegDeleteKeyA(services, "Winsock2");
  os.RegCloseKey(services);
  if (status == kErrorSuccess) return true;

  console.PrintText("There was an error deleting the winsock2 key. \n");
  console.PrintText("The error code is as follows: ");
  console.PrintCode(status);
  console.PromptForKey("\nWe are unable to continue.\nPress any key to terminate the program.");
  return false;
}

}  // namespace netrevive
