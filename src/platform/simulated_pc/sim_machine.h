#ifndef NETREVIVE_PLATFORM_SIM_SIM_MACHINE_H_
#define NETREVIVE_PLATFORM_SIM_SIM_MACHINE_H_

// A simulated Windows 9x PC: registry, files of drive C:, version, process
// table and session, answering the Platform operations the way Windows 98
// does. Every platform call first passes the machine's fault gate (the fault
// plan and the call log, sim_fault_plan.h), then the part of the machine it
// concerns does the work: the registry (sim_registry.h), the drive
// (sim_drive.h), the process table (sim_processes.h) or Winsock
// (sim_winsock.h). A test can so fail any call on purpose and check the
// order and arguments of everything the program did.
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
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/simulated_pc/sim_command_line.h"
#include "platform/simulated_pc/sim_common.h"
#include "platform/simulated_pc/sim_drive.h"
#include "platform/simulated_pc/sim_fault_plan.h"
#include "platform/simulated_pc/sim_operations.h"
#include "platform/simulated_pc/sim_paths.h"
#include "platform/simulated_pc/sim_processes.h"
#include "platform/simulated_pc/sim_registry.h"
#include "platform/simulated_pc/sim_winsock.h"

namespace netrevive::simulated_pc {

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
  // Opens the key as RegOpenKeyExA does, creating what is missing first.
  RegStatus RegCreateKeyExA(RegKey parent, const char* subkey, uint32_t access,
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
  // HKLM, HKCR, HKEY_USERS or an open key; with a lazy registry the whole
  // registry as it is now survives a power cut from then on.
  RegStatus RegFlushKey(RegKey key) override;
  // Unknown handle -> 6. The predefined roots close successfully and stay
  // usable. A handle to a deleted key closes successfully.
  RegStatus RegCloseKey(RegKey key) override;

  // Files.
  Handle OpenFileForRead(const char* path) override;
  // Creates or truncates at once (the file exists, empty, after the call);
  // a read-only file -> 5.
  Handle OpenFileForWrite(const char* path) override;
  // Reads on from where the handle's last read ended; a handle opened for
  // writing -> 5.
  bool ReadFile(Handle file, char* buffer, uint32_t size, uint32_t* read) override;
  // Appends to the file at once; a handle opened for reading -> 5.
  bool WriteFile(Handle file, const char* data, uint32_t size) override;
  bool CloseFile(Handle file) override;
  // Missing source -> 2; target exists with fail_if_exists -> 80; target's
  // folder missing -> 3; paths too long -> 206; a file in use -> 32. As on
  // Windows 9x, the copy gets the source's attributes, and a target that is
  // read-only or hidden is refused with 5.
  bool CopyFileA(const char* from, const char* to, bool fail_if_exists) override;
  // Move() of the drive: a name taken -> 183, a missing file -> 2 or 3.
  bool MoveFileA(const char* from, const char* to) override;
  // A read-only file -> 5.
  bool DeleteFileA(const char* path) override;
  // The attributes of a file, 0x10 for a folder or a drive root; missing ->
  // 0xFFFFFFFF with 2 or 3.
  uint32_t GetFileAttributesA(const char* path) override;
  // Attributes() and SetAttributes() of the drive; missing -> 2 or 3.
  bool SetFileAttributesA(const char* path, uint32_t attributes) override;
  // A search handle while a file matches (the drive's FindFirst); otherwise
  // kNoHandle with 2 (none matches) or 3 (no such folder).
  Handle FindFirstFileA(const char* pattern) override;
  // Ends a search; unknown handle -> false (6).
  bool FindClose(Handle search) override;
  // ShortPath() of an existing file or folder, sizes as GetWindowsDirectoryA;
  // missing -> 0 with 2 or 3.
  uint32_t GetShortPathNameA(const char* long_path, char* buffer, uint32_t size) override;
  // LongPath() of an existing file or folder, sizes and failures as
  // GetShortPathNameA.
  uint32_t GetLongPathNameA(const char* short_path, char* buffer, uint32_t size) override;
  // "X:\\": the drive's type from drive_types() (1, no such root, for a
  // letter without one); 0 (unknown) when the fault plan fails the call.
  uint32_t GetDriveTypeA(const char* root) override;

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

  // Console. Both are logged only: the simulated console has no break keys,
  // and its keys are read one per pause.
  bool SetConsoleCtrlHandler() override;
  bool FlushConsoleInputBuffer() override;

  // Winsock 2 (sim_winsock.h), answered from the registry. LoadWinsock
  // finds WS2_32.DLL in the program's folder, <WindowsDir>\SYSTEM or
  // <WindowsDir> (as Windows looks), else kNoHandle with 126. WSAStartup
  // answers 10091 (WSASYSNOTREADY) when Winsock2\Parameters cannot be
  // opened, and 10093 without the library loaded. WSAEnumProtocolsA lists
  // the providers of the protocol catalogue (sim_protocol_catalog.h;
  // damaged items are skipped as Winsock skips them), 10055 with the size
  // needed when the buffer is too small, 10093 before WSAStartup.
  // WSACleanup ends one WSAStartup. socket opens one when a listed provider
  // has the family and protocol (10047 without one for the family, 10043
  // without the protocol, 10093 before WSAStartup); on a machine whose TCP
  // chain is broken (tcp_chain_broken) a TCP socket fails with 10047
  // although its provider is listed. closesocket closes one (10038 for
  // anything else). Sockets, started Winsock and the loaded library are
  // listed among the open handles.
  Handle LoadWinsock() override;
  int32_t WSAStartup(uint16_t version) override;
  int32_t WSAEnumProtocolsA(const int32_t* protocols, ProtocolInfo* buffer,
                            uint32_t* buffer_length) override;
  int32_t WSACleanup() override;
  int32_t WSAGetLastError() override;
  Socket socket(int32_t family, int32_t type, int32_t protocol) override;
  int32_t closesocket(Socket opened) override;
  bool FreeWinsock(Handle winsock) override;

  // The program's surroundings.
  // Returns the length without NUL; when size < length + 1 returns length + 1
  // and writes nothing.
  uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) override;
  bool GetVersionExA(OsVersion* info) override;
  // self_path(), the program's own file; a buffer too small takes what fits
  // and the result is its size.
  uint32_t GetModuleFileNameA(char* buffer, uint32_t size) override;
  // temp_path(), sizes as GetWindowsDirectoryA.
  uint32_t GetTempPathA(char* buffer, uint32_t size) override;
  // environment_variable(), sizes as GetWindowsDirectoryA; 0 with 203 when
  // the variable is not set.
  uint32_t GetEnvironmentVariableA(const char* name, char* buffer, uint32_t size) override;
  // Sets the error mode of the program's process (error_mode()) and returns
  // the mode it replaces; the programs it starts inherit the mode.
  uint32_t SetErrorMode(uint32_t mode) override;

