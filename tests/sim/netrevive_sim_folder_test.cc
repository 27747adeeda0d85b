// Machines kept as folders: saving and loading them, the errors a malformed
// folder gets, and netrevive-sim working on such a folder across calls.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_paths.h"
#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/machine_folder.h"
#include "rehearsal/regedit4.h"
#include "sim/netrevive_sim_run.h"

namespace netrevive::testing {
namespace {

namespace fs = std::filesystem;
using rehearsal::LoadMachineFolder;
using rehearsal::MachineFolderError;
using rehearsal::SaveMachineFolder;
using simulated_pc::SessionRequest;
using simulated_pc::SimMachine;

// Everything a folder keeps of a machine, as text, for comparisons with a
// readable difference.
std::string State(const SimMachine& machine) {
  std::string out = "windows_dir=" + machine.windows_dir() + "\nprogram=" + machine.self_path();
  const OsVersion& v = machine.version();
  out += "\nversion=" + std::to_string(v.platform_id) + "." + std::to_string(v.major_version) +
         "." + std::to_string(v.minor_version) + "." + std::to_string(v.build_number) + " csd=[" +
         v.csd_version + "]\n";
  for (const std::string& dir : machine.ListDirectories()) out += "dir " + dir + "\n";
  for (const std::string& file : machine.ListFiles()) {
    std::string contents;
    machine.ReadFile(file, &contents);
    out += "file " + file + " = [" + contents + "]\n";
  }
  out += rehearsal::WriteRegFile(rehearsal::ExportRegFile(machine));
  return out;
}

// A machine with the less common things a folder must carry.
SimMachine UnusualMachine() {
  SimMachine machine = simulated_pc::MakeDefaultMachine();
  machine.SetVersion(1, 4, 90, 0x045A0BB8, "  padded csd  ");
  machine.set_self_path("C:\\Program Files\\QU Netrevive\\NETREVIVE.EXE");
  machine.PutFile("C:\\Program Files\\QU Netrevive\\NETREVIVE.EXE", std::string("MZ\0\x90", 4));
  machine.PutFile("D:\\SETUP\\Readme Now.txt", "line one\r\nline two\n");
  machine.PutFile("C:\\WINDOWS\\empty.log", "");
  machine.AddDirectory("C:\\WINDOWS\\TEMP\\Empty Folder");
  machine.SetValue("HKLM\\Software\\QU", "multi", 7, {'a', 0, 'b', 0, 0});
  machine.SetValue("HKLM\\Software\\QU", "expand", 2, {'%', 'x', '%', 0});
  machine.SetValue("HKLM\\Software\\QU", "no terminator", kRegSz, {'a', 'b'});
  machine.SetString("HKLM\\Software\\QU", "", "default \"quoted\" C:\\path\\");
  machine.SetDword("HKLM\\Software\\QU", "dword", 0xDEADBEEF);
  machine.SetBinary("HKLM\\Software\\QU", "empty binary", {});
  machine.CreateKey("HKCR\\.dun");
  return machine;
}

TEST(MachineFolder, SaveThenLoadGivesTheSameMachine) {
  for (const SimMachine& original : {simulated_pc::MakeDefaultMachine(), UnusualMachine()}) {
    TempFolder temp;
    MachineFolderError error;
    ASSERT_TRUE(SaveMachineFolder(temp.path(), original, SessionRequest::kRestart, &error))
        << error.ToString();
    SimMachine loaded;
    loaded.PutFile("C:\\STALE.TXT", "from before");
    SessionRequest pending = SessionRequest::kNone;
    ASSERT_TRUE(LoadMachineFolder(temp.path(), &loaded, &pending, &error)) << error.ToString();
    EXPECT_EQ(State(loaded), State(original));
    EXPECT_EQ(pending, SessionRequest::kRestart);
  }
}

TEST(MachineFolder, FilesAreKeptAsAFolderTreeAndTheRegistryAsRegedit4) {
  TempFolder temp;
  MachineFolderError error;
  ASSERT_TRUE(SaveMachineFolder(temp.path(), UnusualMachine(), SessionRequest::kNone, &error));
  EXPECT_EQ(ReadText(temp.Sub("drive/C/Program Files/QU Netrevive/NETREVIVE.EXE")),
            std::string("MZ\0\x90", 4));
  EXPECT_EQ(ReadText(temp.Sub("drive/D/SETUP/Readme Now.txt")), "line one\r\nline two\n");
  // The machine keeps folder names in upper case; a folder with no file in
  // it is written that way.
  EXPECT_TRUE(fs::is_directory(temp.Sub("drive/C/WINDOWS/TEMP/EMPTY FOLDER")));
  // One folder per name: C:\WINDOWS\inf and the INF the machine also knows
  // are the same folder.
  std::vector<std::string> windows_entries;
  for (const fs::directory_entry& e : fs::directory_iterator(temp.Sub("drive/C/WINDOWS"))) {
    windows_entries.push_back(e.path().filename().string());
  }
  size_t infs = 0;
  for (const std::string& name : windows_entries) {
    if (simulated_pc::EqualsNoCase(name, "INF")) ++infs;
  }
  EXPECT_EQ(infs, 1u);
  std::string reg = ReadText(temp.Sub("registry.reg"));
  EXPECT_EQ(reg.rfind("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE", 0), 0u) << reg.substr(0, 80);
  EXPECT_NE(reg.find("\"multi\"=hex(7):61,00,62,00,00\r\n"), std::string::npos);
  EXPECT_NE(reg.find("\"dword\"=dword:deadbeef\r\n"), std::string::npos);
  EXPECT_NE(reg.find("@=\"default \\\"quoted\\\" C:\\\\path\\\\\"\r\n"), std::string::npos);
  std::string version = ReadText(temp.Sub("version.txt"));
  EXPECT_NE(version.find("build=0x045A0BB8\n"), std::string::npos) << version;
  EXPECT_NE(version.find("csd=\"  padded csd  \"\n"), std::string::npos) << version;
  std::string settings = ReadText(temp.Sub("machine.txt"));
  EXPECT_NE(settings.find("program=C:\\Program Files\\QU Netrevive\\NETREVIVE.EXE\n"),
            std::string::npos);
  EXPECT_NE(settings.find("pending=none\n"), std::string::npos);
}

TEST(MachineFolder, SavingAgainReplacesTheMachineAndKeepsOtherFiles) {
  TempFolder temp;
  MachineFolderError error;
  SimMachine machine = UnusualMachine();
  ASSERT_TRUE(SaveMachineFolder(temp.path(), machine, SessionRequest::kNone, &error));
  WriteText(temp.Sub("notes.txt"), "my notes");
  machine.RemoveFile("D:\\SETUP\\Readme Now.txt");
  machine.RemoveDirectory("D:\\SETUP");
  machine.RemoveDirectory("D:");
  machine.DeleteKey("HKLM\\Software\\QU");
  ASSERT_TRUE(SaveMachineFolder(temp.path(), machine, SessionRequest::kLogOff, &error))
      << error.ToString();
  EXPECT_FALSE(fs::exists(temp.Sub("drive/D/SETUP/Readme Now.txt")));
  EXPECT_EQ(ReadText(temp.Sub("notes.txt")), "my notes");
  EXPECT_FALSE(fs::exists(temp.Sub("drive.new")));
  EXPECT_FALSE(fs::exists(temp.Sub("drive.old")));
  EXPECT_FALSE(fs::exists(temp.Sub("registry.reg.new")));
  SimMachine loaded;
  SessionRequest pending = SessionRequest::kNone;
  ASSERT_TRUE(LoadMachineFolder(temp.path(), &loaded, &pending, &error)) << error.ToString();
  EXPECT_EQ(State(loaded), State(machine));
  EXPECT_EQ(pending, SessionRequest::kLogOff);
}

// A change to one file of a saved folder, and the error it must give.
struct FolderFault {
  const char* label;
  const char* file;  // relative to the folder
  const char* find;  // text replaced in it ("" = the file is written as replace)
  const char* replace;
  const char* error_file;  // the file the error names, relative to the folder
  int line;                // 0 when the error names no line
  const char* message_part;
};

class MachineFolderErrors : public ::testing::TestWithParam<FolderFault> {};

TEST_P(MachineFolderErrors, NameTheFileAndLineAndLeaveTheMachineAlone) {
  const FolderFault& c = GetParam();
  TempFolder temp;
  MachineFolderError error;
  ASSERT_TRUE(SaveMachineFolder(temp.path(), simulated_pc::MakeDefaultMachine(),
                                SessionRequest::kNone, &error));
  std::string path = temp.Sub(c.file);
  if (std::string(c.find).empty()) {
    if (std::string(c.replace) == "(remove)") {
      fs::remove_all(path);
    } else if (std::string(c.replace) == "(folder)") {
      fs::create_directories(path);
    } else if (std::string(c.replace) == "(link)") {
      fs::create_symlink("/etc/hostname", path);
    } else {
      WriteText(path, c.replace);
    }
  } else {
    std::string text = ReadText(path);
    size_t at = text.find(c.find);
    ASSERT_NE(at, std::string::npos) << c.find;
    text.replace(at, std::string(c.find).size(), c.replace);
    WriteText(path, text);
  }
  std::string folder_before = FolderContents(temp.path());

  SimMachine machine = UnusualMachine();
  std::string before = State(machine);
  SessionRequest pending = SessionRequest::kLogOff;
  ASSERT_FALSE(LoadMachineFolder(temp.path(), &machine, &pending, &error));
  EXPECT_EQ(error.file, temp.Sub(c.error_file));
  EXPECT_EQ(error.line, c.line) << error.ToString();
  EXPECT_NE(error.message.find(c.message_part), std::string::npos) << error.ToString();
  EXPECT_EQ(State(machine), before);
  EXPECT_EQ(pending, SessionRequest::kLogOff);
  EXPECT_EQ(FolderContents(temp.path()), folder_before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MachineFolderErrors,
    ::testing::Values(
        FolderFault{"NoRegistry", "registry.reg", "", "(remove)", "registry.reg", 0, "missing"},
        FolderFault{"RegistryHeader", "registry.reg", "REGEDIT4", "REGEDIT5", "registry.reg", 1,
                    "missing REGEDIT4 header"},
        FolderFault{"RegistryOtherRoot", "registry.reg", "",
                    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
                    "[HKEY_CURRENT_USER\\Software]\r\n",
                    "registry.reg", 5, "only HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT"},
        FolderFault{"RegistryUnterminated", "registry.reg", "",
                    "REGEDIT4\n[HKEY_CLASSES_ROOT\\dunfile]\n@=\"Dial-Up\n", "registry.reg", 3,
                    "unterminated string"},
        FolderFault{"NoVersion", "version.txt", "", "(remove)", "version.txt", 0, "missing"},
        FolderFault{"VersionBadNumber", "version.txt", "", "platform=1\nmajor=4\nminor=ten\n",
                    "version.txt", 3, "bad number for minor"},
        FolderFault{"VersionUnknown", "version.txt", "", "; comment\n\nplatfrom=1\n", "version.txt",
                    3, "unknown setting \"platfrom\""},
        FolderFault{"VersionTwice", "version.txt", "", "major=4\nmajor=4\n", "version.txt", 2,
                    "set twice"},
        FolderFault{"VersionMissingBuild", "version.txt", "",
                    "platform=1\nmajor=4\nminor=10\ncsd=\" A \"\n", "version.txt", 0,
                    "missing setting build="},
        FolderFault{"VersionNoEquals", "version.txt", "", "platform 1\n", "version.txt", 1,
                    "expected name=value"},
        FolderFault{"BuildTooLarge", "version.txt", "build=0x040A08AE", "build=0x1040A08AE",
                    "version.txt", 6, "bad number for build"},
        FolderFault{"PendingUnknown", "machine.txt", "pending=none", "pending=reboot",
                    "machine.txt", 4, "pending must be none, restart or logoff"},
        FolderFault{"WindowsDirNotOnADrive", "machine.txt", "windows_dir=C:\\WINDOWS",
                    "windows_dir=WINDOWS", "machine.txt", 2, "windows_dir must be a folder"},
        FolderFault{"NoMachineSettings", "machine.txt", "", "(remove)", "machine.txt", 0,
                    "missing"},
        FolderFault{"NoDrive", "drive", "", "(remove)", "drive", 0, "missing"},
        FolderFault{"NotADriveLetter", "drive/CD", "", "(folder)", "drive/CD", 0, "not a drive"},
        FolderFault{"FileAtDriveLevel", "drive/E", "", "a file", "drive/E", 0,
                    "a file where a drive letter folder belongs"},
        FolderFault{"NamesDifferingInCase", "drive/C/WINDOWS/SYSTEM.DAT", "", "other",
                    "drive/C/WINDOWS/system.dat", 0, "same name apart from case"},
        FolderFault{"Link", "drive/C/WINDOWS/link.txt", "", "(link)", "drive/C/WINDOWS/link.txt", 0,
                    "links are not followed"},
        FolderFault{"SetupCancelsNotANumber", "machine.txt", "pending=none",
                    "pending=none\nsetup_cancels=once", "machine.txt", 5,
                    "setup_cancels must be a number"},
        FolderFault{"UpgradeStaysNotYesOrNo", "machine.txt", "pending=none",
                    "pending=none\nupgrade_stays=1", "machine.txt", 5,
                    "upgrade_stays must be yes or no"},
        FolderFault{"TcpChainBrokenNotYesOrNo", "machine.txt", "pending=none",
                    "pending=none\ntcp_chain_broken=1", "machine.txt", 5,
                    "tcp_chain_broken must be yes or no"},
        FolderFault{"TempWithoutBackslash", "machine.txt", "pending=none",
                    "pending=none\ntemp=C:\\TEMP", "machine.txt", 5,
                    "temp must be unset or a folder"}),
    [](const ::testing::TestParamInfo<FolderFault>& info) { return info.param.label; });

TEST(MachineFolder, ABadDwordIsReportedOnItsLine) {
  TempFolder temp;
  MachineFolderError error;
  ASSERT_TRUE(SaveMachineFolder(temp.path(), simulated_pc::MakeDefaultMachine(),
                                SessionRequest::kNone, &error));
  std::string text = ReadText(temp.Sub("registry.reg"));
  size_t at = text.find("=dword:");
  ASSERT_NE(at, std::string::npos);
  int line = 1;
  for (size_t i = 0; i < at; ++i) line += text[i] == '\n';
  text.replace(at, 7, "=dword:x");
  WriteText(temp.Sub("registry.reg"), text);
  SimMachine machine;
  SessionRequest pending;
  ASSERT_FALSE(LoadMachineFolder(temp.path(), &machine, &pending, &error));
  EXPECT_EQ(error.line, line);
  EXPECT_EQ(error.ToString(), temp.Sub("registry.reg") + ":" + std::to_string(line) +
                                  ": bad dword \"x" + text.substr(at + 8, 8) +
                                  "\": expected 1 to 8 hex digits");
}

TEST(MachineFolder, AFolderThatIsAFileIsRefused) {
  TempFolder temp;
  WriteText(temp.Sub("machine"), "not a folder");
  SimMachine machine;
  SessionRequest pending;
  MachineFolderError error;
  EXPECT_FALSE(LoadMachineFolder(temp.Sub("machine"), &machine, &pending, &error));
  EXPECT_EQ(error.ToString(), temp.Sub("machine") + ": not a folder");
}

// ---- netrevive-sim on a machine folder -----------------------------------

TEST(NetreviveSimFolder, ANewFolderGetsTheRepairedMachine) {
  TempFolder temp;
  std::string dir = temp.Sub("pc");
  SimRun run = RunSim({"--keys", "auto", "--machine", dir});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.out.find("== netrevive-sim: the default machine, preset 98se"), std::string::npos);
  EXPECT_NE(run.out.find(", kept in the new folder " + dir + "\n"), std::string::npos);
  EXPECT_EQ(run.out.substr(run.out.size() - dir.size() - 21), "== machine saved in " + dir + "\n");

  SimMachine machine;
  SessionRequest pending = SessionRequest::kRestart;
  MachineFolderError error;
  ASSERT_TRUE(LoadMachineFolder(dir, &machine, &pending, &error)) << error.ToString();
  EXPECT_EQ(pending, SessionRequest::kNone);
  EXPECT_TRUE(simulated_pc::DunInstalled(machine));
  EXPECT_TRUE(machine.KeyExists(simulated_pc::kWinsock2Path));
  EXPECT_TRUE(machine.FileExists("C:\\WINDOWS\\system.tom"));
  EXPECT_TRUE(machine.FileExists("C:\\WINDOWS\\user.tom"));
  EXPECT_FALSE(machine.FileExists("C:\\WINDOWS\\rundunreinst.QU"));
  EXPECT_TRUE(machine.ListValues(simulated_pc::kRunOncePath).empty());
}

TEST(NetreviveSimFolder, APresetSeedsANewFolder) {
  TempFolder temp;
  std::string dir = temp.Sub("pc");
  SimRun run = RunSim({"--keys", "auto", "--machine", dir, "--preset", "upgrade-dunsetup"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  SimMachine machine;
  SessionRequest pending;
  MachineFolderError error;
  ASSERT_TRUE(LoadMachineFolder(dir, &machine, &pending, &error)) << error.ToString();
  EXPECT_FALSE(machine.KeyExists(simulated_pc::kMsdunPath));
  EXPECT_TRUE(simulated_pc::DunInstalled(machine));
}

// --one-run takes the repair one program run at a time; the folder carries
// the restart the program asked for to the next call.
TEST(NetreviveSimFolder, OneRunAtATime) {
  TempFolder temp;
  std::string dir = temp.Sub("pc");
  SimRun first = RunSim({"--keys", "auto", "--one-run", "--machine", dir});
  ASSERT_EQ(first.exit_status, 0) << first.err;
  EXPECT_NE(first.out.find("== --one-run: stopping before Windows restarts\n"), std::string::npos)
      << first.out;
  EXPECT_NE(ReadText(dir + "/machine.txt").find("pending=restart\n"), std::string::npos);
  std::string reg = ReadText(dir + "/registry.reg");
  EXPECT_NE(reg.find("\"QU Netrevive\"=\"C:\\\\NETREVIVE\\\\NETREVIVE.EXE ReinstallDUN\""),
            std::string::npos);
  EXPECT_EQ(ReadText(dir + "/drive/C/WINDOWS/rundunreinst.QU"), "REINSTALL\n");

  SimRun second = RunSim({"--keys", "auto", "--one-run", "--machine", dir});
  ASSERT_EQ(second.exit_status, 0) << second.err;
  EXPECT_NE(second.out.find("== the machine's last session ended with a restart request\n"
                            "== Windows restarts\n"
                            "== session 1: RunOnce \"QU Netrevive\" = "
                            "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN\n"),
            std::string::npos)
      << second.out;
  EXPECT_NE(second.out.find("Completeing Reinstallation...\n"), std::string::npos);
  EXPECT_EQ(second.out.find("Determining OS version"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir + "/drive/C/WINDOWS/rundunreinst.QU"));

  SimRun third = RunSim({"--keys", "auto", "--one-run", "--machine", dir});
  ASSERT_EQ(third.exit_status, 0) << third.err;
  // After the final restart Windows runs the Check, which ends the repair.
  EXPECT_NE(third.out.find("== Windows restarts\n"
                           "== session 1: RunOnce \"QU Netrevive\" = "
                           "C:\\NETREVIVE\\NETREVIVE.EXE Check\n"),
            std::string::npos)
      << third.out;
  EXPECT_NE(third.out.find("Result: REPAIRED."), std::string::npos) << third.out;
  EXPECT_EQ(third.out.find("the caller runs the Check"), std::string::npos) << third.out;
  EXPECT_NE(ReadText(dir + "/machine.txt").find("pending=none\n"), std::string::npos);

  // With nothing pending, the next call is the user starting the program.
  SimRun fourth = RunSim({"--keys", "auto", "--one-run", "--machine", dir});
  EXPECT_NE(fourth.out.find("== session 1: the user starts C:\\NETREVIVE\\NETREVIVE.EXE\n"),
            std::string::npos);
}

TEST(NetreviveSimFolder, AMalformedFolderIsReportedAndLeftAsItWas) {
  TempFolder temp;
  std::string dir = temp.Sub("pc");
  ASSERT_EQ(RunSim({"--keys", "auto", "--one-run", "--machine", dir}).exit_status, 0);
  std::string reg = ReadText(dir + "/registry.reg");
  reg += "\"orphan\"=hex:01,zz\r\n";
  WriteText(dir + "/registry.reg", reg);
  int line = 0;
  for (char c : reg) line += c == '\n';
  std::string before = FolderContents(dir);

  SimRun run = RunSim({"--keys", "auto", "--machine", dir});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(dir + "/registry.reg:" + std::to_string(line) + ": bad hex byte \"zz\""),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("left unchanged"), std::string::npos);
  EXPECT_EQ(FolderContents(dir), before);
}

// The program started from a path with blanks schedules its next run by the
// path's short form, which Windows hands back to it whole. An entry written
// with the blanks unquoted is split by the C runtime into four arguments,
// and with a C:\Program.exe on the drive Windows runs that instead.
TEST(NetreviveSimFolder, RunOnceWithABlankInTheProgramPath) {
  TempFolder temp;
  std::string dir = temp.Sub("pc");
  SimMachine machine = simulated_pc::MakeDefaultMachine();
  const std::string program = "C:\\Program Files\\QU Netrevive\\NETREVIVE.EXE";
  machine.set_self_path(program);
  machine.PutFile(program, "MZ");
  MachineFolderError error;
  ASSERT_TRUE(SaveMachineFolder(dir, machine, SessionRequest::kNone, &error));

  SimRun run = RunSim({"--keys", "auto", "--machine", dir});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.out.find("== session 2: RunOnce \"QU Netrevive\" = "
                         "C:\\PROGRA~1\\QUNETR~1\\NETREV~1.EXE ReinstallDUN\n"
                         "== the program starts: argv[0]=\"C:\\PROGRA~1\\QUNETR~1\\NETREV~1.EXE\" "
                         "argv[1]=\"ReinstallDUN\"\n"),
            std::string::npos)
      << run.out;
  SimMachine after;
  SessionRequest pending;
  ASSERT_TRUE(LoadMachineFolder(dir, &after, &pending, &error)) << error.ToString();
  EXPECT_TRUE(simulated_pc::DunInstalled(after));
  EXPECT_FALSE(after.FileExists("C:\\WINDOWS\\rundunreinst.QU"));

  machine.SetString(simulated_pc::kRunOncePath, "QU Netrevive", program + " ReinstallDUN");
  machine.PutFile("C:\\WINDOWS\\rundunreinst.QU", "REINSTALL\n");
  ASSERT_TRUE(SaveMachineFolder(dir, machine, SessionRequest::kRestart, &error));
  SimRun split = RunSim({"--keys", "auto", "--machine", dir});
  EXPECT_NE(split.out.find("== the program starts: argv[0]=\"C:\\Program\" "
                           "argv[1]=\"Files\\QU\" argv[2]=\"Netrevive\\NETREVIVE.EXE\" "
                           "argv[3]=\"ReinstallDUN\"\n"),
            std::string::npos)
      << split.out;
  EXPECT_NE(split.out.find("\nUsage: netrevive.exe\nPreforms the winsock 2 fix on Win9x computers\n"
                           "\nPress any key to continue\n== [key]\n"),
            std::string::npos);

  machine.PutFile("C:\\Program.exe", "MZ");
  ASSERT_TRUE(SaveMachineFolder(dir, machine, SessionRequest::kRestart, &error));
  SimRun hijacked = RunSim({"--keys", "auto", "--machine", dir});
  ASSERT_EQ(hijacked.exit_status, 0) << hijacked.err;
  EXPECT_NE(hijacked.out.find("== session 1: RunOnce \"QU Netrevive\" = " + program +
                              " ReinstallDUN\n"
                              "== Windows runs C:\\Program.exe -> not a known setup program, "
                              "no change\n"),
            std::string::npos)
      << hijacked.out;
}

// --program gives the user's start its argv[0]; the machine's drives and
// file attributes are kept in its folder; a RunOnce entry whose program is
// on a floppy disk or a network drive finds nothing after the restart.
TEST(NetreviveSimFolder, StartByNameDrivesAttributesAndDrivesGoneAfterARestart) {
  TempFolder temp;
  std::string dir = temp.Sub("pc");
  SimMachine machine = simulated_pc::MakeDefaultMachine();
  machine.set_drive_type('N', kDriveRemote);
  machine.set_temp_path("C:\\TMP\\");
  machine.set_setup_cancels(2);
  machine.set_upgrade_stays(true);
  machine.set_upgrade_restores_winsock2(false);
  machine.set_tcp_chain_broken(true);
  machine.PutFile("A:\\NETREVIVE.EXE", "MZ");
  machine.PutFile("N:\\NETREVIVE.EXE", "MZ");
  machine.SetString(simulated_pc::kRunOncePath, "floppy", "A:\\NETREVIVE.EXE ReinstallDUN");
  machine.SetString(simulated_pc::kRunOncePath, "network", "N:\\NETREVIVE.EXE ReinstallDUN");
  MachineFolderError error;
  ASSERT_TRUE(SaveMachineFolder(dir, machine, SessionRequest::kRestart, &error));
  EXPECT_NE(ReadText(dir + "/machine.txt").find("\ndrives=A:removable C:fixed D:cdrom N:remote\n"),
            std::string::npos);
  EXPECT_NE(ReadText(dir + "/attributes.txt").find("\nRHS C:\\WINDOWS\\system.dat\n"),
            std::string::npos);
  SimMachine loaded;
  SessionRequest pending;
  ASSERT_TRUE(LoadMachineFolder(dir, &loaded, &pending, &error)) << error.ToString();
  EXPECT_EQ(loaded.drive_types(), machine.drive_types());
  EXPECT_EQ(loaded.temp_path(), "C:\\TMP\\");
  EXPECT_EQ(loaded.setup_cancels(), 2);
  EXPECT_TRUE(loaded.upgrade_stays());
  EXPECT_FALSE(loaded.upgrade_restores_winsock2());
  EXPECT_TRUE(loaded.tcp_chain_broken());
  EXPECT_EQ(loaded.Attributes("C:\\WINDOWS\\user.dat"), 7u);
  EXPECT_EQ(loaded.Attributes("C:\\WINDOWS\\rundll.exe"), kFileAttributeArchive);

  SimRun gone = RunSim({"--keys", "auto", "--machine", dir});
  ASSERT_EQ(gone.exit_status, 0) << gone.err;
  for (const char* drive : {"A", "N"}) {
    EXPECT_NE(gone.out.find(std::string("== Windows cannot find ") + drive +
                            ":\\NETREVIVE.EXE: its floppy disk or network drive is gone after "
                            "the restart; the entry is dropped\n"),
              std::string::npos)
        << gone.out;
  }
  // Only the Check the caller runs at the end starts the program.
  const size_t start = gone.out.find("== the program starts");
  EXPECT_EQ(gone.out.substr(start, gone.out.find('\n', start) - start),
            "== the program starts: argv[0]=\"C:\\NETREVIVE\\NETREVIVE.EXE\" argv[1]=\"Check\"")
      << gone.out;
  EXPECT_EQ(gone.out.find("== the program starts", start + 1), std::string::npos) << gone.out;

  SimRun by_name = RunSim({"--keys", "auto", "--program", "netrevive"});
  ASSERT_EQ(by_name.exit_status, 0) << by_name.err;
  EXPECT_NE(by_name.out.find("== session 1: the user starts netrevive\n"
                             "== the program starts: argv[0]=\"netrevive\"\n"),
            std::string::npos)
      << by_name.out;
  EXPECT_NE(by_name.out.find("RunOnce \"QU Netrevive\" = C:\\NETREVIVE\\NETREVIVE.EXE "
                             "ReinstallDUN\n"),
            std::string::npos)
      << by_name.out;
}

// Windows takes the RunOnce entries in order, deleting each before it runs
// it: entries that are not text are dropped, a program it cannot find is
// skipped, other programs run as setup helpers, and the repair program runs
// as itself.
TEST(NetreviveSimFolder, EveryKindOfRunOnceEntry) {
  TempFolder temp;
  std::string dir = temp.Sub("pc");
  SimMachine machine = simulated_pc::MakeDefaultMachine();
  simulated_pc::RemoveDun(&machine);
  machine.DeleteKey(simulated_pc::kDialUpAdapterPath);
  machine.SetDword(simulated_pc::kRunOncePath, "number", 7);
  machine.SetString(simulated_pc::kRunOncePath, "driver",
                    "C:\\WINDOWS\\rundll32.exe rnasetup.dll,InstallDefaultDrv");
  machine.SetString(simulated_pc::kRunOncePath, "missing", "NOTHERE.EXE /x");
  machine.SetString(simulated_pc::kRunOncePath, "QU Netrevive",
                    "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN");
  MachineFolderError error;
  ASSERT_TRUE(SaveMachineFolder(dir, machine, SessionRequest::kRestart, &error));

  SimRun run = RunSim({"--keys", "auto", "--machine", dir});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const std::string expected_start =
      "== the machine's last session ended with a restart request\n"
      "== Windows restarts\n"
      "== session 1: RunOnce \"number\" is not text; Windows deletes it and goes on\n"
      "== session 1: RunOnce \"driver\" = C:\\WINDOWS\\rundll32.exe "
      "rnasetup.dll,InstallDefaultDrv\n"
      "== Windows runs C:\\WINDOWS\\rundll32.exe -> installed the default dial-up driver "
      "(Dial-Up Adapter)\n"
      "== session 1: RunOnce \"missing\" = NOTHERE.EXE /x\n"
      "== Windows cannot find the program of this entry; it is dropped\n"
      "== session 1: RunOnce \"QU Netrevive\" = C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN\n"
      "== the program starts: argv[0]=\"C:\\NETREVIVE\\NETREVIVE.EXE\" argv[1]=\"ReinstallDUN\"\n";
  size_t first_note = run.out.find('\n') + 1;
  EXPECT_EQ(run.out.substr(first_note, expected_start.size()), expected_start) << run.out;
  // No marker, no DUN: the program asks for its one key and names the
  // command that finishes the repair.
  EXPECT_NE(run.out.find("DUN will now be reinstalled.\nPress any key to continue.\n== [key]\n"
                         "Dial-Up Networking is not installed, and no reinstallation is "
                         "authorised.\nTo finish the repair, click Start, Run, type\n"
                         "\tC:\\NETREVIVE\\NETREVIVE.EXE\nand press Enter.\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("== helper runs: 1\n==   session 1 (RunOnce): "
                         "C:\\WINDOWS\\rundll32.exe rnasetup.dll,InstallDefaultDrv\n"
                         "== program runs: 2, restarts: 1, log-offs: 0\n"),
            std::string::npos)
      << run.out;

  SimMachine after;
  SessionRequest pending;
  ASSERT_TRUE(LoadMachineFolder(dir, &after, &pending, &error)) << error.ToString();
  EXPECT_TRUE(after.ListValues(simulated_pc::kRunOncePath).empty());
  EXPECT_TRUE(after.KeyExists(simulated_pc::kDialUpAdapterPath));
  EXPECT_EQ(pending, SessionRequest::kNone);
}

}  // namespace
}  // namespace netrevive::testing
