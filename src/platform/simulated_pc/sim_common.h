#ifndef NETREVIVE_PLATFORM_SIM_SIM_COMMON_H_
#define NETREVIVE_PLATFORM_SIM_SIM_COMMON_H_

// What the parts of the simulated machine share: the statuses it answers
// with besides those in platform.h, and the description of an open handle.

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "platform/platform.h"

namespace netrevive::simulated_pc {

// Bool operations that fail keep theirs as the machine's last error
// (SimMachine::last_error).
constexpr RegStatus kErrorPathNotFound = 3;
constexpr RegStatus kErrorInvalidHandle = 6;
constexpr RegStatus kErrorNotReady = 21;  // every call after a power cut
constexpr RegStatus kErrorSharingViolation = 32;
constexpr RegStatus kErrorFileExists = 80;
constexpr RegStatus kErrorAlreadyExists = 183;
constexpr RegStatus kErrorInvalidParameter = 87;
constexpr RegStatus kErrorFilenameExcedRange = 206;  // a path of kSimMaxPath bytes or more
constexpr RegStatus kErrorNoMoreItems = 259;
constexpr RegStatus kErrorEnvvarNotFound = 203;
constexpr RegStatus kErrorDirectory = 267;  // working directory does not exist
constexpr RegStatus kErrorBadDb = 1009;
constexpr RegStatus kErrorBadKey = 1010;
constexpr RegStatus kErrorCantOpen = 1011;
constexpr RegStatus kErrorRegistryCorrupt = 1015;
// An operation on a handle whose key (or a key above it) has been deleted.
constexpr RegStatus kErrorKeyDeleted = 1018;

constexpr RegStatus kErrorModNotFound = 126;  // LoadWinsock: no such library

// Winsock's own statuses (WSAStartup's result, WSAGetLastError).
constexpr int32_t kWsaEfault = 10014;
constexpr int32_t kWsaNotSock = 10038;
constexpr int32_t kWsaProtoNoSupport = 10043;
constexpr int32_t kWsaAfNoSupport = 10047;
constexpr int32_t kWsaEnobufs = 10055;
constexpr int32_t kWsaSysNotReady = 10091;
constexpr int32_t kWsaNotInitialised = 10093;

constexpr uint32_t kWaitTimeout = 258;
constexpr uint32_t kRegExpandSz = 2;

// File paths the machine's file operations accept are shorter than this
// (MAX_PATH); longer ones fail with kErrorFilenameExcedRange. Adjustable per
// machine with set_max_path (0 = no limit).
constexpr size_t kSimMaxPath = 260;

// An object the program holds open.
struct OpenHandleInfo {
  // kModule: a library loaded; kWinsock: a WSAStartup not yet cleaned up;
  // kSocket: a socket not yet closed.
  enum class Kind { kKey, kFile, kProcess, kThread, kModule, kWinsock, kSocket };
  Kind kind = Kind::kKey;
  uintptr_t value = 0;
  std::string what;             // key path, file path or program path
  uint64_t opened_by_call = 0;  // CallRecord::index of the call that opened it
};

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_COMMON_H_
