// What Windows does with the RunOnce entries when a session starts
// (sim_session_start.h), the one model netrevive-sim, the guide and the
// tests start sessions with.

#include "platform/simulated_pc/sim_session_start.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_presets.h"

namespace netrevive::simulated_pc {
namespace {

using Args = std::vector<std::string>;

struct Entry {
  const char* name;
  uint32_t type;
  std::string data;  // with its NUL for text
};

struct Taken {
  std::string name;
  RunOnceAction action;
  Args argv;           // for kRunsProgram
  std::string effect;  // for kRunsHelper: the helper model's effect, "" when not recognised
};

struct Case {
  const char* label;
  std::vector<Entry> entries;
  std::vector<Taken> taken;  // in the order Windows takes them
};

std::string Z(const std::string& text) { return text + std::string(1, '\0'); }

TEST(SessionStartTest, TakesTheRunOnceEntriesAsWindows9xDoes) {
  const Case cases[] = {
      {"the program's entry",
       {{"QU Netrevive", kRegSz, Z("C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN")}},
       {{"QU Netrevive",
         RunOnceAction::kRunsProgram,
         {"C:\\NETREVIVE\\NETREVIVE.EXE", "ReinstallDUN"},
         ""}}},
      {"the program by its short name, REG_EXPAND_SZ taken as text",
       {{"QU Netrevive", kRegExpandSz, Z("C:\\NETREV~1\\NETREV~1.EXE UpgradeRemove")}},
       {{"QU Netrevive",
         RunOnceAction::kRunsProgram,
         {"C:\\NETREV~1\\NETREV~1.EXE", "UpgradeRemove"},
         ""}}},
      {"values in their order; a helper runs, data that is not text is dropped",
       {{"Driver", kRegSz, Z("C:\\WINDOWS\\rundll32.exe rnasetup.dll,InstallDefaultDrv")},
        {"Odd", kRegBinary, "\x01\x02"},
        {"QU Netrevive", kRegSz, Z("C:\\NETREVIVE\\NETREVIVE.EXE")}},
       {{"Driver", RunOnceAction::kRunsHelper, {}, "installed the default dial-up driver"},
        {"Odd", RunOnceAction::kDroppedNotText, {}, ""},
        {"QU Netrevive", RunOnceAction::kRunsProgram, {"C:\\NETREVIVE\\NETREVIVE.EXE"}, ""}}},
      {"no program file",
       {{"Gone", kRegSz, Z("C:\\OLD\\setup.exe /q")}},
       {{"Gone", RunOnceAction::kDroppedNotFound, {}, ""}}},
      {"a program on the floppy disk or a network path",
       {{"Floppy", kRegSz, Z("A:\\NETREVIVE.EXE ReinstallDUN")},
        {"Share", kRegSz, Z("\\\\SERVER\\TOOLS\\NETREVIVE.EXE ReinstallDUN")}},
       {{"Floppy", RunOnceAction::kDroppedDriveGone, {}, ""},
        {"Share", RunOnceAction::kDroppedDriveGone, {}, ""}}},
      {"a program Windows finds but the helper model does not know",
       {{"Other", kRegSz, Z("C:\\WINDOWS\\rundll.exe user.exe,ExitWindows")}},
       {{"Other", RunOnceAction::kRunsHelper, {}, ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SimMachine machine = MakeDefaultMachine();
    machine.PutFile("A:\\NETREVIVE.EXE", "MZ");
    machine.PutFile("\\\\SERVER\\TOOLS\\NETREVIVE.EXE", "MZ");
    machine.DeleteKey(kDialUpAdapterPath);
    for (const Entry& e : c.entries) {
      machine.SetValue(kRunOncePath, e.name, e.type,
                       std::vector<uint8_t>(e.data.begin(), e.data.end()));
    }
    const int session = machine.session();
    SessionStart start(machine);
    EXPECT_EQ(machine.session(), session + 1);
    EXPECT_TRUE(start.any_entries());
    RunOnceEntry entry;
    for (const Taken& want : c.taken) {
      ASSERT_TRUE(start.Next(&entry)) << want.name;
      EXPECT_EQ(entry.name, want.name);
      EXPECT_EQ(entry.action, want.action) << want.name;
      // Windows deletes each entry before it runs it.
      EXPECT_FALSE(machine.ValueExists(kRunOncePath, want.name));
      if (want.action == RunOnceAction::kRunsProgram) {
        EXPECT_EQ(entry.resolved.argv, want.argv);
      }
      if (want.action == RunOnceAction::kRunsHelper) {
        EXPECT_EQ(entry.helper.recognised, !want.effect.empty()) << entry.helper.effect;
        EXPECT_EQ(entry.helper.effect.substr(0, want.effect.size()), want.effect);
      }
    }
    EXPECT_FALSE(start.Next(&entry));
    EXPECT_TRUE(machine.ListValues(kRunOncePath).empty());
  }
}

TEST(SessionStartTest, EntriesAfterTheProgramsWaitAndNewOnesWaitForTheNextSession) {
  SimMachine machine = MakeDefaultMachine();
  machine.SetString(kRunOncePath, "QU Netrevive", "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN");
  machine.SetString(kRunOncePath, "Later", "C:\\WINDOWS\\rundll32.exe rnasetup.dll,RnaReboot");
  SessionStart start(machine);
  Args argv;
  ASSERT_TRUE(start.NextProgramRun(&argv));
  EXPECT_EQ(argv, (Args{"C:\\NETREVIVE\\NETREVIVE.EXE", "ReinstallDUN"}));
  EXPECT_TRUE(machine.ValueExists(kRunOncePath, "Later"));
  // What the program writes while the session starts runs in the next one.
  machine.SetString(kRunOncePath, "QU Netrevive", "C:\\NETREVIVE\\NETREVIVE.EXE");
  RunOnceEntry entry;
  ASSERT_TRUE(start.Next(&entry));
  EXPECT_EQ(entry.name, "Later");
  EXPECT_TRUE(machine.restart_requested());
  EXPECT_FALSE(start.Next(&entry));
  EXPECT_EQ(StartSessionUpToProgram(machine), Args{"C:\\NETREVIVE\\NETREVIVE.EXE"});
  EXPECT_EQ(StartSessionUpToProgram(machine), Args{});
  EXPECT_FALSE(SessionStart(machine).any_entries());
}

}  // namespace
}  // namespace netrevive::simulated_pc
