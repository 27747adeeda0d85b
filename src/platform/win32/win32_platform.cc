#include "platform/win32/win32_platform.h"

#define WIN32_LEAN_AND_MEAN
#include <stddef.h>
#include <windows.h>
#include <winsock2.h>

namespace netrevive {

namespace {

HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }
HANDLE ToHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

// CreateFileA reports failure with INVALID_HANDLE_VALUE; the program's
// interface uses kNoHandle for that.
Handle FromFileHandle(HANDLE file) {
  return file == INVALID_HANDLE_VALUE ? kNoHandle : reinterpret_cast<Handle>(file);
}

// Registry key names are at most 255 characters on every Windows version.
constexpr DWORD kKeyNameSize = 260;

// How deep the walk below a key goes; a deeper tree is taken as corrupt.
constexpr int kMaxTreeDepth = 32;

// Deletes subkey of parent with every key below it, children first. Each
// child is found by enumerating index 0 again: deleting a key renumbers its
// siblings, so the first one is always the next to go. A child with an empty
// name (a corrupt key: it would name the key itself again), a tree deeper
// than kMaxTreeDepth levels, and a key that still lists a child after as many
// passes as it had children (a child that will not go, or a list that does
// not shrink, would otherwise be tried for ever) end the walk with
// ERROR_BADKEY.
LONG DeleteKeyTree(HKEY parent, const char* subkey, int depth) {
  if (depth > kMaxTreeDepth) return ERROR_BADKEY;
  HKEY key;
  LONG status = ::RegOpenKeyExA(parent, subkey, 0, KEY_ALL_ACCESS, &key);
  if (status != ERROR_SUCCESS) return status;
  DWORD subkeys = 0;
  status = ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) {
    ::RegCloseKey(key);
    return status;
  }
  for (DWORD pass = 0;; ++pass) {
    char name[kKeyNameSize];
    status = ::RegEnumKeyA(key, 0, name, kKeyNameSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS && (name[0] == '\0' || pass >= subkeys)) status = ERROR_BADKEY;
    if (status == ERROR_SUCCESS) status = DeleteKeyTree(key, name, depth + 1);
    if (status != ERROR_SUCCESS) {
      ::RegCloseKey(key);
      return status;
    }
  }
  ::RegCloseKey(key);
  return ::RegDeleteKeyA(parent, subkey);
}

// Ctrl+C and Ctrl+Break count as handled, so the default handler, which
// ends the process, never sees them. Windows 95, 98 and ME do not support a
// NULL handler for this; closing the console window cannot be refused.
BOOL WINAPI IgnoreBreakKey(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

// The program's copy of WSAPROTOCOL_INFOA is handed to Winsock as it is.
static_assert(sizeof(ProtocolInfo) == sizeof(WSAPROTOCOL_INFOA), "WSAPROTOCOL_INFOA's size");
static_assert(offsetof(ProtocolInfo, address_family) == offsetof(WSAPROTOCOL_INFOA, iAddressFamily),
              "WSAPROTOCOL_INFOA's iAddressFamily");
static_assert(offsetof(ProtocolInfo, protocol) == offsetof(WSAPROTOCOL_INFOA, iProtocol),
              "WSAPROTOCOL_INFOA's iProtocol");
static_assert(sizeof(INT) == sizeof(int32_t), "the protocol list is handed over as it is");
static_assert(offsetof(ProtocolInfo, protocol_name) == offsetof(WSAPROTOCOL_INFOA, szProtocol),
              "WSAPROTOCOL_INFOA's szProtocol");

using WsaStartupFunction = int(WSAAPI*)(WORD, LPWSADATA);
using WsaEnumProtocolsFunction = int(WSAAPI*)(LPINT, LPWSAPROTOCOL_INFOA, LPDWORD);
using WsaCleanupFunction = int(WSAAPI*)();
using WsaGetLastErrorFunction = int(WSAAPI*)();
using SocketFunction = SOCKET(WSAAPI*)(int, int, int);
using CloseSocketFunction = int(WSAAPI*)(SOCKET);
static_assert(sizeof(SOCKET) == sizeof(Socket), "a socket is handed over as it is");

// The names of Win32Platform::winsock_'s entries.
const char* const kWinsockNames[] = {
    "WSAStartup", "WSAEnumProtocolsA", "WSACleanup", "WSAGetLastError", "socket", "closesocket"};

// An entry point as the function type it has.
template <typename Function>
Function EntryPoint(void* address) {
  return reinterpret_cast<Function>(address);
}

}  // namespace

RegStatus Win32Platform::RegOpenKeyExA(RegKey parent, const char* subkey, uint32_t access,
                                       RegKey* result) {
  HKEY opened = nullptr;
  LONG status = ::RegOpenKeyExA(ToHkey(parent), subkey, 0, access, &opened);
  *result = reinterpret_cast<RegKey>(opened);
  return status;
}

RegStatus Win32Platform::RegQueryInfoKeyA(RegKey key, uint32_t* subkey_count) {
  DWORD count = 0;
  LONG status = ::RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr);
  *subkey_count = count;
  return status;
}

