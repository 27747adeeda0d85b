#ifndef NETREVIVE_PLATFORM_SIM_SIM_MACHINE_H_
#define NETREVIVE_PLATFORM_SIM_SIM_MACHINE_H_

// A simulated Windows 9x PC: registry, files of drive C:, version, process
// table and session, answering the Platform operations the way Windows 98
// does. Every platform call first consults the machine's fault plan and is
// appended to its call log, so a test can fail any call on purpose and check
// the order and arguments of everything the program did.
//
// Machine state is plain data: a SimMachine can be copied (a snapshot of the
// whole machine, handles and log included) and compared.
//
// Paths given to the helper functions (not the Platform operations):
//   registry keys: a full path "HKLM\\Software\\..." or "HKEY_LOCAL_MACHINE\\...",
//                  "HKCR\\dunfile" or "HKEY_CLASSES_ROOT\\dunfile"; key and value
//                  names compare case-insensitively (ASCII) and keep their case.
//   files:         a full path "C:\\WINDOWS\\system.dat"; case-insensitive.
//
// Helper functions never touch the call log or the fault plan.

#include <stdint.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/regedit4.h"

namespace netrevive::sim {

// Statuses the machine returns besides those in platform.h. Bool operations
// that fail keep theirs as the machine's last error (SimMachine::last_error).
constexpr RegStatus kErrorPathNotFound = 3;
constexpr RegStatus kErrorInvalidHandle = 6;
constexpr RegStatus kErrorNotReady = 21;  // every call after a power cut
constexpr RegStatus kErrorFileExists = 80;
constexpr RegStatus kErrorInvalidParameter = 87;
constexpr RegStatus kErrorFilenameExcedRange = 206;  // a path of kSimMaxPath bytes or more
constexpr RegStatus kErrorNoMoreItems = 259;
constexpr RegStatus kErrorDirectory = 267;  // working directory does not exist
constexpr RegStatus kErrorBadDb = 1009;
constexpr RegStatus kErrorBadKey = 1010;
constexpr RegStatus kErrorCantOpen = 1011;
constexpr RegStatus kErrorRegistryCorrupt = 1015;
// An operation on a handle whose key (or a key above it) has been deleted.
constexpr RegStatus kErrorKeyDeleted = 1018;

constexpr uint32_t kWaitTimeout = 258;

// File paths the machine's file operations accept are shorter than this
// (MAX_PATH); longer ones fail with kErrorFilenameExcedRange. Adjustable per
// machine with set_max_path (0 = no limit).
constexpr size_t kSimMaxPath = 260;

// One registry value: any type, stored as the bytes given.
struct RegValue {
  std::string name;  // "" is the default value
  uint32_t type = kRegSz;
  std::vector<uint8_t> data;
};

// One entry of the call log.
struct CallRecord {
  uint64_t index = 0;     // 1-based position among all platform calls
  std::string operation;  // the Platform method name, e.g. "RegOpenKeyExA"
  // The full key path ("HKLM\\System\\CurrentControlSet\\Services"), file path
  // or program path the call concerns; "" when there is none.
  std::string path;
  // Every argument as text, e.g. "HKLM\\System\\CurrentControlSet\\Services,
  // access=0xF003F" or, for CreateProcessA, "program=..., command_line=...,
  // working_directory=...".
  std::string arguments;
  // The return value: a status for registry calls, 1/0 for bool calls, the
  // length for GetWindowsDirectoryA, the handle for OpenFileFor*, the wait
  // result for WaitForSingleObject.
  int64_t result = 0;
  // 0 on success, otherwise the status the call failed with (a registry
  // status, or the last error of a bool call).
  RegStatus status = 0;
  bool faulted = false;          // the fault plan made this call fail
  bool after_power_cut = false;  // the machine was already off (see PowerCutAfter)

