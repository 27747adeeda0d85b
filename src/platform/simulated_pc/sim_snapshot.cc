#include "platform/simulated_pc/sim_snapshot.h"

#include <set>
#include <utility>

namespace netrevive::simulated_pc {
namespace {

// "HKEY_LOCAL_MACHINE\\X" -> "HKLM\\X", "HKEY_CLASSES_ROOT\\X" -> "HKCR\\X".
std::string ShortRootPath(const std::string& path) {
  static const std::pair<const char*, const char*> kRoots[] = {{"HKEY_LOCAL_MACHINE", "HKLM"},
                                                               {"HKEY_CLASSES_ROOT", "HKCR"}};
  for (const auto& root : kRoots) {
    std::string name = root.first;
    if (path.compare(0, name.size(), name) == 0) return root.second + path.substr(name.size());
  }
  return path;
}

bool IsUnder(const std::string& path, const std::string& top) {
  return path == top || (path.size() > top.size() && path.compare(0, top.size(), top) == 0 &&
                         path[top.size()] == '\\');
}

std::string ParentOf(const std::string& path) {
  size_t cut = path.rfind('\\');
  return cut == std::string::npos ? "" : path.substr(0, cut);
}

// Keys present in `from` and missing in `to`, reported at the top of each
// missing tree.
void TreeChanges(const MachineSnapshot& from, const MachineSnapshot& to, MachineChange::Kind kind,
                 std::vector<MachineChange>* out) {
  for (const auto& entry : from.keys) {
    if (to.keys.count(entry.first) != 0) continue;
    const std::string parent = ParentOf(entry.first);
    if (from.keys.count(parent) != 0 && to.keys.count(parent) == 0) continue;  // not the top
    MachineChange change;
    change.kind = kind;
    change.path = entry.second.path;
    for (auto it = from.keys.lower_bound(entry.first);
         it != from.keys.end() && IsUnder(it->first, entry.first); ++it) {
      if (to.keys.count(it->first) != 0) continue;
      ++change.key_count;
      change.value_count += it->second.values.size();
    }
    out->push_back(std::move(change));
  }
}

bool SameValue(const RegValue& a, const RegValue& b) {
  return a.type == b.type && a.data == b.data && a.name == b.name;
}

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

MachineSnapshot TakeSnapshot(const SimMachine& machine) {
  MachineSnapshot snapshot;
  machine.ForEachKey(
      [&snapshot](const std::string& path, bool is_root, const std::vector<RegValue>& values) {
        if (is_root && values.empty()) return;
        MachineSnapshot::Key entry;
        entry.path = ShortRootPath(path);
        for (const RegValue& value : values) entry.values[UpperAscii(value.name)] = value;
        snapshot.keys[NormalizeKeyPath(path)] = std::move(entry);
      });
  for (const std::string& path : machine.ListFiles()) {
    MachineSnapshot::File entry;
    entry.path = path;
    machine.ReadFile(path, &entry.contents);
    snapshot.files[SimMachine::NormalizeFilePath(path)] = std::move(entry);
  }
  return snapshot;
}

namespace {

void AddFiles(const SimMachine& machine, MachineSnapshot* snapshot) {
  for (const std::string& path : machine.ListFiles()) {
    MachineSnapshot::File entry;
    entry.path = path;
    machine.ReadFile(path, &entry.contents);
    snapshot->files[SimMachine::NormalizeFilePath(path)] = std::move(entry);
  }
}

// The key as a snapshot holds it; false for a missing key and for a root
// without values, which snapshots leave out.
bool KeyEntry(const std::string& path, bool is_root, const std::vector<RegValue>& values,
              MachineSnapshot::Key* entry) {
  if (is_root && values.empty()) return false;
  entry->path = path;
  for (const RegValue& value : values) entry->values[UpperAscii(value.name)] = value;
  return true;
}

}  // namespace

ChangeMark MarkChanges(SimMachine& machine) {
  machine.StartRegistryJournal();
  ChangeMark mark;
  mark.journal_position = machine.registry_journal().size();
  MachineSnapshot files;
  AddFiles(machine, &files);
  mark.files = std::move(files.files);
  return mark;
}

std::vector<MachineChange> ChangesSince(const SimMachine& machine, const ChangeMark& mark) {
  // Both moments hold only the keys that changed in between: the others
  // would compare equal, and a changed key's parent that did not change
  // tells the diff nothing more (it is in both moments or in neither).
  MachineSnapshot then;
  MachineSnapshot now;
  const std::vector<SimRegistry::KeyBefore>& journal = machine.registry_journal();
  std::set<std::string> seen;
  for (size_t i = mark.journal_position; i < journal.size(); ++i) {
    const SimRegistry::KeyBefore& before = journal[i];
    if (!seen.insert(before.key).second) continue;  // its first note holds its state then
    const bool is_root = before.key.find('\\') == std::string::npos;
    MachineSnapshot::Key entry;
    if (before.existed && KeyEntry(before.path, is_root, before.values, &entry)) {
      then.keys[before.key] = std::move(entry);
    }
    const std::string path = machine.KeyPath(before.key);
    MachineSnapshot::Key current;
    if (!path.empty() &&
        KeyEntry(ShortRootPath(path), is_root, machine.ListValues(before.key), &current)) {
      now.keys[before.key] = std::move(current);
    }
  }
  then.files = mark.files;
  AddFiles(machine, &now);
  return DiffSnapshots(then, now);
}

std::vector<MachineChange> DiffSnapshots(const MachineSnapshot& before,
                                         const MachineSnapshot& after) {
  std::vector<MachineChange> changes;
  TreeChanges(before, after, MachineChange::Kind::kKeyRemoved, &changes);
  TreeChanges(after, before, MachineChange::Kind::kKeyAdded, &changes);
  for (const auto& entry : before.keys) {
    auto later = after.keys.find(entry.first);
    if (later == after.keys.end()) continue;
    const auto& old_values = entry.second.values;
    const auto& new_values = later->second.values;
    for (const auto& value : old_values) {
      auto found = new_values.find(value.first);
      MachineChange change;
      change.path = later->second.path;
      change.name = value.second.name;
      if (found == new_values.end()) {
        change.kind = MachineChange::Kind::kValueRemoved;
      } else if (!SameValue(found->second, value.second)) {
        change.kind = MachineChange::Kind::kValueChanged;
        change.name = found->second.name;
      } else {
        continue;
      }
      changes.push_back(std::move(change));
    }
    for (const auto& value : new_values) {
      if (old_values.count(value.first) != 0) continue;
      MachineChange change;
      change.kind = MachineChange::Kind::kValueAdded;
      change.path = later->second.path;
      change.name = value.second.name;
      changes.push_back(std::move(change));
    }
  }
  for (const auto& entry : before.files) {
    auto later = after.files.find(entry.first);
    MachineChange change;
    change.path = entry.second.path;
    if (later == after.files.end()) {
      change.kind = MachineChange::Kind::kFileDeleted;
    } else if (later->second.contents != entry.second.contents) {
      change.kind = MachineChange::Kind::kFileChanged;
    } else {
      continue;
    }
    changes.push_back(std::move(change));
  }
  for (const auto& entry : after.files) {
    if (before.files.count(entry.first) != 0) continue;
    MachineChange change;
    change.kind = MachineChange::Kind::kFileCreated;
    change.path = entry.second.path;
    changes.push_back(std::move(change));
  }
  return changes;
}

std::string FormatChanges(const std::vector<MachineChange>& changes) {
  if (changes.empty()) return "no changes\n";
  std::string out;
  for (const MachineChange& change : changes) {
    const std::string value = "\"" + change.name + "\"";
    const std::string name = change.name.empty() ? std::string("@") : value;
    const std::string tree = " (" + Plural(change.key_count, "key", "keys") + ", " +
                             Plural(change.value_count, "value", "values") + ")";
    switch (change.kind) {
      case MachineChange::Kind::kKeyRemoved:
        out += "key removed: " + change.path + tree;
        break;
      case MachineChange::Kind::kKeyAdded:
        out += "key added: " + change.path + tree;
        break;
      case MachineChange::Kind::kValueRemoved:
        out += "value removed: " + change.path + " " + name;
        break;
      case MachineChange::Kind::kValueAdded:
        out += "value added: " + change.path + " " + name;
        break;
      case MachineChange::Kind::kValueChanged:
        out += "value changed: " + change.path + " " + name;
        break;
      case MachineChange::Kind::kFileCreated:
        out += "file created: " + change.path;
        break;
      case MachineChange::Kind::kFileChanged:
        out += "file changed: " + change.path;
        break;
      case MachineChange::Kind::kFileDeleted:
        out += "file deleted: " + change.path;
        break;
    }
    out += "\n";
  }
  return out;
}

}  // namespace netrevive::simulated_pc