  // ---- Registry helpers ---------------------------------------------------
  // Creates the key and any missing keys above it. False for an unknown root.
  bool CreateKey(const std::string& path) { return registry_.CreateKey(path); }
  bool KeyExists(const std::string& path) const { return registry_.KeyExists(path); }
  // Removes the key with its whole tree (invalidating handles below it).
  bool DeleteKey(const std::string& path) { return registry_.DeleteKey(path); }
  // Creates the key when needed. SetString stores the text with its NUL.
  bool SetValue(const std::string& path, const std::string& name, uint32_t type,
                const std::vector<uint8_t>& data) {
    return registry_.SetValue(path, name, type, data);
  }
  bool SetValues(const std::string& path, std::vector<RegValue>&& values) {
    return registry_.SetValues(path, std::move(values));
  }
  bool SetString(const std::string& path, const std::string& name, const std::string& text) {
    return registry_.SetString(path, name, text);
  }
  bool SetDword(const std::string& path, const std::string& name, uint32_t value) {
    return registry_.SetDword(path, name, value);
  }
  bool SetBinary(const std::string& path, const std::string& name,
                 const std::vector<uint8_t>& data) {
    return SetValue(path, name, kRegBinary, data);
  }
  bool GetValue(const std::string& path, const std::string& name, RegValue* value) const {
    return registry_.GetValue(path, name, value);
  }
  // The text of a value without its terminating NUL (any type, bytes as they
  // are up to the first NUL). False when key or value is missing.
  bool GetString(const std::string& path, const std::string& name, std::string* text) const {
    return registry_.GetString(path, name, text);
  }
  bool ValueExists(const std::string& path, const std::string& name) const {
    return GetValue(path, name, nullptr);
  }
  bool DeleteValue(const std::string& path, const std::string& name) {
    return registry_.DeleteValue(path, name);
  }
  // Subkey names, in creation order; empty for a missing key.
  std::vector<std::string> ListKeys(const std::string& path) const {
    return registry_.ListKeys(path);
  }
  // Values in creation order; empty for a missing key.
  std::vector<RegValue> ListValues(const std::string& path) const {
    return registry_.ListValues(path);
  }
  // The key's path with the case it was created with and the long root name
  // ("HKEY_LOCAL_MACHINE\\System\\..."); "" when missing.
  std::string KeyPath(const std::string& path) const { return registry_.KeyPath(path); }
  // Every key of HKLM then HKCR, depth first in creation order, with its
  // path (long root names) and values; is_root is set for the two roots.
  void ForEachKey(const std::function<void(const std::string& path, bool is_root,
                                           const std::vector<RegValue>& values)>& visit) const {
    registry_.ForEachKey(visit);
  }
  // The registry's change journal (SimRegistry::KeyBefore): off until
  // started, then the state of every key before each change.
  void StartRegistryJournal() { registry_.StartJournal(); }
  const std::vector<SimRegistry::KeyBefore>& registry_journal() const {
    return registry_.journal();
  }

