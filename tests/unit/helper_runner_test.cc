#include "steps/helper_runner.h"

#include <gtest/gtest.h>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"

namespace netrevive {
namespace {

using simulated_pc::Op;
using simulated_pc::SimMachine;

// The fixed helpers' command lines and working directories.
TEST(HelperRunnerTest, FixedHelpersAreBuiltFromTheWindowsDirectory) {
  struct Case {
    Helper helper;
    const char* program;
    const char* command_line;
    bool wait;
  };
  const Case cases[] = {
      {Helper::kUninstallUpgrade, "D:\\WIN98\\rundll32.exe",
       "D:\\WIN98\\rundll32.exe rnasetup.dll,UninstallUpgrade", true},
      {Helper::kRnaReboot, "D:\\WIN98\\rundll32.exe",
       "D:\\WIN98\\rundll32.exe rnasetup.dll,RnaReboot", false},
      {Helper::kInstallHinfSection, "D:\\WIN98\\rundll.exe",
       "D:\\WIN98\\rundll.exe setupx.dll,InstallHinfSection RNA 128 D:\\WIN98\\inf\\rna.inf", true},
      {Helper::kInstallDefaultDrv, "D:\\WIN98\\rundll32.exe",
       "D:\\WIN98\\rundll32.exe rnasetup.dll,InstallDefaultDrv", true},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    machine.set_windows_dir("D:\\WIN98");
    HelperRun run;
    ASSERT_EQ(BuildHelperRun(machine, c.helper, &run), BuildStatus::kOk);
    EXPECT_STREQ(run.program.c_str(), c.program);
    EXPECT_STREQ(run.command_line.c_str(), c.command_line);
    EXPECT_STREQ(run.working_directory.c_str(), "D:\\WIN98");
    EXPECT_EQ(run.wait, c.wait);
  }
}

HelperRun DefaultDrvRun(const char* program, bool wait) {
  HelperRun run;
  run.program.Append(program);
  run.command_line.Append(program);
  run.command_line.Append(" rnasetup.dll,InstallDefaultDrv");
  run.working_directory.Append("C:\\WINDOWS");
  run.wait = wait;
  return run;
}

TEST(HelperRunnerTest, WaitsOnlyWhenAskedAndClosesBothHandles) {
  for (bool wait : {true, false}) {
    SimMachine machine = simulated_pc::MakeDefaultMachine();
    // The helper inherits the mode the program was started with; the
    // program's own is back once the helper was started (and waited for).
    machine.set_inherited_error_mode(kSemNoOpenFileErrorBox);
    TakeProgramErrorMode(machine);
    HelperRun run = DefaultDrvRun("C:\\WINDOWS\\rundll32.exe", wait);
    EXPECT_TRUE(RunHelper(machine, &run));
    ASSERT_EQ(machine.processes().size(), 1u);
    EXPECT_EQ(machine.processes()[0].error_mode, kSemNoOpenFileErrorBox);
    EXPECT_EQ(machine.error_mode(), kProgramErrorMode);
    if (wait) {
      // calls()[i] is the call after call number i.
      EXPECT_EQ(machine.calls()[machine.FirstCallIndex(Op::kWaitForSingleObject)].operation,
                Op::kSetErrorMode)
          << "the program's mode is set again right after the wait";
    }
    EXPECT_EQ(machine.CallsOf(Op::kWaitForSingleObject).size(), wait ? 1u : 0u);
    EXPECT_EQ(machine.DescribeOpenHandles(), "");
    // The wait takes as long as the helper runs, in one call.
    EXPECT_EQ(machine.clock_ms(), wait ? simulated_pc::kHelperDurationMs : 0u);
  }
}

TEST(HelperRunnerTest, FailedWaitEndsAndProcessThatCannotStartIsNo) {
  SimMachine machine = simulated_pc::MakeDefaultMachine();
  machine.FailOperation(Op::kWaitForSingleObject, "", 6, /*persistent=*/true);
  HelperRun run = DefaultDrvRun("C:\\WINDOWS\\rundll32.exe", true);
  EXPECT_TRUE(RunHelper(machine, &run));
  EXPECT_EQ(machine.DescribeOpenHandles(), "");

  HelperRun missing = DefaultDrvRun("C:\\WINDOWS\\nothere.exe", true);
  TakeProgramErrorMode(machine);
  EXPECT_FALSE(RunHelper(machine, &missing));
  EXPECT_EQ(machine.DescribeOpenHandles(), "");
  EXPECT_EQ(machine.error_mode(), kProgramErrorMode) << "set again after a failed start";
}

}  // namespace
}  // namespace netrevive
