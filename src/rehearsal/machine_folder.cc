#include "rehearsal/machine_folder.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/fixed_text.h"
#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/files.h"
#include "rehearsal/numbers.h"
#include "rehearsal/regedit4.h"
#include "rehearsal/session_events.h"

namespace netrevive::rehearsal {

using simulated_pc::DefaultHelperModel;
using simulated_pc::SessionRequest;
using simulated_pc::SimMachine;

namespace fs = std::filesystem;

namespace {

constexpr const char kRegistryFile[] = "registry.reg";
constexpr const char kVersionFile[] = "version.txt";
constexpr const char kMachineFile[] = "machine.txt";
constexpr const char kAttributesFile[] = "attributes.txt";
constexpr const char kDriveFolder[] = "drive";

bool Fail(MachineFolderError* error, const std::string& file, int line,
          const std::string& message) {
  error->file = file;
  error->line = line;
  error->message = message;
  return false;
}

std::string Describe(const std::error_code& ec) { return ec.message(); }

// ---- name=value files ------------------------------------------------------

struct Setting {
  std::string value;
  int line = 0;
};

std::string Trim(const std::string& text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && (text[start] == ' ' || text[start] == '\t')) ++start;
  while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) {
    --end;
  }
  return text.substr(start, end - start);
}

// Calls visit with each line's number and its trimmed text, skipping blank
// lines and ; comments; stops at the first visit that returns false.
bool ForEachContentLine(const std::string& text,
                        const std::function<bool(int line, const std::string& trimmed)>& visit) {
  std::istringstream in(text);
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    std::string trimmed = Trim(raw);
    if (trimmed.empty() || trimmed[0] == ';') continue;
    if (!visit(line, trimmed)) return false;
  }
  return true;
}

// Reads name=value lines; names must be among allowed and appear once.
bool ParseSettings(const std::string& file, const std::string& text,
                   const std::set<std::string>& allowed, std::map<std::string, Setting>* settings,
                   MachineFolderError* error) {
  return ForEachContentLine(text, [&](int line, const std::string& trimmed) {
    size_t equals = trimmed.find('=');
    if (equals == std::string::npos) {
      return Fail(error, file, line, "expected name=value, found \"" + trimmed + "\"");
    }
    std::string name = Trim(trimmed.substr(0, equals));
    std::string value = Trim(trimmed.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (allowed.count(name) == 0) {
      std::string names;
      for (const std::string& n : allowed) names += (names.empty() ? "" : ", ") + n;
      return Fail(error, file, line, "unknown setting \"" + name + "\" (known: " + names + ")");
    }
    if (settings->count(name) != 0) {
      return Fail(error, file, line,
                  "\"" + name + "\" is set twice (first on line " +
                      std::to_string((*settings)[name].line) + ")");
    }
    (*settings)[name] = Setting{value, line};
    return true;
  });
}

// A setting that is "yes" or "no", when it is there, handed to the
// machine's setter.
bool ReadYesNo(const std::string& file, const std::map<std::string, Setting>& settings,
               const char* name, void (SimMachine::*set)(bool), SimMachine* machine,
               MachineFolderError* error) {
  auto it = settings.find(name);
  if (it == settings.end()) return true;
  if (it->second.value != "yes" && it->second.value != "no") {
    return Fail(error, file, it->second.line, std::string(name) + " must be yes or no");
  }
  (machine->*set)(it->second.value == "yes");
  return true;
}

bool Require(const std::string& file, const std::map<std::string, Setting>& settings,
             const char* name, MachineFolderError* error) {
  if (settings.count(name) != 0) return true;
  return Fail(error, file, 0, std::string("missing setting ") + name + "=");
}

bool ParseNumber(const std::string& file, const Setting& setting, const char* name,
                 uint32_t* number, MachineFolderError* error) {
  if (!ParseUnsigned32(setting.value, number)) {
    return Fail(error, file, setting.line,
                std::string("bad number for ") + name + ": \"" + setting.value +
                    "\" (expected a decimal number or 0x and up to 8 hex digits)");
  }
  return true;
}

// A text written so that reading it back gives the same text.
std::string QuoteIfNeeded(const std::string& text) {
  if (text.empty() || text != Trim(text) || text.front() == '"') return "\"" + text + "\"";
  return text;
}

// ---- drive paths -----------------------------------------------------------

// "C:\\WINDOWS\\system.dat" -> {"C", "WINDOWS", "system.dat"}.
bool SplitDrivePath(const std::string& path, std::vector<std::string>* parts) {
  if (path.size() < 2 || path[1] != ':') return false;
  char letter = path[0];
  if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))) return false;
  parts->clear();
  parts->push_back(std::string(1, letter));
  std::string rest = path.substr(2);
  std::string part;
  for (char c : rest) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts->push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts->push_back(part);
  for (const std::string& p : *parts) {
    if (p == "." || p == "..") return false;
  }
  return true;
}

