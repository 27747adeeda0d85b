#ifndef NETREVIVE_TESTS_RELIABILITY_RELIABILITY_SUPPORT_H_
#define NETREVIVE_TESTS_RELIABILITY_RELIABILITY_SUPPORT_H_

// Shared by the fault, power-cut and bad-input sweeps and the fuzz target of
// whole runs: readers for the machine's call log, and the rules every run
// of the program must keep whatever went wrong in it (CheckRun).

#include <stdint.h>
#include <stdlib.h>

#include <map>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_snapshot.h"
#include "rehearsal/endings.h"
#include "support/test.h"

namespace netrevive::reliability {

using simulated_pc::Op;
using testing::Contains;
using testing::kResumeValue;
using testing::RunArgv;
using testing::RunFresh;
using testing::RunOutput;
using testing::RunProgram;

// ---- The call log -----------------------------------------------------------

inline bool Succeeded(const simulated_pc::CallRecord& call) {
  return !call.faulted && !call.after_power_cut && call.status == 0;
}

// The programs the repair starts, told apart by their command lines.
enum class Started {
  kNone,  // not a successful process start
  kUninstallUpgrade,
  kRnaReboot,
  kInstallHinfSection,
  kInstallDefaultDrv,
  kUpgradeUninstaller,  // whatever else: the upgrade's own uninstaller
};

// The helper each successful process start of the log started, by call
// index. The k-th successful CreateProcessA of the log started the k-th of
// the machine's last processes; its exact command line tells which helper
// it is.
inline std::map<uint64_t, Started> StartsOf(const simulated_pc::SimMachine& machine) {
  std::vector<uint64_t> starts;
  for (const simulated_pc::CallRecord& call : machine.calls()) {
    if (call.operation == Op::kCreateProcessA && Succeeded(call)) starts.push_back(call.index);
  }
  std::map<uint64_t, Started> out;
  const std::vector<simulated_pc::ProcessRecord>& processes = machine.processes();
  if (starts.size() > processes.size()) return out;
  const size_t first = processes.size() - starts.size();
  const std::string dir = machine.windows_dir();
  for (size_t k = 0; k < starts.size(); ++k) {
    const simulated_pc::ProcessRecord& p = processes[first + k];
    const std::string& line = p.command_line;
    const std::string rundll32 = dir + "\\rundll32.exe";
    const std::string rundll = dir + "\\rundll.exe";
    Started kind = Started::kUpgradeUninstaller;
    if (p.program == rundll32 && line == rundll32 + " rnasetup.dll,UninstallUpgrade") {
      kind = Started::kUninstallUpgrade;
    } else if (p.program == rundll32 && line == rundll32 + " rnasetup.dll,RnaReboot") {
      kind = Started::kRnaReboot;
    } else if (p.program == rundll32 && line == rundll32 + " rnasetup.dll,InstallDefaultDrv") {
      kind = Started::kInstallDefaultDrv;
    } else if (p.program == rundll && line == rundll + " setupx.dll,InstallHinfSection RNA 128 " +
                                                  dir + "\\inf\\rna.inf") {
      kind = Started::kInstallHinfSection;
    }
    out[starts[k]] = kind;
  }
  return out;
}

inline Started StartedBy(const std::map<uint64_t, Started>& starts,
                         const simulated_pc::CallRecord& call) {
  auto it = starts.find(call.index);
  return it == starts.end() ? Started::kNone : it->second;
}

inline bool IsMarkerPath(const simulated_pc::SimMachine& machine, const std::string& path) {
  return simulated_pc::SimMachine::NormalizeFilePath(path) ==
         simulated_pc::SimMachine::NormalizeFilePath(machine.windows_dir() + "\\rundunreinst.QU");
}

inline bool IsWinsock2Delete(const simulated_pc::CallRecord& call) {
  return call.operation == Op::kRegDeleteKeyA &&
         simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
             simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kWinsock2Path);
}

inline bool IsResumeWrite(const simulated_pc::CallRecord& call) {
  return call.operation == Op::kRegSetValueExA &&
         simulated_pc::EqualsNoCase(call.value_name, kResumeValue);
}

// ---- Sampling ---------------------------------------------------------------

// The exhaustive sweeps try every point; with NETREVIVE_SWEEP_STRIDE=N (the
// sanitizer build sets it) they try one in N, a different one for each
// neighbouring point, so that a slower build still goes through every kind
// of call in a few minutes.
inline uint64_t SweepStride() {
  const char* text = getenv("NETREVIVE_SWEEP_STRIDE");
  const long stride = text == nullptr ? 1 : strtol(text, nullptr, 10);
  return stride > 1 ? static_cast<uint64_t>(stride) : 1;
}

