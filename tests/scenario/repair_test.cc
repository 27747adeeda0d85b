// The repair of a system without a DUN upgrade, through the real driver on
// simulated machines: the two-run repair, each failure report, the system
// checks and the buffers built from the program's own path.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_snapshot.h"
#include "support/test.h"

namespace netrevive {
namespace {

using simulated_pc::MakeDefaultMachine;
using simulated_pc::Op;
using simulated_pc::SimMachine;
using testing::ExpectedScenarioText;
using testing::ResumeAfterRestart;
using testing::RunFresh;
using testing::RunOnceValue;
using testing::RunOutput;
using testing::RunProgram;
using testing::ScenarioText;

constexpr const char* kMarker = "C:\\WINDOWS\\rundunreinst.QU";
constexpr const char* kRecord = "C:\\WINDOWS\\netrevive.QU";

std::vector<std::string> CommandLines(const SimMachine& machine) {
  std::vector<std::string> lines;
  for (const simulated_pc::ProcessRecord& p : machine.processes()) {
    lines.push_back(p.command_line + " | " + p.working_directory);
  }
  return lines;
}

TEST(RepairTest, FreshRunThenReinstallRunRepairsTheMachine) {
  SimMachine machine = MakeDefaultMachine();
  std::string system_dat;
  ASSERT_TRUE(machine.ReadFile("C:\\WINDOWS\\system.dat", &system_dat));
  machine.PutFile("C:\\WINDOWS\\system.tom", "a backup from an earlier repair");

  RunOutput first = RunFresh(machine);
  EXPECT_EQ(first.exit_status, 0);
  EXPECT_EQ(ScenarioText("repair_98se_fresh", first),
            ExpectedScenarioText("repair_98se_fresh", first));
  EXPECT_FALSE(first.unflushed_pause);

  // Backups taken (the older one replaced), Winsock2 gone, DUN uninstalled, the next run scheduled.
  std::string copy;
  ASSERT_TRUE(machine.ReadFile("C:\\WINDOWS\\system.tom", &copy));
  EXPECT_EQ(copy, system_dat);
  EXPECT_TRUE(machine.FileExists("C:\\WINDOWS\\user.tom"));
  EXPECT_FALSE(machine.KeyExists(simulated_pc::kWinsock2Path));
  EXPECT_FALSE(simulated_pc::DunInstalled(machine));
  EXPECT_EQ(RunOnceValue(machine), "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN");
  std::string marker;
  ASSERT_TRUE(machine.ReadFile(kMarker, &marker));
  EXPECT_EQ(marker, "REINSTALL\n");
  EXPECT_TRUE(machine.restart_requested());
  EXPECT_EQ(CommandLines(machine),
            (std::vector<std::string>{
                "C:\\WINDOWS\\rundll32.exe rnasetup.dll,UninstallUpgrade | C:\\WINDOWS",
                "C:\\WINDOWS\\rundll32.exe rnasetup.dll,RnaReboot | C:\\WINDOWS"}));
  EXPECT_TRUE(machine.processes()[0].waited);
  EXPECT_FALSE(machine.processes()[1].waited);

  // The order the repair relies on.
  uint64_t copied = machine.FirstCallIndex(Op::kCopyFileA);
  uint64_t deleted = machine.FirstCallIndex(Op::kRegDeleteKeyA);
  uint64_t uninstalled = machine.FirstCallIndex(Op::kCreateProcessA);
  uint64_t entry = machine.FirstCallIndex(Op::kRegSetValueExA);
  uint64_t marked = machine.FirstCallIndex(Op::kOpenFileForWrite, kMarker);
  uint64_t recorded = machine.FirstCallIndex(Op::kOpenFileForWrite, kRecord);
  ASSERT_NE(copied, 0u);
  // The repair is recorded as under way after the backups, before the key
  // goes.
  EXPECT_LT(copied, recorded);
  EXPECT_LT(recorded, deleted);
  EXPECT_LT(deleted, uninstalled);
  EXPECT_LT(uninstalled, entry);
  EXPECT_LT(entry, marked);
  // Ctrl+C and Ctrl+Break are set aside before the first change; each new
  // copy's attributes are cleared before it is made, and the old backups
  // are replaced only once both copies are made.
  EXPECT_LT(machine.FirstCallIndex(Op::kSetConsoleCtrlHandler),
            machine.FirstCallIndex(Op::kSetFileAttributesA, "C:\\WINDOWS\\system.nr$"));
  EXPECT_LT(machine.FirstCallIndex(Op::kSetFileAttributesA, "C:\\WINDOWS\\system.nr$"), copied);
  EXPECT_LT(machine.CallsOf(Op::kCopyFileA).back().index, machine.FirstCallIndex(Op::kMoveFileA));
  EXPECT_EQ(machine.DescribeOpenHandles(), "");

  RunOutput second;
  ASSERT_TRUE(ResumeAfterRestart(machine, &second));
  EXPECT_EQ(ScenarioText("repair_98se_reinstall", second),
            ExpectedScenarioText("repair_98se_reinstall", second));
  EXPECT_FALSE(second.unflushed_pause);
  EXPECT_FALSE(machine.FileExists(kMarker));
  EXPECT_FALSE(machine.FileExists(kRecord));
  // The Check is scheduled before the last pause, and written out, so that a
  // window closed there still gets it after the restart.
  EXPECT_EQ(RunOnceValue(machine), "C:\\NETREVIVE\\NETREVIVE.EXE Check");
  const uint64_t check_entry = machine.CallsOf(Op::kRegSetValueExA).back().index;
  const std::vector<simulated_pc::CallRecord> starts = machine.CallsOf(Op::kCreateProcessA);
  ASSERT_GE(starts.size(), 2u);
  EXPECT_GT(check_entry, starts[starts.size() - 2].index);  // InstallDefaultDrv
  EXPECT_LT(check_entry, starts.back().index);              // RnaReboot
  EXPECT_TRUE(simulated_pc::DunInstalled(machine));
  EXPECT_TRUE(machine.KeyExists(simulated_pc::kWinsock2Path));
  EXPECT_TRUE(machine.restart_requested());
  std::vector<std::string> lines = CommandLines(machine);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2],
            "C:\\WINDOWS\\rundll.exe setupx.dll,InstallHinfSection RNA 128 "
            "C:\\WINDOWS\\inf\\rna.inf | C:\\WINDOWS");
  EXPECT_EQ(lines[3], "C:\\WINDOWS\\rundll32.exe rnasetup.dll,InstallDefaultDrv | C:\\WINDOWS");
  EXPECT_EQ(lines[4], "C:\\WINDOWS\\rundll32.exe rnasetup.dll,RnaReboot | C:\\WINDOWS");
  EXPECT_TRUE(machine.processes()[2].waited);
  EXPECT_TRUE(machine.processes()[3].waited);
  EXPECT_NE(machine.FirstCallIndex(Op::kSetConsoleCtrlHandler), 0u);
  EXPECT_LT(machine.FirstCallIndex(Op::kSetConsoleCtrlHandler),
            machine.FirstCallIndex(Op::kDeleteFileA));
  EXPECT_EQ(machine.DescribeOpenHandles(), "");

