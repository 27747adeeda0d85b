#ifndef NETREVIVE_PLATFORM_RESUME_H_
#define NETREVIVE_PLATFORM_RESUME_H_

#include "console/console.h"
#include "platform/fixed_text.h"
#include "platform/platform.h"

namespace netrevive {

// The RunOnce value that makes Windows start the program again.
constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kResumeValueName = "QU Netrevive";
// The file in WindowsDir that authorises one reinstallation of DUN.
constexpr const char* kMarkerTail = "\\rundunreinst.QU";

using ResumeCommand = FixedText<kPathSize>;

// Builds self_path followed by argument (" UpgradeRemove", " ReinstallDUN" or
// "") in command. False when the whole text does not fit.
bool BuildResumeCommand(const char* self_path, const char* argument, ResumeCommand* command);

// Stores the command as the resume entry. Reports a failure and waits for a
// key before returning no.
bool WriteResumeEntry(Platform& os, Console& console, const char* command);

// Removes the resume entry again. Reports a failure (and waits for a key)
// before returning no; an entry that is not there counts as removed.
bool DeleteResumeEntry(Platform& os, Console& console);

// Creates or truncates the marker file with "REINSTALL" and a line end.
// Returns no when the file could not be written whole; callers report it.
// A file left incomplete is deleted again, so that a failed write
// authorises nothing.
bool WriteMarker(Platform& os);

enum class MarkerState {
  kAbsent,        // no marker: nothing is authorised
  kConsumed,      // the marker existed and is gone now
  kLeftBehind,    // the marker existed but could not be deleted
  kNoWindowsDir,  // the Windows directory, and so the marker, cannot be found
};

// Deletes the marker if it exists.
MarkerState ConsumeMarker(Platform& os);

// Writes the marker's path into path; false when it cannot be built.
bool BuildMarkerPath(Platform& os, FixedText<kPathSize>* path);

}  // namespace netrevive

#endif  // NETREVIVE_PLATFORM_RESUME_H_
