#include "platform/sim/sim_machine.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <utility>

#include "platform/sim/sim_command_line.h"

namespace netrevive::sim {
namespace {

constexpr uint64_t kHklmNode = 1;
constexpr uint64_t kHkcrNode = 2;
constexpr size_t kLoggedDataLimit = 160;
constexpr uint32_t kRegExpandSz = 2;

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Upper(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = UpperAscii(c);
  return out;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

// Components of a backslash-separated path; empty components are dropped.
std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

// "HKLM" or "HKCR" for the root names the machine knows, "" otherwise.
std::string ShortRoot(const std::string& root) {
  std::string upper = Upper(root);
  if (upper == "HKLM" || upper == "HKEY_LOCAL_MACHINE") return "HKLM";
  if (upper == "HKCR" || upper == "HKEY_CLASSES_ROOT") return "HKCR";
  return "";
}

std::string Hex(uint64_t value) {
  char text[32];
  snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string Quoted(const char* text) {
  if (text == nullptr) return "(null)";
  return std::string("\"") + text + "\"";
}

// Bytes as readable text: printable ASCII as is, the rest as \xNN.
std::string DataText(const uint8_t* data, uint32_t size) {
  if (data == nullptr) return "(null)";
  std::string out = "\"";
  for (uint32_t i = 0; i < size && i < kLoggedDataLimit; ++i) {
    uint8_t b = data[i];
    if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
      out += static_cast<char>(b);
    } else if (b == '\\') {
      out += "\\\\";
    } else if (b == '"') {
      out += "\\\"";
    } else {
      char esc[8];
      snprintf(esc, sizeof esc, "\\x%02X", b);
      out += esc;
    }
  }
  out += "\"";
  if (size > kLoggedDataLimit) out += "...";
  return out;
}

bool PathsMatch(const std::string& rule_path, const std::string& call_path) {
  std::string rule_key = SimMachine::NormalizeKeyPath(rule_path);
  std::string call_key = SimMachine::NormalizeKeyPath(call_path);
  if (!rule_key.empty() && !call_key.empty()) return rule_key == call_key;
  return SimMachine::NormalizeFilePath(rule_path) == SimMachine::NormalizeFilePath(call_path);
}

std::string ParentOf(const std::string& normalized) {
  size_t cut = normalized.rfind('\\');
  if (cut == std::string::npos) return "";
  return normalized.substr(0, cut);
}

bool IsDriveRoot(const std::string& normalized) {
  return normalized.size() == 2 && normalized[1] == ':';
}

}  // namespace

std::string CallRecord::ToString() const {
  std::string line = "#" + std::to_string(index) + " " + operation;
  if (!arguments.empty()) line += " " + arguments;
  line += " -> " + std::to_string(result);
  if (status != 0) line += " (status " + std::to_string(status) + ")";
  if (faulted) line += " [fault]";
  if (after_power_cut) line += " [power off]";
  return line;
}

SimMachine::SimMachine() {
  nodes_[kHklmNode].name = "HKEY_LOCAL_MACHINE";
  nodes_[kHkcrNode].name = "HKEY_CLASSES_ROOT";
  set_windows_dir("C:\\WINDOWS");
}

// ---- Normalisation ----------------------------------------------------------

std::string SimMachine::NormalizeKeyPath(const std::string& path) {
  std::vector<std::string> parts = SplitComponents(path);
  if (parts.empty()) return "";
  std::string out = ShortRoot(parts[0]);
  if (out.empty()) return "";
  for (size_t i = 1; i < parts.size(); ++i) out += "\\" + Upper(parts[i]);
  return out;
}

std::string SimMachine::NormalizeFilePath(const std::string& path) {
  std::string out = Upper(path);
  std::replace(out.begin(), out.end(), '/', '\\');
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

// ---- Call gate --------------------------------------------------------------

bool SimMachine::RuleMatches(const FaultRule& rule, const std::string& operation,
                             const std::string& path, const std::string& alternate_path) const {
  if (!rule.persistent && rule.hits > 0) return false;
  if (rule.call_index != 0 && rule.call_index != call_count_) return false;
  if (!rule.operation.empty() && rule.operation != operation) return false;
  if (rule.path.empty()) return true;
  if (!path.empty() && PathsMatch(rule.path, path)) return true;
  return !alternate_path.empty() && PathsMatch(rule.path, alternate_path);
}

SimMachine::CallGate SimMachine::BeginCall(const char* operation, const std::string& path,
                                           const std::string& arguments,
                                           const std::string& alternate_path) {
  ++call_count_;
  CallRecord record;
  record.index = call_count_;
  record.operation = operation;
  record.path = path;
  record.arguments = arguments;
  CallGate gate;
  gate.record = calls_.size();
  if (powered_off_) {
    record.after_power_cut = true;
    gate.proceed = false;
    gate.status = kErrorNotReady;
  } else {
    for (FaultRule& rule : faults_) {
      if (!RuleMatches(rule, record.operation, path, alternate_path)) continue;
      ++rule.hits;
      ++faults_met_;
      record.faulted = true;
      gate.proceed = false;
      gate.status = rule.status;
      break;
    }
  }
  calls_.push_back(std::move(record));
  return gate;
}

void SimMachine::EndCall(const CallGate& gate, int64_t result, RegStatus status) {
  CallRecord& record = calls_[gate.record];
  record.result = result;
  record.status = status;
  if (!powered_off_ && power_cut_after_ != 0 && record.index >= power_cut_after_) CutPower();
}

bool SimMachine::FailBool(const CallGate& gate, RegStatus status) {
  last_error_ = status;
  EndCall(gate, 0, status);
  return false;
}

void SimMachine::CutPower() {
  if (powered_off_) return;
  powered_off_ = true;
  power_cut_after_ = 0;
  power_cut_at_ = call_count_;
  // What was written through a handle still open is not on the disk yet.
  for (const auto& entry : file_handles_) {
    if (!entry.second.write) continue;
    auto file = files_.find(entry.second.key);
    if (file != files_.end()) file->second.contents.clear();
  }
}

void SimMachine::FailOperation(const std::string& operation, const std::string& path,
                               RegStatus status, bool persistent) {
  FaultRule rule;
  rule.operation = operation;
  rule.path = path;
  rule.status = status;
  rule.persistent = persistent;
  faults_.push_back(rule);
}

void SimMachine::FailCallNumber(uint64_t index, RegStatus status) {
  FaultRule rule;
  rule.call_index = index;
  rule.status = status;
  faults_.push_back(rule);
}

// ---- Registry internals -----------------------------------------------------

uint64_t SimMachine::RootNode(const std::string& normalized_root) const {
  if (normalized_root == "HKLM") return kHklmNode;
  if (normalized_root == "HKCR") return kHkcrNode;
  return 0;
}

uint64_t SimMachine::FindChild(uint64_t node, const std::string& name) const {
  auto it = nodes_.find(node);
  if (it == nodes_.end()) return 0;
  for (uint64_t child : it->second.children) {
    if (EqualsNoCase(nodes_.at(child).name, name)) return child;
  }
  return 0;
}

uint64_t SimMachine::AddChild(uint64_t node, const std::string& name) {
  uint64_t id = next_node_++;
  KeyNode& child = nodes_[id];
  child.name = name;
  child.parent = node;
  nodes_[node].children.push_back(id);
  return id;
}

uint64_t SimMachine::FindNode(const std::string& path) const {
  std::vector<std::string> parts = SplitComponents(path);
  if (parts.empty()) return 0;
  uint64_t node = RootNode(ShortRoot(parts[0]));
  for (size_t i = 1; i < parts.size() && node != 0; ++i) node = FindChild(node, parts[i]);
  return node;
}

uint64_t SimMachine::CreatePath(const std::string& path) {
  std::vector<std::string> parts = SplitComponents(path);
  if (parts.empty()) return 0;
  uint64_t node = RootNode(ShortRoot(parts[0]));
  if (node == 0) return 0;
  for (size_t i = 1; i < parts.size(); ++i) {
    uint64_t child = FindChild(node, parts[i]);
    node = child != 0 ? child : AddChild(node, parts[i]);
  }
  return node;
}

void SimMachine::RemoveTree(uint64_t node) {
  auto it = nodes_.find(node);
  if (it == nodes_.end() || node == kHklmNode || node == kHkcrNode) return;
  std::vector<uint64_t> children = it->second.children;
  for (uint64_t child : children) RemoveTree(child);
  uint64_t parent = it->second.parent;
  auto parent_it = nodes_.find(parent);
  if (parent_it != nodes_.end()) {
    auto& siblings = parent_it->second.children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
  }
  nodes_.erase(node);
}

std::string SimMachine::NodePath(uint64_t node, bool long_root) const {
  std::vector<const std::string*> names;
  uint64_t current = node;
  while (current != 0) {
    auto it = nodes_.find(current);
    if (it == nodes_.end()) return "";
    if (current == kHklmNode || current == kHkcrNode) break;
    names.push_back(&it->second.name);
    current = it->second.parent;
  }
  std::string out;
  if (current == kHklmNode) out = long_root ? "HKEY_LOCAL_MACHINE" : "HKLM";
  if (current == kHkcrNode) out = long_root ? "HKEY_CLASSES_ROOT" : "HKCR";
  for (auto it = names.rbegin(); it != names.rend(); ++it) out += "\\" + **it;
  return out;
}

RegStatus SimMachine::ResolveKey(RegKey key, uint64_t* node, std::string* path) const {
  if (key == kHkeyLocalMachine || key == kHkeyClassesRoot) {
    *node = key == kHkeyLocalMachine ? kHklmNode : kHkcrNode;
    *path = key == kHkeyLocalMachine ? "HKLM" : "HKCR";
    return kErrorSuccess;
  }
  auto it = key_handles_.find(key);
  if (it == key_handles_.end()) {
    *node = 0;
    *path = "";
    return kErrorInvalidHandle;
  }
  *path = it->second.path;
  *node = it->second.node;
  if (nodes_.count(*node) == 0) return kErrorKeyDeleted;
  return kErrorSuccess;
}

RegValue* SimMachine::FindValue(uint64_t node, const std::string& name) {
  auto it = nodes_.find(node);
  if (it == nodes_.end()) return nullptr;
  for (RegValue& value : it->second.values) {
    if (EqualsNoCase(value.name, name)) return &value;
  }
  return nullptr;
}

const RegValue* SimMachine::FindValue(uint64_t node, const std::string& name) const {
  return const_cast<SimMachine*>(this)->FindValue(node, name);
}

// ---- Registry operations ----------------------------------------------------

RegStatus SimMachine::RegOpenKeyExA(RegKey parent, const char* subkey, uint32_t access,
                                    RegKey* result) {
  uint64_t node = 0;
  std::string parent_path;
  RegStatus status = ResolveKey(parent, &node, &parent_path);
  std::string path = parent_path.empty() ? Hex(parent) : parent_path;
  if (subkey != nullptr) {
    for (const std::string& part : SplitComponents(subkey)) path += "\\" + part;
  }
  CallGate gate = BeginCall("RegOpenKeyExA", path,
                            (parent_path.empty() ? Hex(parent) : parent_path) + ", " +
                                Quoted(subkey) + ", access=" + Hex(access));
  if (result != nullptr) *result = 0;
  if (!gate.proceed) {
    EndCall(gate, gate.status, gate.status);
    return gate.status;
  }
  if (status == kErrorSuccess && result == nullptr) status = kErrorInvalidParameter;
  if (status == kErrorSuccess && subkey != nullptr) {
    for (const std::string& part : SplitComponents(subkey)) {
      node = FindChild(node, part);
      if (node == 0) {
        status = kErrorFileNotFound;
        break;
      }
    }
  }
  if (status == kErrorSuccess) {
    RegKey handle = next_key_handle_;
    next_key_handle_ += 4;
    key_handles_[handle] = KeyHandle{node, NodePath(node, false), calls_[gate.record].index};
    *result = handle;
  }
  EndCall(gate, status, status);
  return status;
}

RegStatus SimMachine::RegQueryInfoKeyA(RegKey key, uint32_t* subkey_count) {
  uint64_t node = 0;
  std::string path;
  RegStatus status = ResolveKey(key, &node, &path);
  CallGate gate = BeginCall("RegQueryInfoKeyA", path, path.empty() ? Hex(key) : path);
  if (!gate.proceed) {
    EndCall(gate, gate.status, gate.status);
    return gate.status;
  }
  if (status == kErrorSuccess && subkey_count != nullptr) {
    *subkey_count = static_cast<uint32_t>(nodes_.at(node).children.size());
  }
  EndCall(gate, status, status);
  return status;
}

RegStatus SimMachine::RegEnumKeyA(RegKey key, uint32_t index, char* name, uint32_t name_size) {
  uint64_t node = 0;
  std::string path;
  RegStatus status = ResolveKey(key, &node, &path);
  CallGate gate = BeginCall("RegEnumKeyA", path,
                            (path.empty() ? Hex(key) : path) + ", index=" + std::to_string(index) +
                                ", size=" + std::to_string(name_size));
  if (!gate.proceed) {
    EndCall(gate, gate.status, gate.status);
    return gate.status;
  }
  if (status == kErrorSuccess && name == nullptr) status = kErrorInvalidParameter;
  if (status == kErrorSuccess) {
    const std::vector<uint64_t>& children = nodes_.at(node).children;
    if (index >= children.size()) {
      status = kErrorNoMoreItems;
    } else {
      const std::string& child = nodes_.at(children[index]).name;
      if (name_size < child.size() + 1) {
        status = kErrorMoreData;
      } else {
        memcpy(name, child.c_str(), child.size() + 1);
      }
    }
  }
  EndCall(gate, status, status);
  return status;
}

RegStatus SimMachine::RegQueryValueExA(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                                       uint32_t* data_size) {
  uint64_t node = 0;
  std::string path;
  RegStatus status = ResolveKey(key, &node, &path);
  std::string value_name = name == nullptr ? "" : name;
  std::string arguments =
      (path.empty() ? Hex(key) : path) + ", " + Quoted(name) +
      ", size=" + (data_size == nullptr ? std::string("(null)") : std::to_string(*data_size)) +
      (data == nullptr ? ", data=(null)" : "");
  CallGate gate = BeginCall("RegQueryValueExA", path, arguments, path + "\\" + value_name);
  if (!gate.proceed) {
    EndCall(gate, gate.status, gate.status);
    return gate.status;
  }
  if (status == kErrorSuccess && data != nullptr && data_size == nullptr) {
    status = kErrorInvalidParameter;
  }
  const RegValue* value = nullptr;
  if (status == kErrorSuccess) {
    value = FindValue(node, value_name);
    if (value == nullptr) status = kErrorFileNotFound;
  }
  if (status == kErrorSuccess) {
    uint32_t size = static_cast<uint32_t>(value->data.size());
    if (type != nullptr) *type = value->type;
    if (data != nullptr && *data_size < size) {
      status = kErrorMoreData;
    } else if (data != nullptr && size > 0) {
      memcpy(data, value->data.data(), size);
    }
    if (data_size != nullptr) *data_size = size;
  }
  EndCall(gate, status, status);
  return status;
}

RegStatus SimMachine::RegSetValueExA(RegKey key, const char* name, uint32_t type,
                                     const uint8_t* data, uint32_t data_size) {
  uint64_t node = 0;
  std::string path;
  RegStatus status = ResolveKey(key, &node, &path);
  std::string value_name = name == nullptr ? "" : name;
  CallGate gate = BeginCall(
      "RegSetValueExA", path,
      (path.empty() ? Hex(key) : path) + ", " + Quoted(name) + ", type=" + std::to_string(type) +
          ", size=" + std::to_string(data_size) + ", data=" + DataText(data, data_size),
      path + "\\" + value_name);
  if (!gate.proceed) {
    EndCall(gate, gate.status, gate.status);
    return gate.status;
  }
  if (status == kErrorSuccess && data == nullptr && data_size > 0) {
    status = kErrorInvalidParameter;
  }
  if (status == kErrorSuccess) {
    std::vector<uint8_t> bytes;
    if (data != nullptr) bytes.assign(data, data + data_size);
    RegValue* value = FindValue(node, value_name);
    if (value == nullptr) {
      nodes_.at(node).values.push_back(RegValue{value_name, type, std::move(bytes)});
    } else {
      value->type = type;
      value->data = std::move(bytes);
    }
  }
  EndCall(gate, status, status);
  return status;
}

RegStatus SimMachine::RegDeleteKeyA(RegKey key, const char* subkey) {
  uint64_t node = 0;
  std::string parent_path;
  RegStatus status = ResolveKey(key, &node, &parent_path);
  std::string path = parent_path.empty() ? Hex(key) : parent_path;
  if (subkey != nullptr) {
    for (const std::string& part : SplitComponents(subkey)) path += "\\" + part;
  }
  CallGate gate = BeginCall("RegDeleteKeyA", path,
                            (parent_path.empty() ? Hex(key) : parent_path) + ", " + Quoted(subkey));
  if (!gate.proceed) {
    EndCall(gate, gate.status, gate.status);
    return gate.status;
  }
  std::vector<std::string> parts;
  if (subkey != nullptr) parts = SplitComponents(subkey);
  if (status == kErrorSuccess && parts.empty()) status = kErrorInvalidParameter;
  if (status == kErrorSuccess) {
    for (const std::string& part : parts) {
      node = FindChild(node, part);
      if (node == 0) {
        status = kErrorFileNotFound;
        break;
      }
    }
  }
  if (status == kErrorSuccess) RemoveTree(node);
  EndCall(gate, status, status);
  return status;
}

RegStatus SimMachine::RegDeleteValueA(RegKey key, const char* name) {
  uint64_t node = 0;
  std::string path;
  RegStatus status = ResolveKey(key, &node, &path);
  std::string value_name = name == nullptr ? "" : name;
  CallGate gate =
      BeginCall("RegDeleteValueA", path, (path.empty() ? Hex(key) : path) + ", " + Quoted(name),
                path + "\\" + value_name);
  if (!gate.proceed) {
    EndCall(gate, gate.status, gate.status);
    return gate.status;
  }
  if (status == kErrorSuccess) {
    auto& values = nodes_.at(node).values;
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const RegValue& v) { return EqualsNoCase(v.name, value_name); });
    if (it == values.end()) {
      status = kErrorFileNotFound;
    } else {
      values.erase(it);
    }
  }
  EndCall(gate, status, status);
  return status;
}

RegStatus SimMachine::RegCloseKey(RegKey key) {
  uint64_t node = 0;
  std::string path;
  RegStatus resolved = ResolveKey(key, &node, &path);
  CallGate gate = BeginCall("RegCloseKey", path, (path.empty() ? "" : path + ", ") + Hex(key));
  if (!gate.proceed) {
    // A faulted close still gives the handle up, as a close on Windows does
    // once the handle value was passed; only the power cut leaves it held.
    if (!calls_[gate.record].after_power_cut) key_handles_.erase(key);
    EndCall(gate, gate.status, gate.status);
    return gate.status;
  }
  RegStatus status = kErrorSuccess;
  if (resolved == kErrorInvalidHandle) {
    status = kErrorInvalidHandle;
  } else {
    key_handles_.erase(key);
  }
  EndCall(gate, status, status);
  return status;
}

// ---- Registry helpers -------------------------------------------------------

bool SimMachine::CreateKey(const std::string& path) { return CreatePath(path) != 0; }

bool SimMachine::KeyExists(const std::string& path) const { return FindNode(path) != 0; }

bool SimMachine::DeleteKey(const std::string& path) {
  uint64_t node = FindNode(path);
  if (node == 0 || node == kHklmNode || node == kHkcrNode) return false;
  RemoveTree(node);
  return true;
}

bool SimMachine::SetValue(const std::string& path, const std::string& name, uint32_t type,
                          const std::vector<uint8_t>& data) {
  uint64_t node = CreatePath(path);
  if (node == 0) return false;
  RegValue* value = FindValue(node, name);
  if (value == nullptr) {
    nodes_.at(node).values.push_back(RegValue{name, type, data});
  } else {
    value->type = type;
    value->data = data;
  }
  return true;
}

bool SimMachine::SetString(const std::string& path, const std::string& name,
                           const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return SetValue(path, name, kRegSz, bytes);
}

bool SimMachine::SetDword(const std::string& path, const std::string& name, uint32_t value) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                static_cast<uint8_t>(value >> 16),
                                static_cast<uint8_t>(value >> 24)};
  return SetValue(path, name, kRegDword, bytes);
}

