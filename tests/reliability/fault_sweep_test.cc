// Every platform call of every kind of run fails in turn, with the statuses
// a Windows 9x registry, file system or process start really gives for that
// call. Each run must keep the rules of CheckRun, and each failure must show
// in what the program prints, before it changes anything more, unless the
// program has a stated reason to go on without a word (kTolerated below).

#include <gtest/gtest.h>
#include <stdio.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "reliability/reliability_support.h"
#include "reliability/scenarios.h"

namespace netrevive::reliability {
namespace {

// Failures the program goes on from without a word, each for a reason; a
// failure of any other call must change what it prints.
const char* Tolerated(const simulated_pc::SimMachine& clean, const simulated_pc::CallRecord& call,
                      RegStatus status) {
  const Op op = call.operation;
  if (op == Op::kGetVersionExA) {
    return "its result is not tested: the empty record reads as an NT system, which is refused";
  }
  if (op == Op::kSetFileAttributesA) {
    return "a mark that cannot be cleared leaves a backup MS-DOS's attrib lines make plain";
  }
  if (op == Op::kCopyFileA && call.fail_if_exists) {
    return "a repair under way copies only a backup that is missing; one that is there stays";
  }
  if (op == Op::kDeleteFileA &&
      simulated_pc::SimMachine::NormalizeFilePath(call.path).find(".TOM") != std::string::npos) {
    return "an old backup that cannot be deleted makes its replacement's rename fail, reported";
  }
  if (op == Op::kDeleteFileA &&
      simulated_pc::SimMachine::NormalizeFilePath(call.path).find(".NR$") != std::string::npos) {
    return "a new copy left behind is cleared and written over by the next repair";
  }
  if (op == Op::kGetWindowsDirectoryA && call.index < clean.calls().size() &&
      clean.calls()[call.index].operation == Op::kGetFileAttributesA) {
    return "rna.inf is not looked for without the Windows directory; the steps that need the "
           "directory read it again and report it, and the reinstallation looks for rna.inf again";
  }
  // The record of a repair under way: its first write is reported; the
  // counts of setup tries are best effort, and a record that cannot be
  // read counts as there when the file is.
  const bool state_file =
      simulated_pc::SimMachine::NormalizeFilePath(call.path) ==
      simulated_pc::SimMachine::NormalizeFilePath(clean.windows_dir() + "\\netrevive.QU");
  const bool state_next =
      call.index < clean.calls().size() &&
      simulated_pc::SimMachine::NormalizeFilePath(clean.calls()[call.index].path) ==
          simulated_pc::SimMachine::NormalizeFilePath(clean.windows_dir() + "\\netrevive.QU");
  // The record is created only by a fresh run, before it looks at the
  // Winsock2 key; every later write counts tries.
  const uint64_t first_state_write =
      clean.FirstCallIndex(Op::kOpenFileForWrite, clean.windows_dir() + "\\netrevive.QU");
  const uint64_t winsock2_look =
      clean.FirstCallIndex(Op::kRegOpenKeyExA, simulated_pc::kWinsock2Path);
  const uint64_t state_created =
      first_state_write != 0 && first_state_write < winsock2_look ? first_state_write : 0;
  if ((state_file ||
       (op == Op::kGetWindowsDirectoryA && state_next && call.index + 1 != state_created)) &&
      (op == Op::kOpenFileForRead || op == Op::kReadFile || op == Op::kGetFileAttributesA ||
       op == Op::kGetWindowsDirectoryA || op == Op::kCloseFile || call.index > state_created + 2)) {
    return "a count of setup tries that cannot be read or written takes away one limit on tries "
           "only; the repair goes on";
  }
  if (op == Op::kRegOpenKeyExA && status == kErrorFileNotFound &&
      simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
          simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kRunOncePath)) {
    return "a RunOnce key said to be missing holds no entry to take back: counted as removed";
  }
  // The line before Windows' setup names the folder found; without the
  // Windows directory only the source path is looked at, as in the Check.
  if (op == Op::kGetWindowsDirectoryA && call.index > 3 &&
      simulated_pc::SimMachine::NormalizeKeyPath(clean.calls()[call.index - 2].path) ==
          simulated_pc::SimMachine::NormalizeKeyPath(
              "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup") &&
      clean.FirstCallIndex(Op::kSetConsoleCtrlHandler) != 0 &&
      call.index > clean.FirstCallIndex(Op::kSetConsoleCtrlHandler)) {
    return "the setup files' line looks at the source path without the Windows directory";
  }
  if (op == Op::kGetDriveTypeA) {
    return "a drive of unknown type is not refused, as fixed disks, CD-ROMs and RAM disks are not";
  }
  if (op == Op::kSetConsoleCtrlHandler) {
    return "the repair goes on with the break keys as they were";
  }
  // A Net class that cannot be read has no Dial-Up Adapter; where the run
  // already found none (a PC without it, or an earlier failure there), the
  // answer stays the same.
  if (simulated_pc::IsRegistryOp(op) && Contains(call.path, "Class\\Net")) {
    bool none_found = !clean.KeyExists(std::string(simulated_pc::kDialUpAdapterPath) + "\\Ndi");
    for (const simulated_pc::CallRecord& c : clean.calls()) {
      if (c.index < call.index && !Succeeded(c) && Contains(c.path, "Class\\Net")) {
        none_found = true;
      }
    }
    if (none_found) return "no Dial-Up Adapter was found before this failure either";
  }
  if (op == Op::kWSAEnumProtocolsA && status == 10055) {
    return "the providers are listed again with room for many";
  }
  if (op == Op::kGetEnvironmentVariableA) {
    return "TMP read as unset leaves TEMP, which these PCs set; neither set makes GetTempPathA's "
           "answer no temporary folder, which none of these programs is in";
  }
  if (op == Op::kGetWindowsDirectoryA && call.index > 1 &&
      clean.calls()[call.index - 2].operation == Op::kGetEnvironmentVariableA) {
    return "the temporary folder is then told apart from a drive root only; these PCs' is "
           "neither";
  }
  if (op == Op::kSetErrorMode) {
    return "SetErrorMode cannot fail on Windows; a mode left as it was shows no box on a PC "
           "whose drives hold their discs";
  }
  if (op == Op::kRegCloseKey || op == Op::kCloseHandle || op == Op::kWSACleanup ||
      op == Op::kCloseSocket || op == Op::kFreeWinsock || op == Op::kFindClose) {
    return "nothing is left to do about a handle that fails to close";
  }
  // After InstallDefaultDrv the repair is done: the Check's entry is
  // written without a word whatever happens.
  uint64_t driver_started = 0;
  for (const simulated_pc::CallRecord& c : clean.calls()) {
    if (c.operation == Op::kCreateProcessA && Contains(c.arguments, "InstallDefaultDrv")) {
      driver_started = c.index;
    }
  }
  if (driver_started != 0 && call.index > driver_started &&
      (((op == Op::kRegOpenKeyExA || op == Op::kRegSetValueExA) &&
        simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
            simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kRunOncePath)) ||
       op == Op::kGetModuleFileNameA || op == Op::kGetShortPathNameA)) {
    return "the repair is done: a Check that cannot be scheduled is only not run by itself";
  }
  // Only the Check asks Winsock anything.
  const bool check_run = clean.FirstCallIndex(Op::kLoadWinsock) != 0;
  if (check_run && (op == Op::kRegOpenKeyExA || op == Op::kRegQueryValueExA) &&
      simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
          simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kRunOncePath)) {
    return "the Check takes a RunOnce key or entry it cannot read for no entry";
  }
  if (check_run && (op == Op::kRegOpenKeyExA || op == Op::kRegQueryValueExA) &&
      simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
          simulated_pc::SimMachine::NormalizeKeyPath(
              "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup")) {
    return "the search for Windows' setup files looks past a source path it cannot read";
  }
  if (check_run && op == Op::kGetWindowsDirectoryA) {
    return "the Check takes backups and a marker it cannot look for as absent";
  }
  if (op == Op::kWaitForSingleObject) {
    return "a wait that fails ends at once; a helper's end is not examined either";
  }
  if (op == Op::kCloseFile && call.index > 1 &&
      clean.calls()[call.index - 2].operation == Op::kOpenFileForRead) {
    return "the marker is deleted right after; only its existence counts";
  }
  if (op == Op::kCloseFile && call.index > 1 && !Succeeded(clean.calls()[call.index - 2]) &&
      clean.calls()[call.index - 2].operation == Op::kWriteFile) {
    return "the marker's write has failed already and is reported as such";
  }
  if (op == Op::kDeleteFileA && IsMarkerPath(clean, call.path) &&
      clean.FirstCallIndex(Op::kOpenFileForWrite, call.path) != 0 &&
      clean.FirstCallIndex(Op::kOpenFileForWrite, call.path) < call.index) {
    return "it takes back a marker whose write failed, which is reported as such";
  }
  // Unless the run has just written the marker itself, as it does before
  // installing DUN on a machine without it.
  if (op == Op::kOpenFileForRead && IsMarkerPath(clean, call.path) &&
      (clean.FirstCallIndex(Op::kOpenFileForWrite, call.path) == 0 ||
       clean.FirstCallIndex(Op::kOpenFileForWrite, call.path) > call.index)) {
    return "a marker that cannot be opened counts as absent, and a ReinstallDUN run without a "
           "marker ends without a word";
  }
  if (op == Op::kGetWindowsDirectoryA &&
      call.index < clean.FirstCallIndex(Op::kSetConsoleCtrlHandler)) {
    return "the checks before the first change leave what needs the Windows directory to the "
           "backup, which reads it again and reports it";
  }
  if (op == Op::kRegOpenKeyExA &&
      simulated_pc::SimMachine::NormalizeKeyPath(call.path) ==
          simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kWinsock2Path)) {
    return "a key that cannot be opened to look at is deleted as before; one said to be "
           "missing counts as deleted";
  }
  // A run refused before its first change has none.
  const uint64_t first_change = clean.FirstCallIndex(Op::kSetConsoleCtrlHandler) != 0
                                    ? clean.FirstCallIndex(Op::kSetConsoleCtrlHandler)
                                    : clean.calls().size() + 1;
  if (op == Op::kRegOpenKeyExA &&
      simulated_pc::SimMachine::NormalizeKeyPath(call.path) == "HKCR\\DUNFILE" &&
      call.index < first_change) {
    return "DUN said missing before the first change leaves the upgrade's check out, as the "
           "removal leaves the upgrade alone then; the run's own look at DUN follows";
  }
  // An UpgradeRemove run (no temporary folder looked for) looks for the
  // upgrade before it goes on.
  if (clean.FirstCallIndex(Op::kGetTempPathA) == 0 && call.index < first_change &&
      simulated_pc::SimMachine::NormalizeKeyPath(call.path).find(
          simulated_pc::SimMachine::NormalizeKeyPath(simulated_pc::kUninstallPath)) == 0) {
    return "a look for the upgrade that fails counts it as gone, and the run goes on as before";
  }
  if (op == Op::kRegFlushKey) {
    return "the changes are then written when Windows gets round to it, as without the flush";
  }
  if (op == Op::kFindFirstFileA || op == Op::kFindClose ||
      (op == Op::kRegQueryValueExA && call.value_name == "SourcePath") ||
      (op == Op::kRegOpenKeyExA && call.path.find("CurrentVersion\\Setup") != std::string::npos)) {
    return "a folder that cannot be searched holds no setup files; the next one is looked in, "
           "and none found is reported";
  }
  if (op == Op::kGetTempPathA || op == Op::kGetLongPathNameA ||
      (op == Op::kGetShortPathNameA && clean.FirstCallIndex(Op::kGetLongPathNameA) != 0 &&
       call.index > clean.FirstCallIndex(Op::kGetLongPathNameA))) {
    return "the path is compared in the forms Windows can give; the web cache by its name";
  }
  if (op == Op::kFlushConsoleInputBuffer) {
    return "keys pressed before the pause then answer it, as without the flush";
  }
  if (op == Op::kRegEnumKeyA && status == kErrorMoreData) {
    return "the name is read again into a larger buffer";
  }
  if (op == Op::kRegOpenKeyExA &&
      simulated_pc::SimMachine::NormalizeKeyPath(call.path) == "HKCR\\DUNFILE" &&
      status != kErrorFileNotFound) {
    return "every status but 2 counts as DUN present";
  }
  if (!Succeeded(call)) {
    if (!simulated_pc::IsRegistryOp(op) || call.status == status)
      return "the call fails in a clean run too";
  }
  return nullptr;
}

