#ifndef NETREVIVE_PLATFORM_SIM_SIM_SNAPSHOT_H_
#define NETREVIVE_PLATFORM_SIM_SIM_SNAPSHOT_H_

// What changed on a machine between two moments: take a snapshot before, one
// after, and diff them.

#include <stddef.h>

#include <map>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"

namespace netrevive::simulated_pc {

// The registry and files of a machine. Keys by normalised path (see
// SimMachine::NormalizeKeyPath), values by upper-case name; paths and names
// keep their display form inside.
struct MachineSnapshot {
  struct Key {
    std::string path;  // "HKLM\\System\\..." with its case
    std::map<std::string, RegValue> values;
  };
  struct File {
    std::string path;
    std::string contents;
  };
  std::map<std::string, Key> keys;
  std::map<std::string, File> files;
};

MachineSnapshot TakeSnapshot(const SimMachine& machine);

struct MachineChange {
  enum class Kind {
    kKeyRemoved,    // a whole removed tree, reported at its top key
    kKeyAdded,      // a whole added tree, reported at its top key
    kValueRemoved,  // in a key that exists before and after
    kValueAdded,
    kValueChanged,
    kFileCreated,
    kFileChanged,
    kFileDeleted,
  };
  Kind kind = Kind::kKeyRemoved;
  std::string path;        // key path ("HKLM\\...") or file path
  std::string name;        // value name for value changes
  size_t key_count = 0;    // keys in a removed or added tree, its top included
  size_t value_count = 0;  // values in that tree
};

// In order: key removals and additions (by path), value changes (by key, then
// name), then file changes (by path).
std::vector<MachineChange> DiffSnapshots(const MachineSnapshot& before,
                                         const MachineSnapshot& after);

// A moment to list the changes from without a copy of the registry: the
// machine's registry journal is started, and the changes are told from the
// keys that changed since (the few files are copied whole). What ChangesSince
// lists is what DiffSnapshots of a snapshot taken now and one taken then
// would list, in the same order.
struct ChangeMark {
  size_t journal_position = 0;
  std::map<std::string, MachineSnapshot::File> files;
};
ChangeMark MarkChanges(SimMachine& machine);
std::vector<MachineChange> ChangesSince(const SimMachine& machine, const ChangeMark& mark);

// One line per change, e.g.
//   "key removed: HKLM\\System\\CurrentControlSet\\Services\\Winsock2 (23 keys, 61 values)"
//   "value added: HKLM\\...\\RunOnce \"QU Netrevive\""
//   "file created: C:\\WINDOWS\\system.tom"
// "no changes\n" when the list is empty. Lines end with "\n".
std::string FormatChanges(const std::vector<MachineChange>& changes);

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_SNAPSHOT_H_