std::string DrivePathFromParts(const fs::path& relative) {
  std::string out;
  bool first = true;
  for (const fs::path& part : relative) {
    if (first) {
      out = part.string() + ":";
      first = false;
    } else {
      out += "\\" + part.string();
    }
  }
  if (out.size() == 2) out += "\\";
  return out;
}

// Adds the normalised folder path and every folder above it.
void AddFolderAndParents(const std::string& normal, std::set<std::string>* folders) {
  for (size_t i = 0; i <= normal.size(); ++i) {
    if (i == normal.size() || normal[i] == '\\') folders->insert(normal.substr(0, i));
  }
}

// Puts the files and folders of the drive tree on the machine; folders gets
// the normalised path of each folder in the tree.
bool LoadDrive(const fs::path& drive, SimMachine* machine, std::set<std::string>* folders,
               MachineFolderError* error) {
  std::error_code ec;
  if (!fs::is_directory(drive, ec)) {
    return Fail(error, drive.string(), 0, "missing: the folder of the simulated drives");
  }
  // Entries are taken in name order, so that a machine loads the same way on
  // every file system.
  std::vector<fs::path> entries;
  fs::recursive_directory_iterator it(drive, ec);
  if (ec) return Fail(error, drive.string(), 0, "cannot be read: " + Describe(ec));
  for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) return Fail(error, drive.string(), 0, "cannot be read: " + Describe(ec));
    entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  for (const fs::path& entry : entries) {
    fs::path relative = entry.lexically_relative(drive);
    std::string top = relative.begin()->string();
    bool is_dir = fs::is_directory(fs::symlink_status(entry, ec));
    bool is_file = fs::is_regular_file(fs::symlink_status(entry, ec));
    if (top.size() != 1 ||
        !((top[0] >= 'A' && top[0] <= 'Z') || (top[0] >= 'a' && top[0] <= 'z'))) {
      return Fail(error, entry.string(), 0,
                  "not a drive: the folders in drive/ are drive letters, such as drive/C");
    }
    if (!is_dir && !is_file) {
      return Fail(error, entry.string(), 0, "neither a file nor a folder (links are not followed)");
    }
    std::string path = DrivePathFromParts(relative);
    if (is_dir) {
      machine->AddDirectory(path);
      AddFolderAndParents(SimMachine::NormalizeFilePath(path), folders);
      continue;
    }
    if (relative == fs::path(top)) {
      return Fail(error, entry.string(), 0, "a file where a drive letter folder belongs");
    }
    // Windows compares names without case: two such files would be one.
    if (machine->FileExists(path)) {
      return Fail(error, entry.string(), 0,
                  "another file in drive/ has the same name apart from case");
    }
    std::string contents;
    std::string why;
    if (!ReadWholeFile(entry.string(), &contents, &why)) return Fail(error, entry.string(), 0, why);
    machine->PutFile(path, contents);
  }
  return true;
}

