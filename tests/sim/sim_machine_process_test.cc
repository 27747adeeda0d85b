// Processes, waits, handle tracking and session requests of the simulated
// machine.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"

namespace netrevive::simulated_pc {
namespace {

bool Start(SimMachine& machine, const std::string& program, const std::string& args,
           const char* working_directory, ProcessInfo* info) {
  std::string command = program + args;
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  return machine.CreateProcessA(program.c_str(), line.data(), working_directory, info);
}

TEST(SimProcessTest, CreateProcessNeedsTheProgramFileAndTheWorkingDirectory) {
  struct Case {
    const char* program;
    const char* working_directory;
    bool ok;
    RegStatus error;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\rundll32.exe", "C:\\WINDOWS", true, 0},
      {"c:\\windows\\RUNDLL.EXE", nullptr, true, 0},
      {"C:\\WINDOWS\\system\\dunsetup.exe", "C:\\WINDOWS\\system", false, kErrorFileNotFound},
      {"C:\\WINDOWS\\rundll32.exe", "C:\\WINDOWS\\nowhere", false, kErrorDirectory},
      {"C:\\NOWHERE\\rundll32.exe", "C:\\WINDOWS", false, kErrorPathNotFound},
  };
  for (const Case& c : cases) {
    SimMachine machine = MakeDefaultMachine();
    machine.set_helper_model(nullptr);
    ProcessInfo info{};
    EXPECT_EQ(Start(machine, c.program, " x", c.working_directory, &info), c.ok) << c.program;
    EXPECT_EQ(machine.last_error(), c.error) << c.program;
    EXPECT_EQ(machine.processes().size(), c.ok ? 1u : 0u);
    if (c.ok) {
      EXPECT_NE(info.process, kNoHandle);
      EXPECT_NE(info.thread, kNoHandle);
      EXPECT_NE(info.process, info.thread);
      EXPECT_NE(info.process_id, 0u);
      EXPECT_TRUE(machine.CloseHandle(info.thread));
      EXPECT_TRUE(machine.CloseHandle(info.process));
    }
    EXPECT_TRUE(machine.OpenHandles().empty()) << machine.DescribeOpenHandles();
  }
}

TEST(SimProcessTest, RecordsTheRunAndCallsTheHelperModelAtOnce) {
  SimMachine machine = MakeDefaultMachine();
  std::vector<std::string> seen;
  machine.set_helper_model([&seen](SimMachine& m, const ProcessRecord& run) {
    seen.push_back(run.command_line);
    m.SetString("HKLM\\Software\\Seen", "", run.program);
    HelperOutcome outcome;
    outcome.recognised = true;
    outcome.duration_ms = 700;
    outcome.exit_code = 3;
    outcome.effect = "marked";
    return outcome;
  });
  ProcessInfo info{};
  ASSERT_TRUE(
      Start(machine, "C:\\WINDOWS\\rundll32.exe", " rnasetup.dll,RnaReboot", "C:\\WINDOWS", &info));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(machine.KeyExists("HKLM\\Software\\Seen")) << "the effect is there on return";
  const ProcessRecord& run = machine.processes()[0];
  EXPECT_EQ(run.program, "C:\\WINDOWS\\rundll32.exe");
  EXPECT_EQ(run.command_line, "C:\\WINDOWS\\rundll32.exe rnasetup.dll,RnaReboot");
  EXPECT_EQ(run.working_directory, "C:\\WINDOWS");
  EXPECT_EQ(run.effect, "marked");
  EXPECT_EQ(run.exit_code, 3u);
  EXPECT_FALSE(run.waited);
  const CallRecord& call = machine.calls().back();
  EXPECT_EQ(call.operation, Op::kCreateProcessA);
  EXPECT_EQ(call.path, "C:\\WINDOWS\\rundll32.exe");
  EXPECT_EQ(call.arguments,
            "program=\"C:\\WINDOWS\\rundll32.exe\", command_line=\"C:\\WINDOWS\\rundll32.exe "
            "rnasetup.dll,RnaReboot\", working_directory=\"C:\\WINDOWS\"");

  // Waiting charges the helper's duration to the clock, once.
  EXPECT_EQ(machine.WaitForSingleObject(info.process, 200), kWaitTimeout);
  EXPECT_EQ(machine.clock_ms(), 200u);
  EXPECT_EQ(machine.WaitForSingleObject(info.process, kInfinite), kWaitObject0);
  EXPECT_EQ(machine.clock_ms(), 700u);
  EXPECT_TRUE(machine.processes()[0].waited);
  EXPECT_EQ(machine.WaitForSingleObject(info.thread, kInfinite), kWaitObject0);
  EXPECT_EQ(machine.clock_ms(), 700u);
  EXPECT_TRUE(machine.CloseHandle(info.process));
  EXPECT_EQ(machine.WaitForSingleObject(info.process, kInfinite), kWaitFailed);
  EXPECT_EQ(machine.last_error(), kErrorInvalidHandle);
  EXPECT_FALSE(machine.CloseHandle(info.process));
}

TEST(SimHandleTest, OpenHandlesListsEverythingNotClosedInOpeningOrder) {
  SimMachine machine = MakeDefaultMachine();
  RegKey key = 0;
  ASSERT_EQ(machine.RegOpenKeyExA(kHkeyClassesRoot, "dunfile", kKeyRead, &key), 0);
  Handle file = machine.OpenFileForWrite("C:\\WINDOWS\\rundunreinst.QU");
  ProcessInfo info{};
  ASSERT_TRUE(Start(machine, "C:\\WINDOWS\\rundll32.exe", " rnasetup.dll,InstallDefaultDrv",
                    "C:\\WINDOWS", &info));

  std::vector<OpenHandleInfo> open = machine.OpenHandles();
  ASSERT_EQ(open.size(), 4u);
  EXPECT_EQ(open[0].kind, OpenHandleInfo::Kind::kKey);
  EXPECT_EQ(open[0].what, "HKCR\\dunfile");
  EXPECT_EQ(open[0].opened_by_call, 1u);
  EXPECT_EQ(open[1].kind, OpenHandleInfo::Kind::kFile);
  EXPECT_EQ(open[1].what, "C:\\WINDOWS\\rundunreinst.QU");
  EXPECT_EQ(open[2].kind, OpenHandleInfo::Kind::kProcess);
  EXPECT_EQ(open[3].kind, OpenHandleInfo::Kind::kThread);
  EXPECT_NE(machine.DescribeOpenHandles().find("HKCR\\dunfile"), std::string::npos);

  // Handles of one kind are not accepted by another kind's close.
  EXPECT_EQ(machine.RegCloseKey(static_cast<RegKey>(file)), kErrorInvalidHandle);
  EXPECT_FALSE(machine.CloseFile(info.process));
  EXPECT_FALSE(machine.CloseHandle(static_cast<Handle>(key)));
  EXPECT_EQ(machine.OpenHandles().size(), 4u);

  EXPECT_EQ(machine.RegCloseKey(key), 0);
  EXPECT_TRUE(machine.CloseFile(file));
  EXPECT_TRUE(machine.CloseHandle(info.thread));
  ASSERT_EQ(machine.OpenHandles().size(), 1u);
  EXPECT_EQ(machine.OpenHandles()[0].kind, OpenHandleInfo::Kind::kProcess);
  EXPECT_TRUE(machine.CloseHandle(info.process));
  EXPECT_EQ(machine.DescribeOpenHandles(), "");
}

TEST(SimSessionTest, ExitWindowsAndRnaRebootAreRecordedAsSessionRequests) {
  SimMachine machine = MakeDefaultMachine();
  EXPECT_TRUE(machine.ExitWindowsEx(0, 0xFFFFFFFF));
  EXPECT_TRUE(machine.logoff_requested());
  EXPECT_FALSE(machine.restart_requested());
  EXPECT_EQ(machine.calls().back().arguments, "flags=0x0, reserved=0xFFFFFFFF");
  ProcessInfo info{};
  ASSERT_TRUE(
      Start(machine, "C:\\WINDOWS\\rundll32.exe", " rnasetup.dll,RnaReboot", "C:\\WINDOWS", &info));
  EXPECT_TRUE(machine.restart_requested());
  EXPECT_EQ(machine.session_requests(),
            std::vector<SessionRequest>({SessionRequest::kLogOff, SessionRequest::kRestart}));
  machine.BeginNewSession();
  EXPECT_TRUE(machine.session_requests().empty());
  EXPECT_TRUE(machine.OpenHandles().empty());
  EXPECT_EQ(machine.processes().size(), 1u) << "the record of past runs stays";
  EXPECT_EQ(machine.processes()[0].session, 1);
}

}  // namespace
}  // namespace netrevive::simulated_pc
