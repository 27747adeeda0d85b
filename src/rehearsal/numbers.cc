#include "rehearsal/numbers.h"

#include <stdlib.h>

namespace netrevive::rehearsal {
namespace {

bool ParseNumber(const std::string& text, bool is_signed, uint32_t* bits) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const bool negative = is_signed && !hex && !text.empty() && text[0] == '-';
  const std::string digits = text.substr(hex ? 2 : negative ? 1 : 0);
  if (digits.empty() || digits.size() > (hex ? 8u : 10u) ||
      digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
          std::string::npos) {
    return false;
  }
  const unsigned long long value = strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
  const unsigned long long limit = hex || !is_signed ? 0xFFFFFFFFu
                                   : negative        ? 0x80000000u
                                                     : 0x7FFFFFFFu;
  if (value > limit) return false;
  *bits = static_cast<uint32_t>(negative ? 0 - value : value);
  return true;
}

}  // namespace

bool ParseUnsigned32(const std::string& text, uint32_t* value) {
  return ParseNumber(text, false, value);
}

bool ParseSigned32(const std::string& text, int32_t* value) {
  uint32_t bits = 0;
  if (!ParseNumber(text, true, &bits)) return false;
  *value = static_cast<int32_t>(bits);
  return true;
}

}  // namespace netrevive::rehearsal
