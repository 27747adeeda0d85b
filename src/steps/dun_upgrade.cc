#include "steps/dun_upgrade.h"

#include "steps/build_failure_report.h"

namespace netrevive {

namespace {

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// Subkey names are read into a buffer that starts at 32 bytes and grows in
// 32-byte steps; a registry key name has at most 255 characters, so 288 bytes
// always suffice and a longer demand is an enumeration error.
constexpr uint32_t kNameStep = 32;
constexpr uint32_t kNameLimit = 288;

void ClearText(UninstallText* value) {
  for (char& c : value->text) c = '\0';
  value->readable = false;
}

void ReadUninstallString(Platform& os, RegKey upgrade, UninstallText* value) {
  ClearText(value);
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

DunUpgradeReader::~DunUpgradeReader() {
  if (upgrade_ != 0) os_.RegCloseKey(upgrade_);
  if (list_ != 0) os_.RegCloseKey(list_);
}

UpgradeLookup DunUpgradeReader::Find(RegStatus* status) {
  *status = os_.RegOpenKeyExA(kHkeyLocalMachine, kUninstallKey, kKeyRead, &list_);
  if (*status != kErrorSuccess) {
    list_ = 0;
    return UpgradeLookup::kOpenFailed;
  }
  uint32_t count = 0;
  *status = os_.RegQueryInfoKeyA(list_, &count);
  if (*status != kErrorSuccess) return UpgradeLookup::kQueryFailed;
  for (uint32_t index = 0; index < count; ++index) {
    char name[kNameLimit];
    *status = ReadSubkeyName(os_, list_, index, name);
    if (*status != kErrorSuccess) return UpgradeLookup::kEnumFailed;
    if (TextEquals(name, "MSDUN")) return UpgradeLookup::kFound;
  }
  return UpgradeLookup::kNotFound;
}

void DunUpgradeReader::ReadUninstallText(UninstallText* value) {
  if (list_ != 0 && os_.RegOpenKeyExA(list_, "MSDUN", kKeyRead, &upgrade_) == kErrorSuccess) {
    ReadUninstallString(os_, upgrade_, value);
  } else {
    upgrade_ = 0;
    ClearText(value);
  }
}

void LookUpDunUpgrade(Platform& os, DunUpgradeLookup* lookup) {
  DunUpgradeReader reader(os);
  ClearText(&lookup->uninstall);
  lookup->result = reader.Find(&lookup->status);
  if (lookup->result == UpgradeLookup::kFound) reader.ReadUninstallText(&lookup->uninstall);
}

bool ChooseUninstallerForm(const UninstallText& value, UninstallerForm* form) {
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

void ReportUpgradeLookupFailure(Console& console, UpgradeLookup result, RegStatus status) {
  if (result == UpgradeLookup::kOpenFailed) {
    console.PrintText(
        "\nUnable to check for DUN Upgrades. There was an error \nWhile opening the registry "
        "key:\n\tHKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\n");
    console.PrintText("Please report this error; The error code is: ");
    console.PrintCode(status);
    console.PrintLine("");
    console.PromptForKey("Press any key to abort program.");
  } else if (result == UpgradeLookup::kQueryFailed) {
    console.PrintText(
        "\nUnable to query information from\n\tHKLM\\Software\\Microsoft\\Windows\\"
        "CurrentVersion\\Uninstall\n");
    console.PrintText("This could indicate a problem. Please report error code: ");
    console.PrintCode(status);
    console.PrintLine("");
    console.PromptForKey("Press any key to abort the program.");
  } else {
    console.PrintText(
        "There has been an error while enumerating keys under\n\tHKLM\\Software\\Microsoft\\"
        "Windows\\CurrentVersion\\Uninstall\n");
    console.PrintText("This may indicate a problem. Please report error code: ");
    console.PrintCode(status);
    console.PrintLine("");
    console.PromptForKey("Press any key to abort the program.");
  }
}

void ReportUnknownUninstallText(Console& console, const UninstallText& value) {
  console.PrintText("\nUnknown uninstall string: ");
  console.PrintText(value.text);
  console.PrintText("\n");
  console.PrintText("Please remove the upgrade from Add remove programs and run the\n");
  console.PromptForKey("fix again. Please report this error to the MERX at 555-0142.\n");
}

void ReportUninstallerBuildFailure(Console& console, BuildStatus built) {
  ReportBuildFailure(console, built);
  console.PrintText("Please remove the upgrade from Add remove programs and run the\n");
  console.PrintLine("fix again.");
  console.PromptForKey("Press any key to terminate the program.");
}

}  // namespace netrevive