// The failure of call `failed` must show in the output: the output departs
// from a clean run's with text of its own (not merely stopping short), and
// that text is printed before the program changes anything more. Taking
// back what the failed step wrote (the resume entry, an incomplete marker)
// may come before the report.
std::vector<std::string> CheckReported(const simulated_pc::SimMachine& clean,
                                       const RunOutput& clean_out,
                                       const simulated_pc::CallRecord& failed, RegStatus status,
                                       const simulated_pc::SimMachine& machine,
                                       const RunOutput& out) {
  if (Tolerated(clean, failed, status) != nullptr) return {};
  const std::string& a = clean_out.transcript;
  const std::string& b = out.transcript;
  size_t d = 0;
  while (d < a.size() && d < b.size() && a[d] == b[d]) ++d;
  if (d == b.size()) {
    return {b == a ? "the failure left no trace in the output"
                   : "the output stops short of a clean run's without a report"};
  }
  std::vector<std::string> broken;
  const uint64_t printed_after = out.CallsBeforeOffset(d);
  bool marker_created = false;
  bool resume_written = false;
  for (const simulated_pc::CallRecord& call : machine.calls()) {
    // Deleting the marker the run itself created takes back a write that
    // did not complete; removing the resume entry it wrote takes back the
    // failed step's start. Both change the machine, as the operation table
    // says; they are allowed here for what they take back.
    const bool takes_back = (call.operation == Op::kDeleteFileA && marker_created &&
                             IsMarkerPath(machine, call.path)) ||
                            (call.operation == Op::kRegDeleteValueA && resume_written &&
                             simulated_pc::EqualsNoCase(call.value_name, kResumeValue));
    if (call.operation == Op::kOpenFileForWrite && IsMarkerPath(machine, call.path)) {
      marker_created = true;
    }
    resume_written |= IsResumeWrite(call) && Succeeded(call);
    if (call.index <= failed.index || call.index > printed_after) continue;
    if (Succeeded(call) && simulated_pc::ChangesTheMachine(call.operation) && !takes_back) {
      broken.push_back("call #" + std::to_string(call.index) + " " +
                       simulated_pc::OpName(call.operation) + " " + call.path +
                       " changed the machine before the failure was reported");
    }
  }
  return broken;
}

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> list;
  list.push_back(FreshScenario("fresh run, no upgrade", "98se"));
  list.push_back(FreshScenario("fresh run, 98 first edition", "98"));
  list.push_back(FreshScenario("fresh run, ME", "me"));
  list.push_back(FreshScenario("fresh run, upgrade by dunsetup.exe /u", "upgrade-dunsetup"));
  list.push_back(FreshScenario("fresh run, upgrade by rundll.exe", "upgrade-rundll"));
  list.push_back(FreshScenario("fresh run, upgrade by rundll32.exe", "upgrade-rundll32"));
  list.push_back(FreshScenario("fresh run, unknown uninstall text", "upgrade-unknown"));
  list.push_back(FreshScenario("fresh run, no DUN", "no-dun"));
  list.push_back(FreshScenario("fresh run, no Winsock2 key", "no-winsock2"));
  list.push_back(FreshScenario("fresh run, rundll32.exe missing", "no-helper"));
  list.push_back(FreshScenario("fresh run, Windows NT", "nt"));
  list.push_back(FreshScenario("fresh run, Windows 95", "95"));
  list.push_back(FreshScenario("fresh run, rna.inf missing", "no-rna-inf"));
  Scenario by_name = FreshScenario("fresh run started by name", "98se");
  by_name.args = {"netrevive"};
  list.push_back(by_name);
  Scenario blanks = FreshScenario("fresh run from a path with blanks", "98se");
  blanks.machine.PutFile("C:\\Program Files\\netrevive.exe", "MZ");
  blanks.args = {"C:\\Program Files\\netrevive.exe"};
  list.push_back(blanks);
  Scenario floppy = FreshScenario("fresh run from a floppy disk", "98se");
  floppy.args = {"A:\\NETREVIVE.EXE"};
  list.push_back(floppy);
  Scenario s;
  if (ResumedScenario("UpgradeRemove run after dunsetup.exe /u", "upgrade-dunsetup", &s)) {
    list.push_back(s);
  }
  if (ResumedScenario("ReinstallDUN run with marker", "98se", &s)) list.push_back(s);
  // rna.inf went missing after the fresh run had found it.
  if (ResumedScenario("ReinstallDUN run, rna.inf missing", "98se", &s)) {
    s.machine.RemoveFile(s.machine.windows_dir() + "\\inf\\rna.inf");
    list.push_back(s);
  }
  if (ResumedScenario("ReinstallDUN run after UpgradeRemove", "upgrade-dunsetup", &s, 2)) {
    list.push_back(s);
  }
  if (ResumedScenario("fresh run after a rundll32.exe uninstall", "upgrade-rundll32", &s)) {
    list.push_back(s);
  }
  list.push_back(FreshScenario("fresh run, no setup files", "no-setup-files"));
  list.push_back(FreshScenario("fresh run, Windows CD put in when asked", "cd-not-in-drive"));
  if (ResumedScenario("ReinstallDUN run, setup cancelled", "setup-cancelled", &s)) {
    list.push_back(s);
  }
  if (ResumedScenario("UpgradeRemove run, upgrade left installed", "upgrade-not-removed", &s)) {
    list.push_back(s);
  }
  if (ResumedScenario("Check after the repair", "98se", &s, 2)) list.push_back(s);
  for (const char* preset :
       {"no-winsock2", "no-tcpip", "tcp-chain-broken", "no-ws2-32", "no-dun", "nt"}) {
    list.push_back(CheckScenario(std::string("Check, ") + preset, preset));
  }
  Scenario pending = CheckScenario("Check while a restart is pending", "98se");
  RunFresh(pending.machine);
  pending.machine.BeginNewSession();
  pending.machine.ResetCallLog();
  list.push_back(pending);
  Scenario stopped = CheckScenario("Check with only the marker", "98se");
  RunFresh(stopped.machine);
  simulated_pc::StartSessionUpToProgram(stopped.machine);  // the entry is lost, the marker stays
  stopped.machine.ResetCallLog();
  list.push_back(stopped);
  EXPECT_EQ(list.size(), 34u) << "a scenario could not be prepared";
  return list;
}