  // ---- File helpers -------------------------------------------------------
  // Stores the file, creating its folders.
  void PutFile(const std::string& path, const std::string& contents) {
    drive_.PutFile(path, contents);
  }
  bool FileExists(const std::string& path) const { return drive_.FileExists(path); }
  bool ReadFile(const std::string& path, std::string* contents) const {
    return drive_.ReadFile(path, contents);
  }
  bool RemoveFile(const std::string& path) { return drive_.RemoveFile(path); }
  // Creates the folder and the folders above it.
  void AddDirectory(const std::string& path) { drive_.AddDirectory(path); }
  bool DirectoryExists(const std::string& path) const { return drive_.DirectoryExists(path); }
  // The folder only; files stay.
  void RemoveDirectory(const std::string& path) { drive_.RemoveDirectory(path); }
  // Every file with its path as created, sorted case-insensitively.
  std::vector<std::string> ListFiles() const { return drive_.ListFiles(); }
  std::vector<std::string> ListDirectories() const { return drive_.ListDirectories(); }
  size_t max_path() const { return drive_.max_path(); }
  void set_max_path(size_t limit) { drive_.set_max_path(limit); }
  // Attributes, short names and drive types (sim_drive.h).
  uint32_t Attributes(const std::string& path) const { return drive_.Attributes(path); }
  bool SetAttributes(const std::string& path, uint32_t attributes) {
    return drive_.SetAttributes(path, attributes);
  }
  std::string ShortPath(const std::string& path) const { return drive_.ShortPath(path); }
  std::string LongPath(const std::string& path) const { return drive_.LongPath(path); }
  const std::map<char, uint32_t>& drive_types() const { return drive_.drive_types(); }
  void set_drive_type(char letter, uint32_t type) { drive_.set_drive_type(letter, type); }
  bool GoneAfterRestart(const std::string& path) const { return drive_.GoneAfterRestart(path); }

  // ---- Version and Windows directory -------------------------------------
  const OsVersion& version() const { return version_; }
  void set_version(const OsVersion& version) { version_ = version; }
  // csd is truncated to 127 bytes.
  void SetVersion(uint32_t platform_id, uint32_t major, uint32_t minor, uint32_t build,
                  const std::string& csd);
  const std::string& windows_dir() const { return windows_dir_; }
  // Any length (tests use up to 32 KB); also creates the folder on the drive.
  void set_windows_dir(const std::string& dir);
  // The program's own file (what GetModuleFileNameA gives), also the
  // invocation text of the first run unless a test gives another; the
  // presets set "C:\\NETREVIVE\\NETREVIVE.EXE".
  const std::string& self_path() const { return self_path_; }
  void set_self_path(const std::string& path) { self_path_ = path; }
  // The program's environment variables, by name (any case). Windows 98
  // sets TMP and TEMP to WindowsDir\\TEMP unless AUTOEXEC.BAT sets them;
  // the presets do so, an empty machine has none.
  bool environment_variable(const std::string& name, std::string* value) const;
  void set_environment_variable(const std::string& name, const std::string& value) {
    environment_[UpperAscii(name)] = value;
  }
  void unset_environment_variable(const std::string& name) { environment_.erase(UpperAscii(name)); }
  // What GetTempPathA gives, with its trailing backslash: as on Windows 9x,
  // TMP, else TEMP, else the current directory (the folder the program was
  // started from). The folder is not created.
  std::string temp_path() const;
  // Sets TMP (the folder need not exist).
  void set_temp_path(const std::string& path) { set_environment_variable("TMP", path); }