bool SaveDrive(const fs::path& drive, const SimMachine& machine, MachineFolderError* error) {
  std::error_code ec;
  fs::create_directories(drive, ec);
  if (ec) return Fail(error, drive.string(), 0, "cannot be created: " + Describe(ec));
  // The machine keeps folders by their upper-case names; each is written with
  // the spelling a file path or the Windows directory gives it, so that one
  // folder never becomes two on a case-sensitive file system.
  std::map<std::string, std::string> spelling;  // normalised folder -> its last component
  auto learn = [&](const std::string& path, bool is_file) {
    std::vector<std::string> parts;
    if (!SplitDrivePath(path, &parts)) return;
    std::string prefix = parts[0] + ":";
    size_t folders = is_file ? parts.size() - 1 : parts.size();
    for (size_t i = 1; i < folders; ++i) {
      prefix += "\\" + parts[i];
      spelling.emplace(SimMachine::NormalizeFilePath(prefix), parts[i]);
    }
  };
  learn(machine.windows_dir(), false);
  for (const std::string& file : machine.ListFiles()) learn(file, true);

  auto local_path = [&](const std::vector<std::string>& parts, size_t count) {
    fs::path target = drive / parts[0];
    std::string prefix = parts[0] + ":";
    for (size_t i = 1; i < count; ++i) {
      prefix += "\\" + parts[i];
      auto it = spelling.find(SimMachine::NormalizeFilePath(prefix));
      target /= it == spelling.end() ? parts[i] : it->second;
    }
    return target;
  };

  std::vector<std::string> parts;
  for (const std::string& dir : machine.ListDirectories()) {
    if (!SplitDrivePath(dir, &parts)) {
      return Fail(error, drive.string(), 0, "cannot keep the folder \"" + dir + "\": not X:\\...");
    }
    fs::path target = local_path(parts, parts.size());
    fs::create_directories(target, ec);
    if (ec) return Fail(error, target.string(), 0, "cannot be created: " + Describe(ec));
  }
  for (const std::string& file : machine.ListFiles()) {
    if (!SplitDrivePath(file, &parts) || parts.size() < 2) {
      return Fail(error, drive.string(), 0, "cannot keep the file \"" + file + "\": not X:\\...");
    }
    fs::path target = local_path(parts, parts.size() - 1) / parts.back();
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
      return Fail(error, target.parent_path().string(), 0, "cannot be created: " + Describe(ec));
    }
    std::string contents;
    machine.ReadFile(file, &contents);
    std::string why;
    std::string failed;
    if (!WriteWholeFile(target.string(), contents, &failed, &why)) {
      return Fail(error, failed, 0, why);
    }
  }
  return true;
}

bool ReadFolderFile(const fs::path& dir, const char* name, std::string* contents,
                    MachineFolderError* error);

// GetDriveTypeA's types by name, at their numbers.
const char* const kDriveTypeNames[] = {"unknown", "none",  "removable", "fixed",
                                       "remote",  "cdrom", "ramdisk"};

std::string MachineText(const SimMachine& machine, SessionRequest pending) {
  std::string text = "; netrevive-sim machine\n";
  text += "windows_dir=" + QuoteIfNeeded(machine.windows_dir()) + "\n";
  text += "program=" + QuoteIfNeeded(machine.self_path()) + "\n";
  text += std::string("pending=") + NamesOf(pending).word + "\n";
  std::string drives;
  for (const auto& [letter, type] : machine.drive_types()) {
    if (type < sizeof(kDriveTypeNames) / sizeof(kDriveTypeNames[0])) {
      drives += (drives.empty() ? "" : " ") + std::string(1, letter) + ":" + kDriveTypeNames[type];
    }
  }
  text += "drives=" + drives + "\n";
  // The settings below are written only when they differ from the default.
  if (!machine.environment_variable("TMP", nullptr) &&
      !machine.environment_variable("TEMP", nullptr)) {
    text += "temp=unset\n";
  } else if (machine.temp_path() != machine.windows_dir() + "\\TEMP\\") {
    text += "temp=" + QuoteIfNeeded(machine.temp_path()) + "\n";
  }
  if (machine.setup_cancels() > 0) {
    text += "setup_cancels=" + std::to_string(machine.setup_cancels()) + "\n";
  }
  if (machine.upgrade_stays()) text += "upgrade_stays=yes\n";
  if (!machine.upgrade_restores_winsock2()) text += "upgrade_restores_winsock2=no\n";
  if (machine.tcp_chain_broken()) text += "tcp_chain_broken=yes\n";
  return text;
}

// The attribute letters of attributes.txt, at their bits.
constexpr struct {
  char letter;
  uint32_t bit;
} kAttributeLetters[] = {{'R', kFileAttributeReadOnly},
                         {'H', kFileAttributeHidden},
                         {'S', kFileAttributeSystem},
                         {'A', kFileAttributeArchive}};

