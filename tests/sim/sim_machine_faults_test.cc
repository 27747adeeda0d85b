// The fault plan, the power cut and the call log of the simulated machine.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"

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

}  // namespace
}  // namespace netrevive::simulated_pc