  // ---- Error mode and Windows' own boxes --------------------------------
  // Windows 9x: a call that touches a floppy or CD-ROM drive with no disc in
  // it (GetFileAttributesA, FindFirstFileA, opening, copying, deleting or
  // starting a file, the path forms) shows Windows' "drive is not ready" box
  // (Retry/Cancel) and waits for the user, unless the process's error mode
  // has SEM_FAILCRITICALERRORS; then the call just fails with 21
  // (ERROR_NOT_READY). GetDriveTypeA never touches the
  // disc. Wine shows no such box. The machine records each box the program
  // would have raised, then fails the call as after Cancel (21).
  struct SystemDialog {
    uint64_t call = 0;  // the call that raised it
    Op operation = Op::kGetFileAttributesA;
    std::string path;
  };
  const std::vector<SystemDialog>& system_dialogs() const { return system_dialogs_; }
  // The error mode of the program's process as it is now.
  uint32_t error_mode() const { return error_mode_; }
  // The mode each run of the program starts with, inherited from what
  // started it: Windows' default, 0, unless set.
  uint32_t inherited_error_mode() const { return inherited_error_mode_; }
  void set_inherited_error_mode(uint32_t mode) {
    inherited_error_mode_ = mode;
    error_mode_ = mode;
  }
  // A new run of the program starts: its process has the inherited mode.
  void StartProgram() { error_mode_ = inherited_error_mode_; }

  // ---- Removable discs ----------------------------------------------------
  // A disc the user holds ready: its files are put on the drive at the next
  // key the user presses (he puts the disc in when asked, then presses the
  // key). Files by full path with their contents.
  void HoldDiscReady(std::vector<std::pair<std::string, std::string>> files) {
    disc_ready_ = std::move(files);
  }
  bool disc_ready() const { return !disc_ready_.empty(); }
  // Puts the disc held ready in its drive; nothing when there is none.
  void InsertDiscReady();

  // ---- Setup programs that do less than asked ----------------------------
  // How many more times Windows' setup of DUN (InstallHinfSection) ends
  // having installed nothing: its caller cancelled its request for the
  // Windows CD. Each such run uses one up.
  int setup_cancels() const { return setup_cancels_; }
  void set_setup_cancels(int count) { setup_cancels_ = count; }
  // Whether the DUN upgrade's uninstaller ends without removing the upgrade.
  bool upgrade_stays() const { return upgrade_stays_; }
  void set_upgrade_stays(bool stays) { upgrade_stays_ = stays; }
  // Whether the upgrade's INF uninstaller (the rundll forms) puts back a
  // Winsock2 key that is missing; yes unless set otherwise.
  bool upgrade_restores_winsock2() const { return upgrade_restores_winsock2_; }
  void set_upgrade_restores_winsock2(bool restores) { upgrade_restores_winsock2_ = restores; }
  // Whether Winsock's TCP/IP provider chain is broken (a layered provider
  // in it is damaged or gone): the TCP provider is still listed, but a TCP
  // socket cannot be opened. The program's deletion of the Winsock 2
  // settings (RegDeleteKeyA) takes the broken chain with them.
  bool tcp_chain_broken() const { return winsock_.tcp_chain_broken(); }
  void set_tcp_chain_broken(bool broken) { winsock_.set_tcp_chain_broken(broken); }

  // ---- Lazy registry ------------------------------------------------------
  // Windows 9x keeps registry changes in memory and writes them to its files
  // when it gets round to it, when the session ends or on RegFlushKey. Once
  // on, a power cut puts the registry back as it was last written: at
  // set_lazy_registry, at the start of each session or at the last flush.
  // Off: every change survives a power cut at once.
  void set_lazy_registry(bool lazy);
  bool lazy_registry() const { return written_registry_.has_value(); }

