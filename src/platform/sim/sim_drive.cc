#include "platform/sim/sim_drive.h"

#include <string.h>

#include "platform/sim/sim_paths.h"

namespace netrevive::sim {
namespace {

std::string ParentOf(const std::string& normalized) {
  size_t cut = normalized.rfind('\\');
  if (cut == std::string::npos) return "";
  return normalized.substr(0, cut);
}

bool IsDriveRoot(const std::string& normalized) {
  return normalized.size() == 2 && normalized[1] == ':';
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
  std::string contents = source_file->second.contents;
  if (target_exists) {
    files_[target].contents = contents;
  } else {
    files_[target] = File{to, contents};
  }
  return kErrorSuccess;
}

RegStatus SimDrive::Delete(const char* path) {
  RegStatus status = CheckPath(path);
  if (status != kErrorSuccess) return status;
  std::string key = NormalizeFilePath(path);
  if (directories_.count(key) != 0) return kErrorAccessDenied;
  if (files_.count(key) == 0) return MissingFileStatus(key);
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

std::string SimDrive::PathOf(Handle file) const {
  auto it = handles_.find(file);
  return it == handles_.end() ? "" : it->second.path;
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

}  // namespace netrevive::sim