// ---- Machine state ----------------------------------------------------------

inline bool MarkerExists(const simulated_pc::SimMachine& machine) {
  return machine.FileExists(machine.windows_dir() + "\\rundunreinst.QU");
}

// The file that records a repair under way.
inline bool RepairStateExists(const simulated_pc::SimMachine& machine) {
  return machine.FileExists(machine.windows_dir() + "\\netrevive.QU");
}

inline bool ResumeEntry(const simulated_pc::SimMachine& machine, std::string* text) {
  return machine.GetString(simulated_pc::kRunOncePath, kResumeValue, text);
}

inline bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// ---- Rules every run keeps ----------------------------------------------------

// What the calls of a run have shown the program did so far.
struct RunFacts {
  bool winsock2_deleted = false;
  bool list_counted = false;  // the uninstall list was opened and counted
  bool enumeration_failed = false;
  bool uninstall_text_read = false;
  bool upgrade_uninstaller_started = false;
  bool uninstall_started = false;  // rnasetup.dll,UninstallUpgrade
  bool reinstall_entry_written = false;
  bool last_entry_for_reinstall = false;  // what the last stored resume entry is for
  uint64_t marker_created = 0;            // the OpenFileForWrite of the marker awaiting its use
  bool marker_data = false;               // written to since
  bool marker_written = false;            // created, written and closed
  bool marker_opened = false;             // opened for reading (ConsumeMarker)
  std::vector<uint64_t> unsupervised_markers;  // created with no resume entry before them
  bool hinf_started = false;
  bool driver_started = false;
  bool resume_removal_said_gone = false;  // an injected "value already gone" on its removal
  bool break_keys_set_aside = false;      // SetConsoleCtrlHandler was called
  bool check_entry_written = false;       // the resume entry of the Check, after the driver
  // What a Check measured: the Winsock2 key opened, a TCP/IP provider
  // listed and a TCP socket opened, HKCR\dunfile not reported missing.
  bool settings_opened = false;
  bool providers_listed = false;
  bool socket_opened = false;
  bool dun_not_missing = false;
  uint64_t calls = 0;
};

// One call of the run, as the order rules see it.
struct RunCall {
  const simulated_pc::CallRecord& record;
  bool ok;          // it succeeded
  bool marker;      // it concerns the marker file
  Started started;  // the helper it started; kNone for other calls
};

// An order rule: what it forbids, and when a call breaks it.
struct OrderRule {
  const char* broken;
  bool (*breaks)(const RunCall& c, const RunFacts& f, RunMode mode);
};

using simulated_pc::ChangesTheMachine;

