// The built-in machines and what the simulated Windows setup programs do to
// them.

#include "platform/simulated_pc/sim_presets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_snapshot.h"
#include "steps/steps.h"

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

// --help and the support guide describe each preset by its Windows and its
// DUN upgrade; the machine built must be that PC, as the program itself
// tells the Windows apart (FindWindowsRelease). "As OTHER, but ..." is a
// variant of the preset OTHER.
TEST(SimPresetTest, EachPresetIsThePcItsDescriptionNames) {
  struct Windows {
    const char* opening;  // the description's first words
    WindowsRelease release;
  };
  const Windows windows[] = {
      {"Windows 98 SE ", WindowsRelease::k98Se},
      {"Windows 98 SE,", WindowsRelease::k98Se},
      {"Windows 98 first edition ", WindowsRelease::k98},
      {"Windows ME ", WindowsRelease::kMe},
      {"Windows 95 ", WindowsRelease::k95},
      {"Windows 2000 ", WindowsRelease::kNtFamily},
  };
  for (const PresetInfo& preset : PresetMachines()) {
    SimMachine machine;
    ASSERT_TRUE(MakePresetMachine(preset.name, &machine));
    std::string description = preset.description;
    if (description.rfind("As ", 0) == 0) {
      const std::string other = description.substr(3, description.find(',') - 3);
      description.clear();
      for (const PresetInfo& known : PresetMachines()) {
        if (known.name == other) description = known.description;
      }
      ASSERT_FALSE(description.empty()) << preset.name << " is a variant of no preset";
    }
    const Windows* named = nullptr;
    for (const Windows& w : windows) {
      if (description.rfind(w.opening, 0) == 0) named = &w;
    }
    ASSERT_NE(named, nullptr) << preset.name << ": " << description;
    EXPECT_EQ(FindWindowsRelease(machine.version()), named->release) << preset.name;
    EXPECT_EQ(machine.KeyExists(kMsdunPath),
              description.find("with the DUN upgrade") != std::string::npos)
        << preset.name;
    EXPECT_EQ(DunInstalled(machine),
              description.find("without Dial-Up Networking") == std::string::npos)
        << preset.name;
  }
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
