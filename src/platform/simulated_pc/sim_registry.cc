#include "platform/simulated_pc/sim_registry.h"

#include <string.h>

#include <algorithm>
#include <utility>

#include "platform/simulated_pc/sim_paths.h"

namespace netrevive::simulated_pc {
namespace {

constexpr uint64_t kHklmNode = 1;
constexpr uint64_t kHkcrNode = 2;

bool IsRoot(uint64_t node) { return node == kHklmNode || node == kHkcrNode; }

// The root node a full path starts from, 0 for an unknown root.
uint64_t RootOf(const std::vector<std::string>& components) {
  if (components.empty()) return 0;
  std::string root = NormalizeKeyPath(components[0]);
  if (root == "HKLM") return kHklmNode;
  if (root == "HKCR") return kHkcrNode;
  return 0;
}

std::vector<std::string> SubkeyComponents(const char* subkey) {
  return subkey == nullptr ? std::vector<std::string>() : SplitComponents(subkey);
}

}  // namespace

SimRegistry::SimRegistry() {
  nodes_[kHklmNode].name = "HKEY_LOCAL_MACHINE";
  nodes_[kHkcrNode].name = "HKEY_CLASSES_ROOT";
}

// ---- The tree ---------------------------------------------------------------

uint64_t SimRegistry::FindChild(uint64_t node, const std::string& name) const {
  auto it = nodes_.find(node);
  if (it == nodes_.end()) return 0;
  auto child = it->second.child_index.find(UpperAscii(name));
  return child == it->second.child_index.end() ? 0 : child->second;
}

void SimRegistry::NoteBefore(uint64_t node) {
  if (!journaling_) return;
  const std::string path = NodePath(node, false);
  journal_.push_back(KeyBefore{NormalizeKeyPath(path), path, true, nodes_.at(node).values});
}

void SimRegistry::NoteCreated(uint64_t node) {
  if (!journaling_) return;
  const std::string path = NodePath(node, false);
  journal_.push_back(KeyBefore{NormalizeKeyPath(path), path, false, {}});
}

uint64_t SimRegistry::Walk(uint64_t node, const std::vector<std::string>& components) const {
  for (size_t i = 0; i < components.size() && node != 0; ++i) node = FindChild(node, components[i]);
  return node;
}

uint64_t SimRegistry::FindNode(const std::string& path) const {
  std::vector<std::string> components = SplitComponents(path);
  uint64_t root = RootOf(components);
  if (root == 0) return 0;
  components.erase(components.begin());
  return Walk(root, components);
}

uint64_t SimRegistry::CreatePath(const std::string& path) {
  std::vector<std::string> components = SplitComponents(path);
  uint64_t node = RootOf(components);
  if (node == 0) return 0;
  for (size_t i = 1; i < components.size(); ++i) {
    uint64_t child = FindChild(node, components[i]);
    if (child == 0) {
      child = next_node_++;
      Node& added = nodes_[child];
      added.name = components[i];
      added.parent = node;
      Node& parent = nodes_.at(node);
      parent.children.push_back(child);
      parent.child_index.emplace(UpperAscii(components[i]), child);
      NoteCreated(child);
    }
    node = child;
  }
  return node;
}

void SimRegistry::RemoveTree(uint64_t node) {
  auto it = nodes_.find(node);
  if (it == nodes_.end() || IsRoot(node)) return;
  NoteBefore(node);
  std::vector<uint64_t> children = it->second.children;
  for (uint64_t child : children) RemoveTree(child);
  auto parent = nodes_.find(it->second.parent);
  if (parent != nodes_.end()) {
    auto& siblings = parent->second.children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
    parent->second.child_index.erase(UpperAscii(it->second.name));
  }
  nodes_.erase(node);
}

std::string SimRegistry::NodePath(uint64_t node, bool long_root) const {
  std::vector<const std::string*> names;
  uint64_t current = node;
  while (current != 0) {
    auto it = nodes_.find(current);
    if (it == nodes_.end()) return "";
    if (IsRoot(current)) break;
    names.push_back(&it->second.name);
    current = it->second.parent;
  }
  std::string out;
  if (current == kHklmNode) out = long_root ? "HKEY_LOCAL_MACHINE" : "HKLM";
  if (current == kHkcrNode) out = long_root ? "HKEY_CLASSES_ROOT" : "HKCR";
  for (auto it = names.rbegin(); it != names.rend(); ++it) out += "\\" + **it;
  return out;
}

RegValue* SimRegistry::FindValue(uint64_t node, const std::string& name) {
  auto it = nodes_.find(node);
  if (it == nodes_.end()) return nullptr;
  auto at = it->second.value_index.find(UpperAscii(name));
  return at == it->second.value_index.end() ? nullptr : &it->second.values[at->second];
}

const RegValue* SimRegistry::FindValue(uint64_t node, const std::string& name) const {
  return const_cast<SimRegistry*>(this)->FindValue(node, name);
}

// A rewritten value keeps its place among the key's values.
void SimRegistry::StoreValue(uint64_t node, const std::string& name, uint32_t type,
                             std::vector<uint8_t> data) {
  NoteBefore(node);
  RegValue* value = FindValue(node, name);
  if (value == nullptr) {
    Node& key = nodes_.at(node);
    key.value_index.emplace(UpperAscii(name), key.values.size());
    key.values.push_back(RegValue{name, type, std::move(data)});
  } else {
    value->type = type;
    value->data = std::move(data);
  }
}

bool SimRegistry::EraseValue(uint64_t node, const std::string& name) {
  Node& key = nodes_.at(node);
  auto at = key.value_index.find(UpperAscii(name));
  if (at == key.value_index.end()) return false;
  NoteBefore(node);
  const size_t erased = at->second;
  key.values.erase(key.values.begin() + static_cast<std::ptrdiff_t>(erased));
  key.value_index.erase(at);
  for (auto& entry : key.value_index) {
    if (entry.second > erased) --entry.second;
  }
  return true;
}

void SimRegistry::VisitTree(uint64_t node,
                            const std::function<void(const std::string&, bool,
                                                     const std::vector<RegValue>&)>& visit) const {
  const Node& key = nodes_.at(node);
  visit(NodePath(node, true), IsRoot(node), key.values);
  for (uint64_t child : key.children) VisitTree(child, visit);
}

// ---- Helpers by path --------------------------------------------------------

bool SimRegistry::CreateKey(const std::string& path) { return CreatePath(path) != 0; }

bool SimRegistry::KeyExists(const std::string& path) const { return FindNode(path) != 0; }

bool SimRegistry::DeleteKey(const std::string& path) {
  uint64_t node = FindNode(path);
  if (node == 0 || IsRoot(node)) return false;
  RemoveTree(node);
  return true;
}

bool SimRegistry::SetValue(const std::string& path, const std::string& name, uint32_t type,
                           const std::vector<uint8_t>& data) {
  uint64_t node = CreatePath(path);
  if (node == 0) return false;
  StoreValue(node, name, type, data);
  return true;
}

bool SimRegistry::SetValues(const std::string& path, std::vector<RegValue>&& values) {
  uint64_t node = CreatePath(path);
  if (node == 0) return false;
  for (RegValue& value : values) StoreValue(node, value.name, value.type, std::move(value.data));
  return true;
}

bool SimRegistry::GetValue(const std::string& path, const std::string& name,
                           RegValue* value) const {
  const RegValue* found = FindValue(FindNode(path), name);
  if (found == nullptr) return false;
  if (value != nullptr) *value = *found;
  return true;
}

bool SimRegistry::DeleteValue(const std::string& path, const std::string& name) {
  uint64_t node = FindNode(path);
  return node != 0 && EraseValue(node, name);
}

std::vector<std::string> SimRegistry::ListKeys(const std::string& path) const {
  std::vector<std::string> names;
  uint64_t node = FindNode(path);
  if (node == 0) return names;
  for (uint64_t child : nodes_.at(node).children) names.push_back(nodes_.at(child).name);
  return names;
}

std::vector<RegValue> SimRegistry::ListValues(const std::string& path) const {
  uint64_t node = FindNode(path);
  if (node == 0) return {};
  return nodes_.at(node).values;
}

std::string SimRegistry::KeyPath(const std::string& path) const {
  uint64_t node = FindNode(path);
  return node == 0 ? "" : NodePath(node, true);
}

void SimRegistry::ForEachKey(
    const std::function<void(const std::string& path, bool is_root,
                             const std::vector<RegValue>& values)>& visit) const {
  VisitTree(kHklmNode, visit);
  VisitTree(kHkcrNode, visit);
}

// ---- For the Platform operations -------------------------------------------

SimRegistry::Key SimRegistry::Resolve(RegKey handle) const {
  Key key;
  if (handle == kHkeyLocalMachine || handle == kHkeyClassesRoot) {
    key.node = handle == kHkeyLocalMachine ? kHklmNode : kHkcrNode;
    key.path = handle == kHkeyLocalMachine ? "HKLM" : "HKCR";
    return key;
  }
  auto it = handles_.find(handle);
  if (it == handles_.end()) {
    key.status = kErrorInvalidHandle;
    return key;
  }
  key.node = it->second.node;
  key.path = it->second.path;
  if (nodes_.count(key.node) == 0) key.status = kErrorKeyDeleted;
  return key;
}

RegStatus SimRegistry::Open(const Key& key, const char* subkey, uint64_t call, RegKey* result) {
  if (result == nullptr) return kErrorInvalidParameter;
  uint64_t node = Walk(key.node, SubkeyComponents(subkey));
  if (node == 0) return kErrorFileNotFound;
  RegKey handle = next_handle_;
  next_handle_ += 4;
  handles_[handle] = KeyHandle{node, NodePath(node, false), call};
  *result = handle;
  return kErrorSuccess;
}

RegStatus SimRegistry::Create(const Key& key, const char* subkey, uint64_t call, RegKey* result) {
  if (result == nullptr) return kErrorInvalidParameter;
  uint64_t node = key.node;
  for (const std::string& name : SubkeyComponents(subkey)) {
    uint64_t child = FindChild(node, name);
    if (child == 0) {
      child = next_node_++;
      Node& added = nodes_[child];
      added.name = name;
      added.parent = node;
      Node& parent = nodes_.at(node);
      parent.children.push_back(child);
      parent.child_index.emplace(UpperAscii(name), child);
      NoteCreated(child);
    }
    node = child;
  }
  return Open(Key{kErrorSuccess, node, ""}, nullptr, call, result);
}

RegStatus SimRegistry::CountSubkeys(const Key& key, uint32_t* count) const {
  if (count != nullptr) *count = static_cast<uint32_t>(nodes_.at(key.node).children.size());
  return kErrorSuccess;
}

RegStatus SimRegistry::EnumSubkey(const Key& key, uint32_t index, char* name,
                                  uint32_t name_size) const {
  if (name == nullptr) return kErrorInvalidParameter;
  const std::vector<uint64_t>& children = nodes_.at(key.node).children;
  if (index >= children.size()) return kErrorNoMoreItems;
  const std::string& child = nodes_.at(children[index]).name;
  if (name_size < child.size() + 1) return kErrorMoreData;
  memcpy(name, child.c_str(), child.size() + 1);
  return kErrorSuccess;
}

RegStatus SimRegistry::QueryValue(const Key& key, const std::string& name, uint32_t* type,
                                  uint8_t* data, uint32_t* data_size) const {
  if (data != nullptr && data_size == nullptr) return kErrorInvalidParameter;
  const RegValue* value = FindValue(key.node, name);
  if (value == nullptr) return kErrorFileNotFound;
  RegStatus status = kErrorSuccess;
  uint32_t size = static_cast<uint32_t>(value->data.size());
  if (type != nullptr) *type = value->type;
  if (data != nullptr && *data_size < size) {
    status = kErrorMoreData;
  } else if (data != nullptr && size > 0) {
    memcpy(data, value->data.data(), size);
  }
  if (data_size != nullptr) *data_size = size;
  return status;
}

RegStatus SimRegistry::PutValue(const Key& key, const std::string& name, uint32_t type,
                                const uint8_t* data, uint32_t data_size) {
  if (data == nullptr && data_size > 0) return kErrorInvalidParameter;
  std::vector<uint8_t> bytes;
  if (data != nullptr) bytes.assign(data, data + data_size);
  StoreValue(key.node, name, type, std::move(bytes));
  return kErrorSuccess;
}

RegStatus SimRegistry::RemoveSubkey(const Key& key, const char* subkey) {
  std::vector<std::string> components = SubkeyComponents(subkey);
  if (components.empty()) return kErrorInvalidParameter;
  uint64_t node = Walk(key.node, components);
  if (node == 0) return kErrorFileNotFound;
  RemoveTree(node);
  return kErrorSuccess;
}

RegStatus SimRegistry::RemoveValue(const Key& key, const std::string& name) {
  return EraseValue(key.node, name) ? kErrorSuccess : kErrorFileNotFound;
}

void SimRegistry::ListHandles(std::vector<OpenHandleInfo>* out) const {
  for (const auto& entry : handles_) {
    out->push_back(OpenHandleInfo{OpenHandleInfo::Kind::kKey, entry.first, entry.second.path,
                                  entry.second.opened_by_call});
  }
}

bool SimRegistry::SetString(const std::string& path, const std::string& name,
                            const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return SetValue(path, name, kRegSz, bytes);
}

bool SimRegistry::SetDword(const std::string& path, const std::string& name, uint32_t value) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                static_cast<uint8_t>(value >> 16),
                                static_cast<uint8_t>(value >> 24)};
  return SetValue(path, name, kRegDword, bytes);
}

bool SimRegistry::GetString(const std::string& path, const std::string& name,
                            std::string* text) const {
  RegValue value;
  if (!GetValue(path, name, &value)) return false;
  std::string out;
  for (uint8_t b : value.data) {
    if (b == 0) break;
    out += static_cast<char>(b);
  }
  if (text != nullptr) *text = out;
  return true;
}

}  // namespace netrevive::simulated_pc