struct SweepCounts {
  int runs = 0;
  int faults = 0;
  int tolerated = 0;
  int reports = 0;  // distinct outputs
};

// Reports a broken rule with what is needed to reproduce it.
void ReportBroken(const Scenario& s, const std::string& fault,
                  const simulated_pc::SimMachine& machine, const RunOutput& out,
                  const std::vector<std::string>& broken, int* shown) {
  if (broken.empty()) return;
  std::string lines;
  for (const std::string& b : broken) lines += "  " + b + "\n";
  if (++*shown <= 12) {
    ADD_FAILURE() << s.name << ", " << fault << ":\n"
                  << lines << "--- output\n"
                  << out.transcript << "--- calls\n"
                  << machine.FormatCallLog();
  } else {
    ADD_FAILURE() << s.name << ", " << fault << ":\n" << lines;
  }
}

TEST(FaultSweepTest, EveryCallFailsInTurnWithEachStatusItReallyReturns) {
  auto started = std::chrono::steady_clock::now();
  SweepCounts total;
  int shown = 0;
  printf("%-44s %6s %6s %7s %9s %8s\n", "run", "calls", "runs", "faults", "tolerated", "outputs");
  for (const Scenario& s : Scenarios()) {
    simulated_pc::SimMachine clean = s.machine;
    RunOutput clean_out = RunProgram(clean, s.args);
    ReportBroken(s, "clean run", clean, clean_out, CheckRun(clean, 1, s.mode, clean_out), &shown);
    const std::vector<simulated_pc::CallRecord> clean_calls = clean.calls();
    // With every floppy and CD-ROM drive empty (as the machines have them),
    // and Windows' setup files said to be on each in turn, the run never
    // raises Windows' "drive is not ready" box.
    for (const char* source : {"A:\\", "D:\\WIN98\\"}) {
      simulated_pc::SimMachine empty = s.machine;
      empty.SetString(simulated_pc::kSetupPath, "SourcePath", source);
      RunProgram(empty, s.args);
      for (const simulated_pc::SimMachine::SystemDialog& box : empty.system_dialogs()) {
        ADD_FAILURE() << s.name << ", setup files on " << source << ": call #" << box.call << " "
                      << simulated_pc::OpName(box.operation) << " " << box.path
                      << " raised the \"drive is not ready\" box";
      }
    }

    SweepCounts counts;
    std::set<std::string> outputs;
    uint64_t n = 1;
    for (;; ++n) {
      const bool in_run = n <= clean_calls.size();
      const std::vector<RegStatus> statuses =
          in_run ? simulated_pc::RealStatuses(clean_calls[n - 1].operation)
                 : std::vector<RegStatus>{5};
      bool met = false;
      for (RegStatus status : statuses) {
        simulated_pc::SimMachine machine = s.machine;
        machine.FailCallNumber(n, status);
        RunOutput out = RunProgram(machine, s.args);
        ++counts.runs;
        if (!machine.fault_met()) continue;
        met = true;
        ++counts.faults;
        outputs.insert(out.transcript);
        const simulated_pc::CallRecord& failed = clean_calls[n - 1];
        if (Tolerated(clean, failed, status) != nullptr) ++counts.tolerated;
        std::vector<std::string> broken = CheckRun(machine, 1, s.mode, out);
        for (const std::string& b : CheckReported(clean, clean_out, failed, status, machine, out)) {
          broken.push_back(b);
        }
        if (s.mode == RunMode::kCheck) ChangesNothing(s.machine, machine, &broken);
        ReportBroken(s,
                     "call #" + std::to_string(n) + " " + simulated_pc::OpName(failed.operation) +
                         " " + failed.path + " failing with " + std::to_string(status),
                     machine, out, broken, &shown);
      }
      if (!met) break;
    }
    // Calls 1 to n - 1 are the same as in the clean run, so the first call
    // that no fault can reach is the one after its last.
    EXPECT_EQ(n, clean_calls.size() + 1) << s.name;
    counts.reports = static_cast<int>(outputs.size());
    printf("%-44s %6zu %6d %7d %9d %8d\n", s.name.c_str(), clean_calls.size(), counts.runs,
           counts.faults, counts.tolerated, counts.reports);
    total.runs += counts.runs;
    total.faults += counts.faults;
    total.tolerated += counts.tolerated;
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  printf("total: %d runs, %d faults injected, %d of them tolerated, %.2f s\n", total.runs,
         total.faults, total.tolerated, seconds);
  ::testing::Test::RecordProperty("runs", total.runs);
  ::testing::Test::RecordProperty("faults", total.faults);
}

// Each operation failing every time it is called, from its first call on:
// retries and repeated calls meet the failure again.
TEST(FaultSweepTest, EachOperationFailingEveryTime) {
  int runs = 0;
  int shown = 0;
  for (const Scenario& s : Scenarios()) {
    simulated_pc::SimMachine clean = s.machine;
    RunOutput clean_out = RunProgram(clean, s.args);
    std::set<Op> operations;
    for (const simulated_pc::CallRecord& call : clean.calls()) operations.insert(call.operation);
    for (Op op : operations) {
      const simulated_pc::CallRecord& first = clean.calls()[clean.FirstCallIndex(op) - 1];
      for (RegStatus status : simulated_pc::RealStatuses(op)) {
        simulated_pc::SimMachine machine = s.machine;
        machine.FailOperation(op, "", status, /*persistent=*/true);
        RunOutput out = RunProgram(machine, s.args);
        ++runs;
        std::vector<std::string> broken = CheckRun(machine, 1, s.mode, out);
        for (const std::string& b : CheckReported(clean, clean_out, first, status, machine, out)) {
          broken.push_back(b);
        }
        if (s.mode == RunMode::kCheck) ChangesNothing(s.machine, machine, &broken);
        ReportBroken(s,
                     "every " + std::string(simulated_pc::OpName(op)) + " failing with " +
                         std::to_string(status),
                     machine, out, broken, &shown);
      }
    }
  }
  printf("persistent faults: %d runs\n", runs);
  ::testing::Test::RecordProperty("runs", runs);
}

// Two calls of one run fail: the first anywhere, the second anywhere after
// it in the run the first failure leads to, such as the clean-up after a
// failed step. The second failure must show against the run with the first
// one alone. Statuses rotate through each operation's list.
// The pairs of failures are many: the scenarios are split into shards that
// CTest runs side by side.
constexpr int kTwoFailureShards = 4;

class TwoFailuresInOneRun : public ::testing::TestWithParam<int> {};

TEST_P(TwoFailuresInOneRun, EveryPairOfCallsOfAShardsScenarios) {
  const uint64_t stride = SweepStride();
  int runs = 0;
  int faults = 0;
  int shown = 0;
  int index = 0;
  for (const Scenario& s : Scenarios()) {
    if (index++ % kTwoFailureShards != GetParam()) continue;
    simulated_pc::SimMachine clean = s.machine;
    RunProgram(clean, s.args);
    const std::vector<simulated_pc::CallRecord> clean_calls = clean.calls();
    for (uint64_t first = 1; first <= clean_calls.size(); ++first) {
      const std::vector<RegStatus> first_statuses =
          simulated_pc::RealStatuses(clean_calls[first - 1].operation);
      const RegStatus first_status = first_statuses[first % first_statuses.size()];
      simulated_pc::SimMachine once = s.machine;
      once.FailCallNumber(first, first_status);
      RunOutput once_out = RunProgram(once, s.args);
      const std::vector<simulated_pc::CallRecord> once_calls = once.calls();
      for (uint64_t second = first + 1; second <= once_calls.size(); ++second) {
        if ((first + second) % stride != 0) continue;
        const simulated_pc::CallRecord& failed = once_calls[second - 1];
        const std::vector<RegStatus> statuses = simulated_pc::RealStatuses(failed.operation);
        const RegStatus status = statuses[(first + second) % statuses.size()];
        simulated_pc::SimMachine machine = s.machine;
        machine.FailCallNumber(first, first_status);
        machine.FailCallNumber(second, status);
        RunOutput out = RunProgram(machine, s.args);
        ++runs;
        faults += machine.faults_met();
        EXPECT_EQ(machine.faults_met(), 2) << s.name << " " << first << " " << second;
        std::vector<std::string> broken = CheckRun(machine, 1, s.mode, out);
        for (const std::string& b : CheckReported(once, once_out, failed, status, machine, out)) {
          broken.push_back(b);
        }
        ReportBroken(s,
                     "call #" + std::to_string(first) + " failing with " +
                         std::to_string(first_status) + ", then call #" + std::to_string(second) +
                         " " + simulated_pc::OpName(failed.operation) + " " + failed.path +
                         " with " + std::to_string(status),
                     machine, out, broken, &shown);
      }
    }
  }
  printf("two failures per run: %d runs, %d faults injected\n", runs, faults);
  EXPECT_GT(runs, 0);
  ::testing::Test::RecordProperty("runs", runs);
  ::testing::Test::RecordProperty("faults", faults);
}

INSTANTIATE_TEST_SUITE_P(FaultSweepTest, TwoFailuresInOneRun,
                         ::testing::Range(0, kTwoFailureShards));

}  // namespace
}  // namespace netrevive::reliability
