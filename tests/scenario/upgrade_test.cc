// DUN upgrade removal through the real driver on simulated machines: the
// three uninstaller forms, the runs that follow them, and every report.

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

constexpr const char* kRundllText =
    "rundll.exe setupx.dll,InstallHinfSection DefaultUninstall 132 C:\\WINDOWS\\INF\\MSDUN.INF";
constexpr const char* kRundll32Text =
    "rundll32.exe advpack.dll,LaunchINFSection C:\\WINDOWS\\INF\\MSDUN.INF,DefaultUninstall";

SimMachine MachineWithUpgrade(const std::string& uninstall_string) {
  SimMachine machine = MakeDefaultMachine();
  simulated_pc::AddDunUpgrade(&machine, uninstall_string);
  return machine;
}

TEST(UpgradeTest, EachUninstallerFormRunsWithItsOwnCommandAndResumeEntry) {
  struct Case {
    const char* uninstall;
    const char* program;
    std::string command_line;
    const char* working_directory;
    const char* resume;
  };
  const Case cases[] = {
      {"dunsetup.exe /u", "C:\\WINDOWS\\system\\dunsetup.exe",
       "C:\\WINDOWS\\system\\dunsetup.exe /u", "C:\\WINDOWS\\system",
       "C:\\NETREVIVE\\NETREVIVE.EXE UpgradeRemove"},
      {kRundllText, "C:\\WINDOWS\\rundll.exe", std::string("C:\\WINDOWS\\") + kRundllText,
       "C:\\WINDOWS", "C:\\NETREVIVE\\NETREVIVE.EXE"},
      // Its first ten characters are not "rundll.exe": the rundll32 form.
      {kRundll32Text, "C:\\WINDOWS\\rundll32.exe", std::string("C:\\WINDOWS\\") + kRundll32Text,
       "C:\\WINDOWS", "C:\\NETREVIVE\\NETREVIVE.EXE"},
  };
  for (const Case& c : cases) {
    SimMachine machine = MachineWithUpgrade(c.uninstall);
    RunOutput run = RunFresh(machine);
    EXPECT_NE(run.transcript.find("\nDUN Upgrades found, proceeding to remove.\n"),
              std::string::npos)
        << c.uninstall;
    ASSERT_EQ(machine.processes().size(), 1u) << c.uninstall;
    const simulated_pc::ProcessRecord& p = machine.processes()[0];
    EXPECT_EQ(p.program, c.program);
    EXPECT_EQ(p.command_line, c.command_line);
    EXPECT_EQ(p.working_directory, c.working_directory);
    EXPECT_TRUE(p.waited);
    EXPECT_EQ(RunOnceValue(machine), c.resume);
    // The entry is written before the uninstaller starts; then the session ends.
    EXPECT_LT(machine.FirstCallIndex(Op::kRegSetValueExA),
              machine.FirstCallIndex(Op::kCreateProcessA));
    EXPECT_TRUE(machine.logoff_requested()) << c.uninstall;
    EXPECT_FALSE(machine.KeyExists(simulated_pc::kMsdunPath)) << c.uninstall;
    // DUN itself is untouched in this run, and so is the marker.
    EXPECT_TRUE(simulated_pc::DunInstalled(machine));
    EXPECT_FALSE(machine.FileExists("C:\\WINDOWS\\rundunreinst.QU"));
    EXPECT_EQ(machine.DescribeOpenHandles(), "") << c.uninstall;
  }
}

