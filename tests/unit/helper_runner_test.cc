#include "platform/helper_runner.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_presets.h"

namespace netrevive {
namespace {

using sim::SimMachine;

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

// The longest Windows directory GetWindowsDirectoryA can give (259
// characters) fits every fixed helper, even InstallHinfSection, which holds it
// twice; a longer answer means there is no usable directory.
TEST(HelperRunnerTest, WindowsDirectoryLengthBoundary) {
  struct Case {
    size_t length;
    BuildStatus status;
  };
  const Case cases[] = {{258, BuildStatus::kOk},
                        {259, BuildStatus::kOk},
                        {260, BuildStatus::kNoWindowsDir},
                        {32 * 1024, BuildStatus::kNoWindowsDir}};
  for (const Case& c : cases) {
    SimMachine machine;
    machine.set_max_path(0);
    std::string dir = "C:\\" + std::string(c.length - 3, 'W');
    machine.set_windows_dir(dir);
    for (Helper helper : {Helper::kUninstallUpgrade, Helper::kRnaReboot,
                          Helper::kInstallHinfSection, Helper::kInstallDefaultDrv}) {
      HelperRun run;
      EXPECT_EQ(BuildHelperRun(machine, helper, &run), c.status) << c.length;
      if (c.status == BuildStatus::kOk) {
        EXPECT_EQ(std::string(run.working_directory.c_str()), dir);
      } else {
        EXPECT_STREQ(run.command_line.c_str(), "");
      }
    }
  }
}

TEST(HelperRunnerTest, WaitsOnlyWhenAskedAndClosesBothHandles) {
  for (bool wait : {true, false}) {
    SimMachine machine = sim::MakeDefaultMachine();
    char command[] = "C:\\WINDOWS\\rundll32.exe rnasetup.dll,InstallDefaultDrv";
    EXPECT_TRUE(HelperRunner(machine, "C:\\WINDOWS\\rundll32.exe", command, "C:\\WINDOWS", wait));
    EXPECT_EQ(machine.CallsOf("WaitForSingleObject").size(), wait ? 1u : 0u);
    EXPECT_EQ(machine.CallsOf("CloseHandle").size(), 2u);
    EXPECT_EQ(machine.DescribeOpenHandles(), "");
    // The wait takes as long as the helper runs, in one call.
    EXPECT_EQ(machine.clock_ms(), wait ? sim::kHelperDurationMs : 0u);
  }
}

TEST(HelperRunnerTest, FailedWaitEndsAndProcessThatCannotStartIsNo) {
  SimMachine machine = sim::MakeDefaultMachine();
  machine.FailOperation("WaitForSingleObject", "", 6, /*persistent=*/true);
  char command[] = "C:\\WINDOWS\\rundll32.exe rnasetup.dll,InstallDefaultDrv";
  EXPECT_TRUE(HelperRunner(machine, "C:\\WINDOWS\\rundll32.exe", command, "C:\\WINDOWS", true));
  EXPECT_EQ(machine.DescribeOpenHandles(), "");

  char missing[] = "C:\\WINDOWS\\nothere.exe x";
  EXPECT_FALSE(HelperRunner(machine, "C:\\WINDOWS\\nothere.exe", missing, "C:\\WINDOWS", true));
  EXPECT_EQ(machine.CallsOf("CloseHandle").size(), 2u);  // only the first run's
}

}  // namespace
}  // namespace netrevive
