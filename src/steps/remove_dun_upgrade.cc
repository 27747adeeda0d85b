#include "platform/fixed_text.h"
#include "steps/build_failure_report.h"
#include "steps/helper_runner.h"
#include "steps/resume.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// Subkey names are read into a buffer that starts at 32 bytes and grows in
// 32-byte steps; a registry key name has at most 255 characters, so 288 bytes
// always suffice and a longer demand is an enumeration error.
constexpr uint32_t kNameStep = 32;
constexpr uint32_t kNameLimit = 288;

// Closes the keys the step opened, whatever path it leaves by.
class OpenKeys {
 public:
  explicit OpenKeys(Platform& os) : os_(os) {}
  ~OpenKeys() {
    if (upgrade != 0) os_.RegCloseKey(upgrade);
    if (list != 0) os_.RegCloseKey(list);
  }
  RegKey list = 0;
  RegKey upgrade = 0;

 private:
  Platform& os_;
};

// The upgrade's uninstall command as read from the registry. readable is no
// when the value could not be read whole as a text; such a text matches none
// of the uninstaller forms.
struct UninstallText {
  char text[kValueSize + 1];
  bool readable;
};

void ReadUninstallString(Platform& os, RegKey upgrade, UninstallText* value) {
  for (char& c : value->text) c = '\0';
  uint32_t type = 0;
  uint32_t size = kValueSize;
  RegStatus status = os.RegQueryValueExA(upgrade, "UninstallString", &type,
                                         reinterpret_cast<uint8_t*>(value->text), &size);
  if (status != kErrorSuccess) {
    // Nothing reliable was read: the buffer's contents are not shown.
    for (char& c : value->text) c = '\0';
  }
  // A value of the full buffer size has no room left for its terminator, so
  // the text it holds may be cut short.
  value->readable = status == kErrorSuccess && type == kRegSz && size < kValueSize;
  value->text[kValueSize] = '\0';
}

bool ChooseForm(const UninstallText& value, UninstallerForm* form) {
  if (!value.readable) return false;
  if (TextEquals(value.text, "dunsetup.exe /u")) {
    *form = UninstallerForm::kDunSetup;
  } else if (TextStartsWith(value.text, "rundll.exe")) {
    *form = UninstallerForm::kRundll;
  } else if (TextStartsWith(value.text, "rundll32.exe")) {
    *form = UninstallerForm::kRundll32;
  } else {
    return false;
  }
  return true;
}

void ReportEnumerationError(Console& console, RegStatus status) {
  console.PrintText(
      "There has been an error while enumerating keys under\n\tHKLM\\Software\\Microsoft\\Windows\\"
      "CurrentVersion\\Uninstall\n");
  console.PrintText("This may indicate a problem. Please report error code: ");
  console.PrintCode(status);
  console.PrintLine("");
  console.PromptForKey("Press any key to abort the program.");
}

// Reads subkey index into name, growing the size offered while the name
// does not fit. Returns the final status.
RegStatus ReadSubkeyName(Platform& os, RegKey list, uint32_t index, char (&name)[kNameLimit]) {
  uint32_t size = kNameStep;
  for (;;) {
    for (char& c : name) c = '\0';
    RegStatus status = os.RegEnumKeyA(list, index, name, size);
    if (status != kErrorMoreData || size >= kNameLimit) return status;
    size += kNameStep;
  }
}

}  // namespace

