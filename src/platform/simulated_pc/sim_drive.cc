#include "platform/simulated_pc/sim_drive.h"

#include <string.h>

#include <algorithm>

#include "platform/simulated_pc/sim_paths.h"

namespace netrevive::simulated_pc {
namespace {

std::string ParentOf(const std::string& normalized) {
  size_t cut = normalized.rfind('\\');
  if (cut == std::string::npos) return "";
  return normalized.substr(0, cut);
}

bool IsDriveRoot(const std::string& normalized) {
  return normalized.size() == 2 && normalized[1] == ':';
}

// Whether name matches the wildcard pattern (both upper case): * any run of
// characters, ? any one.
bool MatchesWildcard(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    for (const char* rest = name;; ++rest) {
      if (MatchesWildcard(pattern + 1, rest)) return true;
      if (*rest == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  return (*pattern == '?' || *pattern == *name) && MatchesWildcard(pattern + 1, name + 1);
}

}  // namespace

// ---- Helpers ----------------------------------------------------------------

void SimDrive::PutFile(const std::string& path, const std::string& contents) {
  std::string key = NormalizeFilePath(path);
  size_t cut = path.find_last_of("\\/");
  if (cut != std::string::npos) AddDirectory(path.substr(0, cut));
  auto it = files_.find(key);
  if (it == files_.end()) {
    files_[key] = File{path, contents};
  } else {
    it->second.contents = contents;
  }
}

bool SimDrive::FileExists(const std::string& path) const {
  return files_.count(NormalizeFilePath(path)) != 0;
}

bool SimDrive::ReadFile(const std::string& path, std::string* contents) const {
  auto it = files_.find(NormalizeFilePath(path));
  if (it == files_.end()) return false;
  if (contents != nullptr) *contents = it->second.contents;
  return true;
}

bool SimDrive::RemoveFile(const std::string& path) {
  return files_.erase(NormalizeFilePath(path)) != 0;
}

void SimDrive::AddDirectory(const std::string& path) {
  std::string key = NormalizeFilePath(path);
  for (size_t i = 0; i < key.size(); ++i) {
    if (key[i] == '\\') directories_.insert(key.substr(0, i));
  }
  if (!key.empty()) directories_.insert(key);
}

bool SimDrive::DirectoryExists(const std::string& path) const {
  std::string key = NormalizeFilePath(path);
  return key.empty() || IsDriveRoot(key) || directories_.count(key) != 0;
}

void SimDrive::RemoveDirectory(const std::string& path) {
  directories_.erase(NormalizeFilePath(path));
}

std::vector<std::string> SimDrive::ListFiles() const {
  std::vector<std::string> out;
  for (const auto& entry : files_) out.push_back(entry.second.path);
  return out;
}

std::vector<std::string> SimDrive::ListDirectories() const {
  return std::vector<std::string>(directories_.begin(), directories_.end());
}

uint32_t SimDrive::Attributes(const std::string& path) const {
  std::string key = NormalizeFilePath(path);
  auto it = files_.find(key);
  if (it != files_.end()) return it->second.attributes;
  return DirectoryExists(key) ? kFileAttributeDirectory : kInvalidFileAttributes;
}

bool SimDrive::SetAttributes(const std::string& path, uint32_t attributes) {
  std::string key = NormalizeFilePath(path);
  auto it = files_.find(key);
  if (it == files_.end()) return DirectoryExists(key);
  it->second.attributes = attributes & (kFileAttributeReadOnly | kFileAttributeHidden |
                                        kFileAttributeSystem | kFileAttributeArchive);
  return true;
}

void SimDrive::set_drive_type(char letter, uint32_t type) {
  char upper = UpperAscii(std::string(1, letter))[0];
  if (type == 1) {
    drive_types_.erase(upper);  // no such drive
  } else {
    drive_types_[upper] = type;
  }
}

uint32_t SimDrive::DriveType(const char* root) const {
  if (root == nullptr || root[0] == '\0' || root[1] != ':' ||
      !(root[2] == '\0' || (root[2] == '\\' && root[3] == '\0'))) {
    return 1;  // DRIVE_NO_ROOT_DIR
  }
  auto it = drive_types_.find(UpperAscii(std::string(1, root[0]))[0]);
  return it == drive_types_.end() ? 1 : it->second;
}

bool SimDrive::GoneAfterRestart(const std::string& path) const {
  if (path.compare(0, 2, "\\\\") == 0) return true;
  if (path.size() < 2 || path[1] != ':') return false;
  const char root[] = {path[0], ':', '\0'};
  uint32_t type = DriveType(root);
  return type == kDriveRemovable || type == kDriveRemote;
}

bool SimDrive::DiscMissing(const std::string& path) const {
  if (path.size() < 2 || path[1] != ':') return false;
  const char root[] = {path[0], ':', '\0'};
  uint32_t type = DriveType(root);
  if (type != kDriveRemovable && type != kDriveCdrom) return false;
  const std::string prefix = UpperAscii(std::string(1, path[0])) + ":\\";
  auto on_drive = [&](const std::string& key) {
    return key.compare(0, prefix.size(), prefix) == 0;
  };
  for (const auto& file : files_) {
    if (on_drive(file.first)) return false;
  }
  for (const std::string& directory : directories_) {
    if (on_drive(directory)) return false;
  }
  return true;
}

std::string SimDrive::ShortName(const std::string& parent, const std::string& name) const {
  // The basis of a name: upper case, no blanks, no leading or surplus
  // periods, characters 8.3 names cannot hold made _. True when the name is
  // a valid 8.3 name as it is.
  auto basis = [](const std::string& upper, std::string* base, std::string* ext) {
    size_t dot = upper.rfind('.');
    if (dot == 0 || upper.find_first_not_of('.') == std::string::npos) dot = std::string::npos;
    bool lossy = false;
    auto clean = [&lossy](const std::string& in) {
      std::string out;
      for (char c : in) {
        if (c == ' ' || c == '.') {
          lossy = true;
        } else if (strchr("+,;=[]", c) != nullptr) {
          lossy = true;
          out += '_';
        } else {
          out += c;
        }
      }
      return out;
    };
    *base = clean(dot == std::string::npos ? upper : upper.substr(0, dot));
    *ext = clean(dot == std::string::npos ? "" : upper.substr(dot + 1));
    return !lossy && !base->empty() && base->size() <= 8 && ext->size() <= 3;
  };
  // The folder's entries in name order, each given its short name in turn.
  std::vector<std::string> entries;
  for (const auto& file : files_) {
    if (ParentOf(file.first) == parent) entries.push_back(file.first.substr(parent.size() + 1));
  }
  for (const std::string& dir : directories_) {
    if (ParentOf(dir) == parent) entries.push_back(dir.substr(parent.size() + 1));
  }
  std::sort(entries.begin(), entries.end());
  std::set<std::string> taken;
  std::vector<std::string> pending;
  std::string base;
  std::string ext;
  for (const std::string& entry : entries) {
    if (basis(entry, &base, &ext)) {
      taken.insert(entry);
    } else {
      pending.push_back(entry);
    }
  }
  for (const std::string& entry : pending) {
    basis(entry, &base, &ext);
    std::string short_name;
    for (int n = 1; n < 1000000; ++n) {
      std::string tail = "~" + std::to_string(n);
      short_name =
          base.substr(0, 8 - tail.size()) + tail + (ext.empty() ? "" : "." + ext.substr(0, 3));
      if (taken.insert(short_name).second) break;
    }
    if (entry == name) return short_name;
  }
  return name;
}

std::string SimDrive::ShortPath(const std::string& path) const {
  std::string key = NormalizeFilePath(path);
  if (key.size() < 2 || key[1] != ':' || FindStatus(key) != kErrorSuccess) return "";
  std::string out = path.substr(0, 2);
  std::string parent = key.substr(0, 2);
  for (const std::string& part : SplitComponents(key.substr(2))) {
    out += "\\" + ShortName(parent, part);
    parent += "\\" + part;
  }
  if (out.size() == 2) out += "\\";
  return out;
}

std::string SimDrive::LongPath(const std::string& path) const {
  std::string key = NormalizeFilePath(path);
  if (key.size() < 2 || key[1] != ':') return "";
  std::string out = key.substr(0, 2);
  for (const std::string& part : SplitComponents(key.substr(2))) {
    std::string next = out + "\\" + part;
    if (FindStatus(next) != kErrorSuccess) {
      next.clear();
      std::vector<std::string> siblings;
      for (const auto& file : files_) {
        if (ParentOf(file.first) == out) siblings.push_back(file.first);
      }
      for (const std::string& dir : directories_) {
        if (ParentOf(dir) == out) siblings.push_back(dir);
      }
      for (const std::string& sibling : siblings) {
        if (ShortName(out, sibling.substr(out.size() + 1)) == part) next = sibling;
      }
      if (next.empty()) return "";
    }
    out = next;
  }
  return out;
}

// ---- For the Platform operations -------------------------------------------

RegStatus SimDrive::CheckPath(const char* path) const {
  if (path == nullptr || path[0] == '\0') return kErrorInvalidParameter;
  if (max_path_ != 0 && strlen(path) >= max_path_) return kErrorFilenameExcedRange;
  return kErrorSuccess;
}

bool SimDrive::ParentExists(const std::string& normalized) const {
  return DirectoryExists(ParentOf(normalized));
}

RegStatus SimDrive::MissingFileStatus(const std::string& path) const {
  return ParentExists(NormalizeFilePath(path)) ? kErrorFileNotFound : kErrorPathNotFound;
}

RegStatus SimDrive::FindStatus(const std::string& path) const {
  std::string key = NormalizeFilePath(path);
  if (files_.count(key) != 0 || DirectoryExists(key)) return kErrorSuccess;
  return MissingFileStatus(key);
}

bool SimDrive::InUse(const std::string& normalized, bool for_write) const {
  for (const auto& handle : handles_) {
    if (handle.second.key == normalized && (handle.second.write || !for_write)) return true;
  }
  return false;
}

RegStatus SimDrive::Copy(const char* from, const char* to, bool fail_if_exists) {
  RegStatus status = CheckPath(from);
  if (status == kErrorSuccess) status = CheckPath(to);
  if (status != kErrorSuccess) return status;
  std::string source = NormalizeFilePath(from);
  std::string target = NormalizeFilePath(to);
  auto source_file = files_.find(source);
  if (source_file == files_.end()) return MissingFileStatus(source);
  if (!ParentExists(target)) return kErrorPathNotFound;
  if (directories_.count(target) != 0) return kErrorAccessDenied;
  bool target_exists = files_.count(target) != 0;
  if (target_exists && fail_if_exists) return kErrorFileExists;
  if (InUse(target, false) || InUse(source, true) || source == target) {
    return kErrorSharingViolation;
  }
  // Windows 9x will not copy over a read-only or hidden file.
  if (target_exists &&
      (files_[target].attributes & (kFileAttributeReadOnly | kFileAttributeHidden)) != 0) {
    return kErrorAccessDenied;
  }
  File copy = source_file->second;  // contents and attributes
  copy.path = target_exists ? files_[target].path : to;
  files_[target] = copy;
  return kErrorSuccess;
}

RegStatus SimDrive::Move(const char* from, const char* to) {
  RegStatus status = CheckPath(from);
  if (status == kErrorSuccess) status = CheckPath(to);
  if (status != kErrorSuccess) return status;
  std::string source = NormalizeFilePath(from);
  std::string target = NormalizeFilePath(to);
  auto file = files_.find(source);
  if (file == files_.end()) return MissingFileStatus(source);
  if (!ParentExists(target)) return kErrorPathNotFound;
  if (files_.count(target) != 0 || directories_.count(target) != 0) return kErrorAlreadyExists;
  if (InUse(source, false)) return kErrorSharingViolation;
  File moved = file->second;
  moved.path = to;
  files_.erase(file);
  files_[target] = moved;
  return kErrorSuccess;
}

RegStatus SimDrive::Delete(const char* path) {
  RegStatus status = CheckPath(path);
  if (status != kErrorSuccess) return status;
  std::string key = NormalizeFilePath(path);
  if (directories_.count(key) != 0) return kErrorAccessDenied;
  if (files_.count(key) == 0) return MissingFileStatus(key);
  if ((files_[key].attributes & kFileAttributeReadOnly) != 0) return kErrorAccessDenied;
  if (InUse(key, false)) return kErrorSharingViolation;
  files_.erase(key);
  return kErrorSuccess;
}

RegStatus SimDrive::Open(const char* path, bool write, Handle handle, uint64_t call) {
  RegStatus status = CheckPath(path);
  if (status != kErrorSuccess) return status;
  std::string key = NormalizeFilePath(path);
  if (directories_.count(key) != 0) return kErrorAccessDenied;
  auto file = files_.find(key);
  if (write) {
    // Creates or truncates at once.
    if (!ParentExists(key)) return kErrorPathNotFound;
    if (file != files_.end() && (file->second.attributes & kFileAttributeReadOnly) != 0) {
      return kErrorAccessDenied;
    }
    if (file == files_.end()) {
      file = files_.emplace(key, File{path, ""}).first;
    } else {
      file->second.contents.clear();
    }
  } else if (file == files_.end()) {
    return MissingFileStatus(key);
  }
  handles_[handle] = FileHandle{key, file->second.path, write, call};
  return kErrorSuccess;
}

RegStatus SimDrive::Write(Handle file, const char* data, uint32_t size) {
  auto it = handles_.find(file);
  if (it == handles_.end()) return kErrorInvalidHandle;
  if (!it->second.write) return kErrorAccessDenied;
  if (data == nullptr && size > 0) return kErrorInvalidParameter;
  auto entry = files_.find(it->second.key);
  if (entry == files_.end()) return kErrorFileNotFound;
  if (size > 0) entry->second.contents.append(data, size);
  return kErrorSuccess;
}

RegStatus SimDrive::Read(Handle file, char* data, uint32_t size, uint32_t* read) {
  auto it = handles_.find(file);
  if (it == handles_.end()) return kErrorInvalidHandle;
  if (it->second.write) return kErrorAccessDenied;
  if (data == nullptr && size > 0) return kErrorInvalidParameter;
  auto entry = files_.find(it->second.key);
  if (entry == files_.end()) return kErrorFileNotFound;
  const std::string& contents = entry->second.contents;
  size_t from = std::min(it->second.read_at, contents.size());
  size_t count = std::min<size_t>(size, contents.size() - from);
  if (count > 0) memcpy(data, contents.data() + from, count);
  it->second.read_at = from + count;
  *read = static_cast<uint32_t>(count);
  return kErrorSuccess;
}

std::string SimDrive::PathOf(Handle file) const {
  auto it = handles_.find(file);
  return it == handles_.end() ? "" : it->second.path;
}

RegStatus SimDrive::FindFirst(const char* pattern, Handle handle, uint64_t call) {
  RegStatus status = CheckPath(pattern);
  if (status != kErrorSuccess) return status;
  std::string key = NormalizeFilePath(pattern);
  std::string folder = ParentOf(key);
  size_t cut = key.rfind('\\');
  std::string wanted = cut == std::string::npos ? key : key.substr(cut + 1);
  if (!DirectoryExists(folder)) {
    folder = LongPath(folder);
    if (folder.empty() || !DirectoryExists(folder)) return kErrorPathNotFound;
  }
  for (const auto& entry : files_) {
    if (ParentOf(entry.first) != folder) continue;
    std::string name = entry.first.substr(folder.size() + 1);
    if (!MatchesWildcard(wanted.c_str(), name.c_str())) continue;
    handles_[handle] = FileHandle{key, pattern, false, call};
    return kErrorSuccess;
  }
  return kErrorFileNotFound;
}

void SimDrive::LoseUnsavedWrites() {
  for (const auto& entry : handles_) {
    if (!entry.second.write) continue;
    auto file = files_.find(entry.second.key);
    if (file != files_.end()) file->second.contents.clear();
  }
}

void SimDrive::ListHandles(std::vector<OpenHandleInfo>* out) const {
  for (const auto& entry : handles_) {
    out->push_back(OpenHandleInfo{OpenHandleInfo::Kind::kFile, entry.first, entry.second.path,
                                  entry.second.opened_by_call});
  }
}

}  // namespace netrevive::simulated_pc