RegStatus Win32Platform::RegEnumKeyA(RegKey key, uint32_t index, char* name, uint32_t name_size) {
  return ::RegEnumKeyA(ToHkey(key), index, name, name_size);
}

RegStatus Win32Platform::RegQueryValueExA(RegKey key, const char* name, uint32_t* type,
                                          uint8_t* data, uint32_t* data_size) {
  DWORD value_type = 0;
  DWORD size = *data_size;
  LONG status =
      ::RegQueryValueExA(ToHkey(key), name, nullptr, type ? &value_type : nullptr, data, &size);
  if (type) *type = value_type;
  *data_size = size;
  return status;
}

RegStatus Win32Platform::RegSetValueExA(RegKey key, const char* name, uint32_t type,
                                        const uint8_t* data, uint32_t data_size) {
  return ::RegSetValueExA(ToHkey(key), name, 0, type, data, data_size);
}

// Windows 9x's RegDeleteKeyA removes a whole tree in one call, which a power
// cut cannot split; the NT family's and Wine's do not (Wine's, in its Windows
// 9x modes, gives up with status 5 on a key with two or more subkeys after
// deleting part of the tree). Only when the one call fails for another
// reason than a missing key is the tree taken down one key at a time, which
// every version does the same way, and deleted again. A missing key gives
// status 2; any other failure gives the status of the call that failed.
RegStatus Win32Platform::RegDeleteKeyA(RegKey key, const char* subkey) {
  LONG status = ::RegDeleteKeyA(ToHkey(key), subkey);
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return status;
  return DeleteKeyTree(ToHkey(key), subkey, 1);
}

RegStatus Win32Platform::RegDeleteValueA(RegKey key, const char* name) {
  return ::RegDeleteValueA(ToHkey(key), name);
}

RegStatus Win32Platform::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

uint32_t Win32Platform::GetWindowsDirectoryA(char* buffer, uint32_t size) {
  return ::GetWindowsDirectoryA(buffer, size);
}

bool Win32Platform::GetVersionExA(OsVersion* info) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  bool ok = ::GetVersionExA(&version) != FALSE;
  info->major_version = version.dwMajorVersion;
  info->minor_version = version.dwMinorVersion;
  info->build_number = version.dwBuildNumber;
  info->platform_id = version.dwPlatformId;
  static_assert(sizeof(info->csd_version) == sizeof(version.szCSDVersion),
                "the service pack text is copied whole");
  for (size_t i = 0; i < sizeof(info->csd_version); ++i) {
    info->csd_version[i] = version.szCSDVersion[i];
  }
  return ok;
}

bool Win32Platform::CopyFileA(const char* from, const char* to, bool fail_if_exists) {
  return ::CopyFileA(from, to, fail_if_exists ? TRUE : FALSE) != FALSE;
}

bool Win32Platform::DeleteFileA(const char* path) { return ::DeleteFileA(path) != FALSE; }

