#include "platform/windows_dir.h"
#include "steps/repair_state.h"
#include "steps/steps.h"

namespace netrevive {

bool CheckOperatingSystem(Platform& os, Console& console) {
  OsVersion info = {};
  os.GetVersionExA(&info);  // on failure the zero-filled record reads as an NT system

  if (info.platform_id != kPlatformWin32Windows) {
    console.PrintLine(
        "This machine is not a Win9x/ME machine, the Winsock2 fix does not apply to Windows NT "
        "systems.\n");
    console.PromptForKey("Press any key to continue.\n");
    return false;
  }
  switch (info.minor_version) {
    case 0:
      console.PrintLine("\nThe fix is not avialable for Windows 95 machines yet.\n");
      console.PrintText("Please contact");
      console.PromptForKey(" the MERX.\n");
      return false;
    case 10:
      if ((info.build_number & 0xFFFFu) == 1998) {
        console.PrintLine("This computer is running Windows 98");
      } else if (info.csd_version[1] == 'A') {
        console.PrintLine("This computer is running Windows 98SE");
      }
      return true;
    case 90:
      console.PrintLine("\nThis computer is running Windows ME");
      return true;
    default:
      return true;
  }
}

bool IsDunMissing(Platform& os) {
  RegKey key = 0;
  RegStatus status = os.RegOpenKeyExA(kHkeyClassesRoot, "dunfile", kKeyRead, &key);
  if (status == kErrorSuccess) os.RegCloseKey(key);
  return status == kErrorFileNotFound;
}

DunSetupInformation FindDunSetupInformation(Platform& os, FixedText<kPathSize>* path) {
  // Any Windows directory GetWindowsDirectoryA can give fits with the tail.
  if (ReadWindowsDir(os, path) != BuildStatus::kOk || !path->Append("\\inf\\rna.inf")) {
    return DunSetupInformation::kNoWindowsDir;
  }
  return IsPlainFile(os, path->c_str()) ? DunSetupInformation::kPresent
                                        : DunSetupInformation::kMissing;
}

bool CheckDunSetupInformation(Platform& os, Console& console) {
  FixedText<kPathSize> path;
  if (FindDunSetupInformation(os, &path) != DunSetupInformation::kMissing) return true;
  console.PrintLine("Windows' setup information for Dial-Up Networking is missing:");
  console.PrintText("\t");
  console.PrintText(path.c_str());
  console.PrintLine("");
  console.PrintLine("Without it DUN could not be reinstalled, so the repair will not start.");
  PrintWhatWasChanged(os, console);
  console.PrintLine("Please contact the MERX at 555-555-0142.");
  console.PromptForKey("Press any key to terminate the program.");
  return false;
}

}  // namespace netrevive