  // After the restart the Check gives its verdict and changes nothing.
  const size_t helpers_before_check = machine.processes().size();
  simulated_pc::MachineSnapshot before_check = simulated_pc::TakeSnapshot(machine);
  RunOutput check;
  ASSERT_TRUE(ResumeAfterRestart(machine, &check));
  EXPECT_EQ(ScenarioText("check_repaired", check), ExpectedScenarioText("check_repaired", check));
  EXPECT_EQ(check.keys, 1);
  ASSERT_EQ(simulated_pc::DiffSnapshots(before_check, simulated_pc::TakeSnapshot(machine)).size(),
            1u);
  EXPECT_EQ(RunOnceValue(machine), "<none>");  // Windows took it
  EXPECT_EQ(machine.processes().size(), helpers_before_check);
  EXPECT_EQ(machine.DescribeOpenHandles(), "");

  // The marker authorised one reinstallation: a further run does nothing.
  machine.BeginNewSession();
  size_t helpers = machine.processes().size();
  RunOutput third = RunProgram(machine, {machine.self_path(), "ReinstallDUN"});
  EXPECT_EQ(ScenarioText("reinstall_without_marker", third),
            ExpectedScenarioText("reinstall_without_marker", third));
  EXPECT_EQ(third.keys, 1);
  EXPECT_EQ(machine.processes().size(), helpers);
}

TEST(RepairTest, UpgradeRemoveRunUninstallsAndSchedulesTheReinstall) {
  SimMachine machine = MakeDefaultMachine();
  RunOutput run = RunProgram(machine, {machine.self_path(), "UpgradeRemove"});
  EXPECT_EQ(ScenarioText("upgrade_remove_run", run),
            ExpectedScenarioText("upgrade_remove_run", run));
  EXPECT_FALSE(simulated_pc::DunInstalled(machine));
  EXPECT_EQ(RunOnceValue(machine), "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN");
  EXPECT_TRUE(machine.FileExists(kMarker));
  EXPECT_TRUE(machine.restart_requested());
  // This mode does not touch Winsock2 or the registry files.
  EXPECT_TRUE(machine.KeyExists(simulated_pc::kWinsock2Path));
  EXPECT_EQ(machine.FirstCallIndex(Op::kCopyFileA), 0u);
  EXPECT_NE(machine.FirstCallIndex(Op::kSetConsoleCtrlHandler), 0u);
  EXPECT_LT(machine.FirstCallIndex(Op::kSetConsoleCtrlHandler),
            machine.FirstCallIndex(Op::kCreateProcessA));
}

// Windows 98 keeps system.dat read-only and hidden, and CopyFileA gives the
// copy the same attributes: a second run must still replace the backups, and
// the copies are left with normal attributes, so that MS-DOS's copy can put
// them back without attrib.
TEST(RepairTest, SecondRunOverwritesReadOnlyBackups) {
  SimMachine machine = MakeDefaultMachine();
  for (const char* backup : {"C:\\WINDOWS\\system.tom", "C:\\WINDOWS\\user.tom"}) {
    machine.PutFile(backup, "an older backup");
    machine.SetAttributes(backup, kFileAttributeReadOnly | kFileAttributeHidden);
  }
  RunFresh(machine);
  for (const char* name : {"system", "user"}) {
    std::string source;
    std::string copy;
    ASSERT_TRUE(machine.ReadFile(std::string("C:\\WINDOWS\\") + name + ".dat", &source));
    ASSERT_TRUE(machine.ReadFile(std::string("C:\\WINDOWS\\") + name + ".tom", &copy));
    EXPECT_EQ(copy, source) << name;
    EXPECT_EQ(machine.Attributes(std::string("C:\\WINDOWS\\") + name + ".tom"), 0u) << name;
  }
}

TEST(RepairTest, MachineWithoutDunInstallsItInTheFirstRun) {
  SimMachine machine;
  ASSERT_TRUE(simulated_pc::MakePresetMachine("no-dun", &machine));
  RunOutput run = RunFresh(machine);
  EXPECT_EQ(ScenarioText("repair_no_dun", run), ExpectedScenarioText("repair_no_dun", run));
  EXPECT_TRUE(simulated_pc::DunInstalled(machine));
  EXPECT_FALSE(machine.FileExists(kMarker));
  EXPECT_EQ(RunOnceValue(machine), "C:\\NETREVIVE\\NETREVIVE.EXE Check");
  EXPECT_TRUE(machine.restart_requested());
  ASSERT_EQ(machine.processes().size(), 3u);
  EXPECT_NE(machine.processes()[0].command_line.find("InstallHinfSection RNA 128"),
            std::string::npos);
}

// Which line CheckOperatingSystem prints for each system, whether the
// repair goes on past it, and the name the Check gives the same system: the
// two name a system from one rule.
TEST(RepairTest, SystemChecksNameTheSystemOrRefuseIt) {
  struct Case {
    const char* name;
    uint32_t platform;
    uint32_t minor;
    uint32_t build;
    const char* csd;
    const char* line;  // "" when no line names the system
    bool goes_on;
    const char* check_name;  // the Check's "Windows version:" line, up to the version
  };
  const Case cases[] = {
      {"98 first edition", 1, 10, 0x040A07CE, " ", "This computer is running Windows 98\n", true,
       "Windows 98"},
      {"98 build 1998, other high word", 1, 10, 0x777707CE, " A ",
       "This computer is running Windows 98\n", true, "Windows 98"},
      {"98 SE", 1, 10, 0x040A08AE, " A ", "This computer is running Windows 98SE\n", true,
       "Windows 98SE"},
      {"98 other build, CSD B", 1, 10, 0x040A08AE, " B ", "", true, "Windows 98"},
      {"98 other build, empty CSD", 1, 10, 0x040A08AE, "", "", true, "Windows 98"},
      {"ME", 1, 90, 0x045A0BB8, " ", "\nThis computer is running Windows ME\n", true, "Windows ME"},
      {"unknown 9x minor", 1, 20, 0, " ", "", true, "Windows 9x"},
  };
  for (const Case& c : cases) {
    SimMachine machine = MakeDefaultMachine();
    machine.SetVersion(c.platform, 4, c.minor, c.build, c.csd);
    SimMachine checked = machine;
    // ME keeps a third registry file, which the repair backs up too.
    if (c.minor == 90) machine.PutFile("C:\\WINDOWS\\classes.dat", "CREG classes");
    RunOutput run = RunFresh(machine);
    std::string after_check = "Determining OS version...\n\n" + std::string(c.line) +
                              "Removing all Winsock2 information from the registry...\n";
    EXPECT_NE(run.transcript.find(after_check), std::string::npos) << c.name;
    EXPECT_EQ(machine.KeyExists(simulated_pc::kWinsock2Path), !c.goes_on) << c.name;
    RunOutput check = RunProgram(checked, {checked.self_path(), "Check"});
    EXPECT_NE(
        check.transcript.find("Windows version:          " + std::string(c.check_name) + " (4."),
        std::string::npos)
        << c.name << "\n"
        << check.transcript;
  }
}

