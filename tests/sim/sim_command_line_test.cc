// How Windows runs a RunOnce command line on the simulated machine: which
// program file it starts and what argv the program's C runtime builds.

#include "platform/simulated_pc/sim_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"

namespace netrevive::simulated_pc {
namespace {

using Args = std::vector<std::string>;

TEST(SimCommandLineTest, SplitsLikeTheWindows98Runtime) {
  struct Case {
    const char* line;
    Args argv;
  };
  const Case cases[] = {
      {"C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN",
       {"C:\\NETREVIVE\\NETREVIVE.EXE", "ReinstallDUN"}},
      // An unquoted program path with a blank is cut at the blank.
      {"C:\\Program Files\\Netrevive\\NETREVIVE.EXE ReinstallDUN",
       {"C:\\Program", "Files\\Netrevive\\NETREVIVE.EXE", "ReinstallDUN"}},
      {"\"C:\\Program Files\\Netrevive\\NETREVIVE.EXE\" ReinstallDUN",
       {"C:\\Program Files\\Netrevive\\NETREVIVE.EXE", "ReinstallDUN"}},
      // argv[0] ends at its closing quote; the next argument starts right after.
      {"\"C:\\a b\"c d", {"C:\\a b", "c", "d"}},
      {"\"C:\\Program Files\\x.exe", {"C:\\Program Files\\x.exe"}},
      {"\"prog\" ", {"prog"}},
      {"prog", {"prog"}},
      {"", {""}},
      {" prog a", {"", "prog", "a"}},
      {"prog\targ", {"prog", "arg"}},
      {"prog  a\t b", {"prog", "a", "b"}},
      {"prog \"a b\" c", {"prog", "a b", "c"}},
      {"prog a\\\\b", {"prog", "a\\\\b"}},  // backslashes alone are literal
      {"prog C:\\dir\\", {"prog", "C:\\dir\\"}},
      {"prog a\\\"b", {"prog", "a\"b"}},                   // 1 backslash + quote: a quote
      {"prog a\\\\\"b c\"", {"prog", "a\\b c"}},           // 2 backslashes + quote: \ and a quote
      {"prog a\\\\\\\"b", {"prog", "a\\\"b"}},             // 3 backslashes + quote: \ and "
      {"prog \"a \"\"b\"\" c\"", {"prog", "a \"b", "c"}},  // "" inside quotes ends them
      {"prog \"\"", {"prog", ""}},
      {"prog a\"b\"c", {"prog", "abc"}},
      {"prog \"open arg", {"prog", "open arg"}},
      {"C:\\prog\\x.exe \\\\server\\share", {"C:\\prog\\x.exe", "\\\\server\\share"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.argv) << c.line;
}

TEST(SimCommandLineTest, ProgramCandidatesEndAtEachBlank) {
  struct Case {
    const char* line;
    Args candidates;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Netrevive\\NETREVIVE.EXE ReinstallDUN",
       {"C:\\Program.exe", "C:\\Program Files\\Netrevive\\NETREVIVE.EXE",
        "C:\\Program Files\\Netrevive\\NETREVIVE.EXE ReinstallDUN"}},
      {"C:\\My Tools\\fix", {"C:\\My.exe", "C:\\My Tools\\fix.exe"}},
      {"\"C:\\Program Files\\a\" x", {"C:\\Program Files\\a.exe"}},
      {"dunsetup.exe /u", {"dunsetup.exe", "dunsetup.exe /u"}},
      {"a  b", {"a.exe", "a  b.exe"}},
      {"C:\\v1.2\\tool arg", {"C:\\v1.2\\tool.exe", "C:\\v1.2\\tool arg.exe"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgramCandidates(c.line), c.candidates) << c.line;
}

TEST(SimCommandLineTest, ResolvesAnUnquotedProgramPathWithBlanks) {
  struct Case {
    const char* line;
    std::vector<const char*> extra_files;
    bool found;
    const char* program;
    Args argv;
  };
  const char* kSelf = "C:\\Program Files\\Netrevive\\NETREVIVE.EXE";
  const Case cases[] = {
      {"C:\\Program Files\\Netrevive\\NETREVIVE.EXE ReinstallDUN",
       {kSelf},
       true,
       kSelf,
       {"C:\\Program", "Files\\Netrevive\\NETREVIVE.EXE", "ReinstallDUN"}},
      // A C:\Program.exe on the drive is found first.
      {"C:\\Program Files\\Netrevive\\NETREVIVE.EXE ReinstallDUN",
       {kSelf, "C:\\PROGRAM.EXE"},
       true,
       "C:\\Program.exe",
       {"C:\\Program", "Files\\Netrevive\\NETREVIVE.EXE", "ReinstallDUN"}},
      {"\"C:\\Program Files\\Netrevive\\NETREVIVE.EXE\" ReinstallDUN",
       {kSelf, "C:\\PROGRAM.EXE"},
       true,
       kSelf,
       {kSelf, "ReinstallDUN"}},
      {"c:\\program files\\netrevive\\netrevive UpgradeRemove",
       {kSelf},
       true,
       "c:\\program files\\netrevive\\netrevive.exe",
       {"c:\\program", "files\\netrevive\\netrevive", "UpgradeRemove"}},
      {"C:\\NETREVIVE\\NETREVIVE.EXE UpgradeRemove",
       {},
       true,
       "C:\\NETREVIVE\\NETREVIVE.EXE",
       {"C:\\NETREVIVE\\NETREVIVE.EXE", "UpgradeRemove"}},
      {"C:\\NETREVIVE\\NETREVIVE.EXE",
       {},
       true,
       "C:\\NETREVIVE\\NETREVIVE.EXE",
       {"C:\\NETREVIVE\\NETREVIVE.EXE"}},
      {"C:\\Gone Away\\NETREVIVE.EXE ReinstallDUN",
       {},
       false,
       "",
       {"C:\\Gone", "Away\\NETREVIVE.EXE", "ReinstallDUN"}},
      {"rundll32.exe rnasetup.dll,RnaReboot",
       {},
       true,
       "C:\\WINDOWS\\rundll32.exe",
       {"rundll32.exe", "rnasetup.dll,RnaReboot"}},
  };
  for (const Case& c : cases) {
    SimMachine machine = MakeDefaultMachine();
    for (const char* file : c.extra_files) machine.PutFile(file, "MZ");
    ResolvedCommand resolved = machine.ResolveCommandLine(c.line);
    EXPECT_EQ(resolved.found, c.found) << c.line;
    EXPECT_EQ(resolved.program, c.program) << c.line;
    EXPECT_EQ(resolved.argv, c.argv) << c.line;
  }
}

TEST(SimCommandLineTest, CreateProcessWithoutProgramResolvesTheCommandLine) {
  SimMachine machine = MakeDefaultMachine();
  machine.set_helper_model(nullptr);
  machine.PutFile("C:\\Program Files\\Netrevive\\NETREVIVE.EXE", "MZ");
  char line[] = "C:\\Program Files\\Netrevive\\NETREVIVE.EXE ReinstallDUN";
  ProcessInfo info{};
  ASSERT_TRUE(machine.CreateProcessA(nullptr, line, nullptr, &info));
  EXPECT_EQ(machine.processes()[0].program, "C:\\Program Files\\Netrevive\\NETREVIVE.EXE");
  EXPECT_TRUE(machine.CloseHandle(info.process));
  EXPECT_TRUE(machine.CloseHandle(info.thread));
  char missing[] = "C:\\Gone\\x.exe";
  EXPECT_FALSE(machine.CreateProcessA(nullptr, missing, nullptr, &info));
  EXPECT_EQ(machine.last_error(), kErrorFileNotFound);
}

}  // namespace
}  // namespace netrevive::simulated_pc
