#ifndef NETREVIVE_PLATFORM_SIM_REGEDIT4_H_
#define NETREVIVE_PLATFORM_SIM_REGEDIT4_H_

#include <stdint.h>

#include <string>
#include <vector>

namespace netrevive::sim {

// One "name"=data line of a REGEDIT4 file. An empty name is the default
// value (written @). remove is the "name"=- form.
struct RegFileValue {
  std::string name;
  uint32_t type = 1;  // REG_SZ, REG_BINARY (3), REG_DWORD (4) or any hex(N) type
  std::vector<uint8_t> data;  // REG_SZ data includes its terminating NUL
  bool remove = false;
};

// One [key] section (or [-key] when remove is set), with its full path such
// as "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet".
struct RegFileKey {
  std::string path;
  bool remove = false;
  std::vector<RegFileValue> values;
};

struct RegFile {
  std::vector<RegFileKey> keys;
};

// Where and why a REGEDIT4 text could not be read.
struct RegFileError {
  int line = 0;  // 1-based
  std::string message;
};

// Reads a REGEDIT4 text (CRLF or LF line ends). Returns false and fills error
// on the first malformed line; file is then left empty.
bool ParseRegFile(const std::string& text, RegFile* file, RegFileError* error);

// Writes the file as Windows 98's regedit exports it: the header, a blank
// line, each key section followed by a blank line, CRLF line ends, long hex
// lines continued with a backslash.
std::string WriteRegFile(const RegFile& file);

}  // namespace netrevive::sim

#endif  // NETREVIVE_PLATFORM_SIM_REGEDIT4_H_
