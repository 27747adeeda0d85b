// The fault plan, the power cut and the call log of the simulated machine,
// and the operation table they name operations by.

#include <gtest/gtest.h>

#include <functional>
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

// What the cases of the operation table test share.
char buffer[512];
uint32_t size;
RegKey key;
ProtocolInfo providers[16];
ProcessInfo process;
char command[] = "C:\\WINDOWS\\rundll.exe setupx.dll,SomethingElse";
char uninstall[] = "C:\\WINDOWS\\rundll32.exe rnasetup.dll,UninstallUpgrade";
constexpr const char kVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char kRna[] = "C:\\WINDOWS\\inf\\rna.inf";
constexpr const char kRundll[] = "C:\\WINDOWS\\rundll.exe";

RegStatus OpenKey(SimMachine& m, const char* path) {
  return m.RegOpenKeyExA(kHkeyLocalMachine, path, kKeyAllAccess, &key);
}

void StartWinsock(SimMachine& m) {
  m.LoadWinsock();
  m.WSAStartup(kWinsockVersion22);
}

// Each operation's "changes the machine" column against what a call of it
// that succeeds does on the default machine: a call marked as only looking
// changes nothing, a call marked as changing changes something. Each case
// prepares what its call needs, calls mark(); then makes the one call.
TEST(SimOperationTableTest, EachOperationChangesTheMachineExactlyAsItsRowSays) {
  using Mark = const std::function<void()>&;
  struct Case {
    Op op;
    void (*call)(SimMachine& m, Mark mark);
  };
  const Case cases[] = {
      {Op::kRegOpenKeyExA,
       [](SimMachine& m, Mark mark) {
         mark();
         OpenKey(m, kVersionKey);
       }},
      {Op::kRegCreateKeyExA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.RegCreateKeyExA(kHkeyLocalMachine, "Software\\New", kKeyWrite, &key);
       }},
      {Op::kRegQueryInfoKeyA,
       [](SimMachine& m, Mark mark) {
         OpenKey(m, kVersionKey);
         mark();
         m.RegQueryInfoKeyA(key, &size);
       }},
      {Op::kRegEnumKeyA,
       [](SimMachine& m, Mark mark) {
         OpenKey(m, kVersionKey);
         mark();
         m.RegEnumKeyA(key, 0, buffer, sizeof buffer);
       }},
      {Op::kRegQueryValueExA,
       [](SimMachine& m, Mark mark) {
         size = sizeof buffer;
         OpenKey(m, kVersionKey);
         mark();
         m.RegQueryValueExA(key, "ProductName", nullptr, reinterpret_cast<uint8_t*>(buffer), &size);
       }},
      {Op::kRegSetValueExA,
       [](SimMachine& m, Mark mark) {
         OpenKey(m, kVersionKey);
         mark();
         m.RegSetValueExA(key, "New", kRegSz, reinterpret_cast<const uint8_t*>("x"), 2);
       }},
      {Op::kRegDeleteKeyA,
       [](SimMachine& m, Mark mark) {
         OpenKey(m, "System\\CurrentControlSet\\Services");
         mark();
         m.RegDeleteKeyA(key, "Winsock2");
       }},
      {Op::kRegDeleteValueA,
       [](SimMachine& m, Mark mark) {
         OpenKey(m, kVersionKey);
         mark();
         m.RegDeleteValueA(key, "ProductName");
       }},
      {Op::kRegFlushKey,
       [](SimMachine& m, Mark mark) {
         mark();
         m.RegFlushKey(kHkeyLocalMachine);
       }},
      {Op::kRegCloseKey,
       [](SimMachine& m, Mark mark) {
         OpenKey(m, kVersionKey);
         mark();
         m.RegCloseKey(key);
       }},
      {Op::kOpenFileForRead,
       [](SimMachine& m, Mark mark) {
         mark();
         m.OpenFileForRead(kRna);
       }},
      {Op::kOpenFileForWrite,
       [](SimMachine& m, Mark mark) {
         mark();
         m.OpenFileForWrite("C:\\WINDOWS\\new.txt");
       }},
      {Op::kReadFile,
       [](SimMachine& m, Mark mark) {
         Handle file = m.OpenFileForRead(kRna);
         mark();
         m.ReadFile(file, buffer, sizeof buffer, &size);
       }},
      {Op::kWriteFile,
       [](SimMachine& m, Mark mark) {
         Handle file = m.OpenFileForWrite("C:\\WINDOWS\\new.txt");
         mark();
         m.WriteFile(file, "x", 1);
       }},
      {Op::kCloseFile,
       [](SimMachine& m, Mark mark) {
         Handle file = m.OpenFileForWrite("C:\\WINDOWS\\new.txt");
         m.WriteFile(file, "x", 1);
         mark();
         m.CloseFile(file);
       }},
      {Op::kCopyFileA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.CopyFileA(kRundll, "C:\\WINDOWS\\r.tom", false);
       }},
      {Op::kMoveFileA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.MoveFileA(kRundll, "C:\\WINDOWS\\r.tom");
       }},
      {Op::kDeleteFileA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.DeleteFileA(kRundll);
       }},
      {Op::kGetFileAttributesA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.GetFileAttributesA(kRna);
       }},
      {Op::kSetFileAttributesA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.SetFileAttributesA(kRundll, kFileAttributeReadOnly);
       }},
      {Op::kFindFirstFileA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.FindFirstFileA("C:\\WINDOWS\\*.exe");
       }},
      {Op::kFindClose,
       [](SimMachine& m, Mark mark) {
         Handle search = m.FindFirstFileA("C:\\WINDOWS\\*.exe");
         mark();
         m.FindClose(search);
       }},
      {Op::kGetShortPathNameA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.GetShortPathNameA(kRna, buffer, sizeof buffer);
       }},
      {Op::kGetLongPathNameA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.GetLongPathNameA(kRna, buffer, sizeof buffer);
       }},
      {Op::kGetDriveTypeA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.GetDriveTypeA("C:\\");
       }},
      // Windows' setup program starts and removes DUN.
      {Op::kCreateProcessA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.CreateProcessA(nullptr, uninstall, nullptr, &process);
       }},
      {Op::kWaitForSingleObject,
       [](SimMachine& m, Mark mark) {
         m.CreateProcessA(nullptr, command, nullptr, &process);
         mark();
         m.WaitForSingleObject(process.process, kInfinite);
       }},
      {Op::kCloseHandle,
       [](SimMachine& m, Mark mark) {
         m.CreateProcessA(nullptr, command, nullptr, &process);
         mark();
         m.CloseHandle(process.thread);
       }},
      {Op::kExitWindowsEx,
       [](SimMachine& m, Mark mark) {
         mark();
         m.ExitWindowsEx(2, 0);
       }},
      {Op::kSetConsoleCtrlHandler,
       [](SimMachine& m, Mark mark) {
         mark();
         m.SetConsoleCtrlHandler();
       }},
      {Op::kFlushConsoleInputBuffer,
       [](SimMachine& m, Mark mark) {
         mark();
         m.FlushConsoleInputBuffer();
       }},
      {Op::kLoadWinsock,
       [](SimMachine& m, Mark mark) {
         mark();
         m.LoadWinsock();
       }},
      {Op::kWSAStartup,
       [](SimMachine& m, Mark mark) {
         m.LoadWinsock();
         mark();
         m.WSAStartup(kWinsockVersion22);
       }},
      {Op::kWSAEnumProtocolsA,
       [](SimMachine& m, Mark mark) {
         size = sizeof providers;
         StartWinsock(m);
         mark();
         m.WSAEnumProtocolsA(nullptr, providers, &size);
       }},
      {Op::kWSACleanup,
       [](SimMachine& m, Mark mark) {
         StartWinsock(m);
         mark();
         m.WSACleanup();
       }},
      {Op::kWSAGetLastError,
       [](SimMachine& m, Mark mark) {
         mark();
         m.WSAGetLastError();
       }},
      {Op::kSocket,
       [](SimMachine& m, Mark mark) {
         StartWinsock(m);
         mark();
         m.socket(kAfInet, kSockStream, kIpprotoTcp);
       }},
      {Op::kCloseSocket,
       [](SimMachine& m, Mark mark) {
         StartWinsock(m);
         Socket opened = m.socket(kAfInet, kSockStream, kIpprotoTcp);
         mark();
         m.closesocket(opened);
       }},
      {Op::kFreeWinsock,
       [](SimMachine& m, Mark mark) {
         Handle winsock = m.LoadWinsock();
         mark();
         m.FreeWinsock(winsock);
       }},
      {Op::kGetWindowsDirectoryA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.GetWindowsDirectoryA(buffer, sizeof buffer);
       }},
      {Op::kGetVersionExA,
       [](SimMachine& m, Mark mark) {
         static OsVersion version;
         mark();
         m.GetVersionExA(&version);
       }},
      {Op::kGetModuleFileNameA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.GetModuleFileNameA(buffer, sizeof buffer);
       }},
      {Op::kGetTempPathA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.GetTempPathA(buffer, sizeof buffer);
       }},
      {Op::kGetEnvironmentVariableA,
       [](SimMachine& m, Mark mark) {
         mark();
         m.GetEnvironmentVariableA("TMP", buffer, sizeof buffer);
       }},
      {Op::kSetErrorMode,
       [](SimMachine& m, Mark mark) {
         mark();
         m.SetErrorMode(kSemFailCriticalErrors);
       }},
  };
  ASSERT_EQ(sizeof cases / sizeof cases[0], kOpCount) << "one case per operation";
  for (const OpInfo& row : kOps) {
    SCOPED_TRACE(row.name);
    const Case* found = nullptr;
    for (const Case& c : cases) found = c.op == row.op ? &c : found;
    ASSERT_NE(found, nullptr);
    SimMachine machine = MakeDefaultMachine();
    Picture before;
    found->call(machine, [&] { before = Take(machine); });
    ASSERT_FALSE(machine.calls().empty());
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
