// --inject: a platform operation fails on purpose, and the program's report
// of that failure shows up in the simulator's output.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/netrevive_sim_run.h"

namespace netrevive::testing {
namespace {

// Each piece must occur in the text, in this order.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& pieces) {
  size_t pos = 0;
  for (const std::string& piece : pieces) {
    size_t found = text.find(piece, pos);
    ASSERT_NE(found, std::string::npos) << "missing, or out of order: " << piece << "\n---\n"
                                        << text;
    pos = found + piece.size();
  }
}

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t pos = text.find(piece); pos != std::string::npos; pos = text.find(piece, pos + 1)) {
    ++n;
  }
  return n;
}

struct InjectCase {
  const char* label;
  std::vector<std::string> injects;
  std::vector<std::string> expected_in_order;
};

class NetreviveSimInject : public ::testing::TestWithParam<InjectCase> {};

TEST_P(NetreviveSimInject, TheProgramReportsTheFailure) {
  const InjectCase& c = GetParam();
  std::vector<std::string> args = {"--keys", "auto"};
  for (const std::string& inject : c.injects) {
    args.push_back("--inject");
    args.push_back(inject);
  }
  SimRun run = RunSim(args);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  ExpectInOrder(run.out, c.expected_in_order);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NetreviveSimInject,
    ::testing::Values(
        InjectCase{"Winsock2Deletion",
                   {"RegDeleteKeyA=5"},
                   {"== injected fault: ", " RegDeleteKeyA ", "(status 5) [fault]\n",
                    "There was an error deleting the winsock2 key. \n"
                    "The error code is as follows: 5\n"
                    "We are unable to continue.\n"
                    "Press any key to terminate the program.\n"
                    "== [key]\n"
                    "An error occured while removing the registry keys.\n",
                    "== no restart or log-off was requested; the simulation ends\n",
                    "== program runs: 2, restarts: 0, log-offs: 0\n"}},
        InjectCase{"ServicesKeyOpen",
                   {"RegOpenKeyExA:HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services=5"},
                   {"Unable to open the key: HKLM\\System\\CurrentControlSet\\Services\n"
                    "Unable to continue.\n"
                    "press any key to terminate the program.\n"
                    "== [key]\n"
                    "\n"
                    "An error occured while removing the registry keys.\n"}},
        InjectCase{"UninstallHelperStart",
                   {"CreateProcessA:C:\\WINDOWS\\rundll32.exe=2"},
                   {"Press any key to continue.\n== [key]\n",
                    "== helper not started: C:\\WINDOWS\\rundll32.exe (status 2)\n",
                    "Unable to remove DUN, remove DUN thru add remove programs.\n\n"
                    "Press any key to terminate the program.\n== [key]\n"
                    "Uninstallation of Dial-Up Networking Failed.\n"}},
        InjectCase{"RunOnceOpen",
                   // The check before the first change opens it first.
                   {"RegCreateKeyExA:HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce="
                    "5,skip=1"},
                   {"DO NOT TERMINATE THIS PROGRAM AT THIS TIME!\n== [key]\n",
                    "Unable to open the key: "
                    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce.\n"
                    "Error code: 5\n"
                    "If you reboot the machine and reinstall DUN everything will be fine.\n"
                    "Please report the error code as their might be more things wrong then meets "
                    "the eye.\n"
                    "Press any key to terminate the program.\n== [key]\n",
                    "== no restart or log-off was requested; the simulation ends\n"}},
        InjectCase{"RunOnceWrite",
                   {"RegSetValueExA=1015"},
                   {"We were unable to write data to the registry key:\n"
                    "\tHKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\n"
                    "The errorcode was: 1015\n"
                    "Please Reboot the machine and reinstall DUN. Report the Error Code.\n\n"
                    "Press any key to terminate the program.\n== [key]\n",
                    "== no restart or log-off was requested; the simulation ends\n"}},
        InjectCase{"NegativeStatus", {"RegDeleteKeyA=-1"}, {"The error code is as follows: -1\n"}},
        InjectCase{
            "UninstallListOpen",
            {"RegOpenKeyExA:HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall="
             "0x3F2,skip=1"},
            {"Checking for Dial Up Networking upgrades...\n", "== injected fault: ",
             " RegOpenKeyExA HKLM, "
             "\"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\", access=0x20019 -> "
             "1010 (status 1010) [fault]\n"
             "\n"
             "Unable to check for DUN Upgrades. There was an error \n"
             "While opening the registry key:\n"
             "\tHKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\n"
             "Please report this error; The error code is: 1010\n"
             "Press any key to abort program.\n== [key]\n"
             "== the program ended"}},
        // The Check after the final restart meets the Winsock faults.
        InjectCase{
            "WinsockLibrary",
            {"LoadLibraryA=126"},
            {"== session 3: RunOnce \"QU Netrevive\" = C:\\NETREVIVE\\NETREVIVE.EXE Check\n",
             " LoadLibraryA \"WS2_32.DLL\" -> 0 (status 126) [fault]\n",
             "Winsock 2 TCP/IP:         WS2_32.DLL MISSING\n",
             "Result: NOT WORKING: Winsock 2 TCP/IP.\n", "== ending: check-winsock2-tcpip\n"}},
        InjectCase{"WinsockStartup",
                   {"WSAStartup=10091", "WSAEnumProtocolsA=10055"},
                   {"Winsock 2 TCP/IP:         NOT WORKING (error 10091)\n"}},
        InjectCase{"WinsockProviders",
                   {"WSAEnumProtocolsA=10055"},
                   {" WSAEnumProtocolsA protocols=6, length=5952 -> -1 (status 10055) [fault]\n",
                    "Winsock 2 TCP/IP:         NOT WORKING (error 10055)\n"}}),
    [](const ::testing::TestParamInfo<InjectCase>& info) { return info.param.label; });

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

// ",once" fails only the first matching call: the first backup copy fails,
// the second is made, and the repair goes on (a failed copy is ignored).
TEST(NetreviveSimInjectOnce, OnceFailsOnlyTheFirstMatchingCall) {
  SimRun run = RunSim({"--keys", "auto", "--inject", "CopyFileA=5,once"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(Count(run.out, "== injected fault: "), 1u) << run.out;
  EXPECT_NE(run.out.find("CopyFileA \"C:\\WINDOWS\\system.dat\""), std::string::npos);
  EXPECT_EQ(run.out.find("file created: C:\\WINDOWS\\system.tom"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("file created: C:\\WINDOWS\\user.tom"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("== program runs: 3, restarts: 2, log-offs: 0\n"), std::string::npos);
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
