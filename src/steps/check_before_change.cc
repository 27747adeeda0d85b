#include "platform/fixed_text.h"
#include "platform/windows_dir.h"
#include "steps/dun_upgrade.h"
#include "steps/helper_runner.h"
#include "steps/repair_state.h"
#include "steps/resume.h"
#include "steps/setup_files.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

void PrintIndented(Console& console, const char* text) {
  console.PrintText("\t");
  console.PrintText(text);
  console.PrintLine("");
}

// The upgrade's removal, read and built as the removal step will do it;
// its failures are reported as that step reports them. For an uninstaller
// of the DUN setup form, its program is left in dunsetup.
bool CheckUpgradeRemovable(Platform& os, Console& console, FixedText<kPathSize>* dunsetup) {
  if (IsDunMissing(os)) return true;
  DunUpgradeLookup lookup;
  LookUpDunUpgrade(os, &lookup);
  if (lookup.result == UpgradeLookup::kNotFound) return true;
  if (lookup.result != UpgradeLookup::kFound) {
    ReportUpgradeLookupFailure(console, lookup.result, lookup.status);
    return false;
  }
  UninstallerForm form = UninstallerForm::kDunSetup;
  if (!ChooseUninstallerForm(lookup.uninstall, &form)) {
    ReportUnknownUninstallText(console, lookup.uninstall);
    return false;
  }
  HelperRun run;
  BuildStatus built = BuildUninstallerRun(os, form, lookup.uninstall.text, &run);
  if (built != BuildStatus::kOk) {
    ReportUninstallerBuildFailure(console, built);
    return false;
  }
  if (form == UninstallerForm::kDunSetup) dunsetup->Append(run.program.c_str());
  return true;
}

bool RefuseMissingProgram(Platform& os, Console& console, const char* path) {
  console.PrintLine("A program the repair needs is missing:");
  PrintIndented(console, path);
  console.PrintLine("The repair will not start.");
  return EndRefusal(os, console, SupportNumber::kGiven);
}

// The programs the repair starts, and the libraries they run: a missing one
// makes rundll32 show its "Error loading" box and wait, and the restart never
// comes. setupx.dll installs DUN; rnasetup.dll comes with DUN, so it is only
// needed where DUN is installed. Without a Windows directory there is
// nothing to look at; the backup reports that before any change.
bool CheckPrograms(Platform& os, Console& console, const char* dunsetup) {
  FixedText<kPathSize> windows_dir;
  if (ReadWindowsDir(os, &windows_dir) != BuildStatus::kOk) return true;
  struct Needed {
    const char* tail;
    bool only_with_dun;
  };
  static const Needed kPrograms[] = {{"\\rundll32.exe", false},
                                     {"\\rundll.exe", false},
                                     {"\\system\\setupx.dll", false},
                                     {"\\system\\rnasetup.dll", true}};
  for (const Needed& program : kPrograms) {
    if (program.only_with_dun && IsDunMissing(os)) continue;
    // Any Windows directory GetWindowsDirectoryA can give fits with the name.
    FixedText<kPathSize> path;
    path.Append(windows_dir.c_str());
    path.Append(program.tail);
    if (!IsPlainFile(os, path.c_str())) return RefuseMissingProgram(os, console, path.c_str());
  }
  if (dunsetup[0] != '\0' && !IsPlainFile(os, dunsetup)) {
    return RefuseMissingProgram(os, console, dunsetup);
  }
  return true;
}

bool CheckRunOnceKey(Platform& os, Console& console) {
  RegKey key = 0;
  RegStatus status = os.RegCreateKeyExA(kHkeyLocalMachine, kRunOnceKey, kKeyWrite, &key);
  if (status == kErrorSuccess) {
    os.RegCloseKey(key);
    return true;
  }
  console.PrintLine(
      "Unable to open the key: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce.");
  console.PrintText("Error code: ");
  console.PrintCode(status);
  console.PrintLine("");
  console.PrintLine("The repair needs it to carry on after each restart, so it will not start.");
  return EndRefusal(os, console, SupportNumber::kGiven);
}

// Windows' setup files. Without a Windows directory the backup reports
// that before any change.
bool CheckSetupFiles(Platform& os, Console& console) {
  SetupFilesSearch search;
  if (FindSetupFiles(os, &search) != BuildStatus::kOk) return true;
  if (search.found >= 0) return true;
  char drive = SourceCdDrive(os, search);
  if (drive != '\0') {
    char prompt[] = "Please put the Windows CD in drive ?: and press any key.";
    for (char& c : prompt) {
      if (c == '?') c = drive;
    }
    console.PromptForKey(prompt);
    if (FindSetupFiles(os, &search) != BuildStatus::kOk || search.found >= 0) return true;
  }
  console.PrintLine("Windows' setup files were not found. Windows needs them to install");
  console.PrintLine("Dial-Up Networking again, so the repair will not start. Looked in:");
  for (int i = 0; i < search.folder_count; ++i) PrintIndented(console, search.folders[i].c_str());
  console.PrintLine("Put the Windows CD in its drive and run this program again.");
  return EndRefusal(os, console, SupportNumber::kGiven);
}

}  // namespace

bool CheckBeforeFirstChange(Platform& os, Console& console) {
  FixedText<kPathSize> dunsetup;
  return CheckUpgradeRemovable(os, console, &dunsetup) &&
         CheckPrograms(os, console, dunsetup.c_str()) && CheckRunOnceKey(os, console) &&
         CheckSetupFiles(os, console);
}

}  // namespace netrevive
