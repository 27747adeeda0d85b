// The fault plan, the power cut and the call log of the simulated machine,
// and the operation table they name operations by.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_snapshot.h"

namespace netrevive::simulated_pc {
namespace {

// A short fixed sequence of platform calls, like the start of a repair: the
// Windows directory, a registry backup copy, the Winsock2 deletion.
struct Outcome {
  uint32_t dir_length = 0;
  bool copied = false;
  RegStatus open = 0;
  RegStatus deleted = -1;
  RegStatus closed = -1;
};

Outcome RunSequence(SimMachine& machine) {
  Outcome outcome;
  char dir[64];
  outcome.dir_length = machine.GetWindowsDirectoryA(dir, sizeof dir);
  outcome.copied = machine.CopyFileA("C:\\WINDOWS\\system.dat", "C:\\WINDOWS\\system.tom", false);
  RegKey key = 0;
  outcome.open = machine.RegOpenKeyExA(kHkeyLocalMachine, "System\\CurrentControlSet\\Services",
                                       kKeyAllAccess, &key);
  if (outcome.open == 0) {
    outcome.deleted = machine.RegDeleteKeyA(key, "Winsock2");
    outcome.closed = machine.RegCloseKey(key);
  }
  return outcome;
}

TEST(SimFaultPlanTest, FailsByOperationAndPathOnceOrPersistently) {
  struct Case {
    std::optional<Op> operation;  // none: any operation
    const char* path;
    RegStatus status;
    bool persistent;
    bool copy_fails;
    RegStatus open;
    RegStatus deleted;
  };
  const Case cases[] = {
      {Op::kRegDeleteKeyA, "", kErrorAccessDenied, false, false, 0, kErrorAccessDenied},
      {Op::kRegDeleteKeyA, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\winsock2",
       kErrorBadDb, false, false, 0, kErrorBadDb},
      {Op::kRegDeleteKeyA, "HKLM\\System\\CurrentControlSet\\Services\\Winsock", kErrorBadDb, false,
       false, 0, 0},  // another key: no match
      {Op::kRegOpenKeyExA, "HKLM\\System\\CurrentControlSet\\Services", kErrorCantOpen, false,
       false, kErrorCantOpen, -1},
      {Op::kCopyFileA, "c:\\windows\\SYSTEM.TOM", 5, false, true, 0, 0},  // by target
      {Op::kCopyFileA, "C:\\WINDOWS\\user.dat", 5, false, false, 0, 0},
      {std::nullopt, "C:\\WINDOWS\\system.dat", 2, false, true, 0, 0},  // any operation on the path
  };
  for (const Case& c : cases) {
    SimMachine machine = MakeDefaultMachine();
    machine.FailOperation(c.operation, c.path, c.status, c.persistent);
    Outcome outcome = RunSequence(machine);
    SCOPED_TRACE(std::string(c.operation ? OpName(*c.operation) : "any") + " " + c.path);
    EXPECT_EQ(outcome.copied, !c.copy_fails);
    EXPECT_EQ(outcome.open, c.open);
    EXPECT_EQ(outcome.deleted, c.deleted);
    const bool expect_fault = c.copy_fails || c.open != 0 || c.deleted != 0;
    EXPECT_EQ(machine.fault_met(), expect_fault);
    EXPECT_EQ(machine.KeyExists(kWinsock2Path), c.deleted != 0);
    EXPECT_TRUE(machine.OpenHandles().empty()) << machine.DescribeOpenHandles();
  }
}

TEST(SimFaultPlanTest, OnceIsUsedUpPersistentStays) {
  SimMachine machine = MakeDefaultMachine();
  machine.FailOperation(Op::kRegOpenKeyExA, "HKCR\\dunfile", 5);
  RegKey key = 0;
  EXPECT_EQ(machine.RegOpenKeyExA(kHkeyClassesRoot, "dunfile", kKeyRead, &key), 5);
  EXPECT_EQ(machine.RegOpenKeyExA(kHkeyClassesRoot, "dunfile", kKeyRead, &key), 0);
  EXPECT_EQ(machine.RegCloseKey(key), 0);
  EXPECT_EQ(machine.faults_met(), 1);

  machine.FailOperation(Op::kGetWindowsDirectoryA, "", 8, true);
  char dir[64];
  for (int i = 0; i < 3; ++i) EXPECT_EQ(machine.GetWindowsDirectoryA(dir, sizeof dir), 0u);
  EXPECT_EQ(machine.last_error(), 8);
  EXPECT_EQ(machine.faults_met(), 4);
  machine.ClearFaults();
  EXPECT_EQ(machine.GetWindowsDirectoryA(dir, sizeof dir), 10u);
}

TEST(SimFaultPlanTest, NthCallSweepMeetsEachCallOnceThenRunsClean) {
  SimMachine clean = MakeDefaultMachine();
  RunSequence(clean);
  const uint64_t total = clean.call_count();
  ASSERT_EQ(total, 5u);

  uint64_t n = 1;
  for (;; ++n) {
    SimMachine machine = MakeDefaultMachine();
    machine.FailCallNumber(n, 1015);
    Outcome outcome = RunSequence(machine);
    if (!machine.fault_met()) break;
    ASSERT_LE(n, total);
    const CallRecord& failed = machine.calls()[n - 1];
    EXPECT_TRUE(failed.faulted);
    EXPECT_EQ(failed.status, 1015);
    EXPECT_EQ(failed.operation, clean.calls()[n - 1].operation);
    int faulted = 0;
    for (const CallRecord& call : machine.calls()) faulted += call.faulted ? 1 : 0;
    EXPECT_EQ(faulted, 1) << "a call-number fault fails exactly one call";
    switch (n) {
      case 1:
        EXPECT_EQ(outcome.dir_length, 0u);
        break;
      case 2:
        EXPECT_FALSE(outcome.copied);
        EXPECT_FALSE(machine.FileExists("C:\\WINDOWS\\system.tom"));
        break;
      case 3:
        EXPECT_EQ(outcome.open, 1015);
        break;
      case 4:
        EXPECT_EQ(outcome.deleted, 1015);
        EXPECT_TRUE(machine.KeyExists(kWinsock2Path));
        break;
      case 5:
        EXPECT_EQ(outcome.closed, 1015);
        break;
    }
    // A failed close still gives the handle up.
    EXPECT_TRUE(machine.OpenHandles().empty()) << n << machine.DescribeOpenHandles();
  }
  EXPECT_EQ(n, total + 1);
}

TEST(SimFaultPlanTest, FailedOpenFileAndProcessReturnNoHandles) {
  SimMachine machine = MakeDefaultMachine();
  machine.FailOperation(Op::kOpenFileForWrite, "", 5);
  machine.FailOperation(Op::kCreateProcessA, "C:\\WINDOWS\\RUNDLL32.EXE", 2);
  EXPECT_EQ(machine.OpenFileForWrite("C:\\WINDOWS\\rundunreinst.QU"), kNoHandle);
  EXPECT_FALSE(machine.FileExists("C:\\WINDOWS\\rundunreinst.QU"));
  char command[] = "C:\\WINDOWS\\rundll32.exe rnasetup.dll,UninstallUpgrade";
  ProcessInfo info{};
  info.process = 77;
  EXPECT_FALSE(machine.CreateProcessA("C:\\WINDOWS\\rundll32.exe", command, "C:\\WINDOWS", &info));
  EXPECT_EQ(info.process, kNoHandle);
  EXPECT_TRUE(machine.processes().empty());
  EXPECT_TRUE(DunInstalled(machine)) << "a helper that did not start changed the machine";
}

TEST(SimPowerCutTest, EverythingAfterTheCutFailsAndChangesNothing) {
  SimMachine machine = MakeDefaultMachine();
  machine.PowerCutAfter(3);  // after the RegOpenKeyExA
  Outcome outcome = RunSequence(machine);
  EXPECT_EQ(outcome.open, 0);
  EXPECT_EQ(outcome.deleted, kErrorNotReady);
  EXPECT_EQ(outcome.closed, kErrorNotReady);
  EXPECT_TRUE(machine.powered_off());
  EXPECT_EQ(machine.power_cut_at(), 3u);
  EXPECT_TRUE(machine.KeyExists(kWinsock2Path));
  EXPECT_TRUE(machine.FileExists("C:\\WINDOWS\\system.tom"));
  ASSERT_EQ(machine.calls().size(), 5u);
  EXPECT_FALSE(machine.calls()[2].after_power_cut);
  EXPECT_TRUE(machine.calls()[3].after_power_cut);
  EXPECT_FALSE(machine.fault_met()) << "a power cut is not an injected fault";
  // The key the program held stays "open" until Windows starts again.
  EXPECT_EQ(machine.OpenHandles().size(), 1u);

  machine.BeginNewSession();
  EXPECT_FALSE(machine.powered_off());
  EXPECT_TRUE(machine.OpenHandles().empty());
  EXPECT_EQ(machine.session(), 2);
  outcome = RunSequence(machine);
  EXPECT_EQ(outcome.deleted, 0);
}

TEST(SimPowerCutTest, DataWrittenToAFileStillOpenIsLost) {
  SimMachine machine = MakeDefaultMachine();
  Handle done = machine.OpenFileForWrite("C:\\WINDOWS\\done.txt");
  ASSERT_TRUE(machine.WriteFile(done, "closed\r\n", 8));
  ASSERT_TRUE(machine.CloseFile(done));
  Handle marker = machine.OpenFileForWrite("C:\\WINDOWS\\rundunreinst.QU");
  ASSERT_TRUE(machine.WriteFile(marker, "REINSTALL\r\n", 11));
  machine.CutPower();
  EXPECT_FALSE(machine.CloseFile(marker));
  std::string contents;
  ASSERT_TRUE(machine.ReadFile("C:\\WINDOWS\\rundunreinst.QU", &contents));
  EXPECT_EQ(contents, "");
  ASSERT_TRUE(machine.ReadFile("C:\\WINDOWS\\done.txt", &contents));
  EXPECT_EQ(contents, "closed\r\n");
}

TEST(SimCallLogTest, RecordsOrderArgumentsAndResults) {
  SimMachine machine = MakeDefaultMachine();
  RunSequence(machine);
  const std::vector<CallRecord>& calls = machine.calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].operation, Op::kGetWindowsDirectoryA);
  EXPECT_EQ(calls[0].arguments, "size=64");
  EXPECT_EQ(calls[0].result, 10);
  EXPECT_EQ(calls[1].operation, Op::kCopyFileA);
  EXPECT_EQ(calls[1].path, "C:\\WINDOWS\\system.dat");
  EXPECT_EQ(calls[1].arguments,
            "\"C:\\WINDOWS\\system.dat\" -> \"C:\\WINDOWS\\system.tom\", fail_if_exists=0");
  EXPECT_EQ(calls[2].path, "HKLM\\System\\CurrentControlSet\\Services");
  EXPECT_EQ(calls[2].arguments, "HKLM, \"System\\CurrentControlSet\\Services\", access=0xF003F");
  EXPECT_EQ(calls[3].operation, Op::kRegDeleteKeyA);
  EXPECT_EQ(calls[3].path, "HKLM\\System\\CurrentControlSet\\Services\\Winsock2");
  EXPECT_EQ(calls[3].result, 0);
  for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].index, i + 1);

  // Order checks the way a step test makes them.
  uint64_t copied = machine.FirstCallIndex(Op::kCopyFileA, "C:\\WINDOWS\\SYSTEM.DAT");
  uint64_t deleted = machine.FirstCallIndex(Op::kRegDeleteKeyA, kWinsock2Path);
  EXPECT_NE(copied, 0u);
  EXPECT_LT(copied, deleted);
  EXPECT_EQ(machine.FirstCallIndex(Op::kDeleteFileA), 0u);
  EXPECT_EQ(machine.CallsOf(Op::kRegCloseKey).size(), 1u);

  machine.FailOperation(Op::kRegDeleteKeyA, "", 5);
  RunSequence(machine);
  EXPECT_EQ(machine.calls()[8].ToString(),
            "#9 RegDeleteKeyA HKLM\\System\\CurrentControlSet\\Services, \"Winsock2\" -> 5 "
            "(status 5) [fault]");
  machine.ResetCallLog();
  EXPECT_TRUE(machine.calls().empty());
  char dir[16];
  machine.GetWindowsDirectoryA(dir, sizeof dir);
  EXPECT_EQ(machine.calls()[0].index, 1u);
}

