#ifndef NETREVIVE_PLATFORM_WINDOWS_DIR_H_
#define NETREVIVE_PLATFORM_WINDOWS_DIR_H_

#include "platform/fixed_text.h"
#include "platform/platform.h"

namespace netrevive {

// Why a path or command could not be built.
enum class BuildStatus {
  kOk,
  kNoWindowsDir,  // GetWindowsDirectoryA failed or asked for more than MAX_PATH
  kTooLong,       // the text does not fit its buffer
};

// Reads WindowsDir into text (which must be empty). GetWindowsDirectoryA is
// given at most MAX_PATH bytes; a result of 0, or a size that does not fit
// the buffer it was given, means there is no usable Windows directory.
template <size_t N>
BuildStatus ReadWindowsDir(Platform& os, FixedText<N>* text) {
  static_assert(N >= kMaxPath, "the buffer must hold any Windows directory");
  uint32_t result = os.GetWindowsDirectoryA(text->Buffer(), static_cast<uint32_t>(kMaxPath));
  if (result == 0 || result >= kMaxPath) {
    text->Clear();
    return BuildStatus::kNoWindowsDir;
  }
  text->SetLength(result);
  return BuildStatus::kOk;
}

// Whether WindowsDir\name is a plain file: false as well when there is
// no usable Windows directory.
inline bool WindowsFileExists(Platform& os, const char* name) {
  FixedText<kPathSize> path;
  if (ReadWindowsDir(os, &path) != BuildStatus::kOk || !path.Append("\\") || !path.Append(name)) {
    return false;
  }
  return IsPlainFile(os, path.c_str());
}

}  // namespace netrevive

#endif  // NETREVIVE_PLATFORM_WINDOWS_DIR_H_
