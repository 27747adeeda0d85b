#ifndef NETREVIVE_DRIVER_SIM_REGEDIT4_H_
#define NETREVIVE_DRIVER_SIM_REGEDIT4_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"

namespace netrevive::rehearsal {

// One "name"=data line of a REGEDIT4 file. An empty name is the default
// value (written @). remove is the "name"=- form.
struct RegFileValue {
  std::string name;
  uint32_t type = 1;          // REG_SZ, REG_BINARY (3), REG_DWORD (4) or any hex(N) type
  std::vector<uint8_t> data;  // REG_SZ data includes its terminating NUL
  bool remove = false;
};

// One [key] section (or [-key] when remove is set), with its full path such
// as "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet".
struct RegFileKey {
  std::string path;
  bool remove = false;
  std::vector<RegFileValue> values;
  // The 1-based line of the [key] line when read from a text, 0 otherwise;
  // for messages about the key. Not part of the comparison below.
  int line = 0;
};

struct RegFile {
  std::vector<RegFileKey> keys;
};

// Field-by-field equality, for checking that a file reads back as written.
bool operator==(const RegFileValue& a, const RegFileValue& b);
bool operator==(const RegFileKey& a, const RegFileKey& b);
bool operator==(const RegFile& a, const RegFile& b);

// Where and why a REGEDIT4 text could not be read.
struct RegFileError {
  int line = 0;  // 1-based
  std::string message;
};

// Reads a REGEDIT4 text (CRLF or LF line ends). Returns false and fills error
// on the first malformed line; file is then left empty. Root key names are
// matched without regard to case and stored in their usual upper-case form.
bool ParseRegFile(const std::string& text, RegFile* file, RegFileError* error);

// Writes the file as Windows 98's regedit exports it: the header, a blank
// line, each key section followed by a blank line, CRLF line ends, long hex
// lines continued with a backslash. A REG_SZ that "text" cannot carry (no
// final NUL, an inner NUL or a line end) is written as hex(1):, a REG_DWORD
// of other than four bytes as hex(4):, so that every value reads back
// unchanged. The values of a [-key] section are not written.
std::string WriteRegFile(const RegFile& file);

// Applies the file to the machine's registry as regedit does: [-key] removes
// a tree, [key] creates it, "name"=- removes a value, other lines set values.
// Roots HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT (or HKLM/HKCR). On an
// unknown root returns false with a message naming the key; the sections
// before it have been applied (callers that need all-or-nothing import into
// a copy).
bool ImportRegFile(const RegFile& file, simulated_pc::SimMachine* machine,
                   std::string* error = nullptr);

// Every key of HKLM then HKCR, depth first in creation order, each with its
// values (the roots themselves only when they hold values), paths with the
// long root names.
RegFile ExportRegFile(const simulated_pc::SimMachine& machine);

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_DRIVER_SIM_REGEDIT4_H_