// One line per file whose attributes are not archive alone (what a new file
// gets): the letters, or "-" for none, a blank and the file's path.
std::string AttributesText(const SimMachine& machine) {
  std::string text = "; file attributes: R read-only, H hidden, S system, A archive;\n";
  text += "; files not named here have A alone\n";
  for (const std::string& file : machine.ListFiles()) {
    uint32_t attributes = machine.Attributes(file);
    if (attributes == kFileAttributeArchive) continue;
    std::string letters;
    for (const auto& a : kAttributeLetters) {
      if ((attributes & a.bit) != 0) letters += a.letter;
    }
    text += (letters.empty() ? "-" : letters) + " " + file + "\n";
  }
  return text;
}

bool LoadAttributes(const fs::path& dir, SimMachine* machine, MachineFolderError* error) {
  fs::path path = dir / kAttributesFile;
  std::error_code ec;
  if (!fs::exists(path, ec)) return true;  // a folder from before attributes were kept
  std::string text;
  if (!ReadFolderFile(dir, kAttributesFile, &text, error)) return false;
  return ForEachContentLine(text, [&](int line, const std::string& trimmed) {
    size_t blank = trimmed.find(' ');
    std::string letters = trimmed.substr(0, blank);
    std::string file = blank == std::string::npos ? "" : Trim(trimmed.substr(blank + 1));
    uint32_t attributes = 0;
    for (char c : letters == "-" ? std::string() : letters) {
      uint32_t bit = 0;
      for (const auto& a : kAttributeLetters) bit = a.letter == c ? a.bit : bit;
      if (bit == 0) {
        return Fail(error, path.string(), line,
                    "expected attribute letters (R, H, S, A or -), a blank and a file, found \"" +
                        trimmed + "\"");
      }
      attributes |= bit;
    }
    if (!machine->FileExists(file)) {
      return Fail(error, path.string(), line, "no such file in drive/: \"" + file + "\"");
    }
    machine->SetAttributes(file, attributes);
    return true;
  });
}

std::string VersionText(const OsVersion& version) {
  char build[16];
  snprintf(build, sizeof(build), "0x%08X", version.build_number);
  std::string text = "; GetVersionExA: dwPlatformId, dwMajorVersion, dwMinorVersion,\n";
  text += "; dwBuildNumber, szCSDVersion\n";
  text += "platform=" + std::to_string(version.platform_id) + "\n";
  text += "major=" + std::to_string(version.major_version) + "\n";
  text += "minor=" + std::to_string(version.minor_version) + "\n";
  text += std::string("build=") + build + "\n";
  text += "csd=\"" + std::string(version.csd_version) + "\"\n";
  return text;
}

bool ReadFolderFile(const fs::path& dir, const char* name, std::string* contents,
                    MachineFolderError* error) {
  fs::path path = dir / name;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return Fail(error, path.string(), 0, "missing");
  std::string why;
  if (!ReadWholeFile(path.string(), contents, &why)) return Fail(error, path.string(), 0, why);
  return true;
}

bool LoadVersion(const fs::path& dir, SimMachine* machine, MachineFolderError* error) {
  std::string text;
  if (!ReadFolderFile(dir, kVersionFile, &text, error)) return false;
  std::string file = (dir / kVersionFile).string();
  std::map<std::string, Setting> settings;
  if (!ParseSettings(file, text, {"platform", "major", "minor", "build", "csd"}, &settings,
                     error)) {
    return false;
  }
  uint32_t numbers[4] = {};
  const char* names[4] = {"platform", "major", "minor", "build"};
  for (int i = 0; i < 4; ++i) {
    if (!Require(file, settings, names[i], error)) return false;
    if (!ParseNumber(file, settings[names[i]], names[i], &numbers[i], error)) return false;
  }
  if (!Require(file, settings, "csd", error)) return false;
  const Setting& csd = settings["csd"];
  if (csd.value.size() >= sizeof(OsVersion{}.csd_version)) {
    return Fail(error, file, csd.line, "csd is longer than 127 characters");
  }
  machine->SetVersion(numbers[0], numbers[1], numbers[2], numbers[3], csd.value);
  return true;
}