TEST(UpgradeTest, DunSetupFormContinuesInUpgradeRemoveThenReinstallDun) {
  SimMachine machine;
  ASSERT_TRUE(simulated_pc::MakePresetMachine("upgrade-dunsetup", &machine));
  RunOutput first = RunFresh(machine);
  EXPECT_EQ(ScenarioText("upgrade_dunsetup_fresh", first),
            ExpectedScenarioText("upgrade_dunsetup_fresh", first));

  RunOutput second;
  ASSERT_TRUE(ResumeAfterRestart(machine, &second));
  EXPECT_EQ(ScenarioText("upgrade_remove_run", second),
            ExpectedScenarioText("upgrade_remove_run", second));
  EXPECT_FALSE(simulated_pc::DunInstalled(machine));
  EXPECT_EQ(RunOnceValue(machine), "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN");

  RunOutput third;
  ASSERT_TRUE(ResumeAfterRestart(machine, &third));
  EXPECT_EQ(ScenarioText("repair_98se_reinstall", third),
            ExpectedScenarioText("repair_98se_reinstall", third));
  EXPECT_TRUE(simulated_pc::DunInstalled(machine));
  EXPECT_TRUE(machine.KeyExists(simulated_pc::kWinsock2Path));
  EXPECT_FALSE(machine.KeyExists(simulated_pc::kMsdunPath));
  EXPECT_EQ(RunOnceValue(machine), "C:\\NETREVIVE\\NETREVIVE.EXE Check");
  EXPECT_FALSE(machine.FileExists("C:\\WINDOWS\\rundunreinst.QU"));
}

// An uninstaller that leaves the upgrade: the UpgradeRemove run says so and
// uninstalls nothing; once the upgrade is removed by hand, the same run
// started again carries on. A look-up that fails counts as gone.
TEST(UpgradeTest, UpgradeRemoveRunLooksWhetherTheUpgradeIsGone) {
  SimMachine machine;
  ASSERT_TRUE(simulated_pc::MakePresetMachine("upgrade-not-removed", &machine));
  RunFresh(machine);
  RunOutput second;
  ASSERT_TRUE(ResumeAfterRestart(machine, &second));
  EXPECT_EQ(ScenarioText("upgrade_still_installed", second),
            ExpectedScenarioText("upgrade_still_installed", second));
  EXPECT_TRUE(simulated_pc::DunInstalled(machine));
  EXPECT_EQ(machine.processes().size(), 1u);  // the upgrade's uninstaller alone
  EXPECT_EQ(RunOnceValue(machine), "<none>");

  SimMachine failing = machine;
  failing.FailOperation(Op::kRegOpenKeyExA, simulated_pc::kUninstallPath, 1009);
  RunOutput blind = RunProgram(failing, {failing.self_path(), "UpgradeRemove"});
  EXPECT_TRUE(
      testing::Contains(blind.transcript, "The Dial Up Networking Upgrade has been removed."));

  machine.DeleteKey(simulated_pc::kMsdunPath);  // removed with Add/Remove Programs
  RunOutput again = RunProgram(machine, {machine.self_path(), "UpgradeRemove"});
  EXPECT_TRUE(
      testing::Contains(again.transcript, "The Dial Up Networking Upgrade has been removed."));
  EXPECT_FALSE(simulated_pc::DunInstalled(machine));
  EXPECT_EQ(RunOnceValue(machine), "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN");
}

TEST(UpgradeTest, RundllFormStartsTheWholeFixAgain) {
  SimMachine machine;
  ASSERT_TRUE(simulated_pc::MakePresetMachine("upgrade-rundll", &machine));
  RunFresh(machine);
  RunOutput second;
  ASSERT_TRUE(ResumeAfterRestart(machine, &second));
  // A complete fresh run on a machine without the upgrade.
  EXPECT_EQ(ScenarioText("repair_98se_fresh", second),
            ExpectedScenarioText("repair_98se_fresh", second));
  RunOutput third;
  ASSERT_TRUE(ResumeAfterRestart(machine, &third));
  EXPECT_EQ(ScenarioText("repair_98se_reinstall", third),
            ExpectedScenarioText("repair_98se_reinstall", third));
  EXPECT_TRUE(simulated_pc::DunInstalled(machine));
}

