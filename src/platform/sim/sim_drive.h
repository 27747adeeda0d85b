#ifndef NETREVIVE_PLATFORM_SIM_SIM_DRIVE_H_
#define NETREVIVE_PLATFORM_SIM_SIM_DRIVE_H_

// The files and folders of the simulated machine's drives and the file
// handles the program holds. Paths are full paths ("C:\\WINDOWS\\system.dat"),
// compared case-insensitively; a file keeps the spelling it was created with.

#include <stddef.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/sim_common.h"

namespace netrevive::sim {

class SimDrive {
 public:
  // ---- Helpers ------------------------------------------------------------
  void PutFile(const std::string& path, const std::string& contents);  // creates its folders
  bool FileExists(const std::string& path) const;
  bool ReadFile(const std::string& path, std::string* contents) const;
  bool RemoveFile(const std::string& path);
  void AddDirectory(const std::string& path);  // and the folders above it
  // The empty path and a drive root ("C:") always exist.
  bool DirectoryExists(const std::string& path) const;
  void RemoveDirectory(const std::string& path);  // the folder only; files stay
  std::vector<std::string> ListFiles() const;
  std::vector<std::string> ListDirectories() const;
  size_t max_path() const { return max_path_; }
  void set_max_path(size_t limit) { max_path_ = limit; }

  // ---- For the Platform operations ---------------------------------------
  // 87 for a null or empty path, 206 for one of max_path bytes or more.
  RegStatus CheckPath(const char* path) const;
  // Why an existing file was not found: 2 when its folder exists, else 3.
  RegStatus MissingFileStatus(const std::string& path) const;
  // Each returns the status of the operation with the Win32 meanings (see
  // SimMachine), paths checked first with CheckPath. Open stores the handle
  // given when it succeeds.
  RegStatus Copy(const char* from, const char* to, bool fail_if_exists);
  RegStatus Delete(const char* path);
  RegStatus Open(const char* path, bool write, Handle handle, uint64_t call);
  RegStatus Write(Handle file, const char* data, uint32_t size);
  bool IsOpen(Handle file) const { return handles_.count(file) != 0; }
  // The file's path as created, "" when the handle is not a file handle.
  std::string PathOf(Handle file) const;
  bool Release(Handle file) { return handles_.erase(file) != 0; }
  void DropHandles() { handles_.clear(); }
  // At a power cut: what was written through a handle still open is not on
  // the disk yet, so those files are left empty.
  void LoseUnsavedWrites();
  void ListHandles(std::vector<OpenHandleInfo>* out) const;

 private:
  struct File {
    std::string path;  // as created
    std::string contents;
  };
  struct FileHandle {
    std::string key;  // normalised path
    std::string path;
    bool write = false;
    uint64_t opened_by_call = 0;
  };

  bool ParentExists(const std::string& normalized) const;
  // Whether a handle is open on the file (when for_write, one open for writing).
  bool InUse(const std::string& normalized, bool for_write) const;

  std::map<std::string, File> files_;  // by normalised path
  std::set<std::string> directories_;  // normalised
  std::map<Handle, FileHandle> handles_;
  size_t max_path_ = kSimMaxPath;
};

}  // namespace netrevive::sim

#endif  // NETREVIVE_PLATFORM_SIM_SIM_DRIVE_H_
