#include "driver/driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_snapshot.h"
#include "support/test.h"

namespace netrevive {
namespace {

using testing::ExpectedScenarioText;
using testing::RunOutput;
using testing::RunProgram;
using testing::ScenarioText;

TEST(SelectRunModeTest, ExactCaseSensitiveWordsOnly) {
  struct Case {
    std::vector<const char*> argv;
    RunMode mode;
  };
  const Case cases[] = {
      {{"netrevive.exe"}, RunMode::kFreshRun},
      {{""}, RunMode::kFreshRun},
      {{"netrevive.exe", "UpgradeRemove"}, RunMode::kUpgradeRemove},
      {{"netrevive.exe", "ReinstallDUN"}, RunMode::kReinstallDun},
      {{"netrevive.exe", "reinstalldun"}, RunMode::kUsage},
      {{"netrevive.exe", "upgraderemove"}, RunMode::kUsage},
      {{"netrevive.exe", "ReinstallDUN "}, RunMode::kUsage},
      {{"netrevive.exe", "ReinstallDU"}, RunMode::kUsage},
      {{"netrevive.exe", ""}, RunMode::kUsage},
      {{"netrevive.exe", "ReinstallDUN", "x"}, RunMode::kUsage},
      {{"netrevive.exe", "UpgradeRemove", "UpgradeRemove"}, RunMode::kUsage},
      {{"netrevive.exe", "Check"}, RunMode::kCheck},
      {{"netrevive.exe", "check"}, RunMode::kUsage},
      {{"netrevive.exe", "Check", "Check"}, RunMode::kUsage},
      {{}, RunMode::kUsage},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = c.argv;
    argv.push_back(nullptr);
    EXPECT_EQ(SelectRunMode(static_cast<int>(c.argv.size()), argv.data()), c.mode)
        << (c.argv.size() > 1 ? c.argv[1] : "(no argument)");
  }
}

// Every usage command line prints the banner and the usage text, waits for
// one key, and changes nothing.
TEST(DriverTest, UsageTranscripts) {
  const std::vector<std::vector<std::string>> command_lines = {
      {"netrevive.exe", "ReinstallDUN", "extra"},
      {"netrevive.exe", ""},
      {"netrevive.exe", "reinstalldun"},
      {"netrevive.exe", "/?"},
  };
  for (const auto& args : command_lines) {
    simulated_pc::SimMachine machine = simulated_pc::MakeDefaultMachine();
    simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
    RunOutput run = RunProgram(machine, args);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(ScenarioText("usage", run), ExpectedScenarioText("usage", run)) << args[1];
    EXPECT_EQ(run.keys, 1);
    // The program's error mode, then the pause discards the keys pressed
    // before it.
    ASSERT_EQ(machine.calls().size(), 2u) << args[1];
    EXPECT_EQ(machine.calls()[0].operation, simulated_pc::Op::kSetErrorMode) << args[1];
    EXPECT_EQ(machine.calls()[1].operation, simulated_pc::Op::kFlushConsoleInputBuffer) << args[1];
    EXPECT_TRUE(simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty());
  }
}

}  // namespace
}  // namespace netrevive
