#ifndef NETREVIVE_PLATFORM_SIM_SIM_OPERATIONS_H_
#define NETREVIVE_PLATFORM_SIM_SIM_OPERATIONS_H_

// The Platform operations, named once: the call log records them, fault
// rules select them, and the names printed in the log and read from the
// simulator's --inject option all come from the one table below. Code that
// names an operation uses the enumerator, so a misspelt name does not build.

#include <stddef.h>

#include <string>

namespace netrevive::sim {

// In the order of the Platform interface (operations added later at the end).
enum class Op {
  kRegOpenKeyExA,
  kRegQueryInfoKeyA,
  kRegEnumKeyA,
  kRegQueryValueExA,
  kRegSetValueExA,
  kRegDeleteKeyA,
  kRegDeleteValueA,
  kRegCloseKey,
  kGetWindowsDirectoryA,
  kGetVersionExA,
  kCopyFileA,
  kDeleteFileA,
  kOpenFileForRead,
  kOpenFileForWrite,
  kWriteFile,
  kCloseFile,
  kGetFileAttributesA,
  kSetFileAttributesA,
  kGetDriveTypeA,
  kGetModuleFileNameA,
  kGetShortPathNameA,
  kCreateProcessA,
  kWaitForSingleObject,
  kCloseHandle,
  kExitWindowsEx,
  kSetConsoleCtrlHandler,
  kRegCreateKeyExA,
  kRegFlushKey,
  kFindFirstFileA,
  kFindClose,
  kGetTempPathA,
  kFlushConsoleInputBuffer,
  kGetLongPathNameA,
  kLoadLibraryA,
  kWSAStartup,
  kWSAEnumProtocolsA,
  kWSACleanup,
  kWSAGetLastError,
  kFreeLibrary,
};

struct OpEntry {
  Op op;
  const char* name;  // the Platform method name
};

// Every operation with its name, in enum order.
inline constexpr OpEntry kOps[] = {
    {Op::kRegOpenKeyExA, "RegOpenKeyExA"},
    {Op::kRegQueryInfoKeyA, "RegQueryInfoKeyA"},
    {Op::kRegEnumKeyA, "RegEnumKeyA"},
    {Op::kRegQueryValueExA, "RegQueryValueExA"},
    {Op::kRegSetValueExA, "RegSetValueExA"},
    {Op::kRegDeleteKeyA, "RegDeleteKeyA"},
    {Op::kRegDeleteValueA, "RegDeleteValueA"},
    {Op::kRegCloseKey, "RegCloseKey"},
    {Op::kGetWindowsDirectoryA, "GetWindowsDirectoryA"},
    {Op::kGetVersionExA, "GetVersionExA"},
    {Op::kCopyFileA, "CopyFileA"},
    {Op::kDeleteFileA, "DeleteFileA"},
    {Op::kOpenFileForRead, "OpenFileForRead"},
    {Op::kOpenFileForWrite, "OpenFileForWrite"},
    {Op::kWriteFile, "WriteFile"},
    {Op::kCloseFile, "CloseFile"},
    {Op::kGetFileAttributesA, "GetFileAttributesA"},
    {Op::kSetFileAttributesA, "SetFileAttributesA"},
    {Op::kGetDriveTypeA, "GetDriveTypeA"},
    {Op::kGetModuleFileNameA, "GetModuleFileNameA"},
    {Op::kGetShortPathNameA, "GetShortPathNameA"},
    {Op::kCreateProcessA, "CreateProcessA"},
    {Op::kWaitForSingleObject, "WaitForSingleObject"},
    {Op::kCloseHandle, "CloseHandle"},
    {Op::kExitWindowsEx, "ExitWindowsEx"},
    {Op::kSetConsoleCtrlHandler, "SetConsoleCtrlHandler"},
    {Op::kRegCreateKeyExA, "RegCreateKeyExA"},
    {Op::kRegFlushKey, "RegFlushKey"},
    {Op::kFindFirstFileA, "FindFirstFileA"},
    {Op::kFindClose, "FindClose"},
    {Op::kGetTempPathA, "GetTempPathA"},
    {Op::kFlushConsoleInputBuffer, "FlushConsoleInputBuffer"},
    {Op::kGetLongPathNameA, "GetLongPathNameA"},
    {Op::kLoadLibraryA, "LoadLibraryA"},
    {Op::kWSAStartup, "WSAStartup"},
    {Op::kWSAEnumProtocolsA, "WSAEnumProtocolsA"},
    {Op::kWSACleanup, "WSACleanup"},
    {Op::kWSAGetLastError, "WSAGetLastError"},
    {Op::kFreeLibrary, "FreeLibrary"},
};
inline constexpr size_t kOpCount = sizeof kOps / sizeof kOps[0];

constexpr bool OpTableInEnumOrder() {
  for (size_t i = 0; i < kOpCount; ++i) {
    if (static_cast<size_t>(kOps[i].op) != i) return false;
  }
  return static_cast<size_t>(Op::kFreeLibrary) + 1 == kOpCount;
}
static_assert(OpTableInEnumOrder(), "kOps must list every Op once, in enum order");

constexpr const char* OpName(Op op) { return kOps[static_cast<size_t>(op)].name; }

// The registry operations (advapi32) return their status.
constexpr bool IsRegistryOp(Op op) {
  return op <= Op::kRegCloseKey || op == Op::kRegCreateKeyExA || op == Op::kRegFlushKey;
}

// The operation with this name, compared without regard to ASCII case.
// False for a name that is not in the table.
bool FindOp(const std::string& name, Op* op);

}  // namespace netrevive::sim

#endif  // NETREVIVE_PLATFORM_SIM_SIM_OPERATIONS_H_