  // ---- Processes ----------------------------------------------------------
  // A null model starts programs without any effect (recorded as unknown).
  void set_helper_model(HelperModel model) { helper_model_ = std::move(model); }
  // Plays the helper model on a program run, as CreateProcessA does once the
  // program started; also for programs Windows itself starts (RunOnce).
  HelperOutcome RunHelper(const ProcessRecord& run);
  const std::vector<ProcessRecord>& processes() const { return processes_.processes(); }
  uint64_t clock_ms() const { return processes_.clock_ms(); }
  void AdvanceClock(uint64_t ms) { processes_.AdvanceClock(ms); }

  // ---- Session ------------------------------------------------------------
  // Session end requests of the current session, in order.
  const std::vector<SessionRequest>& session_requests() const {
    return processes_.session_requests();
  }
  void RequestRestart() { processes_.Request(SessionRequest::kRestart); }
  // How the current session is to end: kRestart when a restart was
  // requested, else kLogOff when a log-off was, else kNone.
  SessionRequest requested_session_end() const { return processes_.strongest_request(); }
  bool restart_requested() const { return requested_session_end() == SessionRequest::kRestart; }
  bool logoff_requested() const;
  // What Windows does between sessions: every handle of the ended session is
  // dropped, the session requests are cleared, the power is back on, and the
  // session counter goes up. Registry, files and logs stay. What Windows then
  // does with RunOnce is sim_session_start.h.
  void BeginNewSession();
  int session() const { return processes_.session(); }
  // How Windows would run the command line: a quoted program path is taken as
  // it is; an unquoted one is tried up to each blank in turn until a file
  // exists on the drive, by long or short names alike (".exe" appended when
  // the candidate's file name has no extension; a name without a folder is
  // looked for in <WindowsDir>\SYSTEM and <WindowsDir>). argv as the
  // program's C runtime splits the command line (SplitCommandLine in
  // sim_command_line.h).
  ResolvedCommand ResolveCommandLine(const std::string& command_line) const {
    return simulated_pc::ResolveCommandLine(drive_, windows_dir_, command_line);
  }

  // ---- Handles ------------------------------------------------------------
  // Every key, file, process and thread handle the program holds, in the
  // order they were opened. Empty when the program closed everything.
  std::vector<OpenHandleInfo> OpenHandles() const;
  // One line per open handle; "" when none.
  std::string DescribeOpenHandles() const;

  // ---- Fault plan ---------------------------------------------------------
  // Fails calls of the operation (none = any) on the path ("" = any) with
  // the status: once, or every time when persistent.
  void FailOperation(std::optional<Op> operation, const std::string& path, RegStatus status,
                     bool persistent = false);
  // Fails the call with this 1-based index (counted over all platform calls
  // since construction or ResetCallLog), once, whatever operation it is.
  // Sweeps: run with FailCallNumber(n) for n = 1, 2, ... until fault_met()
  // stays false; calls()[n - 1].operation of a clean run tells which
  // operation a given n hits, to pick a status that operation really returns.
  void FailCallNumber(uint64_t index, RegStatus status);
  void AddFault(const FaultRule& rule) { plan_.Add(rule); }
  void ClearFaults() { plan_.Clear(); }
  const std::vector<FaultRule>& faults() const { return plan_.rules(); }
  // Whether any injected fault made a call fail (since construction or
  // ClearFaultsMet), and how many calls it failed.
  bool fault_met() const { return plan_.faults_met() > 0; }
  int faults_met() const { return plan_.faults_met(); }
  void ClearFaultsMet() { plan_.ClearFaultsMet(); }

  // Power cut: after the platform call with this 1-based index has done its
  // work, the machine is off. Every later call does nothing and fails (status
  // 21: registry calls return it, bool calls return false, GetWindowsDirectoryA
  // 0, OpenFileFor* kNoHandle, waits kWaitFailed); it is still logged, marked
  // after_power_cut, but changes nothing. Files open for writing at the cut
  // lose what was written to them since they were opened (they stay, empty);
  // registry changes made before the cut are kept. The program under test
  // then runs to its end on failures; BeginNewSession switches the machine on
  // again. 0 cancels a pending cut.
  void PowerCutAfter(uint64_t index) { plan_.PowerCutAfter(index); }
  // Cuts the power now (the next call is the first to fail).
  void CutPower();
  bool powered_off() const { return plan_.powered_off(); }
  // Index of the last call that ran with power on (the cut point), 0 if none.
  uint64_t power_cut_at() const { return plan_.power_cut_at(); }