  // One line: "#12 RegDeleteKeyA HKLM\\...\\Winsock2 -> 0" with " [fault]" or
  // " [power off]" marks.
  std::string ToString() const;
};

// One rule of the fault plan.
struct FaultRule {
  // By operation: the Platform method name; "" matches every operation.
  std::string operation;
  // The path the call concerns (see CallRecord::path), compared
  // case-insensitively with HKLM/HKEY_LOCAL_MACHINE and HKCR/HKEY_CLASSES_ROOT
  // taken as equal; "" matches any path. For value operations the key path or
  // key path + "\\" + value name matches; for CopyFileA the source or target.
  std::string path;
  // By position: when non-zero, the rule fails exactly the call with this
  // 1-based index (operation and path must then also match when given).
  uint64_t call_index = 0;
  RegStatus status = kErrorAccessDenied;
  bool persistent = false;  // otherwise the rule is used up by its first hit
  int hits = 0;             // how often the rule made a call fail
};

// A helper program the machine started (a CreateProcessA that succeeded).
struct ProcessRecord {
  std::string program;  // as passed (or resolved from the command line)
  std::string command_line;
  std::string working_directory;  // "" when none was given
  Handle process = kNoHandle;
  Handle thread = kNoHandle;
  uint32_t process_id = 0;
  uint32_t thread_id = 0;
  uint64_t started_at_ms = 0;  // simulated clock when it was started
  uint32_t duration_ms = 0;    // how long it runs, charged when waited for
  uint32_t exit_code = 0;
  bool waited = false;      // a wait on it returned
  bool recognised = false;  // the helper model knew the command
  std::string effect;       // what the helper model did, one line of text
  int session = 0;          // SimMachine::session() when it was started
};

// What a simulated helper did. Returned by a HelperModel.
struct HelperOutcome {
  bool recognised = false;
  uint32_t exit_code = 0;
  uint32_t duration_ms = 0;
  std::string effect;  // e.g. "removed DUN", "requested a restart"
};

class SimMachine;

// Plays a helper program the machine has just started: changes the machine
// (through the helper functions, which are neither logged nor faulted) and
// says what it did. The default model is DefaultHelperModel in sim_presets.h.
using HelperModel = std::function<HelperOutcome(SimMachine& machine, const ProcessRecord& run)>;

// A request to end the Windows session.
enum class SessionRequest { kLogOff, kRestart };

// An object the program holds open.
struct OpenHandleInfo {
  enum class Kind { kKey, kFile, kProcess, kThread };
  Kind kind = Kind::kKey;
  uintptr_t value = 0;
  std::string what;             // key path, file path or program path
  uint64_t opened_by_call = 0;  // CallRecord::index of the call that opened it
};

// What running a command line would start: the program file found on the
// drive and the arguments the program's C runtime hands to main.
struct ResolvedCommand {
  bool found = false;
  std::string program;            // the file that would run
  std::vector<std::string> argv;  // argv[0] included
};

class SimMachine final : public Platform {
 public:
  // An empty machine: empty HKLM and HKCR, no files, Windows directory
  // "C:\\WINDOWS" (the directory itself exists), version all zero, no helper
  // model. Presets build on it (sim_presets.h).
  SimMachine();

  // ---- Platform -----------------------------------------------------------
  // Registry. Access masks are recorded but not enforced (Windows 9x has no
  // registry security). Subkey paths may hold several components; empty
  // components are skipped; a null or empty subkey opens the key itself again.
  // Errors: 2 missing key or value, 6 unknown handle, 87 null argument where
  // one is required, 1018 a handle whose key was deleted, 234, 259 as Win32.
  RegStatus RegOpenKeyExA(RegKey parent, const char* subkey, uint32_t access,
                          RegKey* result) override;
  RegStatus RegQueryInfoKeyA(RegKey key, uint32_t* subkey_count) override;
  // Subkeys in creation order. 234 when name_size < length + 1 (nothing is
  // written), 259 when index is past the end.
  RegStatus RegEnumKeyA(RegKey key, uint32_t index, char* name, uint32_t name_size) override;
  // Win32 semantics: data null -> size only; *data_size too small -> 234 and
  // the size needed in *data_size (nothing written); type filled when not null.
  RegStatus RegQueryValueExA(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                             uint32_t* data_size) override;
  // Stores exactly data_size bytes under any type; creation order is kept,
  // rewriting a value keeps its place.
  RegStatus RegSetValueExA(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                           uint32_t data_size) override;
  // Removes the subkey and everything below it; handles open on any removed
  // key then answer 1018. Missing subkey -> 2; null or empty subkey -> 87.
  RegStatus RegDeleteKeyA(RegKey key, const char* subkey) override;
  RegStatus RegDeleteValueA(RegKey key, const char* name) override;
  // Unknown handle -> 6. The predefined roots close successfully and stay
  // usable. A handle to a deleted key closes successfully.
  RegStatus RegCloseKey(RegKey key) override;

