#include "rehearsal/machine_export.h"

#include <stdlib.h>

#include <string>

#include "platform/simulated_pc/sim_paths.h"
#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/files.h"
#include "rehearsal/regedit4.h"

namespace netrevive::rehearsal {

using simulated_pc::EqualsNoCase;
using simulated_pc::kMsdunPath;
using simulated_pc::kRunOncePath;
using simulated_pc::MakeDefaultMachine;
using simulated_pc::RegValue;
using simulated_pc::SessionRequest;
using simulated_pc::SimMachine;
using simulated_pc::StartsWithNoCase;
using simulated_pc::UpperAscii;

namespace {

constexpr const char kCurrentVersion[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char kNtCurrentVersion[] = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion";
// On Windows 9x HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\SOFTWARE\Classes, which
// is where a whole-registry export holds it.
constexpr const char kClassesInHklm[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES";

int LineOf(const std::string& text, size_t offset) {
  int line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) line += text[i] == '\n' ? 1 : 0;
  return line;
}

// The key path as the simulated machine holds it, "" for a root it does not
// simulate (HKEY_USERS, HKEY_CURRENT_USER, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA).
std::string SimulatedPath(const std::string& path) {
  const std::string upper = UpperAscii(path);
  const std::string classes = kClassesInHklm;
  if (upper == classes) return "HKEY_CLASSES_ROOT";
  if (upper.compare(0, classes.size() + 1, classes + "\\") == 0) {
    return "HKEY_CLASSES_ROOT" + path.substr(classes.size());
  }
  if (StartsWithNoCase(path, "HKEY_LOCAL_MACHINE") || StartsWithNoCase(path, "HKEY_CLASSES_ROOT")) {
    return path;
  }
  return "";
}

std::string ParentOf(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

bool IsRoot(const std::string& path) { return path.find('\\') == std::string::npos; }

// Removes what the machine holds at a branch the export replaces.
void ClearBranch(SimMachine* machine, const std::string& path) {
  if (!IsRoot(path)) {
    machine->DeleteKey(path);
    return;
  }
  for (const std::string& child : machine->ListKeys(path)) machine->DeleteKey(path + "\\" + child);
  for (const RegValue& value : machine->ListValues(path)) machine->DeleteValue(path, value.name);
}

// Reads the file whole; checks what a regedit export of Windows 98 must be
// before its lines are read.
bool ReadExport(const std::string& name, std::string* text, std::string* error) {
  std::string why;
  if (!ReadWholeFile(name, text, &why)) {
    *error = name + ": cannot be read";
    return false;
  }
  if (text->empty()) {
    *error = name + ":1: the file is empty (0 bytes), not a registry export";
    return false;
  }
  const std::string& t = *text;
  if (t.size() >= 2 && ((t[0] == '\xFF' && t[1] == '\xFE') || (t[0] == '\xFE' && t[1] == '\xFF'))) {
    *error = name +
             ":1: a Unicode (REGEDIT5) export, as the regedit of Windows 2000 and later writes; "
             "export the registry with Windows 98's own regedit (regedit /e FILE.reg), which "
             "writes REGEDIT4";
    return false;
  }
  if (StartsWithNoCase(t, "Windows Registry Editor Version 5")) {
    *error = name +
             ":1: a REGEDIT5 export (\"Windows Registry Editor Version 5.00\"), as the regedit "
             "of Windows 2000 and later writes; export the registry with Windows 98's own "
             "regedit (regedit /e FILE.reg), which writes REGEDIT4";
    return false;
  }
  size_t nul = t.find('\0');
  if (nul != std::string::npos) {
    *error = name + ":" + std::to_string(LineOf(t, nul)) +
             ": binary data (a NUL byte), not a REGEDIT4 text export";
    return false;
  }
  return true;
}

// Reads, checks and parses one export file.
bool ReadOneExport(const std::string& name, RegFile* file, std::string* error) {
  std::string text;
  if (!ReadExport(name, &text, error)) return false;
  RegFileError parse_error;
  const bool parsed = ParseRegFile(text, file, &parse_error);
  auto ends_with = [&text](const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
  };
  const bool ends_a_line = ends_with("\n");
  const bool ends_with_blank = ends_with("\n\n") || ends_with("\n\r\n");
  const int last_line = LineOf(text, ends_a_line ? text.size() - 1 : text.size());
  if (!parsed && !(parse_error.line > 1 && parse_error.line >= last_line && !ends_a_line)) {
    *error = name + ":" + std::to_string(parse_error.line) + ": " + parse_error.message;
    return false;
  }
  if (!parsed || !ends_with_blank) {
    *error = name + ":" + std::to_string(last_line) +
             ": the file is cut short: a regedit export ends with a blank line after its last "
             "key";
    return false;
  }
  return true;
}

// A branch an export replaced, and the file it came from.
struct Branch {
  std::string path;  // as the machine holds it
  std::string file;
  bool absent = false;  // the file, named for the branch, holds none of it
};

bool SameOrBelow(const std::string& path, const std::string& top) {
  return EqualsNoCase(path, top) || (path.size() > top.size() && path[top.size()] == '\\' &&
                                     EqualsNoCase(path.substr(0, top.size()), top));
}

// The file the key's content came from: the last export whose branch holds
// the key ("" for none). With part, also an export holding only keys below it.
std::string FactSource(const std::vector<Branch>& branches, const std::string& key, bool part,
                       bool* absent = nullptr) {
  const std::string path = SimulatedPath(key);
  std::string file;
  for (const Branch& branch : branches) {
    if (SameOrBelow(path, branch.path) || (part && SameOrBelow(branch.path, path))) {
      file = branch.file;
      if (absent != nullptr) *absent = branch.absent;
    }
  }
  return file;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file named as the guide names a branch's export but holding none of it:
// regedit found no such key on the PC, which the caller's file says by
// holding only its REGEDIT4 line. The key goes from the machine too.
void AbsentBranches(const std::vector<std::string>& files, std::vector<Branch>* branches,
                    SimMachine* machine) {
  for (const std::string& file : files) {
    for (const ExportBranch& wanted : ExportBranches()) {
      if (!EqualsNoCase(BaseName(file), wanted.file)) continue;
      const std::string path = SimulatedPath(wanted.key);
      bool held = false;
      for (const Branch& branch : *branches) {
        held = held || (branch.file == file &&
                        (SameOrBelow(path, branch.path) || SameOrBelow(branch.path, path)));
      }
      if (held) continue;
      machine->DeleteKey(path);
      branches->push_back(Branch{path, file, true});
    }
  }
}

// The facts the repair reads from the registry, where each came from.
void FactNotes(const std::vector<Branch>& branches, std::vector<std::string>* notes) {
  for (const ExportBranch& fact : ExportBranches()) {
    bool absent = false;
    std::string file = FactSource(branches, fact.key, false, &absent);
    std::string from = file.empty() ? ""
                       : absent     ? "from " + file + ": " + fact.key + " is not on the PC"
                                    : "from " + file;
    if (from.empty()) {
      file = FactSource(branches, fact.key, true);
      from = file.empty()
                 ? "from the default machine (no export holds " + std::string(fact.key) + ")"
                 : "partly from " + file + ", the rest from the default machine (" +
                       std::string(fact.key) + " is not exported whole)";
    }
    notes->push_back("fact: " + std::string(fact.facts) + ": " + from);
  }
}

// The version the exports give; the default machine's when none holds the
// CurrentVersion key itself.
bool VersionFromExport(SimMachine* machine, bool exported, std::vector<std::string>* notes) {
  std::string nt;
  if (machine->GetString(kNtCurrentVersion, "CurrentVersion", &nt)) {
    machine->SetVersion(2, 4, 0, 1381, "");  // platform 2: the NT family
    notes->push_back("version: Windows NT (CurrentVersion \"" + nt +
                     "\" under Windows NT\\CurrentVersion in the export)");
    return true;
  }
  std::string number;
  std::string sub;
  if (!exported) {
    notes->push_back(
        "version: no export holds the CurrentVersion key; the default machine's Windows 98 SE "
        "(4.10.2222 A) is used");
    return true;
  }
  if (!machine->GetString(kCurrentVersion, "VersionNumber", &number)) {
    notes->push_back(
        "version: the export holds no VersionNumber; the default machine's Windows 98 SE "
        "(4.10.2222 A) is used");
    return true;
  }
  machine->GetString(kCurrentVersion, "SubVersionNumber", &sub);
  // "4.10.2222": major, minor and build, as GetVersionExA gives them.
  unsigned long parts[3] = {0, 0, 0};
  const char* p = number.c_str();
  for (int i = 0; i < 3; ++i) {
    char* end = nullptr;
    parts[i] = strtoul(p, &end, 10);
    if (end == p || (i < 2 && *end != '.') || (i == 2 && *end != '\0') || parts[i] > 0xFFFF) {
      return false;
    }
    p = end + 1;
  }
  uint32_t major = static_cast<uint32_t>(parts[0]);
  uint32_t minor = static_cast<uint32_t>(parts[1]);
  uint32_t build = major << 24 | minor << 16 | static_cast<uint32_t>(parts[2]);
  machine->SetVersion(kPlatformWin32Windows, major, minor, build, sub);
  if (minor == 90) simulated_pc::AddMeClassesFile(machine);
  notes->push_back("version: " + number + " \"" + sub +
                   "\" (VersionNumber and SubVersionNumber "
                   "of the export)");
  return true;
}

}  // namespace

const std::vector<ExportBranch>& ExportBranches() {
  static const std::vector<ExportBranch> kBranches = {
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion", "NRVER.REG",
       "the Windows version and folder, a DUN upgrade (Uninstall), RunOnce entries, the setup "
       "files' folder (Setup)"},
      {"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Winsock2", "NRWS2.REG",
       "the Winsock 2 settings and their TCP/IP catalogue"},
      {"HKEY_CLASSES_ROOT\\dunfile", "NRDUN.REG", "whether Dial-Up Networking is installed"},
  };
  return kBranches;
}

std::string ExportCommand(const ExportBranch& branch) {
  return "regedit /e A:\\" + std::string(branch.file) + " \"" + branch.key + "\"";
}

bool MachineFromExport(const ExportSettings& settings, SimMachine* machine, SessionRequest* pending,
                       std::vector<std::string>* notes, std::string* error) {
  // Every file is read and checked before any is used.
  std::vector<RegFile> files;
  for (const std::string& name : settings.files) {
    files.emplace_back();
    if (!ReadOneExport(name, &files.back(), error)) return false;
  }

  // The Windows directory, where the default machine's files go.
  std::string windows_dir = "C:\\WINDOWS";
  for (const RegFile& file : files) {
    for (const RegFileKey& key : file.keys) {
      if (key.remove || !EqualsNoCase(key.path, kCurrentVersion)) continue;
      for (const RegFileValue& value : key.values) {
        if (EqualsNoCase(value.name, "SystemRoot") && value.type == kRegSz &&
            value.data.size() > 1 && !value.remove) {
          windows_dir.assign(value.data.begin(), value.data.end() - 1);
          windows_dir.resize(windows_dir.find('\0') == std::string::npos ? windows_dir.size()
                                                                         : windows_dir.find('\0'));
        }
      }
    }
  }
  SimMachine built = MakeDefaultMachine(windows_dir);

  // Every branch an export holds replaces the machine's; a key whose parent
  // the export holds too belongs to that parent's branch (regedit writes a
  // key after its parent). Later files win over earlier ones.
  std::vector<Branch> branches;
  for (size_t f = 0; f < files.size(); ++f) {
    RegFile& file = files[f];
    const std::string& name = settings.files[f];
    std::vector<std::string> chain;  // upper-case paths from a branch's top to the last key
    size_t keys = 0;
    size_t skipped = 0;
    std::string shown;
    size_t shown_count = 0;
    for (RegFileKey& key : file.keys) {
      const std::string path = SimulatedPath(key.path);
      if (path.empty()) {
        ++skipped;
        continue;
      }
      const std::string upper = UpperAscii(key.path);
      while (!chain.empty() &&
             upper.compare(0, chain.back().size() + 1, chain.back() + "\\") != 0) {
        chain.pop_back();
      }
      // HKLM\SOFTWARE\Classes itself stands for the whole of HKEY_CLASSES_ROOT.
      if (chain.empty() || chain.back() != UpperAscii(ParentOf(key.path)) || IsRoot(path)) {
        ClearBranch(&built, path);
        branches.push_back(Branch{path, name});
        if (shown_count++ < 6) shown += (shown.empty() ? "" : ", ") + path;
      }
      chain.push_back(upper);
      ++keys;
      if (key.remove) {
        built.DeleteKey(path);
        continue;
      }
      // The data moves into the machine, so the file's copy is given up key
      // by key.
      std::vector<RegValue> values;
      for (RegFileValue& value : key.values) {
        if (value.remove) {
          built.SetValues(path, std::move(values));
          values.clear();
          built.DeleteValue(path, value.name);
        } else {
          values.push_back(RegValue{std::move(value.name), value.type, std::move(value.data)});
        }
      }
      built.SetValues(path, std::move(values));
      key.values = std::vector<RegFileValue>();
    }
    file = RegFile();
    if (shown_count > 6) shown += " and " + std::to_string(shown_count - 6) + " more";
    notes->push_back("registry: " + std::to_string(keys) + " keys from " + name +
                     (skipped == 0 ? std::string()
                                   : " (" + std::to_string(skipped) +
                                         " keys of HKEY_USERS and other roots the program does "
                                         "not read are left out)") +
                     "; branches: " + (shown.empty() ? "none" : shown));
  }
  AbsentBranches(settings.files, &branches, &built);
  if (windows_dir != "C:\\WINDOWS") notes->push_back("Windows directory: " + windows_dir);
  const std::string version_file = FactSource(branches, kCurrentVersion, false);
  if (!VersionFromExport(&built, !version_file.empty(), notes)) {
    *error = version_file + ": the VersionNumber under " + kCurrentVersion +
             " is not of the form 4.10.2222";
    return false;
  }
  FactNotes(branches, notes);

  // What the registry shows of files: an upgrade removed by dunsetup.exe
  // brought that program along.
  std::string uninstall;
  if (built.GetString(kMsdunPath, "UninstallString", &uninstall) &&
      StartsWithNoCase(uninstall, "dunsetup.exe")) {
    built.PutFile(built.windows_dir() + "\\system\\dunsetup.exe", "MZ dunsetup");
  }
  if (settings.marker) {
    built.PutFile(built.windows_dir() + "\\rundunreinst.QU", "REINSTALL\n");
    notes->push_back("rundunreinst.QU is in the Windows directory (--marker)");
  }
  for (const std::string& name : settings.missing) {
    bool full = name.size() >= 2 && name[1] == ':';
    std::string path = full ? name : built.windows_dir() + "\\" + name;
    if (!built.RemoveFile(path)) {
      std::string files;
      for (const std::string& f : built.ListFiles()) files += (files.empty() ? "" : ", ") + f;
      *error = "--missing " + name + ": the simulated PC has no file " + path +
               " (its files: " + files + ")";
      return false;
    }
    notes->push_back("missing: " + path + " (--missing)");
  }
  *pending = SessionRequest::kNone;
  if (!built.ListValues(kRunOncePath).empty()) {
    *pending = SessionRequest::kRestart;
    notes->push_back("the export holds RunOnce entries: they run at the next start of Windows");
  }
  *machine = std::move(built);
  return true;
}
std::string ExportNames(const std::vector<std::string>& files) {
  std::string names;
  for (size_t i = 0; i < files.size(); ++i) {
    names += (i == 0 ? "" : i + 1 == files.size() ? " and " : ", ") + files[i];
  }
  return names;
}

}  // namespace netrevive::rehearsal
