#include "rehearsal/regedit4.h"

#include <stdio.h>

#include <string_view>
#include <utility>

#include "platform/simulated_pc/sim_paths.h"

namespace netrevive::rehearsal {

using simulated_pc::NormalizeKeyPath;
using simulated_pc::RegValue;
using simulated_pc::SimMachine;

namespace {

constexpr const char* kHeader = "REGEDIT4";

// The roots regedit knows, in the spelling it exports them with.
constexpr const char* kRootNames[] = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE",
    "HKEY_USERS",        "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};

// Hex lines are broken once they reach this many columns; with the ",\" that
// ends a broken line no line is wider than 80 columns.
constexpr size_t kHexLineLimit = 77;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  out += text;
  out += '"';
  return out;
}

// The text split into lines: LF or CRLF line ends, a last line without one.
// The lines are views into the text, which must outlive them.
std::vector<std::string_view> SplitLines(const std::string& text) {
  std::vector<std::string_view> lines;
  const std::string_view all(text);
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string_view::npos) end = all.size();
    std::string_view line = all.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

size_t SkipBlanks(std::string_view line, size_t pos) {
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  return pos;
}

bool OnlyBlanksFrom(std::string_view line, size_t pos) {
  return SkipBlanks(line, pos) == line.size();
}

class Parser {
 public:
  Parser(const std::vector<std::string_view>& lines, RegFile* file) : lines_(lines), file_(file) {}

  bool Run() {
    if (lines_.empty()) return Fail(1, "missing REGEDIT4 header: the file is empty");
    std::string_view first = lines_[0];
    while (!first.empty() && IsBlank(first.back())) first.remove_suffix(1);
    if (first != kHeader) {
      return Fail(1, "missing REGEDIT4 header: the first line must be REGEDIT4");
    }
    for (index_ = 1; index_ < lines_.size(); ++index_) {
      std::string_view line = lines_[index_];
      size_t pos = SkipBlanks(line, 0);
      if (pos == line.size() || line[pos] == ';') continue;
      bool ok = true;
      if (line[pos] == '[') {
        ok = ParseKey(line, pos);
      } else if (line[pos] == '"' || line[pos] == '@') {
        ok = ParseValue(line, pos);
      } else {
        ok = Fail(LineNumber(),
                  "unexpected text: expected [key], \"name\"=value, @=value or a ; comment");
      }
      if (!ok) return false;
    }
    return true;
  }

  RegFileError error() const { return error_; }

 private:
  int LineNumber() const { return static_cast<int>(index_) + 1; }

  bool Fail(int line, const std::string& message) {
    error_.line = line;
    error_.message = message;
    return false;
  }

  bool ParseKey(std::string_view line, size_t pos) {
    size_t end = line.size();
    while (end > pos && IsBlank(line[end - 1])) --end;
    if (end - pos < 2 || line[end - 1] != ']') {
      return Fail(LineNumber(), "unterminated [key: the line must end with ]");
    }
    RegFileKey key;
    key.line = LineNumber();
    size_t name_start = pos + 1;
    if (name_start < end - 1 && line[name_start] == '-') {
      key.remove = true;
      ++name_start;
    }
    std::string path(line.substr(name_start, end - 1 - name_start));
    if (path.empty()) return Fail(LineNumber(), "empty key name in []");
    size_t slash = path.find('\\');
    std::string root = path.substr(0, slash);
    const char* canonical = nullptr;
    for (const char* name : kRootNames) {
      if (simulated_pc::EqualsNoCase(root, name)) canonical = name;
    }
    if (canonical == nullptr) {
      return Fail(LineNumber(), "unknown root key " + Quoted(root) +
                                    ": expected HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, "
                                    "HKEY_CURRENT_USER, HKEY_USERS, HKEY_CURRENT_CONFIG or "
                                    "HKEY_DYN_DATA");
    }
    if (path.find("\\\\") != std::string::npos || path.back() == '\\') {
      return Fail(LineNumber(), "empty key name between backslashes in " + Quoted(path));
    }
    key.path = canonical + (slash == std::string::npos ? std::string() : path.substr(slash));
    file_->keys.push_back(key);
    return true;
  }

  // Reads a quoted text starting at the opening quote; pos ends after the
  // closing quote. what names the text in error messages.
  bool ParseQuoted(std::string_view line, size_t* pos, const char* what, std::string* out) {
    size_t p = *pos + 1;
    out->clear();
    while (true) {
      if (p >= line.size()) {
        return Fail(LineNumber(), std::string("unterminated ") + what + ": missing closing \"");
      }
      char c = line[p];
      if (c == '"') break;
      if (c == '\\') {
        if (p + 1 >= line.size()) {
          return Fail(LineNumber(), std::string("unterminated ") + what + ": missing closing \"");
        }
        char next = line[p + 1];
        if (next != '\\' && next != '"') {
          return Fail(LineNumber(), std::string("bad escape \\") + next + " in " + what +
                                        ": only \\\\ and \\\" are allowed");
        }
        out->push_back(next);
        p += 2;
        continue;
      }
      out->push_back(c);
      ++p;
    }
    *pos = p + 1;
    return true;
  }

