#ifndef NETREVIVE_STEPS_DUN_UPGRADE_H_
#define NETREVIVE_STEPS_DUN_UPGRADE_H_

#include "console/console.h"
#include "platform/fixed_text.h"
#include "platform/platform.h"
#include "steps/helper_runner.h"

namespace netrevive {

// The reading of Windows' uninstall list for the Dial-Up Networking upgrade
// ("MSDUN") and of its registered uninstall command. Nothing is changed.

// Where a look-up of "MSDUN" ended.
enum class UpgradeLookup {
  kNotFound,     // the list has no "MSDUN" subkey
  kFound,        // it has one
  kOpenFailed,   // the uninstall list could not be opened
  kQueryFailed,  // its number of subkeys could not be read
  kEnumFailed,   // one of its subkey names could not be read
};

// The upgrade's uninstall command as read from the registry. readable is no
// when the key or value could not be read whole as a text; such a text
// matches none of the uninstaller forms.
struct UninstallText {
  char text[kValueSize + 1];
  bool readable;
};

// Reads the uninstall list; the keys it opens stay open until it is
// destroyed, so that "MSDUN" is opened below the list it was found in.
class DunUpgradeReader {
 public:
  explicit DunUpgradeReader(Platform& os) : os_(os) {}
  ~DunUpgradeReader();
  DunUpgradeReader(const DunUpgradeReader&) = delete;
  DunUpgradeReader& operator=(const DunUpgradeReader&) = delete;

  // Opens HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall, reads
  // its number of subkeys and looks through their names for "MSDUN". On a
  // failure *status is the failing call's status, otherwise 0.
  UpgradeLookup Find(RegStatus* status);
  // After kFound: opens "MSDUN" and reads its "UninstallString".
  void ReadUninstallText(UninstallText* value);

 private:
  Platform& os_;
  RegKey list_ = 0;
  RegKey upgrade_ = 0;
};

// A whole look-up, for callers that only look: the result, the failing
// call's status, and for kFound the uninstall text.
struct DunUpgradeLookup {
  UpgradeLookup result;
  RegStatus status;
  UninstallText uninstall;
};
void LookUpDunUpgrade(Platform& os, DunUpgradeLookup* lookup);

// The uninstaller form the text names: "dunsetup.exe /u" exactly, or a text
// that starts with "rundll.exe" or "rundll32.exe". No for an unreadable or
// unknown text.
bool ChooseUninstallerForm(const UninstallText& value, UninstallerForm* form);

// The reports of the removal step, each with its prompt and pause: a
// failed look-up (kOpenFailed, kQueryFailed or kEnumFailed), an unknown
// uninstall text, and an uninstaller command that could not be built.
void ReportUpgradeLookupFailure(Console& console, UpgradeLookup result, RegStatus status);
void ReportUnknownUninstallText(Console& console, const UninstallText& value);
void ReportUninstallerBuildFailure(Console& console, BuildStatus built);

}  // namespace netrevive

#endif  // NETREVIVE_STEPS_DUN_UPGRADE_H_