bool SimMachine::SetBinary(const std::string& path, const std::string& name,
                           const std::vector<uint8_t>& data) {
  return SetValue(path, name, kRegBinary, data);
}

bool SimMachine::GetValue(const std::string& path, const std::string& name, RegValue* value) const {
  uint64_t node = FindNode(path);
  if (node == 0) return false;
  const RegValue* found = FindValue(node, name);
  if (found == nullptr) return false;
  if (value != nullptr) *value = *found;
  return true;
}

bool SimMachine::GetString(const std::string& path, const std::string& name,
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

bool SimMachine::ValueExists(const std::string& path, const std::string& name) const {
  return GetValue(path, name, nullptr);
}

bool SimMachine::DeleteValue(const std::string& path, const std::string& name) {
  uint64_t node = FindNode(path);
  if (node == 0) return false;
  auto& values = nodes_.at(node).values;
  auto it = std::find_if(values.begin(), values.end(),
                         [&](const RegValue& v) { return EqualsNoCase(v.name, name); });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

std::vector<std::string> SimMachine::ListKeys(const std::string& path) const {
  std::vector<std::string> names;
  uint64_t node = FindNode(path);
  if (node == 0) return names;
  for (uint64_t child : nodes_.at(node).children) names.push_back(nodes_.at(child).name);
  return names;
}

std::vector<RegValue> SimMachine::ListValues(const std::string& path) const {
  uint64_t node = FindNode(path);
  if (node == 0) return {};
  return nodes_.at(node).values;
}

std::string SimMachine::KeyPath(const std::string& path) const {
  uint64_t node = FindNode(path);
  return node == 0 ? "" : NodePath(node, true);
}

bool SimMachine::Import(const RegFile& file, std::string* error) {
  for (const RegFileKey& key : file.keys) {
    std::vector<std::string> parts = SplitComponents(key.path);
    if (parts.empty() || ShortRoot(parts[0]).empty()) {
      if (error != nullptr) *error = "unknown registry root in [" + key.path + "]";
      return false;
    }
    if (key.remove) {
      DeleteKey(key.path);
      continue;
    }
    if (CreatePath(key.path) == 0) return false;
    for (const RegFileValue& value : key.values) {
      if (value.remove) {
        DeleteValue(key.path, value.name);
      } else {
        SetValue(key.path, value.name, value.type, value.data);
      }
    }
  }
  return true;
}

void SimMachine::ExportNode(uint64_t node, RegFile* file) const {
  const KeyNode& key = nodes_.at(node);
  bool root = node == kHklmNode || node == kHkcrNode;
  if (!root || !key.values.empty()) {
    RegFileKey section;
    section.path = NodePath(node, true);
    for (const RegValue& value : key.values) {
      RegFileValue out;
      out.name = value.name;
      out.type = value.type;
      out.data = value.data;
      section.values.push_back(std::move(out));
    }
    file->keys.push_back(std::move(section));
  }
  for (uint64_t child : key.children) ExportNode(child, file);
}

RegFile SimMachine::Export() const {
  RegFile file;
  ExportNode(kHklmNode, &file);
  ExportNode(kHkcrNode, &file);
  return file;
}

// ---- Files ------------------------------------------------------------------

RegStatus SimMachine::CheckFilePath(const char* path) const {
  if (path == nullptr || path[0] == '\0') return kErrorInvalidParameter;
  if (max_path_ != 0 && strlen(path) >= max_path_) return kErrorFilenameExcedRange;
  return kErrorSuccess;
}

bool SimMachine::ParentExists(const std::string& normalized) const {
  return DirectoryExists(ParentOf(normalized));
}

void SimMachine::PutFile(const std::string& path, const std::string& contents) {
  std::string key = NormalizeFilePath(path);
  size_t cut = path.find_last_of("\\/");
  if (cut != std::string::npos) AddDirectory(path.substr(0, cut));
  auto it = files_.find(key);
  if (it == files_.end()) {
    files_[key] = FileEntry{path, contents};
  } else {
    it->second.contents = contents;
  }
}

bool SimMachine::FileExists(const std::string& path) const {
  return files_.count(NormalizeFilePath(path)) != 0;
}

bool SimMachine::ReadFile(const std::string& path, std::string* contents) const {
  auto it = files_.find(NormalizeFilePath(path));
  if (it == files_.end()) return false;
  if (contents != nullptr) *contents = it->second.contents;
  return true;
}

bool SimMachine::RemoveFile(const std::string& path) {
  return files_.erase(NormalizeFilePath(path)) != 0;
}

void SimMachine::AddDirectory(const std::string& path) {
  std::string key = NormalizeFilePath(path);
  for (size_t i = 0; i < key.size(); ++i) {
    if (key[i] == '\\') directories_.insert(key.substr(0, i));
  }
  if (!key.empty()) directories_.insert(key);
}

bool SimMachine::DirectoryExists(const std::string& path) const {
  std::string key = NormalizeFilePath(path);
  return key.empty() || IsDriveRoot(key) || directories_.count(key) != 0;
}

void SimMachine::RemoveDirectory(const std::string& path) {
  directories_.erase(NormalizeFilePath(path));
}

std::vector<std::string> SimMachine::ListFiles() const {
  std::vector<std::string> out;
  for (const auto& entry : files_) out.push_back(entry.second.path);
  return out;
}

std::vector<std::string> SimMachine::ListDirectories() const {
  return std::vector<std::string>(directories_.begin(), directories_.end());
}

uint32_t SimMachine::GetWindowsDirectoryA(char* buffer, uint32_t size) {
  CallGate gate = BeginCall("GetWindowsDirectoryA", "", "size=" + std::to_string(size));
  if (!gate.proceed) {
    last_error_ = gate.status;
    EndCall(gate, 0, gate.status);
    return 0;
  }
  uint32_t length = static_cast<uint32_t>(windows_dir_.size());
  uint32_t result = length;
  if (buffer == nullptr || size < length + 1) {
    result = length + 1;
  } else {
    memcpy(buffer, windows_dir_.c_str(), length + 1);
  }
  last_error_ = 0;
  EndCall(gate, result, 0);
  return result;
}

bool SimMachine::GetVersionExA(OsVersion* info) {
  CallGate gate = BeginCall("GetVersionExA", "", "");
  if (!gate.proceed) return FailBool(gate, gate.status);
  if (info == nullptr) return FailBool(gate, kErrorInvalidParameter);
  *info = version_;
  info->csd_version[sizeof info->csd_version - 1] = '\0';
  last_error_ = 0;
  EndCall(gate, 1, 0);
  return true;
}

void SimMachine::SetVersion(uint32_t platform_id, uint32_t major, uint32_t minor, uint32_t build,
                            const std::string& csd) {
  version_ = OsVersion{};
  version_.platform_id = platform_id;
  version_.major_version = major;
  version_.minor_version = minor;
  version_.build_number = build;
  size_t n = std::min(csd.size(), sizeof version_.csd_version - 1);
  memcpy(version_.csd_version, csd.data(), n);
  version_.csd_version[n] = '\0';
}

void SimMachine::set_windows_dir(const std::string& dir) {
  windows_dir_ = dir;
  AddDirectory(dir);
}

bool SimMachine::CopyFileA(const char* from, const char* to, bool fail_if_exists) {
  std::string from_text = from == nullptr ? "" : from;
  std::string to_text = to == nullptr ? "" : to;
  CallGate gate = BeginCall(
      "CopyFileA", from_text,
      Quoted(from) + " -> " + Quoted(to) + ", fail_if_exists=" + (fail_if_exists ? "1" : "0"),
      to_text);
  if (!gate.proceed) return FailBool(gate, gate.status);
  RegStatus status = CheckFilePath(from);
  if (status == kErrorSuccess) status = CheckFilePath(to);
  if (status != kErrorSuccess) return FailBool(gate, status);
  std::string source = NormalizeFilePath(from_text);
  std::string target = NormalizeFilePath(to_text);
  auto source_it = files_.find(source);
  if (source_it == files_.end()) {
    return FailBool(gate, ParentExists(source) ? kErrorFileNotFound : kErrorPathNotFound);
  }
  if (!ParentExists(target)) return FailBool(gate, kErrorPathNotFound);
  if (directories_.count(target) != 0) return FailBool(gate, kErrorAccessDenied);
  bool target_exists = files_.count(target) != 0;
  if (target_exists && fail_if_exists) return FailBool(gate, kErrorFileExists);
  for (const auto& handle : file_handles_) {
    if (handle.second.key == target || (handle.second.key == source && handle.second.write)) {
      return FailBool(gate, 32);  // ERROR_SHARING_VIOLATION
    }
  }
  if (source == target) return FailBool(gate, 32);
  std::string contents = source_it->second.contents;
  if (target_exists) {
    files_[target].contents = contents;
  } else {
    files_[target] = FileEntry{to_text, contents};
  }
  last_error_ = 0;
  EndCall(gate, 1, 0);
  return true;
}

bool SimMachine::DeleteFileA(const char* path) {
  std::string text = path == nullptr ? "" : path;
  CallGate gate = BeginCall("DeleteFileA", text, Quoted(path));
  if (!gate.proceed) return FailBool(gate, gate.status);
  RegStatus status = CheckFilePath(path);
  if (status != kErrorSuccess) return FailBool(gate, status);
  std::string key = NormalizeFilePath(text);
  if (directories_.count(key) != 0) return FailBool(gate, kErrorAccessDenied);
  if (files_.count(key) == 0) {
    return FailBool(gate, ParentExists(key) ? kErrorFileNotFound : kErrorPathNotFound);
  }
  for (const auto& handle : file_handles_) {
    if (handle.second.key == key) return FailBool(gate, 32);  // ERROR_SHARING_VIOLATION
  }
  files_.erase(key);
  last_error_ = 0;
  EndCall(gate, 1, 0);
  return true;
}

Handle SimMachine::OpenFileForRead(const char* path) {
  std::string text = path == nullptr ? "" : path;
  CallGate gate = BeginCall("OpenFileForRead", text, Quoted(path));
  if (!gate.proceed) {
    FailBool(gate, gate.status);
    return kNoHandle;
  }
  RegStatus status = CheckFilePath(path);
  std::string key = NormalizeFilePath(text);
  if (status == kErrorSuccess && directories_.count(key) != 0) status = kErrorAccessDenied;
  if (status == kErrorSuccess && files_.count(key) == 0) {
    status = ParentExists(key) ? kErrorFileNotFound : kErrorPathNotFound;
  }
  if (status != kErrorSuccess) {
    FailBool(gate, status);
    return kNoHandle;
  }
  Handle handle = next_handle_;
  next_handle_ += 4;
  file_handles_[handle] = FileHandle{key, files_[key].path, false, calls_[gate.record].index};
  last_error_ = 0;
  EndCall(gate, static_cast<int64_t>(handle), 0);
  return handle;
}

Handle SimMachine::OpenFileForWrite(const char* path) {
  std::string text = path == nullptr ? "" : path;
  CallGate gate = BeginCall("OpenFileForWrite", text, Quoted(path));
  if (!gate.proceed) {
    FailBool(gate, gate.status);
    return kNoHandle;
  }
  RegStatus status = CheckFilePath(path);
  std::string key = NormalizeFilePath(text);
  if (status == kErrorSuccess && directories_.count(key) != 0) status = kErrorAccessDenied;
  if (status == kErrorSuccess && !ParentExists(key)) status = kErrorPathNotFound;
  if (status != kErrorSuccess) {
    FailBool(gate, status);
    return kNoHandle;
  }
  auto it = files_.find(key);
  if (it == files_.end()) {
    files_[key] = FileEntry{text, ""};
  } else {
    it->second.contents.clear();
  }
  Handle handle = next_handle_;
  next_handle_ += 4;
  file_handles_[handle] = FileHandle{key, files_[key].path, true, calls_[gate.record].index};
  last_error_ = 0;
  EndCall(gate, static_cast<int64_t>(handle), 0);
  return handle;
}

bool SimMachine::WriteFile(Handle file, const char* data, uint32_t size) {
  auto it = file_handles_.find(file);
  std::string path = it == file_handles_.end() ? "" : it->second.path;
  CallGate gate = BeginCall("WriteFile", path,
                            "handle=" + Hex(file) + ", size=" + std::to_string(size) +
                                ", data=" + DataText(reinterpret_cast<const uint8_t*>(data), size));
  if (!gate.proceed) return FailBool(gate, gate.status);
  if (it == file_handles_.end()) return FailBool(gate, kErrorInvalidHandle);
  if (!it->second.write) return FailBool(gate, kErrorAccessDenied);
  if (data == nullptr && size > 0) return FailBool(gate, kErrorInvalidParameter);
  auto entry = files_.find(it->second.key);
  if (entry == files_.end()) return FailBool(gate, kErrorFileNotFound);
  if (size > 0) entry->second.contents.append(data, size);
  last_error_ = 0;
  EndCall(gate, 1, 0);
  return true;
}

bool SimMachine::CloseFile(Handle file) {
  auto it = file_handles_.find(file);
  std::string path = it == file_handles_.end() ? "" : it->second.path;
  CallGate gate = BeginCall("CloseFile", path, "handle=" + Hex(file));
  if (!gate.proceed) {
    if (!calls_[gate.record].after_power_cut && it != file_handles_.end()) file_handles_.erase(it);
    return FailBool(gate, gate.status);
  }
  if (it == file_handles_.end()) return FailBool(gate, kErrorInvalidHandle);
  file_handles_.erase(it);
  last_error_ = 0;
  EndCall(gate, 1, 0);
  return true;
}

// ---- Processes and session --------------------------------------------------

bool SimMachine::CreateProcessA(const char* program, char* command_line,
                                const char* working_directory, ProcessInfo* info) {
  std::string program_text = program == nullptr ? "" : program;
  std::string command_text = command_line == nullptr ? "" : command_line;
  CallGate gate =
      BeginCall("CreateProcessA", program_text,
                "program=" + Quoted(program) + ", command_line=" + Quoted(command_line) +
                    ", working_directory=" + Quoted(working_directory));
  if (info != nullptr) *info = ProcessInfo{};
  if (!gate.proceed) return FailBool(gate, gate.status);
  if (info == nullptr || (program == nullptr && command_line == nullptr)) {
    return FailBool(gate, kErrorInvalidParameter);
  }
  if (program == nullptr) {
    ResolvedCommand resolved = ResolveCommandLine(command_text);
    if (!resolved.found) return FailBool(gate, kErrorFileNotFound);
    program_text = resolved.program;
  }
  RegStatus status = CheckFilePath(program_text.c_str());
  if (status != kErrorSuccess) return FailBool(gate, status);
  if (!FileExists(program_text)) {
    std::string key = NormalizeFilePath(program_text);
    return FailBool(gate, ParentExists(key) ? kErrorFileNotFound : kErrorPathNotFound);
  }
  if (working_directory != nullptr && !DirectoryExists(working_directory)) {
    return FailBool(gate, kErrorDirectory);
  }

  ProcessRecord run;
  run.program = program_text;
  run.command_line = command_line == nullptr ? program_text : command_text;
  run.working_directory = working_directory == nullptr ? "" : working_directory;
  run.process = next_handle_;
  run.thread = next_handle_ + 4;
  next_handle_ += 8;
  run.process_id = next_process_id_;
  run.thread_id = next_process_id_ + 0x10;
  next_process_id_ += 0x20;
  run.started_at_ms = clock_ms_;
  run.session = session_;
  size_t index = processes_.size();
  processes_.push_back(run);
  uint64_t call = calls_[gate.record].index;
  process_handles_[run.process] = ProcessHandle{index, false, call};
  process_handles_[run.thread] = ProcessHandle{index, true, call};

  if (helper_model_) {
    HelperOutcome outcome = helper_model_(*this, processes_[index]);
    ProcessRecord& stored = processes_[index];
    stored.recognised = outcome.recognised;
    stored.exit_code = outcome.exit_code;
    stored.duration_ms = outcome.duration_ms;
    stored.effect = outcome.effect;
  } else {
    processes_[index].effect = "no helper model";
  }
  info->process = run.process;
  info->thread = run.thread;
  info->process_id = run.process_id;
  info->thread_id = run.thread_id;
  last_error_ = 0;
  EndCall(gate, 1, 0);
  return true;
}

uint32_t SimMachine::WaitForSingleObject(Handle object, uint32_t milliseconds) {
  auto it = process_handles_.find(object);
  std::string path;
  if (it != process_handles_.end()) path = processes_[it->second.process_index].program;
  auto file = file_handles_.find(object);
  if (file != file_handles_.end()) path = file->second.path;
  CallGate gate = BeginCall(
      "WaitForSingleObject", path,
      "handle=" + Hex(object) + ", timeout=" +
          (milliseconds == kInfinite ? std::string("INFINITE") : std::to_string(milliseconds)));
  if (!gate.proceed) {
    last_error_ = gate.status;
    EndCall(gate, kWaitFailed, gate.status);
    return kWaitFailed;
  }
  if (file != file_handles_.end()) {
    last_error_ = 0;
    EndCall(gate, kWaitObject0, 0);
    return kWaitObject0;
  }
  if (it == process_handles_.end()) {
    last_error_ = kErrorInvalidHandle;
    EndCall(gate, kWaitFailed, kErrorInvalidHandle);
    return kWaitFailed;
  }
  ProcessRecord& run = processes_[it->second.process_index];
  uint64_t ends_at = run.started_at_ms + run.duration_ms;
  uint64_t left = ends_at > clock_ms_ ? ends_at - clock_ms_ : 0;
  uint32_t result = kWaitObject0;
  if (milliseconds != kInfinite && milliseconds < left) {
    clock_ms_ += milliseconds;
    result = kWaitTimeout;
  } else {
    clock_ms_ += left;
    run.waited = true;
  }
  last_error_ = 0;
  EndCall(gate, result, 0);
  return result;
}

bool SimMachine::CloseKernelHandle(Handle object, RegStatus* status) {
  if (process_handles_.erase(object) != 0 || file_handles_.erase(object) != 0) return true;
  *status = kErrorInvalidHandle;
  return false;
}

bool SimMachine::CloseHandle(Handle object) {
  std::string path;
  auto it = process_handles_.find(object);
  if (it != process_handles_.end()) path = processes_[it->second.process_index].program;
  auto file = file_handles_.find(object);
  if (file != file_handles_.end()) path = file->second.path;
  CallGate gate = BeginCall("CloseHandle", path, "handle=" + Hex(object));
  if (!gate.proceed) {
    RegStatus ignored = 0;
    if (!calls_[gate.record].after_power_cut) CloseKernelHandle(object, &ignored);
    return FailBool(gate, gate.status);
  }
  RegStatus status = 0;
  if (!CloseKernelHandle(object, &status)) return FailBool(gate, status);
  last_error_ = 0;
  EndCall(gate, 1, 0);
  return true;
}

bool SimMachine::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
  CallGate gate =
      BeginCall("ExitWindowsEx", "", "flags=" + Hex(flags) + ", reserved=" + Hex(reserved));
  if (!gate.proceed) return FailBool(gate, gate.status);
  // EWX_SHUTDOWN (1), EWX_REBOOT (2) and EWX_POWEROFF (8) take the machine
  // down; flags 0 (EWX_LOGOFF) only ends the user's session.
  session_requests_.push_back((flags & 0xB) != 0 ? SessionRequest::kRestart
                                                 : SessionRequest::kLogOff);
  last_error_ = 0;
  EndCall(gate, 1, 0);
  return true;
}

bool SimMachine::restart_requested() const {
  return std::find(session_requests_.begin(), session_requests_.end(), SessionRequest::kRestart) !=
         session_requests_.end();
}

bool SimMachine::logoff_requested() const {
  return std::find(session_requests_.begin(), session_requests_.end(), SessionRequest::kLogOff) !=
         session_requests_.end();
}

void SimMachine::BeginNewSession() {
  key_handles_.clear();
  file_handles_.clear();
  process_handles_.clear();
  session_requests_.clear();
  powered_off_ = false;
  power_cut_after_ = 0;
  ++session_;
}

std::vector<std::string> SimMachine::TakeRunOnceCommands() {
  std::vector<std::string> commands;
  uint64_t node = FindNode("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  if (node == 0) return commands;
  std::vector<RegValue> values = std::move(nodes_.at(node).values);
  nodes_.at(node).values.clear();
  for (const RegValue& value : values) {
    if (value.type != kRegSz && value.type != kRegExpandSz) continue;
    std::string text;
    for (uint8_t b : value.data) {
      if (b == 0) break;
      text += static_cast<char>(b);
    }
    commands.push_back(text);
  }
  return commands;
}

ResolvedCommand SimMachine::ResolveCommandLine(const std::string& command_line) const {
  ResolvedCommand resolved;
  resolved.argv = SplitCommandLine(command_line);
  for (const std::string& candidate : ProgramCandidates(command_line)) {
    std::vector<std::string> places;
    if (candidate.find_first_of("\\:") == std::string::npos) {
      places.push_back(windows_dir_ + "\\SYSTEM\\" + candidate);
      places.push_back(windows_dir_ + "\\" + candidate);
    } else {
      places.push_back(candidate);
    }
    for (const std::string& place : places) {
      auto it = files_.find(NormalizeFilePath(place));
      if (it != files_.end()) {
        resolved.found = true;
        resolved.program = place;
        return resolved;
      }
    }
  }
  return resolved;
}

// ---- Handles and log --------------------------------------------------------

std::vector<OpenHandleInfo> SimMachine::OpenHandles() const {
  std::vector<OpenHandleInfo> out;
  for (const auto& entry : key_handles_) {
    OpenHandleInfo info;
    info.kind = OpenHandleInfo::Kind::kKey;
    info.value = entry.first;
    info.what = entry.second.path;
    info.opened_by_call = entry.second.opened_by_call;
    out.push_back(info);
  }
  for (const auto& entry : file_handles_) {
    OpenHandleInfo info;
    info.kind = OpenHandleInfo::Kind::kFile;
    info.value = entry.first;
    info.what = entry.second.path;
    info.opened_by_call = entry.second.opened_by_call;
    out.push_back(info);
  }
  for (const auto& entry : process_handles_) {
    OpenHandleInfo info;
    info.kind =
        entry.second.thread ? OpenHandleInfo::Kind::kThread : OpenHandleInfo::Kind::kProcess;
    info.value = entry.first;
    info.what = processes_[entry.second.process_index].program;
    info.opened_by_call = entry.second.opened_by_call;
    out.push_back(info);
  }
  std::stable_sort(out.begin(), out.end(), [](const OpenHandleInfo& a, const OpenHandleInfo& b) {
    return a.opened_by_call < b.opened_by_call;
  });
  return out;
}

std::string SimMachine::DescribeOpenHandles() const {
  static const char* const kKinds[] = {"key", "file", "process", "thread"};
  std::string out;
  for (const OpenHandleInfo& info : OpenHandles()) {
    out += std::string(kKinds[static_cast<int>(info.kind)]) + " " + Hex(info.value) + " " +
           info.what + " (opened by call #" + std::to_string(info.opened_by_call) + ")\n";
  }
  return out;
}

std::vector<CallRecord> SimMachine::CallsOf(const std::string& operation) const {
  std::vector<CallRecord> out;
  for (const CallRecord& call : calls_) {
    if (call.operation == operation) out.push_back(call);
  }
  return out;
}

uint64_t SimMachine::FirstCallIndex(const std::string& operation, const std::string& path) const {
  for (const CallRecord& call : calls_) {
    if (!operation.empty() && call.operation != operation) continue;
    if (!path.empty() && !PathsMatch(path, call.path)) continue;
    return call.index;
  }
  return 0;
}

void SimMachine::ResetCallLog() {
  calls_.clear();
  call_count_ = 0;
}

std::string SimMachine::FormatCallLog() const {
  std::string out;
  for (const CallRecord& call : calls_) out += call.ToString() + "\n";
  return out;
}

}  // namespace netrevive::sim
