#include "platform/simulated_pc/sim_machine.h"

#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <utility>

#include "platform/simulated_pc/sim_protocol_catalog.h"

namespace netrevive::simulated_pc {
namespace {

CallRecord Record(Op operation, std::string path, std::string arguments) {
  CallRecord record;
  record.operation = operation;
  record.path = std::move(path);
  record.arguments = std::move(arguments);
  return record;
}

// The key a subkey argument names below the key shown.
std::string SubkeyPath(const std::string& shown, const char* subkey) {
  std::string path = shown;
  if (subkey != nullptr) {
    for (const std::string& part : SplitComponents(subkey)) path += "\\" + part;
  }
  return path;
}

// A value operation's record: the key's path, the shown key and name first
// in the arguments.
CallRecord ValueRecord(Op operation, const SimRegistry::Key& key, RegKey handle, const char* name,
                       const std::string& more_arguments) {
  CallRecord record =
      Record(operation, key.path, key.Shown(handle) + ", " + Quoted(name) + more_arguments);
  record.value_name = name == nullptr ? "" : name;
  return record;
}

std::string Text(const char* text) { return text == nullptr ? "" : text; }

// Hands a path out as the Win32 calls that return one do: the length written
// (without its NUL), or the size needed (with it) when the buffer is too small.
uint32_t CopyPathOut(const std::string& path, char* buffer, uint32_t size) {
  const uint32_t length = static_cast<uint32_t>(path.size());
  if (buffer == nullptr || size < length + 1) return length + 1;
  memcpy(buffer, path.c_str(), length + 1);
  return length;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

// Winsock 2's settings: WSAStartup needs them, and a broken chain goes with
// them.
bool WinsockSettingsFound(const SimRegistry& registry) {
  return registry.KeyExists(std::string("HKLM\\") + kWinsockParametersKey);
}

}  // namespace

SimMachine::SimMachine() { set_windows_dir("C:\\WINDOWS"); }

// ---- The fault gate ---------------------------------------------------------

bool SimMachine::Pass(CallRecord record, RegStatus* status, const std::function<void()>& release) {
  *status = kErrorSuccess;
  if (plan_.Admit(std::move(record), status)) return true;
  if (release && !plan_.current().after_power_cut) release();
  return false;
}

void SimMachine::Finish(int64_t result, RegStatus status) {
  if (plan_.Finish(result, status)) CutPower();
}

RegStatus SimMachine::RegistryCall(CallRecord record, const std::function<RegStatus()>& body,
                                   const std::function<void()>& release) {
  RegStatus status = kErrorSuccess;
  if (Pass(std::move(record), &status, release)) status = body();
  Finish(status, status);
  return status;
}

bool SimMachine::BoolCall(CallRecord record, const std::function<RegStatus()>& body,
                          const std::function<void()>& release) {
  RegStatus status = kErrorSuccess;
  if (Pass(std::move(record), &status, release)) status = body();
  last_error_ = status;
  Finish(status == kErrorSuccess ? 1 : 0, status);
  return status == kErrorSuccess;
}

int32_t SimMachine::WinsockCall(CallRecord record, const std::function<RegStatus()>& body,
                                const std::function<void()>& release) {
  RegStatus status = kErrorSuccess;
  if (Pass(std::move(record), &status, release)) status = body();
  if (status != kErrorSuccess) winsock_.set_last_error(status);
  const int32_t result = status == kErrorSuccess ? 0 : kSocketError;
  Finish(result, status);
  return result;
}

uint32_t SimMachine::TextCall(CallRecord record, char* buffer, uint32_t size,
                              const std::function<RegStatus(std::string*)>& text) {
  record.size = size;
  RegStatus status = kErrorSuccess;
  uint32_t result = 0;
  std::string out;
  if (Pass(std::move(record), &status)) status = text(&out);
  if (status == kErrorSuccess) result = CopyPathOut(out, buffer, size);
  last_error_ = status;
  Finish(result, status);
  return result;
}

void SimMachine::CutPower() {
  if (plan_.powered_off()) return;
  plan_.PowerOff();
  drive_.LoseUnsavedWrites();
  if (written_registry_) registry_.RestoreContent(*written_registry_);
}

void SimMachine::set_lazy_registry(bool lazy) {
  written_registry_.reset();
  if (lazy) written_registry_ = registry_;
}

void SimMachine::FailOperation(std::optional<Op> operation, const std::string& path,
                               RegStatus status, bool persistent) {
  FaultRule rule;
  rule.operation = operation;
  rule.path = path;
  rule.status = status;
  rule.persistent = persistent;
  plan_.Add(rule);
}

void SimMachine::FailCallNumber(uint64_t index, RegStatus status) {
  FaultRule rule;
  rule.call_index = index;
  rule.status = status;
  plan_.Add(rule);
}

// ---- Registry ---------------------------------------------------------------

RegStatus SimMachine::OpenKey(Op operation, RegKey parent, const char* subkey, uint32_t access,
                              RegKey* result) {
  SimRegistry::Key key = registry_.Resolve(parent);
  std::string shown = key.Shown(parent);
  if (result != nullptr) *result = 0;
  return RegistryCall(Record(operation, SubkeyPath(shown, subkey),
                             shown + ", " + Quoted(subkey) + ", access=" + Hex(access)),
                      [&] {
                        if (key.status != kErrorSuccess) return key.status;
                        return operation == Op::kRegCreateKeyExA
                                   ? registry_.Create(key, subkey, current_call(), result)
                                   : registry_.Open(key, subkey, current_call(), result);
                      });
}

RegStatus SimMachine::RegOpenKeyExA(RegKey parent, const char* subkey, uint32_t access,
                                    RegKey* result) {
  return OpenKey(Op::kRegOpenKeyExA, parent, subkey, access, result);
}

RegStatus SimMachine::RegCreateKeyExA(RegKey parent, const char* subkey, uint32_t access,
                                      RegKey* result) {
  return OpenKey(Op::kRegCreateKeyExA, parent, subkey, access, result);
}

RegStatus SimMachine::RegQueryInfoKeyA(RegKey handle, uint32_t* subkey_count) {
  SimRegistry::Key key = registry_.Resolve(handle);
  return RegistryCall(Record(Op::kRegQueryInfoKeyA, key.path, key.Shown(handle)), [&] {
    if (key.status != kErrorSuccess) return key.status;
    return registry_.CountSubkeys(key, subkey_count);
  });
}

RegStatus SimMachine::RegEnumKeyA(RegKey handle, uint32_t index, char* name, uint32_t name_size) {
  SimRegistry::Key key = registry_.Resolve(handle);
  CallRecord record = Record(Op::kRegEnumKeyA, key.path,
                             key.Shown(handle) + ", index=" + std::to_string(index) +
                                 ", size=" + std::to_string(name_size));
  record.size = name_size;
  return RegistryCall(std::move(record), [&] {
    if (key.status != kErrorSuccess) return key.status;
    return registry_.EnumSubkey(key, index, name, name_size);
  });
}

RegStatus SimMachine::RegQueryValueExA(RegKey handle, const char* name, uint32_t* type,
                                       uint8_t* data, uint32_t* data_size) {
  SimRegistry::Key key = registry_.Resolve(handle);
  CallRecord record = ValueRecord(
      Op::kRegQueryValueExA, key, handle, name,
      ", size=" + (data_size == nullptr ? std::string("(null)") : std::to_string(*data_size)) +
          (data == nullptr ? ", data=(null)" : ""));
  record.size = data_size == nullptr ? 0 : *data_size;
  return RegistryCall(std::move(record), [&] {
    if (key.status != kErrorSuccess) return key.status;
    return registry_.QueryValue(key, Text(name), type, data, data_size);
  });
}

RegStatus SimMachine::RegSetValueExA(RegKey handle, const char* name, uint32_t type,
                                     const uint8_t* data, uint32_t data_size) {
  SimRegistry::Key key = registry_.Resolve(handle);
  CallRecord record =
      ValueRecord(Op::kRegSetValueExA, key, handle, name,
                  ", type=" + std::to_string(type) + ", size=" + std::to_string(data_size) +
                      ", data=" + DataText(data, data_size));
  record.size = data_size;
  return RegistryCall(std::move(record), [&] {
    if (key.status != kErrorSuccess) return key.status;
    return registry_.PutValue(key, Text(name), type, data, data_size);
  });
}

RegStatus SimMachine::RegDeleteKeyA(RegKey handle, const char* subkey) {
  SimRegistry::Key key = registry_.Resolve(handle);
  std::string shown = key.Shown(handle);
  return RegistryCall(
      Record(Op::kRegDeleteKeyA, SubkeyPath(shown, subkey), shown + ", " + Quoted(subkey)), [&] {
        if (key.status != kErrorSuccess) return key.status;
        RegStatus status = registry_.RemoveSubkey(key, subkey);
        // The broken chain is in the catalogue: Winsock's settings written
        // anew hold none.
        if (!WinsockSettingsFound(registry_)) winsock_.set_tcp_chain_broken(false);
        return status;
      });
}

RegStatus SimMachine::RegDeleteValueA(RegKey handle, const char* name) {
  SimRegistry::Key key = registry_.Resolve(handle);
  return RegistryCall(ValueRecord(Op::kRegDeleteValueA, key, handle, name, ""), [&] {
    if (key.status != kErrorSuccess) return key.status;
    return registry_.RemoveValue(key, Text(name));
  });
}

RegStatus SimMachine::RegFlushKey(RegKey handle) {
  // HKEY_USERS holds no key the machine models; it flushes as the others.
  bool users = handle == kHkeyUsers;
  SimRegistry::Key key =
      users ? SimRegistry::Key{kErrorSuccess, 0, "HKU"} : registry_.Resolve(handle);
  return RegistryCall(Record(Op::kRegFlushKey, key.path, key.Shown(handle)), [&] {
    if (key.status != kErrorSuccess) return key.status;
    if (written_registry_) written_registry_->RestoreContent(registry_);
    return kErrorSuccess;
  });
}

RegStatus SimMachine::RegCloseKey(RegKey handle) {
  SimRegistry::Key key = registry_.Resolve(handle);
  auto release = [&] { registry_.Release(handle); };
  return RegistryCall(
      Record(Op::kRegCloseKey, key.path, (key.path.empty() ? "" : key.path + ", ") + Hex(handle)),
      [&] {
        // A handle whose key was deleted closes as any other.
        if (key.status == kErrorInvalidHandle) return key.status;
        release();
        return kErrorSuccess;
      },
      release);
}

// ---- Files ------------------------------------------------------------------

Handle SimMachine::OpenFile(Op operation, const char* path, bool write) {
  RegStatus status = kErrorSuccess;
  Handle handle = kNoHandle;
  if (Pass(Record(operation, Text(path), Quoted(path)), &status)) {
    status = TouchDisc(operation, path);
    if (status == kErrorSuccess) status = drive_.Open(path, write, next_handle_, current_call());
    if (status == kErrorSuccess) handle = NewHandles(1);
  }
  last_error_ = status;
  Finish(static_cast<int64_t>(handle), status);
  return handle;
}

Handle SimMachine::OpenFileForRead(const char* path) {
  return OpenFile(Op::kOpenFileForRead, path, false);
}

Handle SimMachine::OpenFileForWrite(const char* path) {
  return OpenFile(Op::kOpenFileForWrite, path, true);
}

bool SimMachine::ReadFile(Handle file, char* buffer, uint32_t size, uint32_t* read) {
  *read = 0;
  CallRecord record = Record(Op::kReadFile, drive_.PathOf(file),
                             "handle=" + Hex(file) + ", size=" + std::to_string(size));
  record.size = size;
  return BoolCall(std::move(record), [&] { return drive_.Read(file, buffer, size, read); });
}

bool SimMachine::WriteFile(Handle file, const char* data, uint32_t size) {
  CallRecord record = Record(Op::kWriteFile, drive_.PathOf(file),
                             "handle=" + Hex(file) + ", size=" + std::to_string(size) + ", data=" +
                                 DataText(reinterpret_cast<const uint8_t*>(data), size));
  record.size = size;
  return BoolCall(std::move(record), [&] { return drive_.Write(file, data, size); });
}

bool SimMachine::CloseFile(Handle file) {
  auto release = [&] { drive_.Release(file); };
  return BoolCall(
      Record(Op::kCloseFile, drive_.PathOf(file), "handle=" + Hex(file)),
      [&] { return drive_.Release(file) ? kErrorSuccess : kErrorInvalidHandle; }, release);
}

bool SimMachine::CopyFileA(const char* from, const char* to, bool fail_if_exists) {
  CallRecord record = Record(
      Op::kCopyFileA, Text(from),
      Quoted(from) + " -> " + Quoted(to) + ", fail_if_exists=" + (fail_if_exists ? "1" : "0"));
  record.copy_target = Text(to);
  record.fail_if_exists = fail_if_exists;
  return BoolCall(std::move(record), [&] {
    RegStatus status = TouchDisc(Op::kCopyFileA, from);
    if (status == kErrorSuccess) status = TouchDisc(Op::kCopyFileA, to);
    if (status != kErrorSuccess) return status;
    return drive_.Copy(from, to, fail_if_exists);
  });
}

bool SimMachine::MoveFileA(const char* from, const char* to) {
  CallRecord record = Record(Op::kMoveFileA, Text(from), Quoted(from) + " -> " + Quoted(to));
  record.copy_target = Text(to);
  return BoolCall(std::move(record), [&] {
    RegStatus status = TouchDisc(Op::kMoveFileA, from);
    if (status == kErrorSuccess) status = TouchDisc(Op::kMoveFileA, to);
    return status == kErrorSuccess ? drive_.Move(from, to) : status;
  });
}

bool SimMachine::DeleteFileA(const char* path) {
  return BoolCall(Record(Op::kDeleteFileA, Text(path), Quoted(path)), [&] {
    RegStatus status = TouchDisc(Op::kDeleteFileA, path);
    return status == kErrorSuccess ? drive_.Delete(path) : status;
  });
}

uint32_t SimMachine::GetFileAttributesA(const char* path) {
  RegStatus status = kErrorSuccess;
  uint32_t result = kInvalidFileAttributes;
  if (Pass(Record(Op::kGetFileAttributesA, Text(path), Quoted(path)), &status)) {
    status = drive_.CheckPath(path);
    if (status == kErrorSuccess) status = TouchDisc(Op::kGetFileAttributesA, path);
    if (status == kErrorSuccess) status = drive_.FindStatus(path);
    if (status == kErrorSuccess) result = drive_.Attributes(path);
  }
  last_error_ = status;
  Finish(result, status);
  return result;
}

bool SimMachine::SetFileAttributesA(const char* path, uint32_t attributes) {
  return BoolCall(
      Record(Op::kSetFileAttributesA, Text(path), Quoted(path) + ", attributes=" + Hex(attributes)),
      [&] {
        RegStatus status = drive_.CheckPath(path);
        if (status == kErrorSuccess) status = TouchDisc(Op::kSetFileAttributesA, path);
        if (status == kErrorSuccess) status = drive_.FindStatus(path);
        if (status == kErrorSuccess) drive_.SetAttributes(path, attributes);
        return status;
      });
}

Handle SimMachine::FindFirstFileA(const char* pattern) {
  RegStatus status = kErrorSuccess;
  Handle handle = kNoHandle;
  if (Pass(Record(Op::kFindFirstFileA, Text(pattern), Quoted(pattern)), &status)) {
    status = TouchDisc(Op::kFindFirstFileA, pattern);
    if (status == kErrorSuccess) status = drive_.FindFirst(pattern, next_handle_, current_call());
    if (status == kErrorSuccess) handle = NewHandles(1);
  }
  last_error_ = status;
  Finish(static_cast<int64_t>(handle), status);
  return handle;
}

bool SimMachine::FindClose(Handle search) {
  auto release = [&] { drive_.Release(search); };
  return BoolCall(
      Record(Op::kFindClose, drive_.PathOf(search), "handle=" + Hex(search)),
      [&] { return drive_.Release(search) ? kErrorSuccess : kErrorInvalidHandle; }, release);
}

uint32_t SimMachine::GetShortPathNameA(const char* long_path, char* buffer, uint32_t size) {
  return PathForm(Op::kGetShortPathNameA, long_path, buffer, size);
}

uint32_t SimMachine::GetLongPathNameA(const char* short_path, char* buffer, uint32_t size) {
  return PathForm(Op::kGetLongPathNameA, short_path, buffer, size);
}

uint32_t SimMachine::PathForm(Op operation, const char* path, char* buffer, uint32_t size) {
  return TextCall(Record(operation, Text(path), Quoted(path) + ", size=" + std::to_string(size)),
                  buffer, size, [&](std::string* form) {
                    RegStatus status = drive_.CheckPath(path);
                    if (status == kErrorSuccess) status = TouchDisc(operation, path);
                    if (status != kErrorSuccess) return status;
                    // Windows takes either form of each name in the path given.
                    const std::string long_form = drive_.LongPath(path);
                    if (long_form.empty()) {
                      status = drive_.FindStatus(path);
                      return status == kErrorSuccess ? kErrorPathNotFound : status;
                    }
                    // The drive letter keeps the case it was given in.
                    *form = operation == Op::kGetShortPathNameA
                                ? drive_.ShortPath(std::string(path, 2) + long_form.substr(2))
                                : long_form;
                    return form->empty() ? kErrorPathNotFound : kErrorSuccess;
                  });
}

uint32_t SimMachine::GetDriveTypeA(const char* root) {
  RegStatus status = kErrorSuccess;
  uint32_t type = 0;  // DRIVE_UNKNOWN when the call is failed
  if (Pass(Record(Op::kGetDriveTypeA, Text(root), Quoted(root)), &status)) {
    type = drive_.DriveType(root);
  }
  Finish(type, status);
  return type;
}

RegStatus SimMachine::TouchDisc(Op operation, const char* path) {
  if (path == nullptr || !drive_.DiscMissing(path)) return kErrorSuccess;
  if ((error_mode_ & kSemFailCriticalErrors) == 0) {
    system_dialogs_.push_back(SystemDialog{current_call(), operation, path});
  }
  return kErrorNotReady;
}

void SimMachine::InsertDiscReady() {
  for (const auto& file : disc_ready_) drive_.PutFile(file.first, file.second);
  disc_ready_.clear();
}

// ---- Processes and session --------------------------------------------------

bool SimMachine::CreateProcessA(const char* program, char* command_line,
                                const char* working_directory, ProcessInfo* info) {
  CallRecord record =
      Record(Op::kCreateProcessA, Text(program),
             "program=" + Quoted(program) + ", command_line=" + Quoted(command_line) +
                 ", working_directory=" + Quoted(working_directory));
  if (info != nullptr) *info = ProcessInfo{};
  return BoolCall(std::move(record), [&] {
    if (info == nullptr || (program == nullptr && command_line == nullptr)) {
      return kErrorInvalidParameter;
    }
    std::string program_text = Text(program);
    if (program == nullptr) {
      ResolvedCommand resolved = ResolveCommandLine(command_line);
      if (!resolved.found) return kErrorFileNotFound;
      program_text = resolved.program;
    }
    RegStatus status = drive_.CheckPath(program_text.c_str());
    if (status == kErrorSuccess) status = TouchDisc(Op::kCreateProcessA, program_text.c_str());
    if (status != kErrorSuccess) return status;
    if (!drive_.FileExists(program_text)) return drive_.MissingFileStatus(program_text);
    if (working_directory != nullptr && !drive_.DirectoryExists(working_directory)) {
      return kErrorDirectory;
    }

    ProcessRecord run;
    run.program = program_text;
    run.command_line = command_line == nullptr ? program_text : command_line;
    run.working_directory = Text(working_directory);
    run.error_mode = error_mode_;
    run.process = NewHandles(2);
    run.thread = run.process + 4;
    run.process_id = processes_.NewProcessId();
    run.thread_id = run.process_id + 0x10;
    size_t index = processes_.Start(run, current_call());
    processes_.Settle(index, RunHelper(processes_.processes()[index]));
    info->process = run.process;
    info->thread = run.thread;
    info->process_id = run.process_id;
    info->thread_id = run.thread_id;
    return kErrorSuccess;
  });
}

HelperOutcome SimMachine::RunHelper(const ProcessRecord& run) {
  if (!helper_model_) {
    HelperOutcome none;
    none.effect = "no helper model";
    return none;
  }
  return helper_model_(*this, run);
}

uint32_t SimMachine::WaitForSingleObject(Handle object, uint32_t milliseconds) {
  std::string path = processes_.ProgramOf(object);
  if (drive_.IsOpen(object)) path = drive_.PathOf(object);
  RegStatus status = kErrorSuccess;
  uint32_t result = kWaitFailed;
  if (Pass(Record(Op::kWaitForSingleObject, path,
                  "handle=" + Hex(object) + ", timeout=" +
                      (milliseconds == kInfinite ? std::string("INFINITE")
                                                 : std::to_string(milliseconds))),
           &status)) {
    if (drive_.IsOpen(object)) {
      result = kWaitObject0;
    } else if (processes_.IsOpen(object)) {
      result = processes_.Wait(object, milliseconds);
    } else {
      status = kErrorInvalidHandle;
    }
  }
  last_error_ = status;
  Finish(result, status);
  return result;
}

bool SimMachine::CloseHandle(Handle object) {
  std::string path = processes_.ProgramOf(object);
  if (drive_.IsOpen(object)) path = drive_.PathOf(object);
  auto release = [&] { return processes_.Release(object) || drive_.Release(object); };
  return BoolCall(
      Record(Op::kCloseHandle, path, "handle=" + Hex(object)),
      [&] { return release() ? kErrorSuccess : kErrorInvalidHandle; }, release);
}

bool SimMachine::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
  CallRecord record =
      Record(Op::kExitWindowsEx, "", "flags=" + Hex(flags) + ", reserved=" + Hex(reserved));
  record.exit_flags = flags;
  return BoolCall(std::move(record), [&] {
    processes_.Request(ExitRequest(flags));
    return kErrorSuccess;
  });
}

bool SimMachine::logoff_requested() const {
  const std::vector<SessionRequest>& requests = session_requests();
  return std::find(requests.begin(), requests.end(), SessionRequest::kLogOff) != requests.end();
}

void SimMachine::BeginNewSession() {
  winsock_.DropHandles();
  error_mode_ = inherited_error_mode_;
  registry_.DropHandles();
  drive_.DropHandles();
  processes_.EndSession();
  plan_.PowerOn();
  // Windows wrote the registry when the session ended (or found it as last
  // written after a power cut).
  if (written_registry_) written_registry_ = registry_;
}

// ---- Console ----------------------------------------------------------------

bool SimMachine::SetConsoleCtrlHandler() {
  return BoolCall(Record(Op::kSetConsoleCtrlHandler, "", ""), [] { return kErrorSuccess; });
}

bool SimMachine::FlushConsoleInputBuffer() {
  return BoolCall(Record(Op::kFlushConsoleInputBuffer, "", ""), [] { return kErrorSuccess; });
}

// ---- Winsock ----------------------------------------------------------------

Handle SimMachine::LoadWinsock() {
  RegStatus status = kErrorSuccess;
  Handle module = kNoHandle;
  if (Pass(Record(Op::kLoadWinsock, kWinsockLibrary, Quoted(kWinsockLibrary)), &status)) {
    status = kErrorModNotFound;
    for (const std::string& place :
         {FolderOf(self_path_), windows_dir_ + "\\SYSTEM", windows_dir_}) {
      const std::string path = place + "\\" + kWinsockLibrary;
      if (!drive_.FileExists(path)) continue;
      module = NewHandles(1);
      winsock_.Load(module, path, current_call());
      status = kErrorSuccess;
      break;
    }
  }
  last_error_ = status;
  Finish(static_cast<int64_t>(module), status);
  return module;
}

int32_t SimMachine::WSAStartup(uint16_t version) {
  return RegistryCall(Record(Op::kWSAStartup, "", "version=" + Hex(version)), [&] {
    return winsock_.Startup(WinsockSettingsFound(registry_), current_call());
  });
}

int32_t SimMachine::WSAEnumProtocolsA(const int32_t* protocols, ProtocolInfo* buffer,
                                      uint32_t* buffer_length) {
  std::string listed = "all";
  if (protocols != nullptr) {
    listed.clear();
    for (const int32_t* p = protocols; *p != 0; ++p) {
      listed += (listed.empty() ? "" : ",") + std::to_string(*p);
    }
  }
  CallRecord record = Record(
      Op::kWSAEnumProtocolsA, "",
      "protocols=" + listed + ", length=" +
          (buffer_length == nullptr ? std::string("(null)") : std::to_string(*buffer_length)));
  record.size = buffer_length == nullptr ? 0 : *buffer_length;
  RegStatus status = kErrorSuccess;
  int32_t count = 0;
  if (Pass(std::move(record), &status)) {
    status = winsock_.EnumProtocols(SimWinsock::Providers(registry_), protocols, buffer,
                                    buffer_length, &count);
  }
  if (status != kErrorSuccess) {
    count = kSocketError;
    winsock_.set_last_error(status);
  }
  Finish(count, status);
  return count;
}

int32_t SimMachine::WSACleanup() {
  // As a close, a cleanup the fault plan fails still ends the startup.
  return WinsockCall(
      Record(Op::kWSACleanup, "", ""),
      [&] { return winsock_.EndStartup() ? kErrorSuccess : kWsaNotInitialised; },
      [&] { winsock_.EndStartup(); });
}

int32_t SimMachine::WSAGetLastError() {
  RegStatus status = kErrorSuccess;
  int32_t result = winsock_.last_error();
  if (!Pass(Record(Op::kWSAGetLastError, "", ""), &status)) result = status;
  Finish(result, status);
  return result;
}

Socket SimMachine::socket(int32_t family, int32_t type, int32_t protocol) {
  RegStatus status = kErrorSuccess;
  Socket opened = kInvalidSocket;
  if (Pass(Record(Op::kSocket, "",
                  "family=" + std::to_string(family) + ", type=" + std::to_string(type) +
                      ", protocol=" + std::to_string(protocol)),
           &status)) {
    status = winsock_.OpenSocket(SimWinsock::Providers(registry_), family, type, protocol,
                                 current_call(), &opened);
  }
  if (status != kErrorSuccess) winsock_.set_last_error(status);
  Finish(opened == kInvalidSocket ? -1 : static_cast<int64_t>(opened), status);
  return opened;
}

int32_t SimMachine::closesocket(Socket opened) {
  // As a close, a closesocket the fault plan fails still gives the socket up.
  return WinsockCall(
      Record(Op::kCloseSocket, "", "socket=" + Hex(opened)),
      [&] { return winsock_.CloseSocket(opened) ? kErrorSuccess : kWsaNotSock; },
      [&] { winsock_.CloseSocket(opened); });
}

bool SimMachine::FreeWinsock(Handle winsock) {
  auto release = [&] { return winsock_.Free(winsock); };
  return BoolCall(
      Record(Op::kFreeWinsock, winsock_.PathOf(winsock), "module=" + Hex(winsock)),
      [&] { return release() ? kErrorSuccess : kErrorInvalidHandle; }, release);
}

// ---- The program's surroundings ---------------------------------------------

uint32_t SimMachine::GetWindowsDirectoryA(char* buffer, uint32_t size) {
  return TextCall(Record(Op::kGetWindowsDirectoryA, "", "size=" + std::to_string(size)), buffer,
                  size, [&](std::string* text) {
                    *text = windows_dir_;
                    return kErrorSuccess;
                  });
}

bool SimMachine::GetVersionExA(OsVersion* info) {
  return BoolCall(Record(Op::kGetVersionExA, "", ""), [&] {
    if (info == nullptr) return kErrorInvalidParameter;
    *info = version_;
    info->csd_version[sizeof info->csd_version - 1] = '\0';
    return kErrorSuccess;
  });
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
  drive_.AddDirectory(dir);
}

uint32_t SimMachine::GetModuleFileNameA(char* buffer, uint32_t size) {
  CallRecord record = Record(Op::kGetModuleFileNameA, self_path_, "size=" + std::to_string(size));
  record.size = size;
  RegStatus status = kErrorSuccess;
  uint32_t result = 0;
  if (Pass(std::move(record), &status)) {
    if (buffer == nullptr || size == 0) {
      status = kErrorInvalidParameter;
    } else {
      // A buffer too small takes what fits, and the result says it was cut.
      size_t length = std::min<size_t>(self_path_.size(), size - 1);
      memcpy(buffer, self_path_.data(), length);
      buffer[length] = '\0';
      result = length < self_path_.size() ? size : static_cast<uint32_t>(length);
    }
  }
  last_error_ = status;
  Finish(result, status);
  return result;
}

uint32_t SimMachine::GetTempPathA(char* buffer, uint32_t size) {
  return TextCall(Record(Op::kGetTempPathA, "", "size=" + std::to_string(size)), buffer, size,
                  [&](std::string* text) {
                    *text = temp_path();
                    return kErrorSuccess;
                  });
}

std::string SimMachine::temp_path() const {
  std::string path;
  if (!environment_variable("TMP", &path) && !environment_variable("TEMP", &path)) {
    path = FolderOf(self_path_);
  }
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

uint32_t SimMachine::GetEnvironmentVariableA(const char* name, char* buffer, uint32_t size) {
  return TextCall(
      Record(Op::kGetEnvironmentVariableA, "", Quoted(name) + ", size=" + std::to_string(size)),
      buffer, size, [&](std::string* value) {
        return name != nullptr && environment_variable(name, value) ? kErrorSuccess
                                                                    : kErrorEnvvarNotFound;
      });
}

bool SimMachine::environment_variable(const std::string& name, std::string* value) const {
  auto found = environment_.find(UpperAscii(name));
  if (found == environment_.end()) return false;
  if (value != nullptr) *value = found->second;
  return true;
}

uint32_t SimMachine::SetErrorMode(uint32_t mode) {
  RegStatus status = kErrorSuccess;
  uint32_t previous = 0;
  if (Pass(Record(Op::kSetErrorMode, "", "mode=" + Hex(mode)), &status)) {
    previous = error_mode_;
    error_mode_ = mode;
  }
  Finish(previous, status);
  return previous;
}

// ---- Handles ----------------------------------------------------------------

std::vector<OpenHandleInfo> SimMachine::OpenHandles() const {
  std::vector<OpenHandleInfo> out;
  registry_.ListHandles(&out);
  drive_.ListHandles(&out);
  processes_.ListHandles(&out);
  winsock_.ListHandles(&out);
  std::stable_sort(out.begin(), out.end(), [](const OpenHandleInfo& a, const OpenHandleInfo& b) {
    return a.opened_by_call < b.opened_by_call;
  });
  return out;
}

std::string SimMachine::DescribeOpenHandles() const {
  static const char* const kKinds[] = {"key",    "file",    "process", "thread",
                                       "module", "winsock", "socket"};
  std::string out;
  for (const OpenHandleInfo& info : OpenHandles()) {
    out += std::string(kKinds[static_cast<int>(info.kind)]) + " " + Hex(info.value) + " " +
           info.what + " (opened by call #" + std::to_string(info.opened_by_call) + ")\n";
  }
  return out;
}

}  // namespace netrevive::simulated_pc