  bool ExpectEnd(std::string_view line, size_t pos) {
    if (OnlyBlanksFrom(line, pos)) return true;
    return Fail(LineNumber(), "unexpected text after the value: " + Quoted(line.substr(pos)));
  }

  bool ParseValue(std::string_view line, size_t pos) {
    if (file_->keys.empty()) {
      return Fail(LineNumber(), "value line before any [key] line");
    }
    if (file_->keys.back().remove) {
      return Fail(LineNumber(), "value line under a [-key] line, which deletes the key");
    }
    RegFileValue value;
    if (line[pos] == '@') {
      ++pos;
    } else if (!ParseQuoted(line, &pos, "value name", &value.name)) {
      return false;
    }
    pos = SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') {
      return Fail(LineNumber(), "missing = after the value name");
    }
    pos = SkipBlanks(line, pos + 1);
    if (pos >= line.size()) return Fail(LineNumber(), "missing value data after =");
    bool ok = true;
    if (line[pos] == '"') {
      std::string text;
      ok = ParseQuoted(line, &pos, "string", &text) && ExpectEnd(line, pos);
      value.type = 1;
      value.data.assign(text.begin(), text.end());
      value.data.push_back(0);
    } else if (line[pos] == '-') {
      value.remove = true;
      value.type = 1;
      ok = ExpectEnd(line, pos + 1);
    } else if (simulated_pc::StartsWithNoCase(line.substr(pos), "dword:")) {
      ok = ParseDword(line, pos + 6, &value);
    } else if (simulated_pc::StartsWithNoCase(line.substr(pos), "hex")) {
      ok = ParseHex(line, pos + 3, &value);
    } else {
      ok = Fail(LineNumber(), "unknown value data " + Quoted(line.substr(pos)) +
                                  ": expected \"text\", dword:, hex:, hex(N): or -");
    }
    if (!ok) return false;
    file_->keys.back().values.push_back(value);
    return true;
  }

  bool ParseDword(std::string_view line, size_t pos, RegFileValue* value) {
    size_t end = line.size();
    while (end > pos && IsBlank(line[end - 1])) --end;
    std::string digits(line.substr(pos, end - pos));
    if (digits.empty() || digits.size() > 8) {
      return Fail(LineNumber(), "bad dword " + Quoted(digits) + ": expected 1 to 8 hex digits");
    }
    uint32_t number = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) {
        return Fail(LineNumber(), "bad dword " + Quoted(digits) + ": expected 1 to 8 hex digits");
      }
      number = number * 16 + static_cast<uint32_t>(d);
    }
    value->type = 4;
    value->data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                   static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
    return true;
  }

  // pos is just after "hex": either ":" or "(N):" follows, then the bytes.
  bool ParseHex(std::string_view line, size_t pos, RegFileValue* value) {
    value->type = 3;
    if (pos < line.size() && line[pos] == '(') {
      size_t close = line.find(')', pos);
      std::string digits(close == std::string_view::npos ? line.substr(pos + 1)
                                                         : line.substr(pos + 1, close - pos - 1));
      uint32_t type = 0;
      bool good = close != std::string::npos && !digits.empty() && digits.size() <= 8;
      for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) good = false;
        type = type * 16 + static_cast<uint32_t>(d < 0 ? 0 : d);
      }
      if (!good) {
        return Fail(LineNumber(), "bad value type in hex(" + digits +
                                      "): expected hex(N) with N of 1 to 8 hex digits");
      }
      value->type = type;
      pos = close + 1;
    }
    if (pos >= line.size() || line[pos] != ':') {
      return Fail(LineNumber(), "missing : after hex or hex(N)");
    }
    ++pos;
    // Bytes are separated by commas; a line ending in a backslash continues
    // on the next line, whose leading blanks are skipped. One comma may end
    // the list.
    std::string_view segment = line.substr(pos);
    bool expect_more = false;  // a comma was read and no byte followed yet
    bool any = false;
    while (true) {
      size_t end = segment.size();
      while (end > 0 && IsBlank(segment[end - 1])) --end;
      bool continued = end > 0 && segment[end - 1] == '\\';
      if (continued) --end;
      size_t p = SkipBlanks(segment, 0);
      while (p < end) {
        if (any && !expect_more) {
          if (segment[p] != ',') {
            return Fail(LineNumber(), "bad hex byte list: expected a comma before " +
                                          Quoted(segment.substr(p, end - p)));
          }
          expect_more = true;
          p = SkipBlanks(segment, p + 1);
          continue;
        }
        size_t q = p;
        while (q < end && segment[q] != ',' && !IsBlank(segment[q])) ++q;
        std::string_view byte = segment.substr(p, q - p);
        if (byte.empty() || byte.size() > 2 || HexDigit(byte[0]) < 0 ||
            (byte.size() == 2 && HexDigit(byte[1]) < 0)) {
          return Fail(LineNumber(), "bad hex byte " + Quoted(byte) + ": expected two hex digits");
        }
        int n = HexDigit(byte[0]);
        if (byte.size() == 2) n = n * 16 + HexDigit(byte[1]);
        value->data.push_back(static_cast<uint8_t>(n));
        any = true;
        expect_more = false;
        p = SkipBlanks(segment, q);
      }
      if (!continued) break;
      if (index_ + 1 >= lines_.size()) {
        return Fail(LineNumber(), "line continued with \\ at the end of the file");
      }
      ++index_;
      segment = lines_[index_];
    }
    // A list may end in a comma (expect_more still set), as regedit accepts.
    return true;
  }

  const std::vector<std::string_view>& lines_;
  RegFile* file_;
  size_t index_ = 0;
  RegFileError error_;
};

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

