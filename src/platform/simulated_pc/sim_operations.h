#ifndef NETREVIVE_PLATFORM_SIM_SIM_OPERATIONS_H_
#define NETREVIVE_PLATFORM_SIM_SIM_OPERATIONS_H_

// The Platform operations, named once: the call log records them, fault
// rules select them, and everything said about an operation is one row of
// the table below: the name printed in the log and read from the
// simulator's --inject option, the statuses it really fails with, whether
// it is a registry call and whether it changes the machine. The fault
// sweeps, the rules every run keeps, the support guide and --inject all
// read that row. Code that names an operation uses the enumerator, so a
// misspelt name does not build.

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace netrevive::simulated_pc {

// In the order the operations were first named: --inject's list in
// netrevive-sim's help and the fuzz target's choice of operation follow it,
// so a new operation goes at the end.
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
  kLoadWinsock,
  kWSAStartup,
  kWSAEnumProtocolsA,
  kWSACleanup,
  kWSAGetLastError,
  kSocket,
  kCloseSocket,
  kFreeWinsock,
  kReadFile,
  kSetErrorMode,
  kGetEnvironmentVariableA,
  kMoveFileA,
};

// The registry calls (advapi32) answer with their status; the others with
// a result, their status kept as the last error (GetLastError or Winsock's
// WSAGetLastError).
enum Family : uint8_t { kRegistry, kOther };

// What a call that succeeds does to the machine: only looks (or changes no
// more than the program's own process: its handles, error mode and console
// handler), or changes it: the registry or the files written, a key
// created, a program started (the programs the repair starts are Windows'
// setup programs), the session ended.
enum Effect : uint8_t { kLooks, kChanges };

struct OpInfo {
  Op op;
  const char* name;  // the Platform method name
  // The statuses it really fails with on Windows 9x, for the fault sweeps
  // and the support guide's table of error codes. Registry calls: those
  // the Windows 9x registry returns (missing key, access denied, bad
  // parameter, more data, a corrupt or unreadable registry, no more items
  // for a list that shrank). Calls with a yes/no result: the status only
  // fills the last error; a few real ones are enough. A 0 ends the list
  // early.
  RegStatus statuses[6];
  Family family;
  Effect effect;
};