bool RemoveDunUpgrade(Platform& os, Console& console, const char* self_path) {
  OpenKeys keys(os);
  RegStatus status = os.RegOpenKeyExA(kHkeyLocalMachine, kUninstallKey, kKeyRead, &keys.list);
  if (status != kErrorSuccess) {
    keys.list = 0;
    console.PrintText(
        "\nUnable to check for DUN Upgrades. There was an error \nWhile opening the registry "
        "key:\n\tHKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\n");
    console.PrintText("Please report this error; The error code is: ");
    console.PrintCode(status);
    console.PrintLine("");
    console.PromptForKey("Press any key to abort program.");
    return false;
  }

  uint32_t count = 0;
  status = os.RegQueryInfoKeyA(keys.list, &count);
  if (status != kErrorSuccess) {
    console.PrintText(
        "\nUnable to query information from\n\tHKLM\\Software\\Microsoft\\Windows\\"
        "CurrentVersion\\Uninstall\n");
    console.PrintText("This could indicate a problem. Please report error code: ");
    console.PrintCode(status);
    console.PrintLine("");
    console.PromptForKey("Press any key to abort the program.");
    return false;
  }

  bool found = false;
  for (uint32_t index = 0; index < count && !found; ++index) {
    char name[kNameLimit];
    status = ReadSubkeyName(os, keys.list, index, name);
    if (status != kErrorSuccess) {
      ReportEnumerationError(console, status);
      return false;
    }
    found = TextEquals(name, "MSDUN");
  }
  if (!found) return true;

  ResumeCommand resume;
  if (!BuildResumeCommand(self_path, RunMode::kUpgradeRemove, &resume)) {
    ReportBuildFailure(console, BuildStatus::kTooLong);
    console.PrintText("The program's path is too long to schedule its next run.\n");
    console.PrintText("Please remove the upgrade from Add remove programs and run the\n");
    console.PrintLine("fix again from a shorter path.");
    console.PromptForKey("Press any key to terminate the program.");
    return false;
  }
  console.PrintText("\nDUN Upgrades found, proceeding to remove.\n");
  console.PrintText("\nRemember: You will have to REINSTALL the upgrade yourself!");
  console.PrintLine(
      "\nPlease use the most recent upgrade, DUN 1.4, avialable from Microsoft's website.");
  console.PromptForKey("You cannot abort the program at this point.\n");

  UninstallText value;
  status = os.RegOpenKeyExA(keys.list, "MSDUN", kKeyRead, &keys.upgrade);
  if (status == kErrorSuccess) {
    ReadUninstallString(os, keys.upgrade, &value);
  } else {
    keys.upgrade = 0;
    for (char& c : value.text) c = '\0';
    value.readable = false;
  }

  UninstallerForm form = UninstallerForm::kDunSetup;
  if (!ChooseForm(value, &form)) {
    console.PrintText("\nUnknown uninstall string: ");
    console.PrintText(value.text);
    console.PrintText("\n");
    console.PrintText("Please remove the upgrade from Add remove programs and run the\n");
    console.PromptForKey("fix again. Please report this error to the MERX at 555-0142.\n");
    return false;
  }

  HelperRun run;
  BuildStatus built = BuildUninstallerRun(os, form, value.text, &run);
  if (built != BuildStatus::kOk) {
    ReportBuildFailure(console, built);
    console.PrintText("Please remove the upgrade from Add remove programs and run the\n");
    console.PrintLine("fix again.");
    console.PromptForKey("Press any key to terminate the program.");
    return false;
  }

  // A DUN setup uninstall resumes with the DUN uninstall; a rundll one
  // starts the whole fix again.
  const char* next_run = form == UninstallerForm::kDunSetup ? resume.c_str() : self_path;
  if (!WriteResumeEntry(os, console, next_run)) return false;

  // The command line may be changed by the start; keep the text to name it.
  FixedText<kCommandSize> shown;
  shown.Append(run.command_line.c_str());
  if (!RunHelper(os, &run)) {
    // Without the uninstaller the next start must not resume into a DUN
    // uninstall with the upgrade still installed: take the entry back first.
    DeleteResumeEntry(os, console);
    console.PrintText("\nUnable to start the upgrade's uninstaller:\n\t");
    console.PrintText(shown.c_str());
    console.PrintText("\n");
    console.PrintText("Please remove the upgrade from Add remove programs and run the\n");
    console.PrintLine("fix again.");
    console.PromptForKey("Press any key to terminate the program.");
    return false;
  }

  if (!os.ExitWindowsEx(0, 0xFFFFFFFFu)) {
    console.PrintText("Windows could not end the session.\n");
    console.PrintLine("Please restart the computer yourself to continue the fix.");
    console.PromptForKey("Press any key to terminate the program.");
  }
  return false;
}

}  // namespace netrevive
