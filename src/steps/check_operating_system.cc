#include "platform/windows_dir.h"
#include "steps/repair_state.h"
#include "steps/steps.h"

namespace netrevive {

WindowsRelease FindWindowsRelease(const OsVersion& info) {
  if (info.platform_id != kPlatformWin32Windows) return WindowsRelease::kNtFamily;
  switch (info.minor_version) {
    case 0:
      return WindowsRelease::k95;
    case 10:
      if ((info.build_number & 0xFFFFu) == 1998) return WindowsRelease::k98;
      return info.csd_version[1] == 'A' ? WindowsRelease::k98Se : WindowsRelease::k98OtherBuild;
    case 90:
      return WindowsRelease::kMe;
    default:
      return WindowsRelease::kOther9x;
  }
}

const char* WindowsReleaseName(WindowsRelease release) {
  switch (release) {
    case WindowsRelease::kNtFamily:
      return "Windows NT family";
    case WindowsRelease::k95:
      return "Windows 95";
    case WindowsRelease::k98:
    case WindowsRelease::k98OtherBuild:
      return "Windows 98";
    case WindowsRelease::k98Se:
      return "Windows 98SE";
    case WindowsRelease::kMe:
      return "Windows ME";
    case WindowsRelease::kOther9x:
      break;
  }
  return "Windows 9x";
}

bool CheckOperatingSystem(Platform& os, Console& console) {
  OsVersion info = {};
  os.GetVersionExA(&info);  // on failure the zero-filled record reads as an NT system

  const WindowsRelease release = FindWindowsRelease(info);
  switch (release) {
    case WindowsRelease::kNtFamily:
      console.PrintLine(
          "This machine is not a Win9x/ME machine, the Winsock2 fix does not apply to Windows NT "
          "systems.\n");
      console.PromptForKey("Press any key to continue.\n");
      return false;
    case WindowsRelease::k95:
      console.PrintLine("\nThe fix is not avialable for Windows 95 machines yet.\n");
      console.PrintText("Please contact");
      console.PromptForKey(" the MERX.\n");
      return false;
    case WindowsRelease::kMe:
      console.PrintText("\n");
      [[fallthrough]];
    case WindowsRelease::k98:
    case WindowsRelease::k98Se:
      console.PrintText("This computer is running ");
      console.PrintLine(WindowsReleaseName(release));
      return true;
    case WindowsRelease::k98OtherBuild:
    case WindowsRelease::kOther9x:
      break;
  }
  return true;
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
  return EndRefusal(os, console, SupportNumber::kGiven);
}

}  // namespace netrevive