inline constexpr OrderRule kOrderRules[] = {
    // From the first change on, Ctrl+C and Ctrl+Break must not stop the run.
    // The one change allowed before: the check before the first change opens
    // RunOnce with RegCreateKeyExA, which creates the key only on a PC that
    // lacks Windows' own; an interruption then leaves just that empty key.
    {"the machine was changed before Ctrl+C and Ctrl+Break were set aside",
     [](const RunCall& c, const RunFacts& f, RunMode) {
       return ChangesTheMachine(c.record.operation) && c.ok && !f.break_keys_set_aside &&
              !(c.record.operation == Op::kRegCreateKeyExA &&
                simulated_pc::SamePath(c.record.path, simulated_pc::kRunOncePath));
     }},
    {"resume entry written before the Winsock2 key was deleted and the upgrade's uninstall text "
     "was read",
     [](const RunCall& c, const RunFacts& f, RunMode) {
       return IsResumeWrite(c.record) && !f.uninstall_started && !f.driver_started &&
              !(f.winsock2_deleted && f.uninstall_text_read);
     }},
    // The Check only looks: it writes, deletes and starts nothing, and needs
    // no Ctrl handler, whatever fails.
    {"a Check run asked for a change",
     [](const RunCall& c, const RunFacts&, RunMode mode) {
       return mode == RunMode::kCheck && (ChangesTheMachine(c.record.operation) ||
                                          c.record.operation == Op::kSetConsoleCtrlHandler);
     }},
    // Unless it is used at once, as on a machine without DUN.
    {"the run went on from a marker created without its resume entry before it",
     [](const RunCall& c, const RunFacts& f, RunMode) {
       return (c.record.operation == Op::kCreateProcessA || IsResumeWrite(c.record)) &&
              !f.unsupervised_markers.empty();
     }},
    {"UninstallUpgrade started although the Winsock2 deletion or the upgrade check failed",
     [](const RunCall& c, const RunFacts& f, RunMode mode) {
       return c.started == Started::kUninstallUpgrade && mode == RunMode::kFreshRun &&
              !(f.winsock2_deleted && f.list_counted && !f.enumeration_failed);
     }},
    {"UninstallUpgrade started in a run that does not uninstall DUN",
     [](const RunCall& c, const RunFacts&, RunMode mode) {
       return c.started == Started::kUninstallUpgrade &&
              (mode == RunMode::kReinstallDun || mode == RunMode::kUsage);
     }},
    // The reboot after InstallDefaultDrv ends the reinstallation.
    {"RnaReboot started although the uninstall, the resume entry or the marker failed",
     [](const RunCall& c, const RunFacts& f, RunMode) {
       return c.started == Started::kRnaReboot && !f.driver_started &&
              !(f.uninstall_started && f.reinstall_entry_written && f.marker_written);
     }},
    {"InstallHinfSection started without a marker",
     [](const RunCall& c, const RunFacts& f, RunMode) {
       return c.started == Started::kInstallHinfSection && !f.marker_opened;
     }},
    {"InstallHinfSection started although the Winsock2 deletion failed",
     [](const RunCall& c, const RunFacts& f, RunMode mode) {
       return c.started == Started::kInstallHinfSection && mode == RunMode::kFreshRun &&
              !f.winsock2_deleted;
     }},
    {"InstallDefaultDrv started although InstallHinfSection did not",
     [](const RunCall& c, const RunFacts& f, RunMode) {
       return c.started == Started::kInstallDefaultDrv && !f.hinf_started;
     }},
    {"the upgrade's uninstaller started although an earlier step failed",
     [](const RunCall& c, const RunFacts& f, RunMode) {
       return c.started == Started::kUpgradeUninstaller &&
              !(f.winsock2_deleted && f.uninstall_text_read && !f.reinstall_entry_written);
     }},
    {"the session was ended without the upgrade's uninstaller having run",
     [](const RunCall& c, const RunFacts& f, RunMode) {
       return c.record.operation == Op::kExitWindowsEx && c.ok && !f.upgrade_uninstaller_started;
     }},
};

// What the call adds to the facts.
inline void Learn(const RunCall& c, RunFacts* f) {
  const simulated_pc::CallRecord& call = c.record;
  const Op op = call.operation;
  const bool uninstall_list =
      simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
      simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kUninstallPath);
  ++f->calls;
  f->break_keys_set_aside |= op == Op::kSetConsoleCtrlHandler;
  // A key that opening finds gone (2) counts as deleted.
  f->winsock2_deleted |=
      (IsWinsock2Delete(call) && c.ok) ||
      (op == Op::kRegOpenKeyExA && call.status == kErrorFileNotFound &&
       simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
           simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kWinsock2Path));
  f->list_counted |= op == Op::kRegQueryInfoKeyA && c.ok && uninstall_list;
  // A name that does not fit is read again into a larger buffer; at the
  // largest (288 bytes) status 234 is an enumeration error too.
  f->enumeration_failed |= op == Op::kRegEnumKeyA && uninstall_list && !c.ok &&
                           (call.status != kErrorMoreData || call.size >= 288);
  // The removal's own reading; the checks before the first change (and an
  // UpgradeRemove run) read the text only to look.
  f->uninstall_text_read |= op == Op::kRegQueryValueExA && c.ok && f->winsock2_deleted &&
                            simulated_pc::EqualsNoCase(call.value_name, "UninstallString");
  if (IsResumeWrite(call) && c.ok) {
    f->reinstall_entry_written |= f->uninstall_started;
    f->last_entry_for_reinstall = f->uninstall_started;
    f->check_entry_written |= f->driver_started;
  }
  f->settings_opened |= op == Op::kRegOpenKeyExA && c.ok &&
                        simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
                            simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kWinsock2Path);
  f->providers_listed |= op == Op::kWSAEnumProtocolsA && c.ok && call.result > 0;
  f->socket_opened |= op == Op::kSocket && c.ok;
  f->dun_not_missing |=
      op == Op::kRegOpenKeyExA &&
      simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
          simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kDunFilePath) &&
      call.status != kErrorFileNotFound;
  // The value, or the RunOnce key it is in, said to be gone.
  f->resume_removal_said_gone |=
      call.faulted && call.status == kErrorFileNotFound &&
      ((op == Op::kRegDeleteValueA && simulated_pc::EqualsNoCase(call.value_name, kResumeValue)) ||
       (op == Op::kRegOpenKeyExA &&
        simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
            simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kRunOncePath)));
  if (c.marker && c.ok && op == Op::kOpenFileForWrite) {
    f->marker_created = call.index;
    f->marker_data = false;
    if (!f->reinstall_entry_written) f->unsupervised_markers.push_back(call.index);
  }
  f->marker_data |= c.marker && c.ok && op == Op::kWriteFile;
  f->marker_written |=
      c.marker && c.ok && op == Op::kCloseFile && f->marker_created != 0 && f->marker_data;
  if (c.marker && c.ok && op == Op::kOpenFileForRead) {
    f->marker_opened = true;
    // The marker written just before ReinstallDun on a machine without DUN
    // is used at once.
    if (!f->unsupervised_markers.empty()) f->unsupervised_markers.pop_back();
  }
  if (op == Op::kCreateProcessA || IsResumeWrite(call)) f->unsupervised_markers.clear();
  f->uninstall_started |= c.started == Started::kUninstallUpgrade;
  f->hinf_started |= c.started == Started::kInstallHinfSection;
  f->driver_started |= c.started == Started::kInstallDefaultDrv;
  f->upgrade_uninstaller_started |= c.started == Started::kUpgradeUninstaller;
}