// Uninstall texts and key names that must not be taken for the upgrade's.
TEST(UpgradeTest, TextsThatMatchNoForm) {
  struct Case {
    const char* name;
    uint32_t type;
    std::string data;   // bytes as stored
    const char* shown;  // the text the report shows
  };
  const Case cases[] = {
      {"capital switch", kRegSz, std::string("dunsetup.exe /U", 16), "dunsetup.exe /U"},
      {"trailing blank", kRegSz, std::string("dunsetup.exe /u ", 17), "dunsetup.exe /u "},
      {"upper-case rundll", kRegSz, std::string("RUNDLL.EXE x", 13), "RUNDLL.EXE x"},
      {"binary value", kRegBinary, std::string("dunsetup.exe /u", 16), "dunsetup.exe /u"},
      {"no terminator, 1024 bytes", kRegSz, "rundll.exe " + std::string(1013, 'a'), nullptr},
      {"over 1024 bytes", kRegSz, "rundll.exe " + std::string(2000, 'a') + '\0', ""},
  };
  for (const Case& c : cases) {
    SimMachine machine = MachineWithUpgrade("dunsetup.exe /u");
    machine.SetValue(simulated_pc::kMsdunPath, "UninstallString", c.type,
                     std::vector<uint8_t>(c.data.begin(), c.data.end()));
    simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
    RunOutput run = RunFresh(machine);
    std::string shown = c.shown != nullptr ? c.shown : c.data.substr(0, 1024);
    EXPECT_NE(run.transcript.find("\nUnknown uninstall string: " + shown + "\nPlease remove"),
              std::string::npos)
        << c.name << "\n"
        << run.transcript;
    EXPECT_TRUE(machine.processes().empty()) << c.name;
    EXPECT_EQ(RunOnceValue(machine), "<none>") << c.name;
    EXPECT_FALSE(machine.logoff_requested()) << c.name;
    EXPECT_EQ(machine.DescribeOpenHandles(), "") << c.name;
    // Only the Winsock2 removal and the backups changed the machine.
    for (const simulated_pc::MachineChange& change :
         simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine))) {
      EXPECT_TRUE(change.path.find("Winsock2") != std::string::npos ||
                  change.path.find(".tom") != std::string::npos)
          << c.name << ": " << change.path;
    }
  }
}

// Refused before the first change; the removal's own report when only the
// removal reads an unknown text (its reading fails, skip 1).
TEST(UpgradeTest, UnknownUninstallStringTranscript) {
  for (int skip : {-1, 1}) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine(skip < 0 ? "upgrade-unknown" : "upgrade-dunsetup",
                                                &machine));
    if (skip > 0) {
      simulated_pc::FaultRule rule;
      rule.operation = Op::kRegQueryValueExA;
      rule.path = std::string(simulated_pc::kMsdunPath) + "\\UninstallString";
      rule.status = 1015;
      rule.skip = skip;
      machine.AddFault(rule);
    }
    simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
    RunOutput run = RunFresh(machine);
    const char* name = skip < 0 ? "upgrade_unknown" : "upgrade_unknown_later";
    EXPECT_EQ(ScenarioText(name, run), ExpectedScenarioText(name, run));
    EXPECT_TRUE(machine.processes().empty());
    EXPECT_EQ(simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty(),
              skip < 0);
  }
}

TEST(UpgradeTest, MissingUninstallStringIsReportedAsUnknown) {
  SimMachine machine = MachineWithUpgrade("dunsetup.exe /u");
  machine.DeleteValue(simulated_pc::kMsdunPath, "UninstallString");
  RunOutput run = RunFresh(machine);
  EXPECT_NE(run.transcript.find("\nUnknown uninstall string: \nPlease remove"), std::string::npos);
  EXPECT_TRUE(machine.processes().empty());
}