Handle Win32Platform::OpenFileForRead(const char* path) {
  return FromFileHandle(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

Handle Win32Platform::OpenFileForWrite(const char* path) {
  return FromFileHandle(::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Win32Platform::WriteFile(Handle file, const char* data, uint32_t size) {
  DWORD written = 0;
  return ::WriteFile(ToHandle(file), data, size, &written, nullptr) != FALSE && written == size;
}

bool Win32Platform::CloseFile(Handle file) { return ::CloseHandle(ToHandle(file)) != FALSE; }

uint32_t Win32Platform::GetFileAttributesA(const char* path) { return ::GetFileAttributesA(path); }

bool Win32Platform::SetFileAttributesA(const char* path, uint32_t attributes) {
  return ::SetFileAttributesA(path, attributes) != FALSE;
}

uint32_t Win32Platform::GetDriveTypeA(const char* root) { return ::GetDriveTypeA(root); }

uint32_t Win32Platform::GetModuleFileNameA(char* buffer, uint32_t size) {
  return ::GetModuleFileNameA(nullptr, buffer, size);
}

uint32_t Win32Platform::GetShortPathNameA(const char* long_path, char* buffer, uint32_t size) {
  return ::GetShortPathNameA(long_path, buffer, size);
}

bool Win32Platform::CreateProcessA(const char* program, char* command_line,
                                   const char* working_directory, ProcessInfo* info) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  bool ok = ::CreateProcessA(program, command_line, nullptr, nullptr, FALSE, DETACHED_PROCESS,
                             nullptr, working_directory, &startup, &process) != FALSE;
  info->process = reinterpret_cast<Handle>(process.hProcess);
  info->thread = reinterpret_cast<Handle>(process.hThread);
  info->process_id = process.dwProcessId;
  info->thread_id = process.dwThreadId;
  return ok;
}

uint32_t Win32Platform::WaitForSingleObject(Handle object, uint32_t milliseconds) {
  return ::WaitForSingleObject(ToHandle(object), milliseconds);
}

bool Win32Platform::CloseHandle(Handle object) { return ::CloseHandle(ToHandle(object)) != FALSE; }

bool Win32Platform::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
  return ::ExitWindowsEx(flags, reserved) != FALSE;
}

bool Win32Platform::SetConsoleCtrlHandler() {
  return ::SetConsoleCtrlHandler(IgnoreBreakKey, TRUE) != FALSE;
}

RegStatus Win32Platform::RegCreateKeyExA(RegKey parent, const char* subkey, uint32_t access,
                                         RegKey* result) {
  HKEY opened = nullptr;
  DWORD disposition = 0;
  LONG status = ::RegCreateKeyExA(ToHkey(parent), subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  access, nullptr, &opened, &disposition);
  *result = reinterpret_cast<RegKey>(opened);
  return status;
}

RegStatus Win32Platform::RegFlushKey(RegKey key) { return ::RegFlushKey(ToHkey(key)); }

Handle Win32Platform::FindFirstFileA(const char* pattern) {
  WIN32_FIND_DATAA found;
  return FromFileHandle(::FindFirstFileA(pattern, &found));
}

bool Win32Platform::FindClose(Handle search) { return ::FindClose(ToHandle(search)) != FALSE; }

uint32_t Win32Platform::GetTempPathA(char* buffer, uint32_t size) {
  return ::GetTempPathA(size, buffer);
}

// The keys are read from the console itself (CONIN$), whatever standard
// input is redirected to; that is the buffer to empty.
bool Win32Platform::FlushConsoleInputBuffer() {
  HANDLE input =
      ::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return false;
  bool flushed = ::FlushConsoleInputBuffer(input) != FALSE;
  ::CloseHandle(input);
  return flushed;
}

uint32_t Win32Platform::GetLongPathNameA(const char* short_path, char* buffer, uint32_t size) {
  return ::GetLongPathNameA(short_path, buffer, size);
}

Handle Win32Platform::LoadWinsock() {
  HMODULE module = ::LoadLibraryA(kWinsockLibrary);
  if (module == nullptr) return kNoHandle;
  Handle handle = reinterpret_cast<Handle>(module);
  for (int i = 0; i < kWinsockEntryPoints; ++i) {
    winsock_[i] = reinterpret_cast<void*>(::GetProcAddress(module, kWinsockNames[i]));
    if (winsock_[i] == nullptr) {
      FreeWinsock(handle);
      return kNoHandle;
    }
  }
  return handle;
}

int32_t Win32Platform::WSAStartup(uint16_t version) {
  if (winsock_[kStartup] == nullptr) return WSANOTINITIALISED;
  WSADATA data;
  return EntryPoint<WsaStartupFunction>(winsock_[kStartup])(version, &data);
}

int32_t Win32Platform::WSAEnumProtocolsA(const int32_t* protocols, ProtocolInfo* buffer,
                                         uint32_t* buffer_length) {
  if (winsock_[kEnumProtocols] == nullptr) return SOCKET_ERROR;
  // Winsock's prototype takes the list without const; it only reads it.
  DWORD length = *buffer_length;
  int count = EntryPoint<WsaEnumProtocolsFunction>(winsock_[kEnumProtocols])(
      const_cast<INT*>(reinterpret_cast<const INT*>(protocols)),
      reinterpret_cast<LPWSAPROTOCOL_INFOA>(buffer), &length);
  *buffer_length = length;
  return count;
}

int32_t Win32Platform::WSACleanup() {
  if (winsock_[kCleanup] == nullptr) return SOCKET_ERROR;
  return EntryPoint<WsaCleanupFunction>(winsock_[kCleanup])();
}

int32_t Win32Platform::WSAGetLastError() {
  if (winsock_[kGetLastError] == nullptr) return WSANOTINITIALISED;
  return EntryPoint<WsaGetLastErrorFunction>(winsock_[kGetLastError])();
}

Socket Win32Platform::socket(int32_t family, int32_t type, int32_t protocol) {
  if (winsock_[kSocket] == nullptr) return INVALID_SOCKET;
  return EntryPoint<SocketFunction>(winsock_[kSocket])(family, type, protocol);
}

int32_t Win32Platform::closesocket(Socket opened) {
  if (winsock_[kCloseSocket] == nullptr) return SOCKET_ERROR;
  return EntryPoint<CloseSocketFunction>(winsock_[kCloseSocket])(opened);
}

bool Win32Platform::FreeWinsock(Handle winsock) {
  for (void*& entry : winsock_) entry = nullptr;
  return ::FreeLibrary(reinterpret_cast<HMODULE>(winsock)) != FALSE;
}

bool Win32Platform::ReadFile(Handle file, char* buffer, uint32_t size, uint32_t* read) {
  DWORD got = 0;
  bool ok = ::ReadFile(ToHandle(file), buffer, size, &got, nullptr) != FALSE;
  *read = ok ? got : 0;
  return ok;
}

bool Win32Platform::MoveFileA(const char* from, const char* to) {
  return ::MoveFileA(from, to) != FALSE;
}

uint32_t Win32Platform::SetErrorMode(uint32_t mode) { return ::SetErrorMode(mode); }

uint32_t Win32Platform::GetEnvironmentVariableA(const char* name, char* buffer, uint32_t size) {
  return ::GetEnvironmentVariableA(name, buffer, size);
}

}  // namespace netrevive
