// The simulator's command line: what it refuses, and that a refused command
// line changes nothing.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_presets.h"
#include "sim/netrevive_sim_run.h"

namespace netrevive::testing {
namespace {

struct BadCommandLine {
  const char* label;
  std::vector<std::string> args;
  const char* message_part;
};

class NetreviveSimBadOptions : public ::testing::TestWithParam<BadCommandLine> {};

TEST_P(NetreviveSimBadOptions, ExitWithStatusTwoAndTouchNothing) {
  const BadCommandLine& c = GetParam();
  TempFolder temp;
  std::string machine = temp.Sub("machine");
  std::vector<std::string> args = {"--machine", machine};
  args.insert(args.end(), c.args.begin(), c.args.end());
  SimRun run = RunSim(args);
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(c.message_part), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Try 'netrevive-sim --help'."), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(machine)) << "the machine folder was created";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NetreviveSimBadOptions,
    ::testing::Values(
        BadCommandLine{"UnknownOption", {"--fast"}, "unknown option --fast"},
        BadCommandLine{"ShortUnknownOption", {"-x"}, "unknown option -x"},
        BadCommandLine{"Argument", {"ReinstallDUN"}, "unexpected argument \"ReinstallDUN\""},
        BadCommandLine{"KeysWithoutValue", {"--keys"}, "--keys needs a value"},
        BadCommandLine{"UnknownKeys", {"--keys", "sometimes"}, "--keys sometimes: expected auto"},
        BadCommandLine{"KeysTwice", {"--keys", "auto", "--keys=auto"}, "--keys is given twice"},
        BadCommandLine{"UnknownPreset", {"--preset", "win7"}, "unknown preset \"win7\""},
        BadCommandLine{"PresetTwice", {"--preset", "98", "--preset", "me"}, "given twice"},
        BadCommandLine{"MachineTwice", {"--machine", "other"}, "--machine is given twice"},
        BadCommandLine{"ValueForFlag", {"--one-run=yes"}, "--one-run takes no value"},
        BadCommandLine{
            "ProgramTwice", {"--program", "a", "--program=b"}, "--program is given twice"},
        BadCommandLine{"ProgramEmpty", {"--program="}, "--program needs the text"},
        BadCommandLine{
            "InjectWithoutStatus", {"--inject", "RegOpenKeyExA"}, "expected OP[:PATH]=STATUS"},
        BadCommandLine{"InjectUnknownOperation",
                       {"--inject", "RegSaveKeyA=5"},
                       "unknown operation \"RegSaveKeyA\""},
        BadCommandLine{"InjectBadStatus", {"--inject", "CopyFileA=five"}, "bad status \"five\""},
        BadCommandLine{"InjectStatusTooLarge", {"--inject", "CopyFileA=4294967296"}, "bad status"},
        BadCommandLine{"InjectSuccess", {"--inject", "CopyFileA=0"}, "status 0 is success"},
        BadCommandLine{"InjectEmptyPath", {"--inject", "DeleteFileA:=5"}, "path"},
        BadCommandLine{"InjectSkipEmpty", {"--inject", "CopyFileA=5,skip="}, "bad skip count"},
        BadCommandLine{
            "InjectSkipNotANumber", {"--inject", "CopyFileA=5,skip=x1"}, "bad skip count"},
        BadCommandLine{
            "StartTwice", {"--start", "A:\\N.EXE", "--start=B"}, "--start is given twice"},
        BadCommandLine{"GuideWithOtherOptions", {"--guide", "docs"}, "--guide takes no other"},
        BadCommandLine{"GoodThenBadInject",
                       {"--inject", "RegDeleteKeyA=5", "--inject", "Sleep=1"},
                       "unknown operation \"Sleep\""}),
    [](const ::testing::TestParamInfo<BadCommandLine>& info) { return info.param.label; });

TEST(NetreviveSimOptions, PresetWithAnExistingMachineFolderIsRefused) {
  TempFolder temp;
  std::string machine = temp.Sub("machine");
  ASSERT_EQ(RunSim({"--keys", "auto", "--one-run", "--machine", machine}).exit_status, 0);
  std::string before = FolderContents(machine);
  SimRun run = RunSim({"--keys", "auto", "--machine", machine, "--preset", "95"});
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_NE(run.err.find("--preset cannot be used with"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(FolderContents(machine), before);
}

// Key presses come from the terminal only; standard input never answers a
// pause. Without a terminal the simulator says so before anything runs.
TEST(NetreviveSimOptions, WithoutATerminalKeysMustBeAuto) {
  TempFolder temp;
  std::string machine = temp.Sub("machine");
  SimRun run = RunSim({"--machine", machine});
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_NE(run.err.find("/dev/tty"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("--keys auto"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(std::filesystem::exists(machine));
}

// --help wins over everything else and runs nothing.
TEST(NetreviveSimOptions, HelpWinsOverEverythingElse) {
  SimRun run = RunSim({"--help"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, "");
  SimRun with_others = RunSim({"--keys", "auto", "--help"});
  EXPECT_EQ(with_others.exit_status, 0);
  EXPECT_EQ(with_others.out, run.out);
}

// --advice follows each run's ending line with its meaning and advice;
// --start sets the user's own command line, ",skip=N" lets calls pass.
TEST(NetreviveSimOptions, AdviceStartAndSkippedCalls) {
  SimRun gone = RunSim({"--keys", "auto", "--preset", "no-winsock2", "--start",
                        "C:\\NETREVIVE\\NETREVIVE.EXE Check", "--advice"});
  ASSERT_EQ(gone.exit_status, 0) << gone.err;
  size_t ending = gone.out.find("== ending: check-winsock2-settings\n== meaning: ");
  ASSERT_NE(ending, std::string::npos) << gone.out;
  EXPECT_NE(gone.out.find("\n== advice: Windows' own setup writes them anew", ending),
            std::string::npos);
  EXPECT_NE(gone.out.find("Windows Setup tab > Communications", ending), std::string::npos);

  SimRun usage = RunSim({"--keys", "auto", "--start", "C:\\NETREVIVE\\NETREVIVE.EXE /?"});
  ASSERT_EQ(usage.exit_status, 0) << usage.err;
  EXPECT_NE(usage.out.find("argv[0]=\"C:\\NETREVIVE\\NETREVIVE.EXE\" argv[1]=\"/?\""),
            std::string::npos)
      << usage.out;
  EXPECT_NE(usage.out.find("== ending: usage\n"), std::string::npos);
  EXPECT_EQ(usage.out.find("== advice:"), std::string::npos) << "advice without --advice";

  // The second start of rundll32.exe in the two-run repair is the restart
  // after the DUN uninstall.
  SimRun cut =
      RunSim({"--keys", "auto", "--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2,skip=1"});
  ASSERT_EQ(cut.exit_status, 0) << cut.err;
  EXPECT_NE(cut.out.find("== injected fault: #"), std::string::npos) << cut.out;
  EXPECT_NE(cut.out.find("rundll32.exe rnasetup.dll,RnaReboot\", working_directory"),
            std::string::npos)
      << cut.out;
  EXPECT_EQ(cut.out.find("UninstallUpgrade\", working_directory=\"C:\\WINDOWS\") -> 0"),
            std::string::npos);
  EXPECT_NE(cut.out.find("== ending: restart-not-started\n"), std::string::npos);
}

}  // namespace
}  // namespace netrevive::testing