bool LoadMachineSettings(const fs::path& dir, SimMachine* machine, SessionRequest* pending,
                         MachineFolderError* error) {
  std::string text;
  if (!ReadFolderFile(dir, kMachineFile, &text, error)) return false;
  std::string file = (dir / kMachineFile).string();
  std::map<std::string, Setting> settings;
  if (!ParseSettings(file, text,
                     {"windows_dir", "program", "pending", "drives", "temp", "setup_cancels",
                      "upgrade_stays", "upgrade_restores_winsock2", "tcp_chain_broken"},
                     &settings, error)) {
    return false;
  }
  if (!Require(file, settings, "windows_dir", error) ||
      !Require(file, settings, "program", error)) {
    return false;
  }
  const Setting& windows_dir = settings["windows_dir"];
  std::vector<std::string> parts;
  if (!SplitDrivePath(windows_dir.value, &parts) || parts.size() < 2) {
    return Fail(error, file, windows_dir.line,
                "windows_dir must be a folder on a drive, such as C:\\WINDOWS");
  }
  if (settings["program"].value.empty()) {
    return Fail(error, file, settings["program"].line, "program is empty");
  }
  *pending = SessionRequest::kNone;
  if (settings.count("pending") != 0) {
    const Setting& p = settings["pending"];
    const SessionEndNames* found = nullptr;
    std::string words;
    const size_t count = sizeof kSessionEndNames / sizeof kSessionEndNames[0];
    for (size_t i = 0; i < count; ++i) {
      if (p.value == kSessionEndNames[i].word) found = &kSessionEndNames[i];
      words += std::string(i == 0 ? "" : i + 1 == count ? " or " : ", ") + kSessionEndNames[i].word;
    }
    if (found == nullptr) {
      return Fail(error, file, p.line, "pending must be " + words + ", not \"" + p.value + "\"");
    }
    *pending = found->request;
  }
  if (settings.count("drives") != 0) {
    // "A:removable C:fixed ...": the machine's drives replace the default ones.
    const Setting& drives = settings["drives"];
    std::map<char, uint32_t> types;
    std::istringstream words(drives.value);
    std::string word;
    while (words >> word) {
      uint32_t type = 0;
      const size_t names = sizeof(kDriveTypeNames) / sizeof(kDriveTypeNames[0]);
      while (type < names && word.substr(2) != kDriveTypeNames[type]) ++type;
      char letter = word.empty() ? '\0' : word[0];
      letter = UpperAscii(letter);
      if (word.size() < 3 || word[1] != ':' || letter < 'A' || letter > 'Z' || type == names ||
          types.count(letter) != 0) {
        return Fail(error, file, drives.line,
                    "drives: expected LETTER:TYPE words, each letter once, TYPE one of unknown, "
                    "none, removable, fixed, remote, cdrom, ramdisk; found \"" +
                        word + "\"");
      }
      types[letter] = type;
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter) machine->set_drive_type(letter, 1);
    for (const auto& [letter, type] : types) machine->set_drive_type(letter, type);
  }
  if (settings.count("setup_cancels") != 0) {
    const Setting& cancels = settings["setup_cancels"];
    char* end = nullptr;
    long count = strtol(cancels.value.c_str(), &end, 10);
    if (cancels.value.empty() || *end != '\0' || count < 0 || count > 1000) {
      return Fail(error, file, cancels.line, "setup_cancels must be a number from 0 to 1000");
    }
    machine->set_setup_cancels(static_cast<int>(count));
  }
  if (!ReadYesNo(file, settings, "upgrade_stays", &SimMachine::set_upgrade_stays, machine, error) ||
      !ReadYesNo(file, settings, "upgrade_restores_winsock2",
                 &SimMachine::set_upgrade_restores_winsock2, machine, error) ||
      !ReadYesNo(file, settings, "tcp_chain_broken", &SimMachine::set_tcp_chain_broken, machine,
                 error)) {
    return false;
  }
  // Windows 98 sets TMP and TEMP to its TEMP folder unless AUTOEXEC.BAT
  // sets them; "unset" leaves both out, and GetTempPathA then gives the
  // folder the program was started from.
  machine->set_environment_variable("TMP", windows_dir.value + "\\TEMP");
  machine->set_environment_variable("TEMP", windows_dir.value + "\\TEMP");
  if (settings.count("temp") != 0) {
    const Setting& temp = settings["temp"];
    if (temp.value == "unset") {
      machine->unset_environment_variable("TMP");
      machine->unset_environment_variable("TEMP");
    } else if (temp.value.size() < 3 || temp.value[1] != ':' || temp.value.back() != '\\') {
      return Fail(error, file, temp.line,
                  "temp must be unset or a folder on a drive ending in a backslash, such as "
                  "C:\\TEMP\\");
    } else {
      machine->set_temp_path(temp.value);
    }
  }
  machine->set_windows_dir(windows_dir.value);
  machine->set_self_path(settings["program"].value);
  return true;
}