TEST(UpgradeTest, KeysThatAreNotTheUpgrade) {
  struct Case {
    const char* name;
    std::vector<std::string> subkeys;
    bool upgrade;
  };
  const Case cases[] = {
      {"empty list", {}, false},
      {"lower-case msdun", {"msdun"}, false},
      {"longer name", {"MSDUN13"}, false},
      {"40-character name first", {std::string(40, 'K'), "MSDUN"}, true},
      {"255-character name first", {std::string(255, 'L'), "MSDUN"}, true},
  };
  for (const Case& c : cases) {
    SimMachine machine = MakeDefaultMachine();
    machine.DeleteKey(simulated_pc::kUninstallPath);
    machine.CreateKey(simulated_pc::kUninstallPath);
    for (const std::string& k : c.subkeys) {
      machine.SetString(std::string(simulated_pc::kUninstallPath) + "\\" + k, "UninstallString",
                        "dunsetup.exe /u");
    }
    machine.PutFile("C:\\WINDOWS\\system\\dunsetup.exe", "MZ");
    RunFresh(machine);
    ASSERT_FALSE(machine.processes().empty()) << c.name;
    const std::string& first = machine.processes()[0].command_line;
    EXPECT_EQ(first == "C:\\WINDOWS\\system\\dunsetup.exe /u", c.upgrade) << c.name;
    EXPECT_EQ(first == "C:\\WINDOWS\\rundll32.exe rnasetup.dll,UninstallUpgrade", !c.upgrade)
        << c.name;
  }
}

// Each failure is met by the check before the first change, which refuses
// with the removal's own report and changes nothing (skip 0); a failure only
// the removal itself meets stops it after the Winsock2 key is gone (skip 1).
TEST(UpgradeTest, RegistryErrorsOfTheUninstallList) {
  struct Case {
    const char* transcript;
    simulated_pc::Op operation;
    RegStatus status;
    int skip;
  };
  const Case cases[] = {
      {"refuse_upgrade_fail_open", Op::kRegOpenKeyExA, 1011, 0},
      {"refuse_upgrade_fail_query", Op::kRegQueryInfoKeyA, 1015, 0},
      {"refuse_upgrade_fail_enum", Op::kRegEnumKeyA, 1009, 0},
      {"upgrade_fail_open", Op::kRegOpenKeyExA, 1011, 1},
      {"upgrade_fail_query", Op::kRegQueryInfoKeyA, 1015, 1},
      {"upgrade_fail_enum", Op::kRegEnumKeyA, 1009, 5},  // one call per subkey
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine("upgrade-dunsetup", &machine));
    simulated_pc::FaultRule rule;
    rule.operation = c.operation;
    rule.path = simulated_pc::kUninstallPath;
    rule.status = c.status;
    rule.persistent = true;
    rule.skip = c.skip;
    machine.AddFault(rule);
    simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
    RunOutput run = RunFresh(machine);
    EXPECT_EQ(ScenarioText(c.transcript, run), ExpectedScenarioText(c.transcript, run))
        << c.transcript;
    EXPECT_TRUE(machine.processes().empty()) << c.transcript;
    EXPECT_EQ(RunOnceValue(machine), "<none>") << c.transcript;
    EXPECT_EQ(machine.DescribeOpenHandles(), "") << c.transcript;
    EXPECT_EQ(simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty(),
              c.skip == 0)
        << c.transcript;
  }
}

// The entry is taken back; status 2 from its removal says it is gone
// already, which is no failure to report.
TEST(UpgradeTest, UninstallerThatCannotStartTakesTheResumeEntryBack) {
  for (bool gone_already : {false, true}) {
    SimMachine machine;
    ASSERT_TRUE(simulated_pc::MakePresetMachine("upgrade-dunsetup", &machine));
    machine.FailOperation(Op::kCreateProcessA, "C:\\WINDOWS\\system\\dunsetup.exe", 2);
    if (gone_already) machine.FailOperation(Op::kRegDeleteValueA, "", kErrorFileNotFound);
    RunOutput run = RunFresh(machine);
    EXPECT_EQ(ScenarioText("upgrade_cannot_start", run),
              ExpectedScenarioText("upgrade_cannot_start", run))
        << gone_already;
    EXPECT_EQ(RunOnceValue(machine) == "<none>", !gone_already);
    EXPECT_FALSE(machine.logoff_requested());
    EXPECT_TRUE(machine.KeyExists(simulated_pc::kMsdunPath));
    EXPECT_EQ(machine.CallsOf(Op::kRegDeleteValueA).size(), 1u);
    EXPECT_EQ(machine.DescribeOpenHandles(), "");
  }
}

}  // namespace
}  // namespace netrevive