TEST(RepairTest, NtAnd95AreRefusedWithoutTouchingTheMachine) {
  struct Case {
    const char* preset;
    const char* transcript;
  };
  const Case cases[] = {{"nt", "refuse_nt"}, {"95", "refuse_95"}};
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine(c.preset, &machine));
    simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
    RunOutput run = RunFresh(machine);
    EXPECT_EQ(ScenarioText(c.transcript, run), ExpectedScenarioText(c.transcript, run)) << c.preset;
    EXPECT_TRUE(simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty())
        << c.preset;
    EXPECT_TRUE(machine.processes().empty()) << c.preset;
  }
}

TEST(RepairTest, AccessDeniedOnDunfileCountsAsPresent) {
  SimMachine machine = MakeDefaultMachine();
  machine.FailOperation(Op::kRegOpenKeyExA, "HKCR\\dunfile", kErrorAccessDenied);
  RunOutput run = RunFresh(machine);
  EXPECT_NE(run.transcript.find("Checking for Dial Up Networking upgrades...\n"),
            std::string::npos);
  EXPECT_EQ(run.transcript.find("Dial Up Networking was not found"), std::string::npos);
}

// A Winsock2 key that something else removed counts as deleted: the repair
// goes on in one start and makes its backups. A run that finds a repair under
// way keeps the backups that repair made, whether the key is there or not.
TEST(RepairTest, MissingWinsock2KeyCountsAsDeletedAndBackupsOfARepairUnderWayStay) {
  for (bool under_way : {false, true}) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine(under_way ? "98se" : "no-winsock2", &machine));
    machine.PutFile("C:\\WINDOWS\\system.tom", "the registry before the first run");
    if (under_way) machine.PutFile(kRecord, "REPAIR UNDER WAY\r\nTRIES 0000\r\n");
    RunOutput run = RunFresh(machine);
    if (!under_way) {
      EXPECT_EQ(ScenarioText("missing_winsock2", run),
                ExpectedScenarioText("missing_winsock2", run));
    }
    EXPECT_TRUE(machine.restart_requested()) << under_way;
    EXPECT_FALSE(simulated_pc::DunInstalled(machine)) << under_way;
    EXPECT_FALSE(machine.KeyExists(simulated_pc::kWinsock2Path)) << under_way;
    std::string system;
    std::string user;
    ASSERT_TRUE(machine.ReadFile("C:\\WINDOWS\\system.tom", &system));
    ASSERT_TRUE(machine.ReadFile("C:\\WINDOWS\\user.tom", &user));
    EXPECT_EQ(system == "the registry before the first run", under_way);
    EXPECT_NE(user, "") << "a missing backup is made " << under_way;
  }
}

// A backup copy that fails (a full disk) stops a new repair before its first
// change and leaves the old backups as they were; a repair under way
// reports only a copy it had to make.
TEST(RepairTest, AFailedBackupCopyDestroysNothing) {
  struct Case {
    const char* name;
    const char* failing;  // the copy's source
    bool under_way;
    const char* said;
  };
  const Case cases[] = {
      {"first copy", "C:\\WINDOWS\\system.dat", false, "Nothing has been changed"},
      {"second copy", "C:\\WINDOWS\\user.dat", false, "Nothing has been changed"},
      {"missing backup of a repair under way", "C:\\WINDOWS\\user.dat", true,
       "A repair of this computer is under way"},
  };
  for (const Case& c : cases) {
    SimMachine machine = MakeDefaultMachine();
    machine.PutFile("C:\\WINDOWS\\system.tom", "last month's system backup");
    if (!c.under_way) machine.PutFile("C:\\WINDOWS\\user.tom", "last month's user backup");
    if (c.under_way) machine.PutFile(kRecord, "REPAIR UNDER WAY\r\nTRIES 0000\r\n");
    machine.FailOperation(Op::kCopyFileA, c.failing, 5);
    RunOutput run = RunFresh(machine);
    EXPECT_TRUE(testing::Contains(
        run.transcript, std::string("The registry file ") + c.failing + " could not be copied"))
        << c.name << "\n"
        << run.transcript;
    EXPECT_TRUE(testing::Contains(run.transcript, c.said)) << c.name;
    EXPECT_TRUE(machine.KeyExists(simulated_pc::kWinsock2Path)) << c.name;
    EXPECT_FALSE(machine.FileExists("C:\\WINDOWS\\system.nr$")) << c.name;
    EXPECT_FALSE(machine.FileExists("C:\\WINDOWS\\user.nr$")) << c.name;
    std::string system;
    ASSERT_TRUE(machine.ReadFile("C:\\WINDOWS\\system.tom", &system)) << c.name;
    EXPECT_EQ(system, "last month's system backup") << c.name;
    std::string user;
    EXPECT_EQ(machine.ReadFile("C:\\WINDOWS\\user.tom", &user), !c.under_way) << c.name;
    if (!c.under_way) {
      EXPECT_EQ(user, "last month's user backup") << c.name;
    }
  }
}

// The registry files are written out before they are copied, and the resume
// entry right after it is stored: Windows 9x keeps registry changes in memory
// until it gets round to writing them, and a power cut loses them.
TEST(RepairTest, RegistryWrittenOutBeforeTheBackupsAndAfterTheResumeEntry) {
  SimMachine probe = MakeDefaultMachine();
  RunFresh(probe);
  std::vector<simulated_pc::CallRecord> flushes = probe.CallsOf(Op::kRegFlushKey);
  ASSERT_EQ(flushes.size(), 3u);
  EXPECT_EQ(flushes[0].path, "HKLM");
  EXPECT_EQ(flushes[1].path, "HKU");
  EXPECT_LT(flushes[1].index, probe.FirstCallIndex(Op::kCopyFileA));
  const uint64_t entry = probe.FirstCallIndex(Op::kRegSetValueExA, simulated_pc::kRunOncePath);
  EXPECT_EQ(flushes[2].path, "HKLM");
  EXPECT_GT(flushes[2].index, entry);
  EXPECT_LT(flushes[2].index, probe.FirstCallIndex(Op::kOpenFileForWrite, kMarker));

  // On a machine that writes its registry lazily, a cut before that flush
  // loses the way back; one after it keeps it.
  for (bool after_flush : {false, true}) {
    SimMachine machine = MakeDefaultMachine();
    machine.set_lazy_registry(true);
    machine.PowerCutAfter(after_flush ? flushes[2].index : entry);
    RunFresh(machine);
    machine.BeginNewSession();
    EXPECT_EQ(RunOnceValue(machine) != "<none>", after_flush) << after_flush;
    // The Winsock2 deletion was never written either way before the backups'
    // flush; it is after the entry's.
    EXPECT_EQ(machine.KeyExists(simulated_pc::kWinsock2Path), !after_flush) << after_flush;
  }
}

