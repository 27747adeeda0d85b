#ifndef NETREVIVE_PLATFORM_SIM_SIM_PATHS_H_
#define NETREVIVE_PLATFORM_SIM_SIM_PATHS_H_

// How the simulated machine compares and shows names: registry keys and
// values and file paths compare without regard to ASCII case, as on Windows
// 9x, and keep the case they were created with.

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

namespace netrevive::simulated_pc {

// ASCII case only, as Windows 9x compares registry and file names; the one
// set of case-insensitive helpers of the simulator and its tools, on the
// core's UpperAscii (platform/fixed_text.h).
std::string UpperAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view head);

// Components of a backslash-separated path; empty components are dropped.
std::vector<std::string> SplitComponents(const std::string& path);

// A key path with its root as "HKLM" or "HKCR" (from either spelling), upper
// case, no empty components; "" for an unknown root.
std::string NormalizeKeyPath(const std::string& path);
// A file path in upper case with / taken as \ and no trailing backslash.
std::string NormalizeFilePath(const std::string& path);

// Whether two paths name the same key or file: as keys when both are key
// paths, as files otherwise.
bool SamePath(const std::string& a, const std::string& b);

// "0x" and upper-case hex digits, as the call log and the list of open
// handles show handles, flags and access masks.
std::string Hex(uint64_t value);

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_PATHS_H_
