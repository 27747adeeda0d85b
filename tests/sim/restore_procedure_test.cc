// The registry restore procedure of README.TXT and the support guide, typed
// line by line at a simulated MS-DOS prompt on the drive a repair left.

#include "support_kit/restore_procedure.h"

#include <ctype.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/test.h"

namespace netrevive::simulated_pc {
namespace {

using netrevive::testing::ResumeAfterRestart;
using netrevive::testing::RunFresh;
using netrevive::testing::RunOutput;
using support_kit::RestoreProcedureCommands;
using support_kit::RestoreProcedureText;

constexpr uint32_t kReadOnly = kFileAttributeReadOnly;
constexpr uint32_t kHidden = kFileAttributeHidden;
constexpr uint32_t kSystem = kFileAttributeSystem;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line + " ") {
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

// MS-DOS 7's prompt as far as the procedure needs it: drive changes, cd,
// attrib and copy. copy does not see hidden or system files and will not
// write over a read-only, hidden or system file; attrib leaves a hidden or
// system file alone unless the line changes that attribute too.
class DosPrompt {
 public:
  explicit DosPrompt(SimMachine& machine) : machine_(machine) {}

  // What MS-DOS answers to the line.
  std::string Type(const std::string& line) {
    std::vector<std::string> words = Words(line);
    if (words.empty()) return "";
    const std::string verb = Lower(words[0]);
    if (words.size() == 1 && verb.size() == 2 && verb[1] == ':') {
      drive_ = static_cast<char>(toupper(static_cast<unsigned char>(verb[0])));
      return "";
    }
    if (verb == "cd" && words.size() == 2) return ChangeDirectory(words[1]);
    if (verb == "attrib" && words.size() >= 3) return Attrib(words);
    if (verb == "copy" && words.size() == 3) return Copy(words[1], words[2]);
    return "Bad command or file name";
  }

 private:
  std::string Full(const std::string& name) const {
    if (name.size() >= 2 && name[1] == ':') return name;
    std::string dir = std::string(1, drive_) + ":" + Directory();
    if (!name.empty() && name[0] == '\\') return std::string(1, drive_) + ":" + name;
    return dir == std::string(1, drive_) + ":\\" ? dir + name : dir + "\\" + name;
  }
  std::string Directory() const {
    auto it = directories_.find(drive_);
    return it == directories_.end() ? "\\" : it->second;
  }
  std::string ChangeDirectory(const std::string& to) {
    std::string full = Full(to);
    if (!machine_.DirectoryExists(full)) return "Invalid directory";
    directories_[drive_] = full.substr(2);
    return "";
  }
  std::string Attrib(const std::vector<std::string>& words) {
    uint32_t set = 0;
    uint32_t clear = 0;
    for (size_t i = 1; i + 1 < words.size(); ++i) {
      const std::string flag = Lower(words[i]);
      const uint32_t bit = flag.size() != 2 ? 0
                           : flag[1] == 'r' ? kReadOnly
                           : flag[1] == 'h' ? kHidden
                           : flag[1] == 's' ? kSystem
                           : flag[1] == 'a' ? kFileAttributeArchive
                                            : 0;
      if (bit == 0 || (flag[0] != '+' && flag[0] != '-')) return "Invalid switch";
      (flag[0] == '+' ? set : clear) |= bit;
    }
    const std::string file = Full(words.back());
    if (!machine_.FileExists(file)) return "File not found - " + words.back();
    const uint32_t now = machine_.Attributes(file);
    const uint32_t touched = set | clear;
    if ((now & kSystem) != 0 && (touched & kSystem) == 0) return "Not resetting system file";
    if ((now & kHidden) != 0 && (touched & kHidden) == 0) return "Not resetting hidden file";
    machine_.SetAttributes(file, (now & ~clear) | set);
    return "";
  }
  std::string Copy(const std::string& from, const std::string& to) {
    const std::string source = Full(from);
    const uint32_t source_attributes = machine_.Attributes(source);
    if (!machine_.FileExists(source) || (source_attributes & (kHidden | kSystem)) != 0) {
      return "File not found - " + from;
    }
    const std::string target = Full(to);
    const uint32_t target_attributes = machine_.Attributes(target);
    if (target_attributes != kInvalidFileAttributes) {
      if ((target_attributes & (kHidden | kSystem)) != 0) return "File creation error";
      if ((target_attributes & kReadOnly) != 0) return "Access denied";
    }
    std::string contents;
    machine_.ReadFile(source, &contents);
    machine_.PutFile(target, contents);
    machine_.SetAttributes(target, kFileAttributeArchive);
    return "1 file(s) copied";
  }

  SimMachine& machine_;
  char drive_ = 'A';  // a startup disk's prompt; MS-DOS mode starts on C: alike
  std::map<char, std::string> directories_;
};

// The lines the support guide gave before the procedure was written once:
// the backups' own attributes were left as they were.
const std::vector<std::string> kEarlierGuideLines = {"cd \\windows",
                                                     "attrib -h -s -r system.dat",
                                                     "attrib -h -s -r user.dat",
                                                     "copy system.dat system.bad",
                                                     "copy user.dat user.bad",
                                                     "copy system.tom system.dat",
                                                     "copy user.tom user.dat",
                                                     "attrib +h +s +r system.dat",
                                                     "attrib +h +s +r user.dat"};

struct RestoreCase {
  const char* name;
  std::vector<std::string> lines;
  uint32_t backup_attributes;  // 0: as the repair left them
  bool restored;
  const char* preset = "98se";  // ME keeps a third registry file, classes.dat
};

TEST(RestoreProcedureTest, PutsTheBackupsBackUnderMsDosRules) {
  const std::vector<std::string> procedure = RestoreProcedureCommands(RestoreProcedureText());
  ASSERT_GE(procedure.size(), 6u) << RestoreProcedureText();
  const std::vector<RestoreCase> cases = {
      {"the procedure, backups as the repair left them", procedure, 0, true},
      {"the procedure, backups hidden, system and read-only", procedure,
       kHidden | kSystem | kReadOnly, true},
      {"the earlier guide's lines, backups hidden, system and read-only", kEarlierGuideLines,
       kHidden | kSystem | kReadOnly, false},
      {"the procedure on Windows ME", procedure, 0, true, "me"},
  };
  for (const RestoreCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimMachine machine;
    ASSERT_TRUE(MakePresetMachine(c.preset, &machine));
    std::vector<std::string> files = {"C:\\WINDOWS\\system.dat", "C:\\WINDOWS\\user.dat"};
    if (machine.FileExists("C:\\WINDOWS\\classes.dat")) files.push_back("C:\\WINDOWS\\classes.dat");
    std::vector<std::string> before(files.size());
    for (size_t i = 0; i < files.size(); ++i) ASSERT_TRUE(machine.ReadFile(files[i], &before[i]));
    // The whole repair, then Windows writing its registry files anew.
    RunOutput run = RunFresh(machine);
    while (ResumeAfterRestart(machine, &run)) {
    }
    for (const std::string& name : files) {
      ASSERT_TRUE(machine.FileExists(name.substr(0, name.size() - 3) + "tom")) << name;
      machine.PutFile(name, "registry written by Windows after the repair");
      machine.SetAttributes(name, kHidden | kSystem | kReadOnly);
    }
    if (c.backup_attributes != 0) {
      machine.SetAttributes("C:\\WINDOWS\\system.tom", c.backup_attributes);
      machine.SetAttributes("C:\\WINDOWS\\user.tom", c.backup_attributes);
    }

    DosPrompt prompt(machine);
    std::string answers;
    for (const std::string& line : c.lines) answers += line + " -> " + prompt.Type(line) + "\n";
    bool restored = true;
    for (size_t i = 0; i < files.size(); ++i) {
      std::string after;
      machine.ReadFile(files[i], &after);
      restored = restored && after == before[i];
    }
    EXPECT_EQ(restored, c.restored) << answers;
    if (c.restored) {
      EXPECT_EQ(machine.Attributes("C:\\WINDOWS\\system.dat") & (kHidden | kSystem | kReadOnly),
                kHidden | kSystem | kReadOnly)
          << answers;
      EXPECT_EQ(answers.find("Bad command"), std::string::npos) << answers;
    }
  }
}

}  // namespace
}  // namespace netrevive::simulated_pc