// Windows' setup that installs nothing (its request for the CD cancelled) is
// no success: the driver is not installed, the marker is back, and the
// ReinstallDUN run the screen names then completes the repair.
TEST(RepairTest, SetupThatInstalledNothingIsNoSuccess) {
  struct Case {
    const char* preset;
    std::vector<std::string> args;  // after argv[0]
    const char* transcript;
  };
  const Case cases[] = {
      {"setup-cancelled", {"ReinstallDUN"}, "reinstall_installed_nothing"},
      {"no-dun", {}, "repair_no_dun_installed_nothing"},
      // The Windows CD is not in its drive: the line before the setup says
      // where it goes.
      {"no-setup-files", {"ReinstallDUN"}, "reinstall_cd_not_in_drive"},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine(c.preset, &machine));
    machine.set_setup_cancels(1);
    if (!c.args.empty()) {
      simulated_pc::RemoveDun(&machine);
      machine.DeleteKey(simulated_pc::kWinsock2Path);
      machine.PutFile(kMarker, "REINSTALL\n");
    }
    std::vector<std::string> args = {machine.self_path()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunOutput run = RunProgram(machine, args);
    EXPECT_EQ(ScenarioText(c.transcript, run), ExpectedScenarioText(c.transcript, run)) << c.preset;
    EXPECT_FALSE(testing::Contains(run.transcript, "successfully")) << c.preset;
    EXPECT_FALSE(simulated_pc::DunInstalled(machine)) << c.preset;
    EXPECT_TRUE(machine.FileExists(kMarker)) << c.preset;
    EXPECT_FALSE(machine.restart_requested()) << c.preset;
    for (const std::string& line : CommandLines(machine)) {
      EXPECT_EQ(line.find("InstallDefaultDrv"), std::string::npos) << c.preset;
    }
    // The run the screen names, started by hand.
    RunOutput again = RunProgram(machine, {machine.self_path(), "ReinstallDUN"});
    EXPECT_TRUE(testing::Contains(again.transcript, "successfully applied")) << c.preset;
    EXPECT_TRUE(simulated_pc::DunInstalled(machine)) << c.preset;
    EXPECT_TRUE(machine.KeyExists(simulated_pc::kDialUpAdapterPath)) << c.preset;
    EXPECT_FALSE(machine.FileExists(kMarker)) << c.preset;
  }
}