using Broken = std::vector<std::string>;

// The Check changes nothing on the machine: registry, files, helpers and
// session are as they were before it, but for a Windows CD the caller held
// ready, which goes in at its pause.
inline void ChangesNothing(const simulated_pc::SimMachine& before,
                           const simulated_pc::SimMachine& after, Broken* broken) {
  simulated_pc::SimMachine expected = before;
  expected.InsertDiscReady();
  for (const simulated_pc::MachineChange& change : simulated_pc::DiffSnapshots(
           simulated_pc::TakeSnapshot(expected), simulated_pc::TakeSnapshot(after))) {
    broken->push_back("the Check changed the machine: " + simulated_pc::FormatChanges({change}));
  }
  if (after.processes().size() != before.processes().size()) {
    broken->push_back("the Check started a program");
  }
  if (after.session_requests().size() != before.session_requests().size()) {
    broken->push_back("the Check asked to end the session");
  }
}

// The run ends with status 0, each prompt flushed before its key, in bounded calls.
inline void RunEndsWell(const RunOutput& out, const RunFacts& f, Broken* broken) {
  if (out.exit_status != 0) broken->push_back("exit status " + std::to_string(out.exit_status));
  if (out.unflushed_pause) broken->push_back("a key was awaited before its prompt was flushed");
  if (out.keys_not_discarded) {
    broken->push_back("a key was awaited without discarding the keys pressed before it");
  }
  if (f.calls > 100000) broken->push_back("the run made " + std::to_string(f.calls) + " calls");
}

// What the program says it achieved in its own words (not in the registry data
// it shows), it did.
inline void ClaimsMatchDeeds(const std::string& said, const RunFacts& f, Broken* broken) {
  if (Contains(said, "The winsock 2  fix has been successfully applied") &&
      !(f.hinf_started && f.driver_started)) {
    broken->push_back("claims the fix was applied without InstallHinfSection and the driver");
  }
  if (Contains(said, "The Winsock 2 keys have been removed.") && !f.winsock2_deleted) {
    broken->push_back("claims the Winsock 2 keys were removed without their deletion");
  }
  if (Contains(said, "DUN has been successfully uninstalled.") && !f.uninstall_started) {
    broken->push_back("claims DUN was uninstalled without UninstallUpgrade");
  }
  if (Contains(said, "Result: REPAIRED.") &&
      !(f.settings_opened && f.providers_listed && f.socket_opened && f.dun_not_missing)) {
    broken->push_back(
        "the Check says REPAIRED without having found the settings, a provider, a working "
        "socket and DUN");
  }
}

