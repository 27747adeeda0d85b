#ifndef NETREVIVE_PLATFORM_SIM_SIM_REGISTRY_H_
#define NETREVIVE_PLATFORM_SIM_SIM_REGISTRY_H_

// The registry of the simulated machine: HKLM and HKCR as trees of keys in
// creation order, each with its values in creation order, and the key
// handles the program holds. The helper functions take full paths
// ("HKLM\\Software\\..." or "HKEY_LOCAL_MACHINE\\...", "HKCR\\dunfile" or
// "HKEY_CLASSES_ROOT\\dunfile"); key and value names compare
// case-insensitively (ASCII) and keep their case. The operations take what
// SimMachine resolved from the program's handles.

#include <stdint.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_common.h"
#include "platform/simulated_pc/sim_paths.h"

namespace netrevive::simulated_pc {

// One registry value: any type, stored as the bytes given.
struct RegValue {
  std::string name;  // "" is the default value
  uint32_t type = kRegSz;
  std::vector<uint8_t> data;
};

class SimRegistry {
 public:
  // Empty HKLM and HKCR.
  SimRegistry();

  // ---- Helpers by path ----------------------------------------------------
  bool CreateKey(const std::string& path);  // false for an unknown root
  bool KeyExists(const std::string& path) const;
  bool DeleteKey(const std::string& path);  // not a root
  bool SetValue(const std::string& path, const std::string& name, uint32_t type,
                const std::vector<uint8_t>& data);
  // Sets each value as SetValue does, with one walk to the key (which is
  // created when needed); the data is moved in.
  bool SetValues(const std::string& path, std::vector<RegValue>&& values);
  bool GetValue(const std::string& path, const std::string& name, RegValue* value) const;
  // A REG_SZ with its NUL, a REG_DWORD; the text of any value up to its
  // first NUL (see SimMachine).
  bool SetString(const std::string& path, const std::string& name, const std::string& text);
  bool SetDword(const std::string& path, const std::string& name, uint32_t value);
  bool GetString(const std::string& path, const std::string& name, std::string* text) const;
  bool DeleteValue(const std::string& path, const std::string& name);
  std::vector<std::string> ListKeys(const std::string& path) const;
  std::vector<RegValue> ListValues(const std::string& path) const;
  std::string KeyPath(const std::string& path) const;  // long root name; "" when missing
  // Every key, HKLM then HKCR, depth first in creation order, with its path
  // (long root names) and values; is_root tells the two roots.
  void ForEachKey(const std::function<void(const std::string& path, bool is_root,
                                           const std::vector<RegValue>& values)>& visit) const;

  // ---- For the Platform operations ---------------------------------------
  // A key handle (or predefined root) resolved: status 6 for an unknown
  // handle (path then ""), 1018 for one whose key was deleted.
  struct Key {
    RegStatus status = kErrorSuccess;
    uint64_t node = 0;
    std::string path;  // "HKLM\\..." as opened

    // The path, or the handle value in hex when it is unknown, as the call
    // log shows the key.
    std::string Shown(RegKey handle) const { return path.empty() ? Hex(handle) : path; }
  };
  Key Resolve(RegKey handle) const;

  // Each takes a key that resolved successfully (key.status 0) and returns
  // the status of the operation, with the Win32 meanings (see SimMachine).
  RegStatus Open(const Key& key, const char* subkey, uint64_t call, RegKey* result);
  // Open, creating the missing keys on the way first.
  RegStatus Create(const Key& key, const char* subkey, uint64_t call, RegKey* result);
  RegStatus CountSubkeys(const Key& key, uint32_t* count) const;
  RegStatus EnumSubkey(const Key& key, uint32_t index, char* name, uint32_t name_size) const;
  RegStatus QueryValue(const Key& key, const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* data_size) const;
  RegStatus PutValue(const Key& key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t data_size);
  RegStatus RemoveSubkey(const Key& key, const char* subkey);
  RegStatus RemoveValue(const Key& key, const std::string& name);
  // Gives the handle up (nothing for a root or an unknown handle).
  void Release(RegKey handle) { handles_.erase(handle); }

  void DropHandles() { handles_.clear(); }
  // Puts the keys and values back as from holds them; handles stay.
  void RestoreContent(const SimRegistry& from) {
    nodes_ = from.nodes_;
    next_node_ = from.next_node_;
  }
  void ListHandles(std::vector<OpenHandleInfo>* out) const;

  // ---- What changed -------------------------------------------------------
  // Once the journal is on, every change notes the state of the key before
  // it (its normalised path, its path with the short root name as created,
  // whether it existed and its values), so that what changed from a moment on
  // is told from the keys that changed, without a copy of the registry.
  struct KeyBefore {
    std::string key;   // NormalizeKeyPath
    std::string path;  // "HKLM\..." as created
    bool existed = false;
    std::vector<RegValue> values;
  };
  void StartJournal() { journaling_ = true; }
  const std::vector<KeyBefore>& journal() const { return journal_; }

 private:
  struct Node {
    std::string name;
    uint64_t parent = 0;
    std::vector<uint64_t> children;  // creation order
    std::vector<RegValue> values;    // creation order
    // By upper-case name, so that a lookup does not walk every child or
    // value: a key such as HKCR\CLSID has thousands of subkeys, SharedDLLs
    // thousands of values.
    std::map<std::string, uint64_t> child_index;
    std::map<std::string, size_t> value_index;  // into values
  };
  struct KeyHandle {
    uint64_t node = 0;
    std::string path;  // as shown in the log and the list of open handles
    uint64_t opened_by_call = 0;
  };

  // The node reached from node through the components of subkey; 0 when one
  // is missing.
  uint64_t Walk(uint64_t node, const std::vector<std::string>& components) const;
  uint64_t FindNode(const std::string& path) const;  // 0 when missing
  uint64_t CreatePath(const std::string& path);      // 0 for an unknown root
  uint64_t FindChild(uint64_t node, const std::string& name) const;
  void RemoveTree(uint64_t node);
  std::string NodePath(uint64_t node, bool long_root) const;
  RegValue* FindValue(uint64_t node, const std::string& name);
  const RegValue* FindValue(uint64_t node, const std::string& name) const;
  void StoreValue(uint64_t node, const std::string& name, uint32_t type, std::vector<uint8_t> data);
  bool EraseValue(uint64_t node, const std::string& name);
  void VisitTree(uint64_t node,
                 const std::function<void(const std::string&, bool, const std::vector<RegValue>&)>&
                     visit) const;

  // Notes the key's state in the journal, when it is on.
  void NoteBefore(uint64_t node);
  void NoteCreated(uint64_t node);

  std::map<uint64_t, Node> nodes_;  // node 1 is HKLM, node 2 is HKCR
  bool journaling_ = false;
  std::vector<KeyBefore> journal_;
  uint64_t next_node_ = 3;
  std::map<RegKey, KeyHandle> handles_;
  RegKey next_handle_ = 0x00C00000;
};

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_REGISTRY_H_