// Each failure report of the repair, by the call that fails.
TEST(RepairTest, EachFailureIsReportedWhereItHappens) {
  struct Case {
    const char* transcript;
    simulated_pc::Op operation;
    const char* path;
    RegStatus status;
    std::vector<std::string> args;  // after argv[0]; empty for a fresh run
    int skip = 0;                   // calls the fault lets pass first
  };
  const Case cases[] = {
      {"fail_open_services", Op::kRegOpenKeyExA, simulated_pc::kServicesPath, 5, {}},
      {"fail_delete_winsock2", Op::kRegDeleteKeyA, "", 1011, {}},
      {"fail_start_uninstall", Op::kCreateProcessA, "", 2, {}},
      // The check before the first change opens the key once already.
      {"fail_open_runonce", Op::kRegCreateKeyExA, simulated_pc::kRunOncePath, 1009, {}, 1},
      {"fail_write_runonce", Op::kRegSetValueExA, "", 1015, {}},
      // the incomplete marker is deleted
      {"fail_write_marker", Op::kWriteFile, kMarker, 5, {}},
      // no record of the repair, no repair: the key stays
      {"fail_write_record", Op::kOpenFileForWrite, kRecord, 5, {}},
      {"fail_upgrade_remove_uninstall", Op::kCreateProcessA, "", 2, {"UpgradeRemove"}},
      {"fail_no_windows_dir", Op::kGetWindowsDirectoryA, "", 5, {}},
  };
  for (const Case& c : cases) {
    SimMachine machine = MakeDefaultMachine();
    simulated_pc::FaultRule rule;
    rule.operation = c.operation;
    rule.path = c.path;
    rule.status = c.status;
    rule.persistent = true;
    rule.skip = c.skip;
    machine.AddFault(rule);
    std::vector<std::string> args = {machine.self_path()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunOutput run = RunProgram(machine, args);
    EXPECT_EQ(run.exit_status, 0) << c.transcript;
    EXPECT_EQ(ScenarioText(c.transcript, run), ExpectedScenarioText(c.transcript, run))
        << c.transcript;
    EXPECT_FALSE(run.unflushed_pause) << c.transcript;
    EXPECT_FALSE(machine.FileExists(kMarker)) << c.transcript;
    EXPECT_FALSE(machine.restart_requested()) << c.transcript;
    EXPECT_EQ(machine.DescribeOpenHandles(), "") << c.transcript;
  }
}

TEST(RepairTest, RestartHelperThatCannotStartLeavesEntryAndMarker) {
  // Find the call that starts the restart helper in a clean run, then fail it.
  SimMachine probe = MakeDefaultMachine();
  RunFresh(probe);
  std::vector<simulated_pc::CallRecord> starts = probe.CallsOf(Op::kCreateProcessA);
  ASSERT_EQ(starts.size(), 2u);

  SimMachine machine = MakeDefaultMachine();
  machine.FailCallNumber(starts[1].index, 2);
  RunOutput run = RunFresh(machine);
  EXPECT_EQ(ScenarioText("fail_start_reboot", run), ExpectedScenarioText("fail_start_reboot", run));
  EXPECT_EQ(RunOnceValue(machine), "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN");
  EXPECT_TRUE(machine.FileExists(kMarker));
  EXPECT_FALSE(machine.restart_requested());
}

// The reinstall run's helpers, each failing to start in turn.
TEST(RepairTest, ReinstallRunReportsEachHelperThatCannotStart) {
  struct Case {
    const char* transcript;
    int failing_start;  // 1-based among the run's process starts
  };
  const Case cases[] = {
      {"fail_reinstall_hinf", 1}, {"fail_reinstall_default_drv", 2}, {"fail_reinstall_reboot", 3}};
  for (const Case& c : cases) {
    SimMachine machine = MakeDefaultMachine();
    machine.PutFile(kMarker, "REINSTALL\n");
    machine.ResetCallLog();
    // Find the call index of the Nth start in a clean run of a copy.
    SimMachine probe = machine;
    RunProgram(probe, {probe.self_path(), "ReinstallDUN"});
    std::vector<simulated_pc::CallRecord> starts = probe.CallsOf(Op::kCreateProcessA);
    ASSERT_EQ(starts.size(), 3u);
    machine.FailCallNumber(starts[c.failing_start - 1].index, 2);
    RunOutput run = RunProgram(machine, {machine.self_path(), "ReinstallDUN"});
    EXPECT_EQ(ScenarioText(c.transcript, run), ExpectedScenarioText(c.transcript, run))
        << c.transcript;
    // The marker is consumed whatever happens later.
    EXPECT_FALSE(machine.FileExists(kMarker)) << c.transcript;
    EXPECT_FALSE(machine.restart_requested()) << c.transcript;
    EXPECT_EQ(machine.processes().size(), static_cast<size_t>(c.failing_start - 1)) << c.transcript;
  }
}

// Where the program was started from, and how: the path every resume entry
// holds, or the refusal before anything changes. Windows must find the
// program again after a restart, from its own directory, with the command
// line handed over unchanged.
TEST(RepairTest, StartPathsAndTheResumeEntriesMadeOfThem) {
  constexpr const char* kBlanks = "C:\\Program Files\\Net Revive\\netrevive.exe";
  struct Case {
    const char* name;
    const char* preset;
    std::string argv0;
    const char* mode;     // "" for a fresh run
    const char* program;  // where the program's file is; kDefaultSelfPath when null
    char drive;           // a drive given drive_type, or 0
    uint32_t drive_type;
    const char* fault;  // an operation that fails every time, or null
    // The resume entry, or the refusal's transcript ("" when the run goes on
    // without an entry).
    const char* entry;
    const char* refusal;
  };
  const Case cases[] = {
      {"by name", "98se", "NETREVIVE.EXE", "", nullptr, 0, 0, nullptr,
       "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN", nullptr},
      {"empty", "98se", "", "", nullptr, 0, 0, nullptr, "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN",
       nullptr},
      {"relative path", "98se", "NETREV~1\\NETREVIVE.EXE", "", nullptr, 0, 0, nullptr,
       "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN", nullptr},
      {"by name, own name unknown", "98se", "NETREVIVE", "", nullptr, 0, 0, "GetModuleFileNameA",
       nullptr, "refuse_not_full_path"},
      {"blanks", "98se", kBlanks, "", kBlanks, 0, 0, nullptr,
       "C:\\PROGRA~1\\NETREV~1\\NETREV~1.EXE ReinstallDUN", nullptr},
      {"by name, own file with blanks", "98se", "netrevive", "", kBlanks, 0, 0, nullptr,
       "C:\\PROGRA~1\\NETREV~1\\NETREV~1.EXE ReinstallDUN", nullptr},
      {"blanks, no short form", "98se", kBlanks, "", kBlanks, 0, 0, "GetShortPathNameA", nullptr,
       "refuse_blanks"},
      {"blanks, UpgradeRemove", "98se", kBlanks, "UpgradeRemove", kBlanks, 0, 0, nullptr,
       "C:\\PROGRA~1\\NETREV~1\\NETREV~1.EXE ReinstallDUN", nullptr},
      {"by name, DUN setup upgrade", "upgrade-dunsetup", "NETREVIVE.EXE", "", nullptr, 0, 0,
       nullptr, "C:\\NETREVIVE\\NETREVIVE.EXE UpgradeRemove", nullptr},
      {"blanks, rundll32 upgrade", "upgrade-rundll32", kBlanks, "", kBlanks, 0, 0, nullptr,
       "C:\\PROGRA~1\\NETREV~1\\NETREV~1.EXE", nullptr},
      {"floppy", "98se", "A:\\NETREVIVE.EXE", "", "A:\\NETREVIVE.EXE", 0, 0, nullptr, nullptr,
       "refuse_floppy_or_network"},
      {"network drive", "98se", "N:\\TOOLS\\NETREVIVE.EXE", "", "N:\\TOOLS\\NETREVIVE.EXE", 'N',
       kDriveRemote, nullptr, nullptr, "refuse_floppy_or_network"},
      {"network path", "98se", "\\\\SERVER\\TOOLS\\NETREVIVE.EXE", "", nullptr, 0, 0, nullptr,
       nullptr, "refuse_floppy_or_network"},
      {"floppy, UpgradeRemove", "98se", "A:\\NETREVIVE.EXE", "UpgradeRemove", "A:\\NETREVIVE.EXE",
       0, 0, nullptr, "A:\\NETREVIVE.EXE ReinstallDUN", nullptr},
      // Windows' setup may want its own CD in that drive.
      {"CD-ROM", "98se", "D:\\NETREVIVE.EXE", "", "D:\\NETREVIVE.EXE", 'D', 5, nullptr, nullptr,
       "refuse_cd_start"},
      {"unknown drive type", "98se", "C:\\NETREVIVE\\NETREVIVE.EXE", "", nullptr, 'C', 0, nullptr,
       "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN", nullptr},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine(c.preset, &machine));
    if (c.program != nullptr) {
      machine.PutFile(c.program, "MZ netrevive");
      machine.set_self_path(c.program);
    }
    if (c.drive != 0) machine.set_drive_type(c.drive, c.drive_type);
    simulated_pc::Op fault;
    if (c.fault != nullptr && simulated_pc::FindOp(c.fault, &fault)) {
      machine.FailOperation(fault, "", 2, /*persistent=*/true);
    }
    simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
    std::vector<std::string> args = {c.argv0};
    if (c.mode[0] != '\0') args.push_back(c.mode);
    RunOutput run = RunProgram(machine, args);
    EXPECT_FALSE(run.unflushed_pause) << c.name;
    if (c.refusal != nullptr) {
      EXPECT_EQ(ScenarioText(c.refusal, run), ExpectedScenarioText(c.refusal, run)) << c.name;
      EXPECT_TRUE(simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty())
          << c.name;
      EXPECT_TRUE(machine.processes().empty()) << c.name;
      continue;
    }
    EXPECT_EQ(RunOnceValue(machine), c.entry) << c.name;
  }
}

// Without rna.inf, DUN could not be put back once it is uninstalled: a fresh
// run refuses before it changes anything, a ReinstallDUN run reports it as
// a reinstallation that cannot start.
TEST(RepairTest, MissingRnaInfStopsTheRepairBeforeItStartsOrTheReinstall) {
  struct Case {
    const char* name;
    bool as_folder;  // a folder of that name instead of the file
    const char* mode;
    const char* transcript;
  };
  const Case cases[] = {
      {"fresh run", false, "", "refuse_no_rna_inf"},
      {"fresh run, a folder rna.inf", true, "", "refuse_no_rna_inf"},
      {"ReinstallDUN run", false, "ReinstallDUN", "reinstall_rna_inf_missing"},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine("no-rna-inf", &machine));
    if (c.as_folder) machine.AddDirectory("C:\\WINDOWS\\inf\\rna.inf");
    std::vector<std::string> args = {machine.self_path()};
    if (c.mode[0] != '\0') {
      args.push_back(c.mode);
      machine.PutFile(kMarker, "REINSTALL\n");
    }
    simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
    RunOutput run = RunProgram(machine, args);
    EXPECT_EQ(ScenarioText(c.transcript, run), ExpectedScenarioText(c.transcript, run)) << c.name;
    EXPECT_TRUE(machine.processes().empty()) << c.name;
    EXPECT_TRUE(machine.KeyExists(simulated_pc::kWinsock2Path)) << c.name;
    if (c.mode[0] == '\0') {
      EXPECT_TRUE(simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty())
          << c.name;
    }
  }
}

