// The read-only look-ups the repair's checks share: Windows' setup files
// and the DUN upgrade's entry in the uninstall list.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "steps/dun_upgrade.h"
#include "steps/setup_files.h"

namespace netrevive {
namespace {

using simulated_pc::Op;
using simulated_pc::SimMachine;

constexpr const char* kSetupPath = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup";

// Every call a look-up makes only reads: nothing is written, created or
// deleted, and every key and search handle is given back.
void ExpectReadOnly(const SimMachine& machine, const std::string& label) {
  for (const simulated_pc::CallRecord& call : machine.calls()) {
    EXPECT_FALSE(simulated_pc::ChangesTheMachine(call.operation))
        << label << ": call #" << call.index << " " << simulated_pc::OpName(call.operation);
  }
  EXPECT_EQ(machine.DescribeOpenHandles(), "") << label;
}

TEST(ReadOnlyLookupsTest, SetupFilesAreLookedForInOrderAndTheFirstFolderWithACabWins) {
  struct Case {
    const char* label;
    const char* source_path;  // nullptr: no value
    std::vector<std::string> cabs;
    std::vector<std::string> folders;
    int found;
  };
  const Case cases[] = {
      {"source path with its backslash",
       "D:\\WIN98\\",
       {"D:\\WIN98\\BASE4.CAB"},
       {"D:\\WIN98", "C:\\WINDOWS\\OPTIONS\\CABS", "C:\\WINDOWS\\OPTIONS\\INSTALL"},
       0},
      {"cabs folder after an empty source",
       "D:\\WIN98",
       {"C:\\WINDOWS\\OPTIONS\\CABS\\net7.cab"},
       {"D:\\WIN98", "C:\\WINDOWS\\OPTIONS\\CABS", "C:\\WINDOWS\\OPTIONS\\INSTALL"},
       1},
      {"no source path, install folder",
       nullptr,
       {"C:\\WINDOWS\\OPTIONS\\INSTALL\\A.CAB"},
       {"C:\\WINDOWS\\OPTIONS\\CABS", "C:\\WINDOWS\\OPTIONS\\INSTALL"},
       1},
      {"only other files",
       "C:\\WINDOWS\\OPTIONS\\CABS",
       {"C:\\WINDOWS\\OPTIONS\\CABS\\README.TXT", "C:\\WINDOWS\\OPTIONS\\CABS.CAB"},
       {"C:\\WINDOWS\\OPTIONS\\CABS", "C:\\WINDOWS\\OPTIONS\\CABS",
        "C:\\WINDOWS\\OPTIONS\\INSTALL"},
       -1},
      // A drive root loses its backslash too: "E:" + "\\*.CAB" is its pattern.
      {"source path of a drive root",
       "E:\\",
       {"E:\\X.CAB"},
       {"E:", "C:\\WINDOWS\\OPTIONS\\CABS", "C:\\WINDOWS\\OPTIONS\\INSTALL"},
       0},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    machine.CreateKey(kSetupPath);
    if (c.source_path != nullptr) machine.SetString(kSetupPath, "SourcePath", c.source_path);
    for (const std::string& cab : c.cabs) machine.PutFile(cab, "MSCF");
    SetupFilesSearch search;
    EXPECT_EQ(FindSetupFiles(machine, &search), BuildStatus::kOk) << c.label;
    std::vector<std::string> folders;
    for (int i = 0; i < search.folder_count; ++i) folders.push_back(search.folders[i].c_str());
    EXPECT_EQ(folders, c.folders) << c.label;
    EXPECT_EQ(search.has_source_path, c.folders.size() == 3) << c.label;
    EXPECT_EQ(search.found, c.found) << c.label;
    ExpectReadOnly(machine, c.label);
  }
}

TEST(ReadOnlyLookupsTest, SetupFilesWithoutAWindowsDirectoryLookOnlyAtTheSourcePath) {
  SimMachine machine;
  machine.SetString(kSetupPath, "SourcePath", "D:\\WIN98");
  machine.PutFile("D:\\WIN98\\BASE4.CAB", "MSCF");
  machine.FailOperation(Op::kGetWindowsDirectoryA, "", 5);
  SetupFilesSearch search;
  EXPECT_EQ(FindSetupFiles(machine, &search), BuildStatus::kNoWindowsDir);
  ASSERT_EQ(search.folder_count, 1);
  EXPECT_EQ(search.found, 0);
}

TEST(ReadOnlyLookupsTest, TheUpgradeLookUpTellsEachOutcomeWithItsStatus) {
  struct Case {
    const char* label;
    const char* uninstall;  // nullptr: no upgrade
    Op failed;              // kSetConsoleCtrlHandler: nothing fails
    UpgradeLookup result;
    RegStatus status;
    const char* text;
    bool readable;
  };
  const Case cases[] = {
      {"none", nullptr, Op::kSetConsoleCtrlHandler, UpgradeLookup::kNotFound, 0, "", false},
      {"found", "dunsetup.exe /u", Op::kSetConsoleCtrlHandler, UpgradeLookup::kFound, 0,
       "dunsetup.exe /u", true},
      {"open", "dunsetup.exe /u", Op::kRegOpenKeyExA, UpgradeLookup::kOpenFailed, 5, "", false},
      {"query", "dunsetup.exe /u", Op::kRegQueryInfoKeyA, UpgradeLookup::kQueryFailed, 1015, "",
       false},
      {"enum", "dunsetup.exe /u", Op::kRegEnumKeyA, UpgradeLookup::kEnumFailed, 1009, "", false},
      {"value unreadable", "dunsetup.exe /u", Op::kRegQueryValueExA, UpgradeLookup::kFound, 0, "",
       false},
  };
  for (const Case& c : cases) {
    SimMachine machine = simulated_pc::MakeDefaultMachine();
    if (c.uninstall != nullptr) simulated_pc::AddDunUpgrade(&machine, c.uninstall);
    if (c.failed != Op::kSetConsoleCtrlHandler)
      machine.FailOperation(c.failed, "", c.status ? c.status : 2);
    DunUpgradeLookup lookup;
    LookUpDunUpgrade(machine, &lookup);
    EXPECT_EQ(lookup.result, c.result) << c.label;
    EXPECT_EQ(lookup.status, c.status) << c.label;
    EXPECT_STREQ(lookup.uninstall.text, c.text) << c.label;
    EXPECT_EQ(lookup.uninstall.readable, c.readable) << c.label;
    ExpectReadOnly(machine, c.label);
  }
}

}  // namespace
}  // namespace netrevive