  // Files and system information.
  // Returns the length without NUL; when size < length + 1 returns length + 1
  // and writes nothing.
  uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) override;
  bool GetVersionExA(OsVersion* info) override;
  // Missing source -> 2; target exists with fail_if_exists -> 80; target's
  // folder missing -> 3; paths too long -> 206.
  bool CopyFileA(const char* from, const char* to, bool fail_if_exists) override;
  bool DeleteFileA(const char* path) override;
  Handle OpenFileForRead(const char* path) override;
  // Creates or truncates at once (the file exists, empty, after the call).
  Handle OpenFileForWrite(const char* path) override;
  // Appends to the file at once; a handle opened for reading -> 5.
  bool WriteFile(Handle file, const char* data, uint32_t size) override;
  bool CloseFile(Handle file) override;

  // Processes and session.
  // The program file must exist on the drive (else 2; null program: resolved
  // from the command line as ResolveCommandLine does), the working directory,
  // when given, must be an existing folder (else 267). On success the helper
  // model runs at once and its effect is on the machine when this returns;
  // process and thread handles are distinct and both must be closed.
  bool CreateProcessA(const char* program, char* command_line, const char* working_directory,
                      ProcessInfo* info) override;
  // On a process or thread handle: advances the simulated clock by what is
  // left of the helper's duration (or by milliseconds, returning 258, when
  // that is shorter) and returns 0. Unknown handle -> kWaitFailed (6).
  uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) override;
  // Closes a process, thread or file handle; unknown -> false (6).
  bool CloseHandle(Handle object) override;
  // Records a log-off request (flags 0) or a restart request (flag 2 set).
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;

  // ---- Registry helpers ---------------------------------------------------
  // Creates the key and any missing keys above it. False for an unknown root.
  bool CreateKey(const std::string& path);
  bool KeyExists(const std::string& path) const;
  // Removes the key with its whole tree (invalidating handles below it).
  bool DeleteKey(const std::string& path);
  // Creates the key when needed. SetString stores the text with its NUL.
  bool SetValue(const std::string& path, const std::string& name, uint32_t type,
                const std::vector<uint8_t>& data);
  bool SetString(const std::string& path, const std::string& name, const std::string& text);
  bool SetDword(const std::string& path, const std::string& name, uint32_t value);
  bool SetBinary(const std::string& path, const std::string& name,
                 const std::vector<uint8_t>& data);
  bool GetValue(const std::string& path, const std::string& name, RegValue* value) const;
  // The text of a value without its terminating NUL (any type, bytes as they
  // are up to the first NUL). False when key or value is missing.
  bool GetString(const std::string& path, const std::string& name, std::string* text) const;
  bool ValueExists(const std::string& path, const std::string& name) const;
  bool DeleteValue(const std::string& path, const std::string& name);
  // Subkey names, in creation order; empty for a missing key.
  std::vector<std::string> ListKeys(const std::string& path) const;
  // Values in creation order; empty for a missing key.
  std::vector<RegValue> ListValues(const std::string& path) const;
  // The key's path with the case it was created with and the long root name
  // ("HKEY_LOCAL_MACHINE\\System\\..."); "" when missing.
  std::string KeyPath(const std::string& path) const;

  // Applies a REGEDIT4 file as regedit does: [-key] removes a tree, [key]
  // creates it, "name"=- removes a value, other lines set values. Roots
  // HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT (or HKLM/HKCR). On an unknown
  // root returns false with a message naming the key; the sections before it
  // have been applied (callers that need all-or-nothing import into a copy).
  bool Import(const RegFile& file, std::string* error = nullptr);
  // Every key of HKLM then HKCR, depth first in creation order, each with its
  // values (the roots themselves only when they hold values), paths with the
  // long root names.
  RegFile Export() const;

  // ---- File helpers -------------------------------------------------------
  // Stores the file, creating its folders.
  void PutFile(const std::string& path, const std::string& contents);
  bool FileExists(const std::string& path) const;
  bool ReadFile(const std::string& path, std::string* contents) const;
  bool RemoveFile(const std::string& path);
  // Creates the folder and the folders above it.
  void AddDirectory(const std::string& path);
  bool DirectoryExists(const std::string& path) const;
  void RemoveDirectory(const std::string& path);  // the folder only; files stay
  // Every file with its path as created, sorted case-insensitively.
  std::vector<std::string> ListFiles() const;
  std::vector<std::string> ListDirectories() const;
  size_t max_path() const { return max_path_; }
  void set_max_path(size_t limit) { max_path_ = limit; }

  // ---- Version and Windows directory -------------------------------------
  const OsVersion& version() const { return version_; }
  void set_version(const OsVersion& version) { version_ = version; }
  // csd is truncated to 127 bytes.
  void SetVersion(uint32_t platform_id, uint32_t major, uint32_t minor, uint32_t build,
                  const std::string& csd);
  const std::string& windows_dir() const { return windows_dir_; }
  // Any length (tests use up to 32 KB); also creates the folder on the drive.
  void set_windows_dir(const std::string& dir);
  // The program's own invocation text (SelfPath) of the first run; the
  // presets set "C:\\NETREVIVE\\NETREVIVE.EXE".
  const std::string& self_path() const { return self_path_; }
  void set_self_path(const std::string& path) { self_path_ = path; }

  // ---- Processes ----------------------------------------------------------
  // A null model starts programs without any effect (recorded as unknown).
  void set_helper_model(HelperModel model) { helper_model_ = std::move(model); }
  const std::vector<ProcessRecord>& processes() const { return processes_; }
  uint64_t clock_ms() const { return clock_ms_; }
  void AdvanceClock(uint64_t ms) { clock_ms_ += ms; }

  // ---- Session ------------------------------------------------------------
  // Session end requests of the current session, in order.
  const std::vector<SessionRequest>& session_requests() const { return session_requests_; }
  void RequestRestart() { session_requests_.push_back(SessionRequest::kRestart); }
  bool restart_requested() const;
  bool logoff_requested() const;
  // What Windows does between sessions: every handle of the ended session is
  // dropped, the session requests are cleared, the power is back on, and the
  // session counter goes up. Registry, files and logs stay.
  void BeginNewSession();
  int session() const { return session_; }
  // Takes each value of HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce,
  // deletes it and returns its text (in value order), as Windows does at the
  // start of a session. Values that are not text are deleted and skipped.
  std::vector<std::string> TakeRunOnceCommands();
  // How Windows would run the command line: a quoted program path is taken as
  // it is; an unquoted one is tried up to each blank in turn until a file
  // exists on the drive (".exe" appended when the candidate's file name has no
  // extension; a name without a folder is looked for in <WindowsDir>\SYSTEM
  // and <WindowsDir>). argv as the program's C runtime splits the command line
  // (SplitCommandLine in sim_command_line.h).
  ResolvedCommand ResolveCommandLine(const std::string& command_line) const;

  // ---- Handles ------------------------------------------------------------
  // Every key, file, process and thread handle the program holds, in the
  // order they were opened. Empty when the program closed everything.
  std::vector<OpenHandleInfo> OpenHandles() const;
  // One line per open handle; "" when none.
  std::string DescribeOpenHandles() const;

  // ---- Fault plan ---------------------------------------------------------
  // Fails calls of the operation (Platform method name, "" = any) on the path
  // ("" = any) with the status: once, or every time when persistent.
  void FailOperation(const std::string& operation, const std::string& path, RegStatus status,
                     bool persistent = false);
  // Fails the call with this 1-based index (counted over all platform calls
  // since construction or ResetCallLog), once, whatever operation it is.
  // Sweeps: run with FailCallNumber(n) for n = 1, 2, ... until fault_met()
  // stays false; calls()[n - 1].operation of a clean run tells which
  // operation a given n hits, to pick a status that operation really returns.
  void FailCallNumber(uint64_t index, RegStatus status);
  void AddFault(const FaultRule& rule) { faults_.push_back(rule); }
  void ClearFaults() { faults_.clear(); }
  const std::vector<FaultRule>& faults() const { return faults_; }
  // Whether any injected fault made a call fail (since construction or
  // ClearFaultsMet), and how many calls it failed.
  bool fault_met() const { return faults_met_ > 0; }
  int faults_met() const { return faults_met_; }
  void ClearFaultsMet() { faults_met_ = 0; }

  // Power cut: after the platform call with this 1-based index has done its
  // work, the machine is off. Every later call does nothing and fails (status
  // 21: registry calls return it, bool calls return false, GetWindowsDirectoryA
  // 0, OpenFileFor* kNoHandle, waits kWaitFailed); it is still logged, marked
  // after_power_cut, but changes nothing. Files open for writing at the cut
  // lose what was written to them since they were opened (they stay, empty);
  // registry changes made before the cut are kept. The program under test
  // then runs to its end on failures; BeginNewSession switches the machine on
  // again. 0 cancels a pending cut.
  void PowerCutAfter(uint64_t index) { power_cut_after_ = index; }
  // Cuts the power now (the next call is the first to fail).
  void CutPower();
  bool powered_off() const { return powered_off_; }
  // Index of the last call that ran with power on (the cut point), 0 if none.
  uint64_t power_cut_at() const { return power_cut_at_; }

  // ---- Call log -----------------------------------------------------------
  const std::vector<CallRecord>& calls() const { return calls_; }
  uint64_t call_count() const { return call_count_; }
  // The calls of one operation, in order.
  std::vector<CallRecord> CallsOf(const std::string& operation) const;
  // Index (1-based) of the first call of the operation on the path (matched
  // as fault rules match), 0 when there is none; for order checks.
  uint64_t FirstCallIndex(const std::string& operation, const std::string& path = "") const;
  // Empties the log and restarts the call count at 1 (fault rules by index
  // then count from there).
  void ResetCallLog();
  // Every call, one line each.
  std::string FormatCallLog() const;
  // Status of the last failed bool call (GetLastError), 0 after a success.
  RegStatus last_error() const { return last_error_; }

  // Normalised forms used for comparisons: a key path with its root as "HKLM"
  // or "HKCR", upper case, no empty components; "" for an unknown root. A file
  // path in upper case with / taken as \ and no trailing backslash.
  static std::string NormalizeKeyPath(const std::string& path);
  static std::string NormalizeFilePath(const std::string& path);

 private:
  struct KeyNode {
    std::string name;
    uint64_t parent = 0;
    std::vector<uint64_t> children;  // creation order
    std::vector<RegValue> values;    // creation order
  };
  struct KeyHandle {
    uint64_t node = 0;
    std::string path;  // display path, for the log and OpenHandles
    uint64_t opened_by_call = 0;
  };
  struct FileEntry {
    std::string path;  // as created
    std::string contents;
  };
  struct FileHandle {
    std::string key;  // normalised path
    std::string path;
    bool write = false;
    uint64_t opened_by_call = 0;
  };
  struct ProcessHandle {
    size_t process_index = 0;  // into processes_
    bool thread = false;
    uint64_t opened_by_call = 0;
  };
  // Where a platform call stands once the fault plan was consulted.
  struct CallGate {
    size_t record = 0;  // index into calls_
    bool proceed = true;
    RegStatus status = 0;
  };

  CallGate BeginCall(const char* operation, const std::string& path, const std::string& arguments,
                     const std::string& alternate_path = "");
  void EndCall(const CallGate& gate, int64_t result, RegStatus status);
  bool FailBool(const CallGate& gate, RegStatus status);
  bool RuleMatches(const FaultRule& rule, const std::string& operation, const std::string& path,
                   const std::string& alternate_path) const;

  uint64_t RootNode(const std::string& normalized_root) const;
  uint64_t FindNode(const std::string& path) const;  // 0 when missing
  uint64_t FindChild(uint64_t node, const std::string& name) const;
  uint64_t AddChild(uint64_t node, const std::string& name);
  uint64_t CreatePath(const std::string& path);  // 0 for an unknown root
  void RemoveTree(uint64_t node);
  std::string NodePath(uint64_t node, bool long_root) const;
  RegStatus ResolveKey(RegKey key, uint64_t* node, std::string* path) const;
  RegValue* FindValue(uint64_t node, const std::string& name);
  const RegValue* FindValue(uint64_t node, const std::string& name) const;
  void ExportNode(uint64_t node, RegFile* file) const;

  RegStatus CheckFilePath(const char* path) const;
  bool ParentExists(const std::string& normalized) const;
  bool CloseKernelHandle(Handle object, RegStatus* status);

  // Registry: node 1 is HKLM, node 2 is HKCR.
  std::map<uint64_t, KeyNode> nodes_;
  uint64_t next_node_ = 3;
  std::map<RegKey, KeyHandle> key_handles_;
  RegKey next_key_handle_ = 0x00C00000;

  std::map<std::string, FileEntry> files_;  // by normalised path
  std::set<std::string> directories_;       // normalised
  std::map<Handle, FileHandle> file_handles_;
  size_t max_path_ = kSimMaxPath;

  std::map<Handle, ProcessHandle> process_handles_;
  std::vector<ProcessRecord> processes_;
  Handle next_handle_ = 0x100;
  uint32_t next_process_id_ = 0xFFF3A001;
  HelperModel helper_model_;
  uint64_t clock_ms_ = 0;

  OsVersion version_{};
  std::string windows_dir_;
  std::string self_path_;

  std::vector<SessionRequest> session_requests_;
  int session_ = 1;

  std::vector<FaultRule> faults_;
  int faults_met_ = 0;
  uint64_t power_cut_after_ = 0;
  uint64_t power_cut_at_ = 0;
  bool powered_off_ = false;

  std::vector<CallRecord> calls_;
  uint64_t call_count_ = 0;
  RegStatus last_error_ = 0;
};

}  // namespace netrevive::sim

#endif  // NETREVIVE_PLATFORM_SIM_SIM_MACHINE_H_