// A path that cannot take the longest mode word in the 512-byte resume
// command is refused before anything changes (the bad-input sweep tries
// every length around the limit).
TEST(RepairTest, SelfPathTooLongIsRefused) {
  SimMachine machine = MakeDefaultMachine();
  machine.set_self_path("C:\\" + std::string(495, 'p'));  // 498 characters
  simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
  RunOutput run = RunFresh(machine);
  EXPECT_EQ(ScenarioText("self_path_too_long", run),
            ExpectedScenarioText("self_path_too_long", run));
  EXPECT_TRUE(simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty());
  EXPECT_TRUE(machine.processes().empty());
}

// What could stop the repair half-way is found before it changes anything:
// each case is refused with its report and leaves the machine as it was.
TEST(RepairTest, RefusalsBeforeTheFirstChange) {
  struct Case {
    const char* name;
    const char* preset;
    void (*prepare)(SimMachine*);
    const char* transcript;  // nullptr: only the report's first line is checked
    const char* report;
  };
  const Case cases[] = {
      {"rundll.exe missing", "98se",
       [](SimMachine* m) { m->RemoveFile("C:\\WINDOWS\\rundll.exe"); }, "refuse_rundll_missing",
       "A program the repair needs is missing:\n\tC:\\WINDOWS\\rundll.exe\n"},
      {"rundll32.exe a folder", "98se",
       [](SimMachine* m) {
         m->RemoveFile("C:\\WINDOWS\\rundll32.exe");
         m->AddDirectory("C:\\WINDOWS\\rundll32.exe");
       },
       nullptr, "A program the repair needs is missing:\n\tC:\\WINDOWS\\rundll32.exe\n"},
      {"dunsetup.exe missing", "upgrade-dunsetup",
       [](SimMachine* m) { m->RemoveFile("C:\\WINDOWS\\system\\dunsetup.exe"); }, nullptr,
       "A program the repair needs is missing:\n\tC:\\WINDOWS\\system\\dunsetup.exe\n"},
      {"RunOnce key unopened", "98se",
       [](SimMachine* m) { m->FailOperation(Op::kRegCreateKeyExA, simulated_pc::kRunOncePath, 5); },
       "refuse_runonce_unopened", "Unable to open the key: HKLM\\Software"},
      {"no setup files, CD not in", "no-setup-files", [](SimMachine*) {}, "refuse_no_setup_files",
       "Please put the Windows CD in drive D: and press any key.\n<key>"
       "Windows' setup files were not found."},
      {"no setup files, no source path", "98se",
       [](SimMachine* m) {
         m->DeleteValue(simulated_pc::kSetupPath, "SourcePath");
         m->RemoveFile("C:\\WINDOWS\\OPTIONS\\CABS\\NET7.CAB");
       },
       nullptr,
       "again, so the repair will not start. Looked in:\n\tC:\\WINDOWS\\OPTIONS\\CABS\n"
       "\tC:\\WINDOWS\\OPTIONS\\INSTALL\nPut the Windows CD"},
      {"started from the temp folder", "98se",
       [](SimMachine* m) {
         m->set_self_path("C:\\WINDOWS\\TEMP\\NETREVIVE.EXE");
         m->PutFile(m->self_path(), "MZ");
       },
       "refuse_temporary_folder", "This program was started from a temporary folder"},
      {"temp folder given long, program short", "98se",
       [](SimMachine* m) {
         m->set_temp_path("C:\\My Temp\\");
         m->PutFile("C:\\My Temp\\WZ0001\\NETREVIVE.EXE", "MZ");
         m->set_self_path("c:\\mytemp~1\\wz0001\\netrevive.exe");
       },
       nullptr, "This program was started from a temporary folder"},
      // TEMP set by AUTOEXEC.BAT alone still names a real temporary folder.
      {"zip extracted into the TEMP folder", "98se",
       [](SimMachine* m) {
         m->unset_environment_variable("TMP");
         m->set_environment_variable("TEMP", "C:\\TEMP");
         m->set_self_path("C:\\TEMP\\WZ0001\\NETREVIVE.EXE");
         m->PutFile(m->self_path(), "MZ");
       },
       nullptr, "This program was started from a temporary folder"},
      {"setupx.dll missing", "98se",
       [](SimMachine* m) { m->RemoveFile("C:\\WINDOWS\\system\\setupx.dll"); }, nullptr,
       "A program the repair needs is missing:\n\tC:\\WINDOWS\\system\\setupx.dll\n"},
      {"setupx.dll missing without DUN", "no-dun",
       [](SimMachine* m) { m->RemoveFile("C:\\WINDOWS\\system\\setupx.dll"); }, nullptr,
       "A program the repair needs is missing:\n\tC:\\WINDOWS\\system\\setupx.dll\n"},
      {"rnasetup.dll missing", "98se",
       [](SimMachine* m) { m->RemoveFile("C:\\WINDOWS\\system\\rnasetup.dll"); }, nullptr,
       "A program the repair needs is missing:\n\tC:\\WINDOWS\\system\\rnasetup.dll\n"},
      {"a web page's cache", "98se",
       [](SimMachine* m) {
         m->set_self_path("C:\\WINDOWS\\Temporary Internet Files\\Content.IE5\\Q1\\NETREVIVE.EXE");
         m->PutFile(m->self_path(), "MZ");
       },
       nullptr, "This program was started from a temporary folder"},
      {"resume command of 260 characters", "98se",
       [](SimMachine* m) { m->set_self_path("C:\\" + std::string(243, 'p')); }, nullptr,
       "The path this program was started from is too long for it to restart itself."},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine(c.preset, &machine));
    c.prepare(&machine);
    simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
    RunOutput run = RunFresh(machine);
    if (c.transcript != nullptr) {
      EXPECT_EQ(ScenarioText(c.transcript, run), ExpectedScenarioText(c.transcript, run)) << c.name;
    }
    EXPECT_NE(run.transcript.find(c.report), std::string::npos) << c.name << "\n" << run.transcript;
    EXPECT_TRUE(testing::Contains(run.transcript, "Nothing has been changed on this computer.\n"))
        << c.name;
    EXPECT_TRUE(simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty())
        << c.name;
    EXPECT_TRUE(machine.processes().empty()) << c.name;
    EXPECT_FALSE(run.keys_not_discarded) << c.name;
  }
}