// What a call may change: the registry and files, the files' attributes and
// what the session asked Windows to do.
struct Picture {
  MachineSnapshot snapshot;
  std::string attributes;
  size_t session_requests = 0;
};

Picture Take(const SimMachine& machine) {
  Picture picture{TakeSnapshot(machine), "", machine.session_requests().size()};
  for (const std::string& file : machine.ListFiles()) {
    picture.attributes += file + "=" + Hex(machine.Attributes(file)) + "\n";
  }
  return picture;
}

// What the cases of the operation table test prepare and call with.
char buffer[512];
uint32_t size;
RegKey key;
Handle handle;
Socket opened;
ProcessInfo process;
ProtocolInfo providers[16];
char other_command[] = "C:\\WINDOWS\\rundll.exe setupx.dll,SomethingElse";
char uninstall_dun[] = "C:\\WINDOWS\\rundll32.exe rnasetup.dll,UninstallUpgrade";
constexpr const char kRna[] = "C:\\WINDOWS\\inf\\rna.inf";
constexpr const char kRundll[] = "C:\\WINDOWS\\rundll.exe";
constexpr const char kNewFile[] = "C:\\WINDOWS\\new.txt";

void OpenVersionKey(SimMachine& m) {
  m.RegOpenKeyExA(kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", kKeyAllAccess,
                  &key);
}
void OpenServicesKey(SimMachine& m) {
  m.RegOpenKeyExA(kHkeyLocalMachine, "System\\CurrentControlSet\\Services", kKeyAllAccess, &key);
}
void OpenForReading(SimMachine& m) { handle = m.OpenFileForRead(kRna); }
void WriteNewFile(SimMachine& m) {
  handle = m.OpenFileForWrite(kNewFile);
  m.WriteFile(handle, "x", 1);
}
void Search(SimMachine& m) { handle = m.FindFirstFileA("C:\\WINDOWS\\*.exe"); }
void StartOther(SimMachine& m) { m.CreateProcessA(nullptr, other_command, nullptr, &process); }
void LoadWinsock(SimMachine& m) { handle = m.LoadWinsock(); }
void StartWinsock(SimMachine& m) {
  LoadWinsock(m);
  m.WSAStartup(kWinsockVersion22);
  size = sizeof providers;
}
void OpenSocket(SimMachine& m) {
  StartWinsock(m);
  opened = m.socket(kAfInet, kSockStream, kIpprotoTcp);
}