  // ---- Call log -----------------------------------------------------------
  const std::vector<CallRecord>& calls() const { return plan_.calls(); }
  uint64_t call_count() const { return plan_.call_count(); }
  // The calls of one operation, in order.
  std::vector<CallRecord> CallsOf(Op operation) const { return plan_.CallsOf(operation); }
  // Index (1-based) of the first call of the operation on the path (matched
  // as fault rules match, "" = any), 0 when there is none; for order checks.
  uint64_t FirstCallIndex(Op operation, const std::string& path = "") const {
    return plan_.FirstCallIndex(operation, path);
  }
  // Empties the log and restarts the call count at 1 (fault rules by index
  // then count from there).
  void ResetCallLog() { plan_.ResetLog(); }
  // Every call, one line each.
  std::string FormatCallLog() const { return plan_.FormatLog(); }
  // Status of the last failed bool call (GetLastError), 0 after a success.
  RegStatus last_error() const { return last_error_; }

  // Normalised forms used for comparisons (sim_paths.h).
  static std::string NormalizeKeyPath(const std::string& path) {
    return simulated_pc::NormalizeKeyPath(path);
  }
  static std::string NormalizeFilePath(const std::string& path) {
    return simulated_pc::NormalizeFilePath(path);
  }

 private:
  // The fault gate every operation passes: logs the call and says whether
  // it may do its work (false when the fault plan fails it or the power is
  // off, *status then the status it fails with). A close that the fault plan
  // fails still gives its handle up (release), as a close on Windows does
  // once the handle value was passed; only a power cut leaves it held.
  bool Pass(CallRecord record, RegStatus* status, const std::function<void()>& release = nullptr);
  // Records how the call ended, cutting the power when that is due now.
  void Finish(int64_t result, RegStatus status);
  // A registry call: body's status is the result.
  RegStatus RegistryCall(CallRecord record, const std::function<RegStatus()>& body,
                         const std::function<void()>& release = nullptr);
  // A bool kernel call: true for status 0, the status kept as last error.
  bool BoolCall(CallRecord record, const std::function<RegStatus()>& body,
                const std::function<void()>& release = nullptr);
  // A call that hands out a text as GetWindowsDirectoryA does: text gives
  // it, or the status the call fails with.
  uint32_t TextCall(CallRecord record, char* buffer, uint32_t size,
                    const std::function<RegStatus(std::string*)>& text);
  // A Winsock call answering 0 or kSocketError; a status other than 0 is
  // kept for WSAGetLastError.
  int32_t WinsockCall(CallRecord record, const std::function<RegStatus()>& body,
                      const std::function<void()>& release = nullptr);
  // RegOpenKeyExA and RegCreateKeyExA.
  RegStatus OpenKey(Op operation, RegKey parent, const char* subkey, uint32_t access,
                    RegKey* result);
  // OpenFileForRead and OpenFileForWrite.
  Handle OpenFile(Op operation, const char* path, bool write);
  // GetShortPathNameA and GetLongPathNameA.
  uint32_t PathForm(Op operation, const char* path, char* buffer, uint32_t size);
  uint64_t current_call() const { return plan_.current().index; }
  // The first of count new file, process, thread or module handles, 4 apart.
  Handle NewHandles(int count) {
    const Handle first = next_handle_;
    next_handle_ += 4 * count;
    return first;
  }
  // 21 when the path is on a drive without its disc, after recording the
  // box Windows shows unless the error mode keeps it away; else 0.
  RegStatus TouchDisc(Op operation, const char* path);

  FaultPlan plan_;
  SimRegistry registry_;
  SimDrive drive_;
  SimProcesses processes_;
  SimWinsock winsock_;
  Handle next_handle_ = 0x100;  // file, process and thread handles
  HelperModel helper_model_;
  OsVersion version_{};
  std::string windows_dir_;
  std::string self_path_;
  std::map<std::string, std::string> environment_;  // by upper-case name
  std::vector<std::pair<std::string, std::string>> disc_ready_;
  int setup_cancels_ = 0;
  bool upgrade_stays_ = false;
  bool upgrade_restores_winsock2_ = true;
  // The registry as last written to its files, kept while lazy.
  std::optional<SimRegistry> written_registry_;
  RegStatus last_error_ = 0;
  uint32_t error_mode_ = 0;
  uint32_t inherited_error_mode_ = 0;
  std::vector<SystemDialog> system_dialogs_;
};

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_MACHINE_H_
