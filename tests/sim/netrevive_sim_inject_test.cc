// --inject: a platform operation fails on purpose, and the program's report
// of that failure shows up in the simulator's output.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/netrevive_sim_run.h"

namespace netrevive::testing {
namespace {

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t pos = text.find(piece); pos != std::string::npos; pos = text.find(piece, pos + 1)) {
    ++n;
  }
  return n;
}

constexpr const char kUninstall[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// A failure injected into netrevive-sim gives the very transcript the
// scenario tests keep for the same failure (tests/transcripts/).
struct InjectCase {
  const char* transcript;
  std::vector<std::string> args;
};

class NetreviveSimInject : public ::testing::TestWithParam<InjectCase> {};

TEST_P(NetreviveSimInject, PrintsTheScenarioTestsTranscript) {
  std::vector<std::string> args = GetParam().args;
  args.push_back("--transcript");
  SimRun run = RunSim(args);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, ExpectedTranscript(GetParam().transcript, run.out));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NetreviveSimInject,
    ::testing::Values(
        InjectCase{"fail_open_services",
                   {"--inject",
                    "RegOpenKeyExA:HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services=5"}},
        InjectCase{"fail_delete_winsock2", {"--inject", "RegDeleteKeyA=1011"}},
        InjectCase{"fail_start_uninstall",
                   {"--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2"}},
        // The check before the first change opens it first.
        InjectCase{"fail_open_runonce",
                   {"--inject",
                    "RegCreateKeyExA:HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce="
                    "0x3F1,skip=1"}},
        InjectCase{"fail_write_runonce", {"--inject", "RegSetValueExA=1015"}},
        InjectCase{"fail_write_marker", {"--inject", "WriteFile:C:\\WINDOWS\\rundunreinst.QU=5"}},
        // The check before the first change reads the uninstall list first
        // (the scenario tests' refuse_upgrade_fail_*); these fail the
        // removal's own reading.
        InjectCase{"upgrade_fail_open",
                   {"--preset", "upgrade-dunsetup", "--inject",
                    std::string("RegOpenKeyExA:") + kUninstall + "=1011,skip=1"}},
        InjectCase{"upgrade_fail_query",
                   {"--preset", "upgrade-dunsetup", "--inject",
                    std::string("RegQueryInfoKeyA:") + kUninstall + "=1015,skip=1"}},
        InjectCase{"upgrade_fail_enum",
                   {"--preset", "upgrade-dunsetup", "--inject",
                    std::string("RegEnumKeyA:") + kUninstall + "=1009,skip=5"}}),
    [](const ::testing::TestParamInfo<InjectCase>& info) {
      return std::string(info.param.transcript);
    });

// The simulator names each fault it injects where it happened, with the
// status as given (a negative one too).
TEST(NetreviveSimInjectOnce, TheFaultIsNamedWhereItHappened) {
  SimRun run = RunSim({"--keys", "auto", "--inject", "RegDeleteKeyA=-1"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const size_t fault = run.out.find("== injected fault: ");
  ASSERT_NE(fault, std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" RegDeleteKeyA ", fault), std::string::npos);
  const size_t report = run.out.find("The error code is as follows: -1\n");
  EXPECT_LT(fault, report);
  EXPECT_NE(report, std::string::npos);
}

// The Check after the final restart meets the Winsock faults.
TEST(NetreviveSimInjectOnce, TheCheckReportsWinsockFaults) {
  struct Case {
    std::vector<std::string> injects;
    std::vector<std::string> pieces;  // in order
  };
  const Case cases[] = {
      {{"LoadWinsock=126"},
       {"== session 3: RunOnce \"QU Netrevive\" = C:\\NETREVIVE\\NETREVIVE.EXE Check\n",
        " LoadWinsock \"WS2_32.DLL\" -> 0 (status 126) [fault]\n",
        "Winsock 2 TCP/IP:         WS2_32.DLL MISSING\n",
        "Result: NOT WORKING: Winsock 2 TCP/IP.\n", "== ending: check-winsock2-tcpip\n"}},
      {{"WSAStartup=10091", "WSAEnumProtocolsA=10055"},
       {"Winsock 2 TCP/IP:         NOT WORKING (error 10091)\n"}},
      {{"WSAEnumProtocolsA=10055"},
       {" WSAEnumProtocolsA protocols=6, length=5952 -> -1 (status 10055) [fault]\n",
        "Winsock 2 TCP/IP:         NOT WORKING (error 10055)\n"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--keys", "auto"};
    for (const std::string& inject : c.injects) args.insert(args.end(), {"--inject", inject});
    SimRun run = RunSim(args);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    size_t at = 0;
    for (const std::string& piece : c.pieces) {
      at = run.out.find(piece, at);
      ASSERT_NE(at, std::string::npos) << c.injects[0] << ": " << piece << "\n" << run.out;
    }
  }
}

// A fault that fails once and is then used up: an access-denied answer to the
// DUN test counts as DUN present, and the repair goes on as usual. Apart
// from the fault's own line, the output is that of the plain repair.
TEST(NetreviveSimInjectOnce, AFaultThatChangesNothingLeavesTheRepairAsItIs) {
  SimRun plain = RunSim({"--keys", "auto"});
  SimRun faulted = RunSim({"--keys", "auto", "--inject", "RegOpenKeyExA:HKCR\\dunfile=5,once"});
  ASSERT_EQ(faulted.exit_status, 0) << faulted.err;
  EXPECT_EQ(Count(faulted.out, "== injected fault: "), 1u) << faulted.out;
  std::string without;
  size_t start = 0;
  while (start < faulted.out.size()) {
    size_t end = faulted.out.find('\n', start);
    std::string line = faulted.out.substr(start, end - start + 1);
    if (line.rfind("== injected fault: ", 0) != 0) without += line;
    start = end + 1;
  }
  EXPECT_EQ(without, plain.out);
}

// ",once" fails only the first matching call: the repair writes its
// registry out several times, only the first write fails, and the repair
// goes on (a failed write-out leaves the writing to Windows).
TEST(NetreviveSimInjectOnce, OnceFailsOnlyTheFirstMatchingCall) {
  SimRun run = RunSim({"--keys", "auto", "--inject", "RegFlushKey=5,once"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(Count(run.out, "== injected fault: "), 1u) << run.out;
  EXPECT_NE(run.out.find("== injected fault: #"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("RegFlushKey HKLM"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("== program runs: 3, restarts: 2, log-offs: 0\n"), std::string::npos);
  SimRun every = RunSim({"--keys", "auto", "--inject", "RegFlushKey=5"});
  EXPECT_GT(Count(every.out, "== injected fault: "), 1u) << every.out;
}

// A fault on a path the program never uses never fires.
TEST(NetreviveSimInjectOnce, AFaultOnAnUnusedPathNeverFires) {
  SimRun plain = RunSim({"--keys", "auto"});
  SimRun run = RunSim({"--keys", "auto", "--inject", "DeleteFileA:C:\\AUTOEXEC.BAT=5"});
  ASSERT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, plain.out);
}

}  // namespace
}  // namespace netrevive::testing
