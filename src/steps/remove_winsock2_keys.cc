#include "platform/fixed_text.h"
#include "platform/windows_dir.h"
#include "steps/build_failure_report.h"
#include "steps/repair_state.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

constexpr const char* kServicesKey = "System\\CurrentControlSet\\Services";

// A registry file and the name of its backup, as tails of WindowsDir.
struct RegistryFile {
  const char* file;
  const char* backup;
  const char* fresh;  // the new copy, until every copy has been made
};
// Windows ME keeps HKEY_CLASSES_ROOT in a file of its own; its name is the
// longest, which kBackupPathSize allows for.
constexpr RegistryFile kRegistryFiles[] = {
    {"\\system.dat", "\\system.tom", "\\system.nr$"},
    {"\\user.dat", "\\user.tom", "\\user.nr$"},
    {"\\classes.dat", "\\classes.tom", "\\classes.nr$"},
};

using BackupPath = FixedText<kBackupPathSize>;

// The registry files this Windows has: classes.dat only on ME.
size_t RegistryFileCount(Platform& os) {
  OsVersion info = {};
  os.GetVersionExA(&info);
  return FindWindowsRelease(info) == WindowsRelease::kMe ? 3 : 2;
}

// Any Windows directory ReadWindowsDir gives (kMaxPath - 1 characters at
// most) fits with the longest tail above and its NUL.
static_assert(kBackupPathSize >= kMaxPath + sizeof "\\classes.dat" - 1,
              "the backup paths must hold the longest Windows directory and file name");

// The paths of one registry file, its backup and its new copy.
struct BackupPaths {
  BackupPath file;
  BackupPath backup;
  BackupPath fresh;
};

// Any Windows directory ReadWindowsDir gives fits with every tail (see
// above), so the appends cannot fail.
void BuildBackupPaths(const char* windows_dir, const RegistryFile& names, BackupPaths* paths) {
  paths->file.Append(windows_dir);
  paths->file.Append(names.file);
  paths->backup.Append(windows_dir);
  paths->backup.Append(names.backup);
  paths->fresh.Append(windows_dir);
  paths->fresh.Append(names.fresh);
}

void ReportCopyFailed(Platform& os, Console& console, const BackupPath& from,
                      const BackupPath& to) {
  console.PrintText("The registry file ");
  console.PrintText(from.c_str());
  console.PrintText(" could not be copied to\n\t");
  console.PrintText(to.c_str());
  console.PrintText(
      "\nso it cannot be backed up (is the disk full?). The repair will not start.\n");
  PrintWhatWasChanged(os, console);
  console.PromptForKey("press any key to terminate the program.");
}

// A repair under way keeps the backups it made when it began: only a
// missing one is made (CopyFileA refuses to write over one that is there).
bool MakeMissingBackups(Platform& os, Console& console, const char* windows_dir, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    BackupPaths paths;
    BuildBackupPaths(windows_dir, kRegistryFiles[i], &paths);
    if (os.CopyFileA(paths.file.c_str(), paths.backup.c_str(), true)) {
      os.SetFileAttributesA(paths.backup.c_str(), kFileAttributeNormal);
    } else if (os.GetFileAttributesA(paths.backup.c_str()) == kInvalidFileAttributes) {
      ReportCopyFailed(os, console, paths.file, paths.backup);
      return false;
    }
  }
  return true;
}

// A new repair replaces older backups, but only once every copy has been
// made: a copy that fails (a full disk) leaves the old backups as they are.
// A copy keeps no read-only, hidden or system mark, so that MS-DOS's copy
// can put it back as it is.
bool ReplaceBackups(Platform& os, Console& console, const char* windows_dir, size_t count) {
  BackupPaths paths[sizeof kRegistryFiles / sizeof kRegistryFiles[0]];
  for (size_t i = 0; i < count; ++i) {
    BuildBackupPaths(windows_dir, kRegistryFiles[i], &paths[i]);
    // CopyFileA copies the attributes too, and will not write over a
    // read-only file a cut-off run left.
    os.SetFileAttributesA(paths[i].fresh.c_str(), kFileAttributeNormal);
    if (!os.CopyFileA(paths[i].file.c_str(), paths[i].fresh.c_str(), false)) {
      ReportCopyFailed(os, console, paths[i].file, paths[i].fresh);
      // The copies made are of no use without the others.
      for (size_t j = 0; j <= i; ++j) os.DeleteFileA(paths[j].fresh.c_str());
      return false;
    }
    os.SetFileAttributesA(paths[i].fresh.c_str(), kFileAttributeNormal);
  }
  for (size_t i = 0; i < count; ++i) {
    const BackupPaths& p = paths[i];
    os.SetFileAttributesA(p.backup.c_str(), kFileAttributeNormal);
    os.DeleteFileA(p.backup.c_str());
    if (!os.MoveFileA(p.fresh.c_str(), p.backup.c_str())) {
      console.PrintText("The backup ");
      console.PrintText(p.fresh.c_str());
      console.PrintText(" could not be renamed to\n\t");
      console.PrintText(p.backup.c_str());
      console.PrintText(
          "\nThe registry as it was is in the first file. The repair will not start.\n");
      PrintWhatWasChanged(os, console);
      console.PromptForKey("press any key to terminate the program.");
      return false;
    }
  }
  return true;
}

// Backs up system.dat and user.dat (and classes.dat on ME) to system.tom,
// user.tom (and classes.tom) in WindowsDir: replacing older copies, or, for a
// repair under way (keep_existing), making only those missing, since the
// copies made when it began hold the registry from before its first change.
// No, after a report, when the Windows directory cannot be read or a copy
// could not be made.
bool BackupRegistryFiles(Platform& os, Console& console, bool keep_existing) {
  FixedText<kBackupPathSize> windows_dir;
  BuildStatus status = ReadWindowsDir(os, &windows_dir);
  if (status == BuildStatus::kOk) {
    // Windows 9x keeps registry changes in memory for a while: the files are
    // written first, so that the copies hold the registry as it is now.
    os.RegFlushKey(kHkeyLocalMachine);
    os.RegFlushKey(kHkeyUsers);
    const size_t count = RegistryFileCount(os);
    return keep_existing ? MakeMissingBackups(os, console, windows_dir.c_str(), count)
                         : ReplaceBackups(os, console, windows_dir.c_str(), count);
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
