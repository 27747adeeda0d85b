#ifndef NETREVIVE_PLATFORM_SIM_SIM_OPERATIONS_H_
#define NETREVIVE_PLATFORM_SIM_SIM_OPERATIONS_H_

// The Platform operations, named once: the call log records them, fault
// rules select them, and the names printed in the log and read from the
// simulator's --inject option all come from the one table below; beside it,
// the statuses each one really fails with. Code that
// names an operation uses the enumerator, so a misspelt name does not build.

#include <stddef.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace netrevive::simulated_pc {

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
  kSocket,
  kCloseSocket,
  kFreeLibrary,
  kReadFile,
  kSetErrorMode,
  kGetEnvironmentVariableA,
  kMoveFileA,
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
    {Op::kSocket, "socket"},
    {Op::kCloseSocket, "closesocket"},
    {Op::kFreeLibrary, "FreeLibrary"},
    {Op::kReadFile, "ReadFile"},
    {Op::kSetErrorMode, "SetErrorMode"},
    {Op::kGetEnvironmentVariableA, "GetEnvironmentVariableA"},
    {Op::kMoveFileA, "MoveFileA"},
};
inline constexpr size_t kOpCount = sizeof kOps / sizeof kOps[0];

constexpr bool OpTableInEnumOrder() {
  for (size_t i = 0; i < kOpCount; ++i) {
    if (static_cast<size_t>(kOps[i].op) != i) return false;
  }
  return static_cast<size_t>(Op::kMoveFileA) + 1 == kOpCount;
}
static_assert(OpTableInEnumOrder(), "kOps must list every Op once, in enum order");

constexpr const char* OpName(Op op) { return kOps[static_cast<size_t>(op)].name; }

// The statuses each operation really fails with on Windows 9x, for the fault
// sweeps and the support guide's table of error codes. Registry calls: those
// the Windows 9x registry returns (missing key, access denied, bad
// parameter, more data, a corrupt or unreadable registry, no more items for
// a list that shrank). Calls with a yes/no result: the status only fills the
// last error; a few real ones are enough. A 0 ends a list early.
struct OpStatuses {
  Op op;
  RegStatus statuses[6];
};

// In enum order, one entry for every operation of kOps.
inline constexpr OpStatuses kOpStatuses[] = {
    {Op::kRegOpenKeyExA, {2, 5, 87, 1009, 1011, 1015}},
    {Op::kRegQueryInfoKeyA, {5, 87, 234, 1009, 1015}},
    {Op::kRegEnumKeyA, {5, 87, 234, 259, 1009, 1015}},
    {Op::kRegQueryValueExA, {2, 5, 87, 234, 1009, 1015}},
    {Op::kRegSetValueExA, {5, 87, 1009, 1015}},
    {Op::kRegDeleteKeyA, {2, 5, 87, 1009, 1011, 1015}},
    // 2 would say the value is already gone, which the program rightly
    // counts as removed; on a value that is there it cannot happen.
    {Op::kRegDeleteValueA, {5, 1009, 1015}},
    {Op::kRegCloseKey, {6, 1009}},
    {Op::kGetWindowsDirectoryA, {5}},
    {Op::kGetVersionExA, {87}},
    {Op::kCopyFileA, {2, 5}},
    {Op::kDeleteFileA, {2, 5}},
    {Op::kOpenFileForRead, {2, 5}},
    {Op::kOpenFileForWrite, {3, 5}},
    {Op::kWriteFile, {5}},
    {Op::kCloseFile, {5}},
    {Op::kGetFileAttributesA, {2, 3}},
    {Op::kSetFileAttributesA, {2, 5}},
    {Op::kGetDriveTypeA, {5}},  // answers DRIVE_UNKNOWN
    {Op::kGetModuleFileNameA, {122}},
    {Op::kGetShortPathNameA, {2, 3}},
    {Op::kCreateProcessA, {2, 5}},  // the program file is missing, or may not be run
    {Op::kWaitForSingleObject, {6}},
    {Op::kCloseHandle, {6}},
    {Op::kExitWindowsEx, {5}},
    {Op::kSetConsoleCtrlHandler, {87}},
    {Op::kRegCreateKeyExA, {5, 87, 1009, 1011, 1015}},
    {Op::kRegFlushKey, {5, 1009, 1015}},
    {Op::kFindFirstFileA, {2, 3, 5}},
    {Op::kFindClose, {6}},
    {Op::kGetTempPathA, {5}},
    {Op::kFlushConsoleInputBuffer, {6}},
    {Op::kGetLongPathNameA, {2, 3}},
    // The library is missing (126) or lacks an entry point (127).
    {Op::kLoadLibraryA, {126, 127}},
    // Winsock not ready, the version not supported, too many users.
    {Op::kWSAStartup, {10091, 10092, 10067}},
    {Op::kWSAEnumProtocolsA, {10055, 10093, 10014}},
    {Op::kWSACleanup, {10093, 10050}},
    {Op::kWSAGetLastError, {10050}},  // the status it gives
    // The address family or socket type has no provider (a broken layered
    // chain answers so too), no buffer space left.
    {Op::kSocket, {10047, 10044, 10055}},
    {Op::kCloseSocket, {10038}},  // not a socket
    {Op::kFreeLibrary, {87}},
    {Op::kReadFile, {5, 6}},
    // SetErrorMode cannot fail on Windows and sets no last error; a fault
    // leaves the mode as it was and answers 0.
    {Op::kSetErrorMode, {87}},
    {Op::kGetEnvironmentVariableA, {203}},  // ERROR_ENVVAR_NOT_FOUND
    {Op::kMoveFileA, {2, 5, 183}},
};

constexpr bool OpStatusesInEnumOrder() {
  if (sizeof kOpStatuses / sizeof kOpStatuses[0] != kOpCount) return false;
  for (size_t i = 0; i < kOpCount; ++i) {
    if (static_cast<size_t>(kOpStatuses[i].op) != i || kOpStatuses[i].statuses[0] == 0) {
      return false;
    }
  }
  return true;
}
static_assert(OpStatusesInEnumOrder(),
              "kOpStatuses must give every Op of kOps at least one status, in enum order");

// The operation's statuses from kOpStatuses.
std::vector<RegStatus> RealStatuses(Op op);

// The registry operations (advapi32) return their status.
constexpr bool IsRegistryOp(Op op) {
  return op <= Op::kRegCloseKey || op == Op::kRegCreateKeyExA || op == Op::kRegFlushKey;
}

// The operation with this name, compared without regard to ASCII case.
// False for a name that is not in the table.
bool FindOp(const std::string& name, Op* op);

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_OPERATIONS_H_
