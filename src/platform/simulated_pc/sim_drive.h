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

#include "platform/simulated_pc/sim_common.h"

namespace netrevive::simulated_pc {

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
  // A file's attributes (new files have archive, 0x20), 0x10 for a folder;
  // kInvalidFileAttributes when missing. SetAttributes keeps the read-only,
  // hidden, system and archive bits (0x80, normal, clears them all); false
  // for a missing file, true and no change for a folder.
  uint32_t Attributes(const std::string& path) const;
  bool SetAttributes(const std::string& path, uint32_t attributes);
  // The 8.3 form of an existing file's or folder's path, "" when missing.
  // Each component that is not a valid upper-case 8.3 name is made into one
  // as Windows 98 does: blanks and surplus periods dropped, +,;=[] made _,
  // upper case, the name cut to 6 characters + "~N" (5 + "~NN" from 10 on)
  // and the extension to 3. N is the first number no other entry of the
  // folder has; entries are numbered in name order (Windows 98 numbers
  // them in the order they were made).
  std::string ShortPath(const std::string& path) const;
  // The normalised long path of a path that may hold short names, "" when
  // nothing matches: Windows takes either.
  std::string LongPath(const std::string& path) const;
  // Drive types by upper-case letter, as GetDriveTypeA reports them; a new
  // drive has A: removable (2) and C: fixed (3). Type 1 (no such root)
  // removes the drive.
  const std::map<char, uint32_t>& drive_types() const { return drive_types_; }
  void set_drive_type(char letter, uint32_t type);
  // GetDriveTypeA of "X:\\" (or "X:"); 1 for anything else.
  uint32_t DriveType(const char* root) const;
  // Whether the file is out of Windows' reach once the PC has restarted: on
  // a floppy disk (taken out so that the PC can start from its hard disk),
  // a network drive or a network path (the network is not there yet, or
  // went with DUN).
  bool GoneAfterRestart(const std::string& path) const;
  // Whether the path is on a floppy or CD-ROM drive with no disc in it:
  // a removable (2) or CD-ROM (5) drive that holds no file or folder.
  bool DiscMissing(const std::string& path) const;
  size_t max_path() const { return max_path_; }
  void set_max_path(size_t limit) { max_path_ = limit; }

  // ---- For the Platform operations ---------------------------------------
  // 87 for a null or empty path, 206 for one of max_path bytes or more.
  RegStatus CheckPath(const char* path) const;
  // Why an existing file was not found: 2 when its folder exists, else 3.
  RegStatus MissingFileStatus(const std::string& path) const;
  // 0 when the file or folder exists, else as MissingFileStatus.
  RegStatus FindStatus(const std::string& path) const;
  // Each returns the status of the operation with the Win32 meanings (see
  // SimMachine), paths checked first with CheckPath. Open stores the handle
  // given when it succeeds. As on Windows 9x, Copy gives the copy the
  // source's attributes and refuses a target that is read-only or hidden;
  // Delete and Open for writing refuse a read-only file.
  RegStatus Copy(const char* from, const char* to, bool fail_if_exists);
  RegStatus Delete(const char* path);
  // Renames a file within the drive, attributes and all; a name that is
  // taken -> 183.
  RegStatus Move(const char* from, const char* to);
  RegStatus Open(const char* path, bool write, Handle handle, uint64_t call);
  RegStatus Write(Handle file, const char* data, uint32_t size);
  // Up to size bytes from where the handle's last read ended, in *read.
  RegStatus Read(Handle file, char* data, uint32_t size, uint32_t* read);
  // FindFirstFileA: a file of the pattern's folder whose name matches its
  // last component (* and ?, case-insensitive) holds the handle given, as a
  // search handle, until Release. 2 when nothing matches, 3 for a missing
  // folder.
  RegStatus FindFirst(const char* pattern, Handle handle, uint64_t call);
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
    uint32_t attributes = kFileAttributeArchive;
  };
  struct FileHandle {
    std::string key;  // normalised path
    std::string path;
    bool write = false;
    uint64_t opened_by_call = 0;
    size_t read_at = 0;  // where the next read starts
  };

  bool ParentExists(const std::string& normalized) const;
  // Whether a handle is open on the file (when for_write, one open for writing).
  bool InUse(const std::string& normalized, bool for_write) const;
  // The short name of the entry name (normalised) in the folder parent.
  std::string ShortName(const std::string& parent, const std::string& name) const;

  std::map<std::string, File> files_;  // by normalised path
  std::set<std::string> directories_;  // normalised
  std::map<Handle, FileHandle> handles_;
  size_t max_path_ = kSimMaxPath;
  std::map<char, uint32_t> drive_types_ = {{'A', kDriveRemovable}, {'C', kDriveFixed}};
};

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_DRIVE_H_
