#include "platform/simulated_pc/sim_paths.h"

#include <stdio.h>

#include <algorithm>

#include "platform/fixed_text.h"

namespace netrevive::simulated_pc {
namespace {

// "HKLM" or "HKCR" for the root names the machine knows, "" otherwise.
std::string ShortRoot(const std::string& root) {
  std::string upper = UpperAscii(root);
  if (upper == "HKLM" || upper == "HKEY_LOCAL_MACHINE") return "HKLM";
  if (upper == "HKCR" || upper == "HKEY_CLASSES_ROOT") return "HKCR";
  return "";
}

}  // namespace

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = netrevive::UpperAscii(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (netrevive::UpperAscii(a[i]) != netrevive::UpperAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view head) {
  return text.size() >= head.size() && EqualsNoCase(text.substr(0, head.size()), head);
}

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

std::string NormalizeKeyPath(const std::string& path) {
  std::vector<std::string> parts = SplitComponents(path);
  if (parts.empty()) return "";
  std::string out = ShortRoot(parts[0]);
  if (out.empty()) return "";
  for (size_t i = 1; i < parts.size(); ++i) out += "\\" + UpperAscii(parts[i]);
  return out;
}

std::string NormalizeFilePath(const std::string& path) {
  std::string out = UpperAscii(path);
  std::replace(out.begin(), out.end(), '/', '\\');
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

bool SamePath(const std::string& a, const std::string& b) {
  std::string key_a = NormalizeKeyPath(a);
  std::string key_b = NormalizeKeyPath(b);
  if (!key_a.empty() && !key_b.empty()) return key_a == key_b;
  return NormalizeFilePath(a) == NormalizeFilePath(b);
}

std::string Hex(uint64_t value) {
  char text[19];  // "0x" and 16 digits
  snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace netrevive::simulated_pc
