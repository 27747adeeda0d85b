// The built-in machines and what the simulated Windows setup programs do to
// them.

#include "platform/simulated_pc/sim_presets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_snapshot.h"

namespace netrevive::simulated_pc {
namespace {

// Starts a helper the way the program does: program path, then the program
// path followed by the argument text as command line.
bool RunHelper(SimMachine& machine, const std::string& program, const std::string& args,
               const std::string& working_directory) {
  std::string command = program + args;
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  ProcessInfo info{};
  if (!machine.CreateProcessA(program.c_str(), line.data(), working_directory.c_str(), &info)) {
    return false;
  }
  machine.WaitForSingleObject(info.process, kInfinite);
  machine.CloseHandle(info.thread);
  machine.CloseHandle(info.process);
  return true;
}

std::string Uninstall(const SimMachine& machine) {
  std::string text;
  machine.GetString(kMsdunPath, "UninstallString", &text);
  return text;
}

TEST(SimPresetTest, DefaultMachineIsAWindows98SePcWithDun) {
  SimMachine machine = MakeDefaultMachine();
  EXPECT_EQ(machine.windows_dir(), "C:\\WINDOWS");
  EXPECT_EQ(machine.version().platform_id, 1u);
  EXPECT_EQ(machine.version().minor_version, 10u);
  EXPECT_EQ(machine.version().build_number & 0xFFFF, 2222u);
  EXPECT_STREQ(machine.version().csd_version, " A ");
  EXPECT_EQ(machine.self_path(), "C:\\NETREVIVE\\NETREVIVE.EXE");
  EXPECT_TRUE(DunInstalled(machine));
  EXPECT_FALSE(machine.KeyExists(kMsdunPath));
  for (const char* file :
       {"C:\\WINDOWS\\system.dat", "C:\\WINDOWS\\user.dat", "C:\\WINDOWS\\rundll32.exe",
        "C:\\WINDOWS\\rundll.exe", "C:\\WINDOWS\\inf\\rna.inf", "C:\\NETREVIVE\\NETREVIVE.EXE"}) {
    EXPECT_TRUE(machine.FileExists(file)) << file;
  }
  EXPECT_TRUE(machine.DirectoryExists("C:\\WINDOWS\\SYSTEM"));
  EXPECT_FALSE(machine.FileExists("C:\\WINDOWS\\system\\dunsetup.exe"));

  const std::string parameters = std::string(kWinsock2Path) + "\\Parameters";
  const std::string protocols = parameters + "\\Protocol_Catalog9";
  std::vector<std::string> entries = machine.ListKeys(protocols + "\\Catalog_Entries");
  ASSERT_EQ(entries.size(), 9u);
  EXPECT_EQ(entries[0], "000000000001");
  EXPECT_EQ(entries[8], "000000000009");
  RegValue value;
  ASSERT_TRUE(
      machine.GetValue(protocols + "\\Catalog_Entries\\000000000001", "PackedCatalogItem", &value));
  EXPECT_EQ(value.type, kRegBinary);
  ASSERT_TRUE(machine.GetValue(protocols, "Num_Catalog_Entries", &value));
  EXPECT_EQ(value.type, kRegDword);
  EXPECT_EQ(value.data, std::vector<uint8_t>({9, 0, 0, 0}));
  EXPECT_TRUE(machine.ValueExists(protocols, "Next_Catalog_Entry_ID"));
  EXPECT_TRUE(machine.ValueExists(protocols, "Serial_Access_Num"));
  EXPECT_EQ(machine.ListKeys(parameters + "\\NameSpace_Catalog5\\Catalog_Entries").size(), 3u);
  EXPECT_TRUE(machine.ValueExists(
      parameters + "\\NameSpace_Catalog5\\Catalog_Entries\\000000000001", "LibraryPath"));
  std::string text;
  ASSERT_TRUE(machine.GetString(parameters, "Current_Protocol_Catalog", &text));
  EXPECT_EQ(text, "Protocol_Catalog9");
  ASSERT_TRUE(machine.GetString(parameters, "Current_NameSpace_Catalog", &text));
  EXPECT_EQ(text, "NameSpace_Catalog5");
  EXPECT_TRUE(machine.KeyExists(std::string(kServicesPath) + "\\Winsock"));
}

TEST(SimHelperModelTest, UninstallUpgradeRemovesDunAndInstallHinfSectionPutsItBack) {
  SimMachine machine = MakeDefaultMachine();
  const MachineSnapshot before = TakeSnapshot(machine);
  machine.DeleteKey(kWinsock2Path);
  ASSERT_TRUE(RunHelper(machine, "C:\\WINDOWS\\rundll32.exe", " rnasetup.dll,UninstallUpgrade",
                        "C:\\WINDOWS"));
  EXPECT_FALSE(DunInstalled(machine));
  EXPECT_FALSE(machine.KeyExists(kRemoteAccessPath));
  EXPECT_FALSE(machine.KeyExists(kDialUpAdapterPath));
  std::string installed;
  ASSERT_TRUE(machine.GetString(kRnaComponentPath, "Installed", &installed));
  EXPECT_EQ(installed, "0");
  EXPECT_TRUE(machine.processes().back().recognised);
  EXPECT_EQ(machine.clock_ms(), kHelperDurationMs);

  ASSERT_TRUE(RunHelper(machine, "C:\\WINDOWS\\rundll.exe",
                        " setupx.dll,InstallHinfSection RNA 128 C:\\WINDOWS\\inf\\rna.inf",
                        "C:\\WINDOWS"));
  EXPECT_TRUE(DunInstalled(machine));
  EXPECT_TRUE(machine.KeyExists(kWinsock2Path));
  ASSERT_TRUE(machine.GetString(kRnaComponentPath, "Installed", &installed));
  EXPECT_EQ(installed, "1");
  EXPECT_FALSE(machine.KeyExists(kDialUpAdapterPath));
  ASSERT_TRUE(RunHelper(machine, "C:\\WINDOWS\\rundll32.exe", " rnasetup.dll,InstallDefaultDrv",
                        "C:\\WINDOWS"));
  EXPECT_TRUE(machine.KeyExists(kDialUpAdapterPath));
  // The whole round trip leaves the registry as it was.
  EXPECT_EQ(FormatChanges(DiffSnapshots(before, TakeSnapshot(machine))), "no changes\n");
}

TEST(SimHelperModelTest, InstallHinfSectionWithoutTheInfChangesNothing) {
  SimMachine machine;
  ASSERT_TRUE(MakePresetMachine("no-rna-inf", &machine));
  RemoveDun(&machine);
  machine.DeleteKey(kWinsock2Path);
  const MachineSnapshot before = TakeSnapshot(machine);
  ASSERT_TRUE(RunHelper(machine, "C:\\WINDOWS\\rundll.exe",
                        " setupx.dll,InstallHinfSection RNA 128 C:\\WINDOWS\\inf\\rna.inf",
                        "C:\\WINDOWS"));
  EXPECT_TRUE(DiffSnapshots(before, TakeSnapshot(machine)).empty());
  EXPECT_FALSE(DunInstalled(machine));
}

TEST(SimHelperModelTest, InstallHinfSectionKeepsAnExistingWinsock2Tree) {
  SimMachine machine = MakeDefaultMachine();
  machine.SetString(kWinsock2Path, "Mark", "kept");
  ASSERT_TRUE(RunHelper(machine, "C:\\WINDOWS\\rundll.exe",
                        " setupx.dll,InstallHinfSection RNA 128 C:\\WINDOWS\\inf\\rna.inf",
                        "C:\\WINDOWS"));
  EXPECT_TRUE(machine.ValueExists(kWinsock2Path, "Mark"));
}

TEST(SimHelperModelTest, RnaRebootRequestsARestartWithoutDuration) {
  SimMachine machine = MakeDefaultMachine();
  ASSERT_TRUE(
      RunHelper(machine, "C:\\WINDOWS\\rundll32.exe", " rnasetup.dll,RnaReboot", "C:\\WINDOWS"));
  EXPECT_TRUE(machine.restart_requested());
  EXPECT_FALSE(machine.logoff_requested());
  EXPECT_EQ(machine.clock_ms(), 0u);
}

TEST(SimHelperModelTest, EachUpgradeFormIsRemovedByItsOwnUninstaller) {
  struct Case {
    const char* preset;
    const char* program;  // after the Windows directory
    const char* command;  // "" = Windows directory + "\\" + the uninstall text
    const char* working_directory;
    bool removed;
  };
  const Case cases[] = {
      {"upgrade-dunsetup", "\\system\\dunsetup.exe", "\\system\\dunsetup.exe /u", "\\system", true},
      {"upgrade-dunsetup", "\\system\\dunsetup.exe", "\\system\\dunsetup.exe /U2", "\\system",
       false},
      {"upgrade-rundll", "\\rundll.exe", "", "", true},
      {"upgrade-rundll32", "\\rundll32.exe", "", "", true},
      // The rundll32 text through rundll.exe is not the registered command.
      {"upgrade-rundll32", "\\rundll.exe", "\\rundll.exe advpack.dll,LaunchINFSection x", "",
       false},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(MakePresetMachine(c.preset, &machine));
    const std::string dir = machine.windows_dir();
    const std::string program = dir + c.program;
    const std::string command =
        c.command[0] == '\0' ? dir + "\\" + Uninstall(machine) : dir + c.command;
    ASSERT_TRUE(
        RunHelper(machine, program, command.substr(program.size()), dir + c.working_directory))
        << c.preset;
    EXPECT_EQ(!machine.KeyExists(kMsdunPath), c.removed) << c.preset << " " << command;
    EXPECT_EQ(machine.processes().back().recognised, c.removed) << c.preset;
    EXPECT_TRUE(DunInstalled(machine)) << "removing the upgrade keeps DUN itself";
  }
}

TEST(SimHelperModelTest, UnknownCommandsAndMissingHelpersChangeNothing) {
  SimMachine machine = MakeDefaultMachine();
  const MachineSnapshot before = TakeSnapshot(machine);
  ASSERT_TRUE(RunHelper(machine, "C:\\WINDOWS\\rundll32.exe", " shell32.dll,Control_RunDLL",
                        "C:\\WINDOWS"));
  EXPECT_FALSE(machine.processes().back().recognised);
  EXPECT_EQ(machine.processes().back().command_line,
            "C:\\WINDOWS\\rundll32.exe shell32.dll,Control_RunDLL");
  EXPECT_TRUE(DiffSnapshots(before, TakeSnapshot(machine)).empty());

  SimMachine no_helper;
  ASSERT_TRUE(MakePresetMachine("no-helper", &no_helper));
  EXPECT_FALSE(RunHelper(no_helper, "C:\\WINDOWS\\rundll32.exe", " rnasetup.dll,UninstallUpgrade",
                         "C:\\WINDOWS"));
  EXPECT_TRUE(DunInstalled(no_helper));
}

TEST(SimHelperModelTest, LongWindowsDirectoryMachineKeepsItsPathsTogether) {
  const std::string dir = "C:\\" + std::string(60, 'L');
  SimMachine machine = MakeDefaultMachine(dir);
  EXPECT_EQ(machine.windows_dir(), dir);
  EXPECT_TRUE(machine.FileExists(dir + "\\system.dat"));
  EXPECT_FALSE(machine.DirectoryExists("C:\\WINDOWS"));
  ASSERT_TRUE(RunHelper(machine, dir + "\\rundll32.exe", " rnasetup.dll,UninstallUpgrade", dir));
  EXPECT_FALSE(DunInstalled(machine));
}

}  // namespace
}  // namespace netrevive::simulated_pc
