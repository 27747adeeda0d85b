#ifndef NETREVIVE_STEPS_RESUME_H_
#define NETREVIVE_STEPS_RESUME_H_

#include "console/console.h"
#include "platform/fixed_text.h"
#include "platform/platform.h"

namespace netrevive {

// What a run of the program does, chosen by its command line.
enum class RunMode { kFreshRun, kUpgradeRemove, kReinstallDun, kUsage, kCheck };

// The words that name a later run's mode. The program appends one to its
// own path to schedule that run and recognises it, alone and exactly, on
// the command line it is started with. A fresh run has no word.
struct ModeWord {
  RunMode mode;
  const char* word;
};
inline constexpr ModeWord kModeWords[] = {
    {RunMode::kUpgradeRemove, "UpgradeRemove"},
    {RunMode::kReinstallDun, "ReinstallDUN"},
    {RunMode::kCheck, "Check"},
};

using ResumeCommand = FixedText<kPathSize>;

// The key whose values Windows runs once at its next start (below HKLM).
inline constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Builds the command that starts the program from self_path in mode:
// self_path, then a blank and the mode's word (nothing for a fresh run).
// False when the whole text does not fit.
bool BuildResumeCommand(const char* self_path, RunMode mode, ResumeCommand* command);

// Stores the command as the resume entry. Reports a failure and waits for a
// key before returning no.
bool WriteResumeEntry(Platform& os, Console& console, const char* command);

// Removes the resume entry again. Reports a failure (and waits for a key)
// before returning no; an entry that is not there counts as removed.
bool DeleteResumeEntry(Platform& os, Console& console);

// Writes the resume entry that runs the Check once after the final
// restart: self_path + " Check". Says nothing whatever happens: the repair is
// done by then, and a PC without the entry is only not checked by itself.
void ScheduleCheck(Platform& os, const char* self_path);

// The resume entry's command as Windows would run it, read without changing
// anything. False when there is none (or RunOnce cannot be read).
using ResumeEntryText = FixedText<kValueSize>;
bool ReadResumeEntry(Platform& os, ResumeEntryText* command);

// Whether the marker file is there now, looked at without touching it.
bool MarkerExists(Platform& os);

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

}  // namespace netrevive

#endif  // NETREVIVE_STEPS_RESUME_H_
