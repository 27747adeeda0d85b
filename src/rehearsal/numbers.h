#ifndef NETREVIVE_SIMULATOR_NUMBERS_H_
#define NETREVIVE_SIMULATOR_NUMBERS_H_

// Numbers as netrevive-sim reads them in its options and machine folders:
// decimal digits, or 0x and 1 to 8 hex digits (any 32-bit pattern). Nothing
// else is taken (strtoull alone would take blanks, a plus, a second 0x).

#include <stdint.h>

#include <string>

namespace netrevive::rehearsal {

// A decimal number up to 4294967295, or hex.
bool ParseUnsigned32(const std::string& text, uint32_t* value);

// A decimal number from -2147483648 to 2147483647, or hex (read as the
// 32-bit pattern it gives).
bool ParseSigned32(const std::string& text, int32_t* value);

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_NUMBERS_H_