bool LoadRegistry(const fs::path& dir, SimMachine* machine, MachineFolderError* error) {
  std::string text;
  if (!ReadFolderFile(dir, kRegistryFile, &text, error)) return false;
  std::string file = (dir / kRegistryFile).string();
  RegFile reg;
  RegFileError reg_error;
  if (!ParseRegFile(text, &reg, &reg_error)) {
    return Fail(error, file, reg_error.line, reg_error.message);
  }
  for (const RegFileKey& key : reg.keys) {
    std::string root = key.path.substr(0, key.path.find('\\'));
    if (root != "HKEY_LOCAL_MACHINE" && root != "HKEY_CLASSES_ROOT") {
      return Fail(error, file, key.line,
                  "the simulated machine keeps only HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT, "
                  "not " +
                      root);
    }
  }
  std::string import_error;
  if (!ImportRegFile(reg, machine, &import_error)) return Fail(error, file, 0, import_error);
  return true;
}

}  // namespace

std::string MachineFolderError::ToString() const {
  if (line > 0) return file + ":" + std::to_string(line) + ": " + message;
  return file + ": " + message;
}

bool LoadMachineFolder(const std::string& dir, SimMachine* machine, SessionRequest* pending,
                       MachineFolderError* error) {
  fs::path root(dir);
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return Fail(error, dir, 0, "not a folder");

  SimMachine loaded;
  SessionRequest loaded_pending = SessionRequest::kNone;
  if (!LoadVersion(root, &loaded, error)) return false;
  if (!LoadMachineSettings(root, &loaded, &loaded_pending, error)) return false;
  if (!LoadRegistry(root, &loaded, error)) return false;
  std::set<std::string> folders;  // normalised
  if (!LoadDrive(root / kDriveFolder, &loaded, &folders, error)) return false;
  if (!LoadAttributes(root, &loaded, error)) return false;
  // An empty machine starts with C:\WINDOWS; only the folders of the drive
  // tree, those above its files and the Windows directory remain.
  for (const std::string& file : loaded.ListFiles()) {
    std::string normal = SimMachine::NormalizeFilePath(file);
    AddFolderAndParents(normal.substr(0, normal.rfind('\\')), &folders);
  }
  AddFolderAndParents(SimMachine::NormalizeFilePath(loaded.windows_dir()), &folders);
  for (const std::string& dir : loaded.ListDirectories()) {
    if (folders.count(SimMachine::NormalizeFilePath(dir)) == 0) loaded.RemoveDirectory(dir);
  }
  loaded.set_helper_model(DefaultHelperModel);

  *machine = loaded;
  *pending = loaded_pending;
  return true;
}

bool SaveMachineFolder(const std::string& dir, const SimMachine& machine, SessionRequest pending,
                       MachineFolderError* error) {
  fs::path root(dir);
  std::error_code ec;
  fs::create_directories(root, ec);
  if (ec || !fs::is_directory(root, ec)) {
    return Fail(error, dir, 0, "cannot be created: " + (ec ? Describe(ec) : "not a folder"));
  }
  const std::pair<const char*, std::string> files[] = {
      {kRegistryFile, WriteRegFile(ExportRegFile(machine))},
      {kVersionFile, VersionText(machine.version())},
      {kMachineFile, MachineText(machine, pending)},
      {kAttributesFile, AttributesText(machine)},
  };
  for (const auto& [name, contents] : files) {
    std::string failed, why;
    if (!WriteWholeFile((root / name).string(), contents, &failed, &why)) {
      return Fail(error, failed, 0, why);
    }
  }
  fs::path drive = root / kDriveFolder;
  fs::path fresh = drive;
  fresh += ".new";
  fs::remove_all(fresh, ec);
  if (!SaveDrive(fresh, machine, error)) return false;
  std::string why;
  if (!ReplaceWith(fresh.string(), drive.string(), &why))
    return Fail(error, drive.string(), 0, why);
  return true;
}

}  // namespace netrevive::rehearsal
