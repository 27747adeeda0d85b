// The repair of a system without a DUN upgrade, through the real driver on
// simulated machines: the two-run repair, each failure report, the system
// checks and the buffers built from the program's own path.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_presets.h"
#include "platform/sim/sim_snapshot.h"
#include "support/test.h"

namespace netrevive {
namespace {

using sim::MakeDefaultMachine;
using sim::Op;
using sim::SimMachine;
using testing::ExpectedScenarioText;
using testing::ResumeAfterRestart;
using testing::RunFresh;
using testing::RunOnceValue;
using testing::RunOutput;
using testing::RunProgram;
using testing::ScenarioText;

constexpr const char* kMarker = "C:\\WINDOWS\\rundunreinst.QU";

std::vector<std::string> CommandLines(const SimMachine& machine) {
  std::vector<std::string> lines;
  for (const sim::ProcessRecord& p : machine.processes()) {
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
  EXPECT_FALSE(machine.KeyExists(sim::kWinsock2Path));
  EXPECT_FALSE(sim::DunInstalled(machine));
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
  uint64_t marked = machine.FirstCallIndex(Op::kOpenFileForWrite);
  ASSERT_NE(copied, 0u);
  EXPECT_LT(copied, deleted);
  EXPECT_LT(deleted, uninstalled);
  EXPECT_LT(uninstalled, entry);
  EXPECT_LT(entry, marked);
  // Ctrl+C and Ctrl+Break are set aside before the first change, the
  // backup copies' attributes cleared before each copy.
  EXPECT_LT(machine.FirstCallIndex(Op::kSetConsoleCtrlHandler),
            machine.FirstCallIndex(Op::kSetFileAttributesA, "C:\\WINDOWS\\system.tom"));
  EXPECT_LT(machine.FirstCallIndex(Op::kSetFileAttributesA, "C:\\WINDOWS\\system.tom"), copied);
  EXPECT_EQ(machine.DescribeOpenHandles(), "");

  RunOutput second;
  ASSERT_TRUE(ResumeAfterRestart(machine, &second));
  EXPECT_EQ(ScenarioText("repair_98se_reinstall", second),
            ExpectedScenarioText("repair_98se_reinstall", second));
  EXPECT_FALSE(second.unflushed_pause);
  EXPECT_FALSE(machine.FileExists(kMarker));
  EXPECT_EQ(RunOnceValue(machine), "<none>");
  EXPECT_TRUE(sim::DunInstalled(machine));
  EXPECT_TRUE(machine.KeyExists(sim::kWinsock2Path));
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
  EXPECT_FALSE(sim::DunInstalled(machine));
  EXPECT_EQ(RunOnceValue(machine), "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN");
  EXPECT_TRUE(machine.FileExists(kMarker));
  EXPECT_TRUE(machine.restart_requested());
  // This mode does not touch Winsock2 or the registry files.
  EXPECT_TRUE(machine.KeyExists(sim::kWinsock2Path));
  EXPECT_EQ(machine.FirstCallIndex(Op::kCopyFileA), 0u);
  EXPECT_NE(machine.FirstCallIndex(Op::kSetConsoleCtrlHandler), 0u);
  EXPECT_LT(machine.FirstCallIndex(Op::kSetConsoleCtrlHandler),
            machine.FirstCallIndex(Op::kCreateProcessA));
}

// Windows 98 keeps system.dat read-only and hidden, and CopyFileA gives the
// copy the same attributes: a second run must still replace the backups.
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
    EXPECT_EQ(machine.Attributes(std::string("C:\\WINDOWS\\") + name + ".tom"),
              kFileAttributeReadOnly | kFileAttributeHidden | kFileAttributeSystem)
        << name;
  }
}

TEST(RepairTest, MachineWithoutDunInstallsItInTheFirstRun) {
  SimMachine machine;
  ASSERT_TRUE(sim::MakePresetMachine("no-dun", &machine));
  RunOutput run = RunFresh(machine);
  EXPECT_EQ(ScenarioText("repair_no_dun", run), ExpectedScenarioText("repair_no_dun", run));
  EXPECT_TRUE(sim::DunInstalled(machine));
  EXPECT_FALSE(machine.FileExists(kMarker));
  EXPECT_EQ(RunOnceValue(machine), "<none>");
  EXPECT_TRUE(machine.restart_requested());
  ASSERT_EQ(machine.processes().size(), 3u);
  EXPECT_NE(machine.processes()[0].command_line.find("InstallHinfSection RNA 128"),
            std::string::npos);
}

// Which line CheckOperatingSystem prints for each system, and whether the
// repair goes on past it.
TEST(RepairTest, SystemChecksNameTheSystemOrRefuseIt) {
  struct Case {
    const char* name;
    uint32_t platform;
    uint32_t minor;
    uint32_t build;
    const char* csd;
    const char* line;  // "" when no line names the system
    bool goes_on;
  };
  const Case cases[] = {
      {"98 first edition", 1, 10, 0x040A07CE, " ", "This computer is running Windows 98\n", true},
      {"98 build 1998, other high word", 1, 10, 0x777707CE, " A ",
       "This computer is running Windows 98\n", true},
      {"98 SE", 1, 10, 0x040A08AE, " A ", "This computer is running Windows 98SE\n", true},
      {"98 other build, CSD B", 1, 10, 0x040A08AE, " B ", "", true},
      {"98 other build, empty CSD", 1, 10, 0x040A08AE, "", "", true},
      {"ME", 1, 90, 0x045A0BB8, " ", "\nThis computer is running Windows ME\n", true},
      {"unknown 9x minor", 1, 20, 0, " ", "", true},
  };
  for (const Case& c : cases) {
    SimMachine machine = MakeDefaultMachine();
    machine.SetVersion(c.platform, 4, c.minor, c.build, c.csd);
    RunOutput run = RunFresh(machine);
    std::string after_check = "Determining OS version...\n\n" + std::string(c.line) +
                              "Removing all Winsock2 information from the registry...\n";
    EXPECT_NE(run.transcript.find(after_check), std::string::npos) << c.name;
    EXPECT_EQ(machine.KeyExists(sim::kWinsock2Path), !c.goes_on) << c.name;
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
    ASSERT_TRUE(sim::MakePresetMachine(c.preset, &machine));
    sim::MachineSnapshot before = sim::TakeSnapshot(machine);
    RunOutput run = RunFresh(machine);
    EXPECT_EQ(ScenarioText(c.transcript, run), ExpectedScenarioText(c.transcript, run)) << c.preset;
    EXPECT_TRUE(sim::DiffSnapshots(before, sim::TakeSnapshot(machine)).empty()) << c.preset;
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

TEST(RepairTest, MissingWinsock2KeyReportsStatus2AndStops) {
  SimMachine machine;
  ASSERT_TRUE(sim::MakePresetMachine("no-winsock2", &machine));
  RunOutput run = RunFresh(machine);
  EXPECT_EQ(ScenarioText("missing_winsock2", run), ExpectedScenarioText("missing_winsock2", run));
  EXPECT_TRUE(machine.processes().empty());
  EXPECT_TRUE(sim::DunInstalled(machine));
}

// Each failure report of the repair, by the call that fails.
TEST(RepairTest, EachFailureIsReportedWhereItHappens) {
  struct Case {
    const char* transcript;
    sim::Op operation;
    const char* path;
    RegStatus status;
    std::vector<std::string> args;  // after argv[0]; empty for a fresh run
  };
  const Case cases[] = {
      {"fail_open_services", Op::kRegOpenKeyExA, sim::kServicesPath, 5, {}},
      {"fail_delete_winsock2", Op::kRegDeleteKeyA, "", 1011, {}},
      {"fail_start_uninstall", Op::kCreateProcessA, "", 2, {}},
      {"fail_open_runonce", Op::kRegOpenKeyExA, sim::kRunOncePath, 1009, {}},
      {"fail_write_runonce", Op::kRegSetValueExA, "", 1015, {}},
      {"fail_write_marker", Op::kWriteFile, "", 5, {}},  // the incomplete marker is deleted
      {"fail_upgrade_remove_uninstall", Op::kCreateProcessA, "", 2, {"UpgradeRemove"}},
      {"fail_no_windows_dir", Op::kGetWindowsDirectoryA, "", 5, {}},
  };
  for (const Case& c : cases) {
    SimMachine machine = MakeDefaultMachine();
    machine.FailOperation(c.operation, c.path, c.status, /*persistent=*/true);
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
  std::vector<sim::CallRecord> starts = probe.CallsOf(Op::kCreateProcessA);
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
    std::vector<sim::CallRecord> starts = probe.CallsOf(Op::kCreateProcessA);
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
      {"CD-ROM", "98se", "D:\\NETREVIVE.EXE", "", "D:\\NETREVIVE.EXE", 'D', 5, nullptr,
       "D:\\NETREVIVE.EXE ReinstallDUN", nullptr},
      {"unknown drive type", "98se", "C:\\NETREVIVE\\NETREVIVE.EXE", "", nullptr, 'C', 0, nullptr,
       "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN", nullptr},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(sim::MakePresetMachine(c.preset, &machine));
    if (c.program != nullptr) {
      machine.PutFile(c.program, "MZ netrevive");
      machine.set_self_path(c.program);
    }
    if (c.drive != 0) machine.set_drive_type(c.drive, c.drive_type);
    sim::Op fault;
    if (c.fault != nullptr && sim::FindOp(c.fault, &fault)) {
      machine.FailOperation(fault, "", 2, /*persistent=*/true);
    }
    sim::MachineSnapshot before = sim::TakeSnapshot(machine);
    std::vector<std::string> args = {c.argv0};
    if (c.mode[0] != '\0') args.push_back(c.mode);
    RunOutput run = RunProgram(machine, args);
    EXPECT_FALSE(run.unflushed_pause) << c.name;
    if (c.refusal != nullptr) {
      EXPECT_EQ(ScenarioText(c.refusal, run), ExpectedScenarioText(c.refusal, run)) << c.name;
      EXPECT_TRUE(sim::DiffSnapshots(before, sim::TakeSnapshot(machine)).empty()) << c.name;
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
      {"ReinstallDUN run", false, "ReinstallDUN", "fail_reinstall_hinf"},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(sim::MakePresetMachine("no-rna-inf", &machine));
    if (c.as_folder) machine.AddDirectory("C:\\WINDOWS\\inf\\rna.inf");
    std::vector<std::string> args = {machine.self_path()};
    if (c.mode[0] != '\0') {
      args.push_back(c.mode);
      machine.PutFile(kMarker, "REINSTALL\n");
    }
    sim::MachineSnapshot before = sim::TakeSnapshot(machine);
    RunOutput run = RunProgram(machine, args);
    EXPECT_EQ(ScenarioText(c.transcript, run), ExpectedScenarioText(c.transcript, run)) << c.name;
    EXPECT_TRUE(machine.processes().empty()) << c.name;
    EXPECT_TRUE(machine.KeyExists(sim::kWinsock2Path)) << c.name;
    if (c.mode[0] == '\0') {
      EXPECT_TRUE(sim::DiffSnapshots(before, sim::TakeSnapshot(machine)).empty()) << c.name;
    }
  }
}

// A path that cannot take the longest mode word in the 512-byte resume
// command is refused before anything changes (the bad-input sweep tries
// every length around the limit).
TEST(RepairTest, SelfPathTooLongIsRefused) {
  SimMachine machine = MakeDefaultMachine();
  machine.set_self_path("C:\\" + std::string(495, 'p'));  // 498 characters
  sim::MachineSnapshot before = sim::TakeSnapshot(machine);
  RunOutput run = RunFresh(machine);
  EXPECT_EQ(ScenarioText("self_path_too_long", run),
            ExpectedScenarioText("self_path_too_long", run));
  EXPECT_TRUE(sim::DiffSnapshots(before, sim::TakeSnapshot(machine)).empty());
  EXPECT_TRUE(machine.processes().empty());
}

}  // namespace
}  // namespace netrevive
