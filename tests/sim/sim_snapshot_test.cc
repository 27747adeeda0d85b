// The change summary of the simulated machine.

#include "platform/simulated_pc/sim_snapshot.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_session_start.h"
#include "support/test.h"

namespace netrevive::simulated_pc {
namespace {

TEST(SimSnapshotTest, ListsRemovedTreesValuesAndFiles) {
  SimMachine machine = MakeDefaultMachine();
  const MachineSnapshot before = TakeSnapshot(machine);
  const ChangeMark mark = MarkChanges(machine);
  machine.DeleteKey(kWinsock2Path);
  machine.SetString(kRunOncePath, "QU Netrevive", "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN");
  machine.SetString(kRnaComponentPath, "Installed", "0");
  machine.DeleteValue("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "SystemTray");
  machine.SetString("HKLM\\Software\\New\\Deeper", "", "x");
  machine.PutFile("C:\\WINDOWS\\system.tom", "copy");
  machine.PutFile("C:\\WINDOWS\\user.dat", "changed");
  machine.RemoveFile("C:\\WINDOWS\\rundll.exe");

  // Winsock2: itself, Parameters, two catalogs, two Catalog_Entries, 9 + 3
  // entries; 2 + 3 + 9 + 2 + 3 * 7 values.
  EXPECT_EQ(
      FormatChanges(DiffSnapshots(before, TakeSnapshot(machine))),
      "key removed: HKLM\\System\\CurrentControlSet\\Services\\Winsock2 (18 keys, 37 values)\n"
      "key added: HKLM\\Software\\New (2 keys, 1 value)\n"
      "value removed: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run \"SystemTray\"\n"
      "value added: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce \"QU Netrevive\"\n"
      "value changed: "
      "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\OptionalComponents\\RNA "
      "\"Installed\"\n"
      "file deleted: C:\\WINDOWS\\rundll.exe\n"
      "file changed: C:\\WINDOWS\\user.dat\n"
      "file created: C:\\WINDOWS\\system.tom\n");
  // The journal tells the same from the keys that changed alone.
  EXPECT_EQ(FormatChanges(ChangesSince(machine, mark)),
            FormatChanges(DiffSnapshots(before, TakeSnapshot(machine))));
}

// Over whole repairs (keys deleted and built again, values rewritten, files
// written through handles) the journal lists what two snapshots list.
TEST(SimSnapshotTest, ChangesSinceAMarkAreTheSnapshotsDifference) {
  for (const PresetInfo& preset : PresetMachines()) {
    SimMachine machine;
    ASSERT_TRUE(MakePresetMachine(preset.name, &machine));
    machine.SetString(kRunOncePath, "Other", "C:\\WINDOWS\\other.exe");
    const MachineSnapshot before = TakeSnapshot(machine);
    const ChangeMark mark = MarkChanges(machine);
    std::vector<std::string> args = {machine.self_path()};
    for (int run = 0; run < 4 && !args.empty(); ++run) {
      const MachineSnapshot run_start = TakeSnapshot(machine);
      const ChangeMark run_mark = MarkChanges(machine);
      testing::RunProgram(machine, args);
      EXPECT_EQ(FormatChanges(ChangesSince(machine, run_mark)),
                FormatChanges(DiffSnapshots(run_start, TakeSnapshot(machine))))
          << preset.name << ", run " << run + 1;
      args = simulated_pc::StartSessionUpToProgram(machine);
    }
    EXPECT_EQ(FormatChanges(ChangesSince(machine, mark)),
              FormatChanges(DiffSnapshots(before, TakeSnapshot(machine))))
        << preset.name;
  }
}

TEST(SimSnapshotTest, KeyNamesDifferingOnlyInCaseAreTheSameKey) {
  SimMachine machine;
  machine.SetString("HKCR\\dunfile", "", "a");
  const MachineSnapshot before = TakeSnapshot(machine);
  SimMachine other;
  other.SetString("HKCR\\DUNFILE", "", "a");
  EXPECT_TRUE(DiffSnapshots(before, TakeSnapshot(other)).empty());
  other.SetString("HKCR\\DUNFILE", "", "b");
  auto changes = DiffSnapshots(before, TakeSnapshot(other));
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].kind, MachineChange::Kind::kValueChanged);
  EXPECT_EQ(FormatChanges(changes), "value changed: HKCR\\DUNFILE @\n");
}

}  // namespace
}  // namespace netrevive::simulated_pc