// Every operation, in enum order.
inline constexpr OpInfo kOps[] = {
    {Op::kRegOpenKeyExA, "RegOpenKeyExA", {2, 5, 87, 1009, 1011, 1015}, kRegistry, kLooks},
    {Op::kRegQueryInfoKeyA, "RegQueryInfoKeyA", {5, 87, 234, 1009, 1015}, kRegistry, kLooks},
    {Op::kRegEnumKeyA, "RegEnumKeyA", {5, 87, 234, 259, 1009, 1015}, kRegistry, kLooks},
    {Op::kRegQueryValueExA, "RegQueryValueExA", {2, 5, 87, 234, 1009, 1015}, kRegistry, kLooks},
    {Op::kRegSetValueExA, "RegSetValueExA", {5, 87, 1009, 1015}, kRegistry, kChanges},
    {Op::kRegDeleteKeyA, "RegDeleteKeyA", {2, 5, 87, 1009, 1011, 1015}, kRegistry, kChanges},
    // 2 would say the value is already gone, which the program rightly
    // counts as removed; on a value that is there it cannot happen.
    {Op::kRegDeleteValueA, "RegDeleteValueA", {5, 1009, 1015}, kRegistry, kChanges},
    {Op::kRegCloseKey, "RegCloseKey", {6, 1009}, kRegistry, kLooks},
    {Op::kGetWindowsDirectoryA, "GetWindowsDirectoryA", {5}, kOther, kLooks},
    {Op::kGetVersionExA, "GetVersionExA", {87}, kOther, kLooks},
    {Op::kCopyFileA, "CopyFileA", {2, 5}, kOther, kChanges},
    {Op::kDeleteFileA, "DeleteFileA", {2, 5}, kOther, kChanges},
    {Op::kOpenFileForRead, "OpenFileForRead", {2, 5}, kOther, kLooks},
    // Creates the file or empties it.
    {Op::kOpenFileForWrite, "OpenFileForWrite", {3, 5}, kOther, kChanges},
    {Op::kWriteFile, "WriteFile", {5}, kOther, kChanges},
    {Op::kCloseFile, "CloseFile", {5}, kOther, kLooks},
    {Op::kGetFileAttributesA, "GetFileAttributesA", {2, 3}, kOther, kLooks},
    {Op::kSetFileAttributesA, "SetFileAttributesA", {2, 5}, kOther, kChanges},
    // Answers DRIVE_UNKNOWN.
    {Op::kGetDriveTypeA, "GetDriveTypeA", {5}, kOther, kLooks},
    {Op::kGetModuleFileNameA, "GetModuleFileNameA", {122}, kOther, kLooks},
    {Op::kGetShortPathNameA, "GetShortPathNameA", {2, 3}, kOther, kLooks},
    // The program file is missing, or may not be run.
    {Op::kCreateProcessA, "CreateProcessA", {2, 5}, kOther, kChanges},
    {Op::kWaitForSingleObject, "WaitForSingleObject", {6}, kOther, kLooks},
    {Op::kCloseHandle, "CloseHandle", {6}, kOther, kLooks},
    {Op::kExitWindowsEx, "ExitWindowsEx", {5}, kOther, kChanges},
    {Op::kSetConsoleCtrlHandler, "SetConsoleCtrlHandler", {87}, kOther, kLooks},
    // Creates what is missing of the key's path.
    {Op::kRegCreateKeyExA, "RegCreateKeyExA", {5, 87, 1009, 1011, 1015}, kRegistry, kChanges},
    // Writes out what earlier calls changed; it changes nothing itself.
    {Op::kRegFlushKey, "RegFlushKey", {5, 1009, 1015}, kRegistry, kLooks},
    {Op::kFindFirstFileA, "FindFirstFileA", {2, 3, 5}, kOther, kLooks},
    {Op::kFindClose, "FindClose", {6}, kOther, kLooks},
    {Op::kGetTempPathA, "GetTempPathA", {5}, kOther, kLooks},
    {Op::kFlushConsoleInputBuffer, "FlushConsoleInputBuffer", {6}, kOther, kLooks},
    {Op::kGetLongPathNameA, "GetLongPathNameA", {2, 3}, kOther, kLooks},
    // The library is missing (126) or lacks an entry point (127).
    {Op::kLoadWinsock, "LoadWinsock", {126, 127}, kOther, kLooks},
    // Winsock not ready, the version not supported, too many users.
    {Op::kWSAStartup, "WSAStartup", {10091, 10092, 10067}, kOther, kLooks},
    {Op::kWSAEnumProtocolsA, "WSAEnumProtocolsA", {10055, 10093, 10014}, kOther, kLooks},
    {Op::kWSACleanup, "WSACleanup", {10093, 10050}, kOther, kLooks},
    // The status it gives.
    {Op::kWSAGetLastError, "WSAGetLastError", {10050}, kOther, kLooks},
    // The address family or socket type has no provider (a broken layered
    // chain answers so too), no buffer space left. Opening one sends nothing.
    {Op::kSocket, "socket", {10047, 10044, 10055}, kOther, kLooks},
    // Not a socket.
    {Op::kCloseSocket, "closesocket", {10038}, kOther, kLooks},
    {Op::kFreeWinsock, "FreeWinsock", {87}, kOther, kLooks},
    {Op::kReadFile, "ReadFile", {5, 6}, kOther, kLooks},
    // SetErrorMode cannot fail on Windows and sets no last error; a fault
    // leaves the mode as it was and answers 0.
    {Op::kSetErrorMode, "SetErrorMode", {87}, kOther, kLooks},
    // ERROR_ENVVAR_NOT_FOUND.
    {Op::kGetEnvironmentVariableA, "GetEnvironmentVariableA", {203}, kOther, kLooks},
    {Op::kMoveFileA, "MoveFileA", {2, 5, 183}, kOther, kChanges},
};
inline constexpr size_t kOpCount = sizeof kOps / sizeof kOps[0];

constexpr bool OpTableComplete() {
  for (size_t i = 0; i < kOpCount; ++i) {
    if (static_cast<size_t>(kOps[i].op) != i || kOps[i].statuses[0] == 0) return false;
  }
  return static_cast<size_t>(Op::kMoveFileA) + 1 == kOpCount;
}
static_assert(OpTableComplete(),
              "kOps must list every Op once, in enum order, each with at least one status");

constexpr const OpInfo& InfoOf(Op op) { return kOps[static_cast<size_t>(op)]; }
constexpr const char* OpName(Op op) { return InfoOf(op).name; }
// The registry operations (advapi32) return their status.
constexpr bool IsRegistryOp(Op op) { return InfoOf(op).family == kRegistry; }
constexpr bool ChangesTheMachine(Op op) { return InfoOf(op).effect == kChanges; }

// The operation's statuses from its row.
std::vector<RegStatus> RealStatuses(Op op);

// The operation with this name, compared without regard to ASCII case.
// False for a name that is not in the table.
bool FindOp(const std::string& name, Op* op);

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_OPERATIONS_H_