// Unless the power went off under it, the run leaves no handle open, a
// marker it created is used or waits for the ReinstallDUN run (unless it told
// what went wrong with the marker or the Windows directory), and a resume
// entry for the upgrade's removal stays only when the upgrade's uninstaller
// ran, the user is asked to delete it, or its removal was answered "already
// gone" (rightly taken as removed). An earlier run's marker authorises nothing
// new: only a ReinstallDUN entry, always written with a fresh marker, leads to it.
// A Check run finds the carriers as earlier runs left them and writes none.
inline void NothingLeftBehind(const simulated_pc::SimMachine& machine, const std::string& said,
                              const RunFacts& f, RunMode mode, Broken* broken) {
  if (machine.powered_off()) return;
  const std::string handles = machine.DescribeOpenHandles();
  if (!handles.empty()) broken->push_back("left open:\n" + handles);
  if (mode == RunMode::kCheck) return;
  std::string entry;
  const bool has_entry = ResumeEntry(machine, &entry);
  // Windows took every entry before the run: one that is there now is its own.
  const bool entry_for_reinstall = has_entry && f.last_entry_for_reinstall;
  // A setup that installed nothing leaves the marker for a ReinstallDUN run
  // the screen tells the user to start.
  const bool marker_trouble_told =
      Contains(said, "Windows' setup ended, but Dial-Up Networking was not installed.") ||
      Contains(said, "rundunreinst.QU in the Windows directory could not be") ||
      Contains(said, "Unable to find the Windows directory.") ||
      Contains(said, "Unable to create the file that authorises the reinstallation of DUN.");
  if (f.marker_created != 0 && MarkerExists(machine) && !entry_for_reinstall &&
      !marker_trouble_told) {
    broken->push_back("the marker created by call #" + std::to_string(f.marker_created) +
                      " is left without a resume entry for the reinstallation");
  }
  const bool entry_for_check = has_entry && f.check_entry_written && EndsWith(entry, " Check");
  if (has_entry && !entry_for_reinstall && !entry_for_check && !f.upgrade_uninstaller_started &&
      !Contains(said, "Please delete that value") && !f.resume_removal_said_gone) {
    broken->push_back("a resume entry \"" + entry +
                      "\" is left although the upgrade's uninstaller did not run");
  }
}

// The support guide names every way a run ends: exactly one ending of its
// table matches what the run printed (the key marks left out).
inline void EndsInOneNamedEnding(const RunOutput& out, Broken* broken) {
  std::string printed = out.transcript;
  const std::string mark = testing::kKeyMark;
  for (size_t at = 0; (at = printed.find(mark, at)) != std::string::npos;) {
    printed.erase(at, mark.size());
  }
  const std::vector<const rehearsal::Ending*> endings = rehearsal::MatchEndings(printed);
  if (endings.empty()) broken->push_back("the run ends in none of the named endings");
  if (endings.size() > 1) {
    broken->push_back("the run matches several named endings: " + rehearsal::EndingName(printed));
  }
}

// Checks one run of the program: first_call is the index of its first
// platform call (earlier calls belong to earlier runs). Returns one line per
// broken rule; empty when the run kept them all.
inline Broken CheckRun(const simulated_pc::SimMachine& machine, uint64_t first_call, RunMode mode,
                       const RunOutput& out) {
  Broken broken;
  RunFacts f;
  // The run that scheduled an UpgradeRemove run deleted the key before it.
  f.winsock2_deleted = mode == RunMode::kUpgradeRemove;
  const std::map<uint64_t, Started> starts = StartsOf(machine);
  for (const simulated_pc::CallRecord& call : machine.calls()) {
    if (call.index < first_call) continue;
    RunCall c{call, Succeeded(call), IsMarkerPath(machine, call.path), StartedBy(starts, call)};
    // In a run that has read the upgrade's uninstall text, the next start is
    // its uninstaller, whatever that text says.
    if (c.started != Started::kNone && f.uninstall_text_read && !f.uninstall_started &&
        !f.upgrade_uninstaller_started) {
      c.started = Started::kUpgradeUninstaller;
    }
    for (const OrderRule& rule : kOrderRules) {
      if (rule.breaks(c, f, mode)) {
        broken.push_back(std::string(rule.broken) + " (call #" + std::to_string(call.index) + ")");
      }
    }
    Learn(c, &f);
  }
  RunEndsWell(out, f, &broken);
  const std::string said = rehearsal::WithoutEchoedData(out.transcript);
  ClaimsMatchDeeds(said, f, &broken);
  NothingLeftBehind(machine, said, f, mode, &broken);
  EndsInOneNamedEnding(out, &broken);
  return broken;
}

}  // namespace netrevive::reliability

#endif  // NETREVIVE_TESTS_RELIABILITY_RELIABILITY_SUPPORT_H_
