// The change summary of the simulated machine.

#include "platform/sim/sim_snapshot.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_presets.h"

namespace netrevive::sim {
namespace {

TEST(SimSnapshotTest, ListsRemovedTreesValuesAndFiles) {
  SimMachine machine = MakeDefaultMachine();
  const MachineSnapshot before = TakeSnapshot(machine);
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
}  // namespace netrevive::sim