// A REG_SZ is written as "text" when that form reads back to the same bytes:
// exactly one NUL, at the end, and no line end inside.
bool WritableAsString(const RegFileValue& value) {
  if (value.type != 1 || value.data.empty() || value.data.back() != 0) return false;
  for (size_t i = 0; i + 1 < value.data.size(); ++i) {
    uint8_t c = value.data[i];
    if (c == 0 || c == '\r' || c == '\n') return false;
  }
  return true;
}

void AppendHex(std::string* out, size_t column, const std::vector<uint8_t>& data) {
  char digits[4];
  for (size_t i = 0; i < data.size(); ++i) {
    snprintf(digits, sizeof(digits), "%02x", data[i]);
    *out += digits;
    if (i + 1 == data.size()) break;
    *out += ',';
    column += 3;
    if (column >= kHexLineLimit) {
      *out += "\\\r\n  ";
      column = 2;
    }
  }
}

}  // namespace

bool operator==(const RegFileValue& a, const RegFileValue& b) {
  return a.name == b.name && a.type == b.type && a.data == b.data && a.remove == b.remove;
}

bool operator==(const RegFileKey& a, const RegFileKey& b) {
  return a.path == b.path && a.remove == b.remove && a.values == b.values;
}

bool operator==(const RegFile& a, const RegFile& b) { return a.keys == b.keys; }

bool ParseRegFile(const std::string& text, RegFile* file, RegFileError* error) {
  std::vector<std::string_view> lines = SplitLines(text);
  RegFile parsed;
  Parser parser(lines, &parsed);
  if (!parser.Run()) {
    *error = parser.error();
    file->keys.clear();
    return false;
  }
  *file = parsed;
  *error = RegFileError();
  return true;
}

std::string WriteRegFile(const RegFile& file) {
  std::string out = kHeader;
  out += "\r\n\r\n";
  for (const RegFileKey& key : file.keys) {
    out += key.remove ? "[-" : "[";
    out += key.path;
    out += "]\r\n";
    // A deleted key has no values to write.
    for (size_t i = 0; !key.remove && i < key.values.size(); ++i) {
      const RegFileValue& value = key.values[i];
      std::string line = value.name.empty() ? "@=" : "\"" + Escaped(value.name) + "\"=";
      if (value.remove) {
        line += "-";
      } else if (WritableAsString(value)) {
        std::string text(value.data.begin(), value.data.end() - 1);
        line += "\"" + Escaped(text) + "\"";
      } else if (value.type == 4 && value.data.size() == 4) {
        char digits[16];
        uint32_t n =
            static_cast<uint32_t>(value.data[0]) | static_cast<uint32_t>(value.data[1]) << 8 |
            static_cast<uint32_t>(value.data[2]) << 16 | static_cast<uint32_t>(value.data[3]) << 24;
        snprintf(digits, sizeof(digits), "%08x", n);
        line += "dword:";
        line += digits;
      } else {
        if (value.type == 3) {
          line += "hex:";
        } else {
          char prefix[24];
          snprintf(prefix, sizeof(prefix), "hex(%x):", value.type);
          line += prefix;
        }
        AppendHex(&line, line.size(), value.data);
      }
      out += line;
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

bool ImportRegFile(const RegFile& file, SimMachine* machine, std::string* error) {
  for (const RegFileKey& key : file.keys) {
    if (NormalizeKeyPath(key.path).empty()) {
      if (error != nullptr) *error = "unknown registry root in [" + key.path + "]";
      return false;
    }
    if (key.remove) {
      machine->DeleteKey(key.path);
      continue;
    }
    if (!machine->CreateKey(key.path)) return false;
    for (const RegFileValue& value : key.values) {
      if (value.remove) {
        machine->DeleteValue(key.path, value.name);
      } else {
        machine->SetValue(key.path, value.name, value.type, value.data);
      }
    }
  }
  return true;
}

RegFile ExportRegFile(const SimMachine& machine) {
  RegFile file;
  machine.ForEachKey(
      [&file](const std::string& path, bool is_root, const std::vector<RegValue>& values) {
        if (is_root && values.empty()) return;
        RegFileKey section;
        section.path = path;
        for (const RegValue& value : values) {
          RegFileValue out;
          out.name = value.name;
          out.type = value.type;
          out.data = value.data;
          section.values.push_back(std::move(out));
        }
        file.keys.push_back(std::move(section));
      });
  return file;
}

}  // namespace netrevive::rehearsal
