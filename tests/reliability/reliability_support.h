#ifndef NETREVIVE_TESTS_RELIABILITY_RELIABILITY_SUPPORT_H_
#define NETREVIVE_TESTS_RELIABILITY_RELIABILITY_SUPPORT_H_

// Shared by the fault, power-cut and bad-input sweeps and the fuzz target of
// whole runs: readers for the machine's call log, and the rules every run
// of the program must keep whatever went wrong in it (CheckRun).

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_presets.h"
#include "support/test.h"

namespace netrevive::reliability {

using testing::Contains;
using testing::kResumeValue;
using testing::RunArgv;
using testing::RunOutput;
using testing::RunProgram;

// ---- The call log -----------------------------------------------------------

inline bool Succeeded(const sim::CallRecord& call) {
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
inline std::map<uint64_t, Started> StartsOf(const sim::SimMachine& machine) {
  std::vector<uint64_t> starts;
  for (const sim::CallRecord& call : machine.calls()) {
    if (call.operation == "CreateProcessA" && Succeeded(call)) starts.push_back(call.index);
  }
  std::map<uint64_t, Started> out;
  const std::vector<sim::ProcessRecord>& processes = machine.processes();
  if (starts.size() > processes.size()) return out;
  const size_t first = processes.size() - starts.size();
  const std::string dir = machine.windows_dir();
  for (size_t k = 0; k < starts.size(); ++k) {
    const sim::ProcessRecord& p = processes[first + k];
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

inline Started StartedBy(const std::map<uint64_t, Started>& starts, const sim::CallRecord& call) {
  auto it = starts.find(call.index);
  return it == starts.end() ? Started::kNone : it->second;
}

inline bool IsMarkerPath(const sim::SimMachine& machine, const std::string& path) {
  return sim::SimMachine::NormalizeFilePath(path) ==
         sim::SimMachine::NormalizeFilePath(machine.windows_dir() + "\\rundunreinst.QU");
}

inline bool IsWinsock2Delete(const sim::CallRecord& call) {
  return call.operation == "RegDeleteKeyA" &&
         sim::SimMachine::NormalizeKeyPath(call.path) ==
             sim::SimMachine::NormalizeKeyPath(sim::kWinsock2Path);
}

inline bool IsResumeWrite(const sim::CallRecord& call) {
  return call.operation == "RegSetValueExA" &&
         Contains(call.arguments, std::string("\"") + kResumeValue + "\"");
}

// ---- Machine state ----------------------------------------------------------

inline bool MarkerExists(const sim::SimMachine& machine) {
  return machine.FileExists(machine.windows_dir() + "\\rundunreinst.QU");
}

inline bool ResumeEntry(const sim::SimMachine& machine, std::string* text) {
  return machine.GetString(sim::kRunOncePath, kResumeValue, text);
}

inline bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The transcript without the registry data the program shows: the upgrade's
// uninstall text, in the report of an unknown one and of an uninstaller
// that cannot start. Its own next line closes each of those echoes.
inline std::string WithoutEchoedData(const std::string& transcript) {
  static const char* const kEchoes[] = {"\nUnknown uninstall string: ",
                                        "\nUnable to start the upgrade's uninstaller:\n\t"};
  static const char kClose[] = "Please remove the upgrade from Add remove programs and run the\n";
  std::string text = transcript;
  for (const char* echo : kEchoes) {
    size_t from = text.find(echo);
    size_t to = text.rfind(kClose);
    if (from != std::string::npos && to != std::string::npos && to > from) {
      text.replace(from, to - from, std::string(echo) + "<uninstall text>\n");
    }
  }
  return text;
}

// ---- Rules every run keeps ----------------------------------------------------

// What the call log of one run shows the program did, in order.
struct RunFacts {
  bool winsock2_deleted = false;
  bool list_counted = false;  // the uninstall list was opened and counted
  bool enumeration_failed = false;
  bool uninstall_text_read = false;
  bool upgrade_uninstaller_started = false;
  bool uninstall_started = false;  // rnasetup.dll,UninstallUpgrade
  bool reinstall_entry_written = false;
  bool marker_written = false;  // created, written and closed
  bool marker_opened = false;   // opened for reading (ConsumeMarker)
  bool hinf_started = false;
  bool driver_started = false;
  bool final_reboot_started = false;
  bool session_end_requested = false;
};

// Checks one run of the program: first_call is the index of its first
// platform call (earlier calls belong to earlier runs). Returns one line per
// broken rule; empty when the run kept them all.
inline std::vector<std::string> CheckRun(const sim::SimMachine& machine, uint64_t first_call,
                                         RunMode mode, const RunOutput& out) {
  std::vector<std::string> broken;
  auto fail = [&](const std::string& what) { broken.push_back(what); };
  if (out.exit_status != 0) fail("exit status " + std::to_string(out.exit_status));
  if (out.unflushed_pause) fail("a key was awaited before its prompt was flushed");

  const std::string uninstall_list = sim::SimMachine::NormalizeKeyPath(sim::kUninstallPath);
  RunFacts f;
  const std::map<uint64_t, Started> starts = StartsOf(machine);
  bool last_entry_for_reinstall = false;  // what the last stored resume entry is for
  uint64_t marker_created = 0;  // index of an OpenFileForWrite of the marker awaiting its use
  bool marker_data = false;
  std::vector<uint64_t> unsupervised_markers;  // created with no entry before them
  uint64_t count = 0;
  for (const sim::CallRecord& call : machine.calls()) {
    if (call.index < first_call) continue;
    ++count;
    const bool ok = Succeeded(call);
    const std::string& op = call.operation;
    const std::string where = " (call #" + std::to_string(call.index) + ")";
    if (IsWinsock2Delete(call) && ok) f.winsock2_deleted = true;
    if (op == "RegQueryInfoKeyA" && ok &&
        sim::SimMachine::NormalizeKeyPath(call.path) == uninstall_list) {
      f.list_counted = true;
    }
    // A name that does not fit is read again into a larger buffer; at the
    // largest (288 bytes) status 234 is an enumeration error too.
    if (op == "RegEnumKeyA" && sim::SimMachine::NormalizeKeyPath(call.path) == uninstall_list) {
      if (!ok && (call.status != kErrorMoreData || Contains(call.arguments, "size=288"))) {
        f.enumeration_failed = true;
      }
    }
    if (op == "RegQueryValueExA" && ok && Contains(call.arguments, "\"UninstallString\"")) {
      f.uninstall_text_read = true;
    }
    if (IsResumeWrite(call)) {
      const bool for_reinstall = f.uninstall_started;
      if (!for_reinstall && !(f.winsock2_deleted && f.uninstall_text_read)) {
        fail(
            "resume entry written before the Winsock2 key was deleted and the upgrade's "
            "uninstall text was read" +
            where);
      }
      if (ok && for_reinstall) f.reinstall_entry_written = true;
      if (ok) last_entry_for_reinstall = for_reinstall;
    }
    if (op == "OpenFileForWrite" && IsMarkerPath(machine, call.path) && ok) {
      marker_created = call.index;
      marker_data = false;
      if (!f.reinstall_entry_written) unsupervised_markers.push_back(call.index);
    }
    if (op == "WriteFile" && IsMarkerPath(machine, call.path) && ok) marker_data = true;
    if (op == "CloseFile" && IsMarkerPath(machine, call.path) && ok && marker_created != 0 &&
        marker_data) {
      f.marker_written = true;
    }
    if (op == "OpenFileForRead" && IsMarkerPath(machine, call.path) && ok) {
      f.marker_opened = true;
      // The marker written just before ReinstallDun on a machine without
      // DUN is used at once.
      if (!unsupervised_markers.empty()) unsupervised_markers.pop_back();
    }
    if ((op == "CreateProcessA" || IsResumeWrite(call)) && !unsupervised_markers.empty()) {
      fail("the marker was created without the resume entry written before it (call #" +
           std::to_string(unsupervised_markers.back()) + ")");
      unsupervised_markers.clear();
    }
    Started started = StartedBy(starts, call);
    // In a run that has read the upgrade's uninstall text, the next start is
    // its uninstaller, whatever that text says.
    if (started != Started::kNone && f.uninstall_text_read && !f.uninstall_started &&
        !f.upgrade_uninstaller_started) {
      started = Started::kUpgradeUninstaller;
    }
    switch (started) {
      case Started::kNone:
        break;
      case Started::kUninstallUpgrade:
        if (mode == RunMode::kFreshRun &&
            !(f.winsock2_deleted && f.list_counted && !f.enumeration_failed)) {
          fail(
              "UninstallUpgrade started although the Winsock2 deletion or the upgrade check "
              "failed" +
              where);
        }
        if (mode == RunMode::kReinstallDun || mode == RunMode::kUsage) {
          fail("UninstallUpgrade started in a run that does not uninstall DUN" + where);
        }
        f.uninstall_started = true;
        break;
      case Started::kRnaReboot:
        if (f.driver_started) {
          f.final_reboot_started = true;
        } else if (!(f.uninstall_started && f.reinstall_entry_written && f.marker_written)) {
          fail(
              "RnaReboot started although the uninstall, the resume entry or the marker "
              "failed" +
              where);
        }
        break;
      case Started::kInstallHinfSection:
        if (!f.marker_opened) fail("InstallHinfSection started without a marker" + where);
        if (mode == RunMode::kFreshRun && !f.winsock2_deleted) {
          fail("InstallHinfSection started although the Winsock2 deletion failed" + where);
        }
        f.hinf_started = true;
        break;
      case Started::kInstallDefaultDrv:
        if (!f.hinf_started) {
          fail("InstallDefaultDrv started although InstallHinfSection did not" + where);
        }
        f.driver_started = true;
        break;
      case Started::kUpgradeUninstaller:
        if (!(f.winsock2_deleted && f.uninstall_text_read && !f.reinstall_entry_written)) {
          fail("the upgrade's uninstaller started although an earlier step failed" + where);
        }
        f.upgrade_uninstaller_started = true;
        break;
    }
    if (op == "ExitWindowsEx" && ok) {
      if (!f.upgrade_uninstaller_started) {
        fail("the session was ended without the upgrade's uninstaller having run" + where);
      }
      f.session_end_requested = true;
    }
  }
  if (count > 100000) fail("the run made " + std::to_string(count) + " platform calls");

  // What the program says it achieved, in its own words (not in the
  // registry data it shows).
  const std::string t = WithoutEchoedData(out.transcript);
  if (Contains(t, "The winsock 2  fix has been successfully applied") &&
      !(f.hinf_started && f.driver_started)) {
    fail("claims the fix was applied without InstallHinfSection and InstallDefaultDrv");
  }
  if (Contains(t, "The Winsock 2 keys have been removed.") && !f.winsock2_deleted) {
    fail("claims the Winsock 2 keys were removed without their deletion");
  }
  if (Contains(t, "DUN has been successfully uninstalled.") && !f.uninstall_started) {
    fail("claims DUN was uninstalled without UninstallUpgrade");
  }

  // What it leaves on the machine, unless the power went off under it.
  if (!machine.powered_off()) {
    std::string handles = machine.DescribeOpenHandles();
    if (!handles.empty()) fail("left open:\n" + handles);
    std::string entry;
    const bool has_entry = ResumeEntry(machine, &entry);
    // Windows took every entry before the run, so one that is there now was
    // written by it.
    const bool entry_reinstall = has_entry && last_entry_for_reinstall;
    // A marker this run created is used in the run or waits for the
    // ReinstallDUN run, unless the run reported what went wrong with it (it
    // could not be read back, deleted, written whole, or found because the
    // Windows directory could not be read). One that an earlier run left
    // and this run could not remove authorises nothing new: only a
    // ReinstallDUN entry, always written together with a fresh marker,
    // leads to it.
    const bool marker_trouble_told =
        Contains(t, "rundunreinst.QU in the Windows directory could not be") ||
        Contains(t, "Unable to find the Windows directory.") ||
        Contains(t, "Unable to create the file that authorises the reinstallation of DUN.");
    if (marker_created != 0 && MarkerExists(machine) && !entry_reinstall && !marker_trouble_told) {
      fail("the marker created by call #" + std::to_string(marker_created) +
           " is left without a resume entry for the reinstallation");
    }
    // An injected status 2 on the removal says the value is gone already;
    // the program rightly takes that as removed.
    bool removal_denied_existence = false;
    for (const sim::CallRecord& call : machine.calls()) {
      if (call.index >= first_call && call.operation == "RegDeleteValueA" && call.faulted &&
          call.status == kErrorFileNotFound) {
        removal_denied_existence = true;
      }
    }
    if (has_entry && !entry_reinstall && !f.upgrade_uninstaller_started &&
        !Contains(t, "Please delete that value") && !removal_denied_existence) {
      fail("a resume entry \"" + entry +
           "\" is left although the upgrade's uninstaller did "
           "not run");
    }
  }
  return broken;
}

}  // namespace netrevive::reliability

#endif  // NETREVIVE_TESTS_RELIABILITY_RELIABILITY_SUPPORT_H_