// The checks before the first change let the repair go on where it can: the
// last character a resume command may have, setup files found in
// OPTIONS\CABS, on the CD the caller puts in when asked, or on a CD already
// in its drive (no question then), and a RunOnce key that was missing.
TEST(RepairTest, ChecksBeforeTheFirstChangeThatPass) {
  struct Case {
    const char* name;
    const char* preset;
    void (*prepare)(SimMachine*);
    bool cd_prompt;
  };
  const Case cases[] = {
      {"resume command of 259 characters", "98se",
       [](SimMachine* m) {
         m->set_self_path("C:\\" + std::string(242, 'p'));
         m->PutFile(m->self_path(), "MZ");
       },
       false},
      {"setup files in OPTIONS\\CABS only", "98se",
       [](SimMachine* m) { m->DeleteValue(simulated_pc::kSetupPath, "SourcePath"); }, false},
      {"CD put in when asked", "cd-not-in-drive", [](SimMachine*) {}, true},
      {"CD in its drive", "no-setup-files",
       [](SimMachine* m) { m->PutFile("D:\\WIN98\\BASE4.CAB", "MSCF"); }, false},
      {"RunOnce key missing", "98se",
       [](SimMachine* m) { m->DeleteKey(simulated_pc::kRunOncePath); }, false},
      // GetTempPathA's answer is no temporary folder: a drive root
      // (AUTOEXEC.BAT's TEMP=C:\), the Windows directory, or the current
      // directory when neither TMP nor TEMP is set.
      {"TEMP=C:\\", "98se",
       [](SimMachine* m) {
         m->unset_environment_variable("TMP");
         m->set_environment_variable("TEMP", "C:\\");
       },
       false},
      {"TMP=C:\\WINDOWS", "98se",
       [](SimMachine* m) {
         m->set_environment_variable("TMP", "c:\\windows");
         m->set_self_path("C:\\WINDOWS\\NETREVIVE.EXE");
         m->PutFile(m->self_path(), "MZ");
       },
       false},
      {"neither TMP nor TEMP", "98se",
       [](SimMachine* m) {
         m->unset_environment_variable("TMP");
         m->unset_environment_variable("TEMP");
       },
       false},
      // DUN brings rnasetup.dll with it.
      {"no DUN and no rnasetup.dll", "no-dun",
       [](SimMachine* m) { m->RemoveFile("C:\\WINDOWS\\system\\rnasetup.dll"); }, false},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine(c.preset, &machine));
    c.prepare(&machine);
    RunOutput run = RunFresh(machine);
    EXPECT_EQ(testing::Contains(run.transcript,
                                "Please put the Windows CD in drive D: and press any key.\n<key>"
                                "Removing all Winsock2 information"),
              c.cd_prompt)
        << c.name << "\n"
        << run.transcript;
    EXPECT_TRUE(machine.restart_requested()) << c.name << "\n" << run.transcript;
    EXPECT_TRUE(testing::Contains(run.transcript, "The Winsock 2 keys have been removed.\n"))
        << c.name;
    // Windows' setup of DUN, run at once where DUN was missing, writes the
    // Winsock 2 settings again.
    if (std::string(c.preset) != "no-dun") {
      EXPECT_FALSE(machine.KeyExists(simulated_pc::kWinsock2Path)) << c.name;
    }
  }
}