// Each operation's "changes the machine" column against what a call of it
// that succeeds does on the default machine: a call marked as only looking
// changes nothing, a call marked as changing changes something. Each case
// prepares what its call needs (nullptr: nothing), then makes the one call.
TEST(SimOperationTableTest, EachOperationChangesTheMachineExactlyAsItsRowSays) {
  using Call = void (*)(SimMachine & m);
  const struct Case {
    Op op;
    Call prepare;
    Call call;
  } cases[] = {
      {Op::kRegOpenKeyExA, nullptr, OpenVersionKey},
      {Op::kRegCreateKeyExA, nullptr,
       [](SimMachine& m) { m.RegCreateKeyExA(kHkeyLocalMachine, "Software\\N", kKeyWrite, &key); }},
      {Op::kRegQueryInfoKeyA, OpenVersionKey,
       [](SimMachine& m) { m.RegQueryInfoKeyA(key, &size); }},
      {Op::kRegEnumKeyA, OpenVersionKey, [](SimMachine& m) { m.RegEnumKeyA(key, 0, buffer, 64); }},
      {Op::kRegQueryValueExA, OpenVersionKey,
       [](SimMachine& m) { m.RegQueryValueExA(key, "ProductName", nullptr, nullptr, &size); }},
      {Op::kRegSetValueExA, OpenVersionKey,
       [](SimMachine& m) {
         m.RegSetValueExA(key, "N", kRegSz, reinterpret_cast<const uint8_t*>("x"), 2);
       }},
      {Op::kRegDeleteKeyA, OpenServicesKey,
       [](SimMachine& m) { m.RegDeleteKeyA(key, "Winsock2"); }},
      {Op::kRegDeleteValueA, OpenVersionKey,
       [](SimMachine& m) { m.RegDeleteValueA(key, "ProductName"); }},
      {Op::kRegFlushKey, nullptr, [](SimMachine& m) { m.RegFlushKey(kHkeyLocalMachine); }},
      {Op::kRegCloseKey, OpenVersionKey, [](SimMachine& m) { m.RegCloseKey(key); }},
      {Op::kOpenFileForRead, nullptr, OpenForReading},
      {Op::kOpenFileForWrite, nullptr, [](SimMachine& m) { m.OpenFileForWrite(kNewFile); }},
      {Op::kReadFile, OpenForReading, [](SimMachine& m) { m.ReadFile(handle, buffer, 64, &size); }},
      {Op::kWriteFile, WriteNewFile, [](SimMachine& m) { m.WriteFile(handle, "y", 1); }},
      {Op::kCloseFile, WriteNewFile, [](SimMachine& m) { m.CloseFile(handle); }},
      {Op::kCopyFileA, nullptr, [](SimMachine& m) { m.CopyFileA(kRundll, kNewFile, false); }},
      {Op::kMoveFileA, nullptr, [](SimMachine& m) { m.MoveFileA(kRundll, kNewFile); }},
      {Op::kDeleteFileA, nullptr, [](SimMachine& m) { m.DeleteFileA(kRundll); }},
      {Op::kGetFileAttributesA, nullptr, [](SimMachine& m) { m.GetFileAttributesA(kRna); }},
      {Op::kSetFileAttributesA, nullptr, [](SimMachine& m) { m.SetFileAttributesA(kRundll, 1); }},
      {Op::kFindFirstFileA, nullptr, Search},
      {Op::kFindClose, Search, [](SimMachine& m) { m.FindClose(handle); }},
      {Op::kGetShortPathNameA, nullptr,
       [](SimMachine& m) { m.GetShortPathNameA(kRna, buffer, 64); }},
      {Op::kGetLongPathNameA, nullptr, [](SimMachine& m) { m.GetLongPathNameA(kRna, buffer, 64); }},
      {Op::kGetDriveTypeA, nullptr, [](SimMachine& m) { m.GetDriveTypeA("C:\\"); }},
      // Windows' setup program starts and removes DUN.
      {Op::kCreateProcessA, nullptr,
       [](SimMachine& m) { m.CreateProcessA(nullptr, uninstall_dun, nullptr, &process); }},
      {Op::kWaitForSingleObject, StartOther,
       [](SimMachine& m) { m.WaitForSingleObject(process.process, kInfinite); }},
      {Op::kCloseHandle, StartOther, [](SimMachine& m) { m.CloseHandle(process.thread); }},
      {Op::kExitWindowsEx, nullptr, [](SimMachine& m) { m.ExitWindowsEx(2, 0); }},
      {Op::kSetConsoleCtrlHandler, nullptr, [](SimMachine& m) { m.SetConsoleCtrlHandler(); }},
      {Op::kFlushConsoleInputBuffer, nullptr, [](SimMachine& m) { m.FlushConsoleInputBuffer(); }},
      {Op::kLoadWinsock, nullptr, LoadWinsock},
      {Op::kWSAStartup, LoadWinsock, [](SimMachine& m) { m.WSAStartup(kWinsockVersion22); }},
      {Op::kWSAEnumProtocolsA, StartWinsock,
       [](SimMachine& m) { m.WSAEnumProtocolsA(nullptr, providers, &size); }},
      {Op::kWSACleanup, StartWinsock, [](SimMachine& m) { m.WSACleanup(); }},
      {Op::kWSAGetLastError, nullptr, [](SimMachine& m) { m.WSAGetLastError(); }},
      {Op::kSocket, StartWinsock,
       [](SimMachine& m) { m.socket(kAfInet, kSockStream, kIpprotoTcp); }},
      {Op::kCloseSocket, OpenSocket, [](SimMachine& m) { m.closesocket(opened); }},
      {Op::kFreeWinsock, LoadWinsock, [](SimMachine& m) { m.FreeWinsock(handle); }},
      {Op::kGetWindowsDirectoryA, nullptr,
       [](SimMachine& m) { m.GetWindowsDirectoryA(buffer, 64); }},
      {Op::kGetVersionExA, nullptr,
       [](SimMachine& m) { m.GetVersionExA(reinterpret_cast<OsVersion*>(buffer)); }},
      {Op::kGetModuleFileNameA, nullptr, [](SimMachine& m) { m.GetModuleFileNameA(buffer, 64); }},
      {Op::kGetTempPathA, nullptr, [](SimMachine& m) { m.GetTempPathA(buffer, 64); }},
      {Op::kGetEnvironmentVariableA, nullptr,
       [](SimMachine& m) { m.GetEnvironmentVariableA("TMP", buffer, 64); }},
      {Op::kSetErrorMode, nullptr, [](SimMachine& m) { m.SetErrorMode(kSemFailCriticalErrors); }},
  };
  ASSERT_EQ(sizeof cases / sizeof cases[0], kOpCount) << "one case per operation";
  for (const OpInfo& row : kOps) {
    SCOPED_TRACE(row.name);
    const Case* found = nullptr;
    for (const Case& c : cases) found = c.op == row.op ? &c : found;
    ASSERT_NE(found, nullptr);
    SimMachine machine = MakeDefaultMachine();
    if (found->prepare != nullptr) found->prepare(machine);
    const Picture before = Take(machine);
    found->call(machine);
    const CallRecord& call = machine.calls().back();
    EXPECT_EQ(call.operation, row.op);
    EXPECT_EQ(call.status, 0) << call.ToString();
    const Picture after = Take(machine);
    const bool changed = !DiffSnapshots(before.snapshot, after.snapshot).empty() ||
                         before.attributes != after.attributes ||
                         before.session_requests != after.session_requests;
    EXPECT_EQ(changed, ChangesTheMachine(row.op));
  }
}

}  // namespace
}  // namespace netrevive::simulated_pc