// The Check on each state a PC can be in: the lines that tell it apart, one
// key, no change to the machine, every handle and Winsock closed, and no
// line of its own wider than 79 columns.
TEST(RepairTest, CheckReportsEachStateAndChangesNothing) {
  struct Case {
    const char* name;
    const char* preset;
    void (*prepare)(SimMachine&);
    std::vector<const char*> lines;
    const char* argv0 = simulated_pc::kDefaultSelfPath;
    // A folder the Check must not look in.
    const char* not_looked_in = nullptr;
  };
  const Case cases[] = {
      {"repaired",
       "98se",
       [](SimMachine&) {},
       {"Windows version:          Windows 98SE (4.10.2222 A)\n",
        "Winsock 2 settings:       present\n", "Winsock 2 TCP/IP:         working\n",
        "Dial-Up Networking:       installed\n", "Repair under way:         no\n",
        "Registry backups:         none\n", "DUN upgrade (MSDUN):      not installed\n",
        "Windows setup files:      C:\\WINDOWS\\OPTIONS\\CABS\n",
        "\nResult: REPAIRED. Dial-up networking is ready to use.\n"
        "Press any key to close this window.\n"}},
      {"98", "98", [](SimMachine&) {}, {"Windows 98 (4.10.1998)\n"}},
      // Started from a floppy disk, which a repair refuses: the Check does not.
      {"from a floppy disk",
       "98se",
       [](SimMachine&) {},
       {"Result: REPAIRED."},
       "A:\\NETREVIVE.EXE"},
      {"upgrade installed",
       "upgrade-dunsetup",
       [](SimMachine&) {},
       {"DUN upgrade (MSDUN):      installed\n\tdunsetup.exe /u\nRepair under way:",
        "Result: REPAIRED."}},
      // No question for the CD: the Check's one key is its last.
      {"no setup files",
       "no-setup-files",
       [](SimMachine&) {},
       {"Windows setup files:      NOT FOUND\n\n"}},
      // A source path on a network is not looked at: the network may be
      // down. The folders on the disk still are.
      {"source on a network path",
       "no-setup-files",
       [](SimMachine& m) {
         m.SetString(simulated_pc::kSetupPath, "SourcePath", "\\\\SERVER\\WIN98\\");
       },
       {"Windows setup files:      not looked at (network drive)\n\n"},
       simulated_pc::kDefaultSelfPath,
       "\\\\SERVER"},
      {"source on a network drive",
       "no-setup-files",
       [](SimMachine& m) {
         m.set_drive_type('N', kDriveRemote);
         m.SetString(simulated_pc::kSetupPath, "SourcePath", "n:\\WIN98\\");
       },
       {"Windows setup files:      not looked at (network drive)\n\n"},
       simulated_pc::kDefaultSelfPath,
       "N:\\"},
      {"source on a network drive, files on the disk",
       "98se",
       [](SimMachine& m) {
         m.set_drive_type('N', kDriveRemote);
         m.SetString(simulated_pc::kSetupPath, "SourcePath", "N:\\WIN98");
       },
       {"Windows setup files:      C:\\WINDOWS\\OPTIONS\\CABS (not the source path)\n"},
       simulated_pc::kDefaultSelfPath,
       "N:\\"},
      {"uninstall list unreadable",
       "98se",
       [](SimMachine& m) {
         m.FailOperation(Op::kRegOpenKeyExA, simulated_pc::kUninstallPath, 1015);
       },
       {"DUN upgrade (MSDUN):      unreadable (error 1015)\n"}},
      {"me", "me", [](SimMachine&) {}, {"Windows ME (4.90.3000)\n"}},
      // The Check refuses what the repair refuses.
      {"95",
       "95",
       [](SimMachine&) {},
       {"Windows 95 (4.00.950)\n\nResult: this check is for Windows 98 and ME only.\n"}},
      {"nt",
       "nt",
       [](SimMachine&) {},
       {"Windows version:          Windows NT family\n\n"
        "Result: this check is for Windows 98 and ME only.\n"
        "Press any key to close this window.\n"}},
      {"no Winsock2 key",
       "no-winsock2",
       [](SimMachine&) {},
       {"Winsock 2 settings:       MISSING\n",
        "Winsock 2 TCP/IP:         NOT WORKING (error 10091)\n",
        "Result: NOT WORKING: Winsock 2 settings.\n"
        "Please call the MERX at 555-555-0142 and read them the lines above.\n"}},
      {"settings unreadable",
       "98se",
       [](SimMachine& m) {
         m.FailOperation(Op::kRegOpenKeyExA, simulated_pc::kWinsock2Path, 1015);
       },
       {"Winsock 2 settings:       unreadable (error 1015)\n",
        "Result: NOT WORKING: Winsock 2 settings."}},
      {"no TCP/IP provider",
       "no-tcpip",
       [](SimMachine&) {},
       {"Winsock 2 TCP/IP:         NO TCP/IP PROVIDER\n",
        "Result: NOT WORKING: Winsock 2 TCP/IP."}},
      {"Winsock cannot list",
       "98se",
       [](SimMachine& m) { m.FailOperation(Op::kWSAEnumProtocolsA, "", 10055, true); },
       {"Winsock 2 TCP/IP:         NOT WORKING (error 10055)\n"}},
      // The TCP provider listed, its layered chain broken: no socket opens.
      {"TCP chain broken",
       "tcp-chain-broken",
       [](SimMachine&) {},
       {"Winsock 2 TCP/IP:         NOT WORKING (error 10047)\n",
        "Result: NOT WORKING: Winsock 2 TCP/IP."}},
      // More TCP providers than the first buffer holds: asked again with
      // room for 64.
      {"many providers",
       "98se",
       [](SimMachine& m) {
         const std::string entries = std::string(simulated_pc::kWinsock2Path) +
                                     "\\Parameters\\Protocol_Catalog9\\Catalog_Entries\\";
         simulated_pc::RegValue tcp;
         ASSERT_TRUE(m.GetValue(entries + "000000000001", "PackedCatalogItem", &tcp));
         for (int i = 0; i < 40; ++i) {
           m.SetBinary(entries + "00000000010" + std::to_string(i), "PackedCatalogItem", tcp.data);
         }
       },
       {"Winsock 2 TCP/IP:         working\n", "Result: REPAIRED."}},
      // The .dun file type without the adapter it dials with.
      {"no Dial-Up Adapter",
       "98se",
       [](SimMachine& m) { m.DeleteKey(simulated_pc::kDialUpAdapterPath); },
       {"Dial-Up Networking:       NO DIAL-UP ADAPTER\n",
        "Result: NOT WORKING: Dial-Up Networking."}},
      // Found by its device ID, whatever its localised name.
      {"Dial-Up Adapter by another name",
       "98se",
       [](SimMachine& m) {
         m.SetString(simulated_pc::kDialUpAdapterPath, "DriverDesc", "DFU-Adapter");
         m.SetString("HKLM\\System\\CurrentControlSet\\Services\\Class\\Net\\0001", "DriverDesc",
                     "Dial-Up Adapter");
       },
       {"Dial-Up Networking:       installed\n", "Result: REPAIRED."}},
      {"Dial-Up Adapter only by name",
       "98se",
       [](SimMachine& m) { m.DeleteKey(std::string(simulated_pc::kDialUpAdapterPath) + "\\Ndi"); },
       {"Dial-Up Networking:       NO DIAL-UP ADAPTER\n"}},
      {"ws2_32.dll missing",
       "no-ws2-32",
       [](SimMachine&) {},
       {"Winsock 2 TCP/IP:         WS2_32.DLL MISSING\n"}},
      {"no DUN",
       "no-dun",
       [](SimMachine&) {},
       {"Dial-Up Networking:       NOT INSTALLED\n", "Result: NOT WORKING: Dial-Up Networking."}},
      {"restart pending",
       "98se",
       [](SimMachine& m) { RunFresh(m); },
       {"Repair under way:         restart pending\n\tC:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN\n",
        "Registry backups:         system.tom and user.tom\n",
        "Result: REPAIR UNDER WAY. Restart the computer and let Netrevive carry on.\n"}},
      {"only the marker",
       "98se",
       [](SimMachine& m) {
         RunFresh(m);
         m.DeleteValue(simulated_pc::kRunOncePath, "QU Netrevive");  // the entry is lost
         m.RemoveFile("C:\\WINDOWS\\system.tom");
       },
       {"Repair under way:         reinstall authorised, not scheduled\n",
        "Registry backups:         user.tom only\n",
        "Result: REPAIR STOPPED. To finish it, click Start, Run, type\n"
        "\tC:\\PROGRA~1\\NETREV~1.EXE ReinstallDUN\nand press Enter.\n"},
       "C:\\Program Files\\netrevive.exe"},
      // A window closed at the first pause: the repair is under way, and
      // nothing brings it back; a start of the program carries it on.
      {"stopped part-way",
       "98se",
       [](SimMachine& m) {
         m.DeleteKey(simulated_pc::kWinsock2Path);
         m.PutFile("C:\\WINDOWS\\netrevive.QU", "REPAIR UNDER WAY\r\nTRIES 0000\r\n");
       },
       {"Repair under way:         stopped part-way\n",
        "Result: REPAIR STOPPED. To finish it, click Start, Run, type\n"
        "\tC:\\NETREVIVE\\NETREVIVE.EXE\nand press Enter.\n"}},
      {"upgrade left by its uninstaller",
       "upgrade-not-removed",
       [](SimMachine& m) {
         RunFresh(m);
         m.DeleteValue(simulated_pc::kRunOncePath, "QU Netrevive");
       },
       {"DUN upgrade (MSDUN):      installed\n",
        "Result: REPAIR STOPPED. The Dial Up Networking Upgrade is still installed.\n"
        "Please remove it with Add/Remove Programs, restart the computer, then\n"
        "click Start, Run, type\n\tC:\\NETREVIVE\\NETREVIVE.EXE\nand press Enter.\n"}},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine(c.preset, &machine)) << c.name;
    machine.PutFile("C:\\Program Files\\netrevive.exe", "MZ");
    c.prepare(machine);
    machine.BeginNewSession();
    simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
    const size_t helpers = machine.processes().size();
    RunOutput run = RunProgram(machine, {c.argv0, "Check"});
    for (const char* line : c.lines) {
      EXPECT_TRUE(testing::Contains(run.transcript, line)) << c.name << ": " << line << "\n"
                                                           << run.transcript;
    }
    EXPECT_EQ(run.keys, 1) << c.name;
    EXPECT_TRUE(simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty())
        << c.name;
    EXPECT_EQ(machine.processes().size(), helpers) << c.name;
    EXPECT_TRUE(machine.session_requests().empty()) << c.name;
    EXPECT_EQ(machine.DescribeOpenHandles(), "") << c.name;
    if (c.not_looked_in != nullptr) {
      for (const simulated_pc::CallRecord& call : machine.calls()) {
        EXPECT_NE(SimMachine::NormalizeFilePath(call.path).rfind(c.not_looked_in, 0), 0u)
            << c.name << ": " << call.ToString();
      }
    }
    size_t start = 0;
    for (size_t end; (end = run.transcript.find('\n', start)) != std::string::npos;
         start = end + 1) {
      if (run.transcript[start] != '\t') {
        EXPECT_LE(end - start, 79u) << c.name;
      }
    }
  }
}

}  // namespace
}  // namespace netrevive
