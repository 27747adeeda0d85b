// Input the program does not expect: command lines of any shape, its own
// path and the Windows directory at every length around its buffers,
// uninstall texts of every type and size, over-long subkey names and huge
// uninstall lists. Nothing may crash or write past a buffer (the sanitizer
// build checks that), every run keeps the rules of CheckRun, and every
// refusal says why.

#include <gtest/gtest.h>
#include <stdio.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_session_start.h"
#include "platform/simulated_pc/sim_snapshot.h"
#include "reliability/reliability_support.h"
#include "reliability/scenarios.h"

namespace netrevive::reliability {
namespace {

constexpr const char kUsage[] =
    "\nUsage: netrevive.exe\nPreforms the winsock 2 fix on Win9x computers\n\n"
    "Press any key to continue\n";
constexpr const char kSelfPathTooLong[] =
    "The path this program was started from is too long for it to restart itself.\n";
constexpr const char kNoWindowsDir[] = "Unable to find the Windows directory.\n";
constexpr const char kBlanksRefused[] =
    "The path this program was started from holds blanks, which Windows cannot\n";
constexpr const char kAwayRefused[] =
    "This program was started from a floppy disk or a network drive. It restarts\n";
constexpr const char kNotFullPath[] =
    "This program was not started by its full path, so it cannot restart itself.\n";
constexpr const char kBanner[] = "Netrevive Program.\n\n";

// The longest SelfPath that still takes " UpgradeRemove" in 512 bytes.
constexpr size_t kLongestSelfPath = 511 - 14;
// The longest a fresh run starts from: its resume commands must stay shorter
// than the 260 characters Windows 9x's shell reads of a RunOnce command.
constexpr size_t kLongestFreshSelfPath = 259 - 14;
// The longest WindowsDir GetWindowsDirectoryA can give in MAX_PATH bytes.
constexpr size_t kLongestWindowsDir = 259;

void ExpectRules(const simulated_pc::SimMachine& machine, const std::vector<std::string>& args,
                 const RunOutput& out, const std::string& what) {
  for (const std::string& b : CheckRun(machine, 1, ModeOf(args), out)) {
    ADD_FAILURE() << what << ": " << b;
  }
  EXPECT_EQ(out.transcript.compare(0, sizeof kBanner - 1, kBanner), 0) << what;
}

std::string Describe(const std::vector<std::string>& args) {
  std::string text = std::to_string(args.size()) + " args, lengths";
  for (size_t i = 0; i < args.size() && i < 6; ++i) text += " " + std::to_string(args[i].size());
  return text;
}

// Lengths to try: every one near the limits, a sparse few elsewhere.
std::vector<size_t> Lengths(const std::vector<std::pair<size_t, size_t>>& dense,
                            const std::vector<size_t>& sparse) {
  std::vector<size_t> out;
  for (const auto& range : dense) {
    for (size_t n = range.first; n <= range.second; ++n) out.push_back(n);
  }
  out.insert(out.end(), sparse.begin(), sparse.end());
  return out;
}

// What a fresh run on the default machine does with the path it was started
// by: the refusal it prints, or the resume entry it writes. Only the
// program's own file (kDefaultSelfPath) exists, so a path with blanks has
// no short form; A: is a floppy disk drive.
std::string ExpectedStart(const std::string& argv0) {
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  const bool full = argv0.compare(0, 2, "\\\\") == 0 ||
                    (argv0.size() >= 3 && letter(argv0[0]) && argv0[1] == ':' && argv0[2] == '\\');
  const std::string path = full ? argv0 : simulated_pc::kDefaultSelfPath;
  if (path.size() > 511) return kSelfPathTooLong;
  if (path.find_first_of(" \t") != std::string::npos) return kBlanksRefused;
  if (path.size() > kLongestSelfPath) return kSelfPathTooLong;
  if (path[0] == '\\' || path[0] == 'A' || path[0] == 'a') return kAwayRefused;
  return path + " ReinstallDUN";
}

std::string RandomBytes(std::mt19937& rng, size_t length) {
  std::string text(length, 'x');
  for (char& c : text) c = static_cast<char>(1 + rng() % 255);  // any byte but NUL
  return text;
}

// ---- Command lines ---------------------------------------------------------

TEST(BadInputTest, CommandLinesOfAnyCountLengthAndBytes) {
  const simulated_pc::SimMachine base = simulated_pc::MakeDefaultMachine();
  std::mt19937 rng(19980625);
  std::vector<std::vector<std::string>> cases = {
      {"C:\\NETREVIVE\\NETREVIVE.EXE", "upgraderemove"},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", "REINSTALLDUN"},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", "ReinstallDUN "},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", " UpgradeRemove"},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", "ReinstallDUN", "ReinstallDUN"},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", "UpgradeRemove", ""},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", ""},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", std::string(32768, 'A')},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", "Reinstall\xC4UN"},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", std::string("ReinstallDUN\xFF")},
      {std::string(32768, '\xE9')},
      {"\xFF\xFE\x80 \t\"\\"},
      {"C:\\NETRE VIVE\\NETREVIVE.EXE"},
      {"a:\\NETREVIVE.EXE"},
      {"\\\\SERVER\\SHARE\\NETREVIVE.EXE"},
      {"NETREVIVE"},
      {"C:NETREVIVE.EXE"},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", "-h"},
      {"C:\\NETREVIVE\\NETREVIVE.EXE", "/?"},
  };
  std::vector<std::string> hundred = {"C:\\NETREVIVE\\NETREVIVE.EXE"};
  for (int i = 1; i < 100; ++i) hundred.push_back(i % 2 ? "UpgradeRemove" : "ReinstallDUN");
  cases.push_back(hundred);
  for (int i = 0; i < 300; ++i) {
    std::vector<std::string> args;
    const size_t count = 1 + rng() % (i < 50 ? 3 : 100);
    for (size_t a = 0; a < count; ++a) {
      size_t length = rng() % 40;
      if (rng() % 20 == 0) length = rng() % 32768;
      std::string arg = RandomBytes(rng, length);
      // Some close to the mode words.
      if (a == 1 && rng() % 4 == 0) arg = (rng() % 2 ? "UpgradeRemove" : "ReinstallDUN") + arg;
      args.push_back(arg);
    }
    cases.push_back(args);
  }

  int usage_runs = 0;
  for (const std::vector<std::string>& args : cases) {
    simulated_pc::SimMachine machine = base;
    simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
    RunOutput out = RunProgram(machine, args);
    const std::string what = Describe(args);
    ExpectRules(machine, args, out, what);
    const bool word = args.size() == 2 && (args[1] == "UpgradeRemove" || args[1] == "ReinstallDUN");
    if (args.size() != 1 && !word) {
      // Anything but no argument or exactly one mode word is refused with
      // the usage text before the machine is touched at all: its calls set
      // the program's error mode and discard the keys pressed before its
      // pause.
      ++usage_runs;
      EXPECT_TRUE(Contains(out.transcript, kUsage)) << what;
      ASSERT_EQ(machine.call_count(), 2u) << what;
      EXPECT_EQ(machine.calls()[0].operation, Op::kSetErrorMode) << what;
      EXPECT_EQ(machine.calls()[1].operation, Op::kFlushConsoleInputBuffer) << what;
      EXPECT_TRUE(simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty())
          << what;
    } else if (args.size() == 1) {
      // A fresh run from a strange path: either the path is stored as it
      // resolves, or it is refused before anything changed.
      const std::string expected = ExpectedStart(args[0]);
      std::string entry;
      if (EndsWith(expected, " ReinstallDUN")) {
        ASSERT_TRUE(ResumeEntry(machine, &entry)) << what;
        EXPECT_EQ(entry, expected) << what;
      } else {
        EXPECT_TRUE(Contains(out.transcript, expected)) << what;
        EXPECT_TRUE(
            simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty())
            << what;
      }
    }
  }
  printf("command lines: %zu runs, %d refused with the usage text\n", cases.size(), usage_runs);
}

// The runtime may hand over no argument vector or a null argv[0]; the
// program then takes its own file's path, and refuses when it cannot.
TEST(BadInputTest, NoArgumentVectorOrNullArgumentZero) {
  struct Case {
    const char* name;
    int argc;
    std::vector<const char*> argv;  // empty: argv itself is null
    bool usage;
    bool own_name_fails = false;  // GetModuleFileNameA fails
  };
  const Case cases[] = {
      {"argc 0, argv null", 0, {}, true},
      {"argc 0, argv {null}", 0, {nullptr}, true},
      {"argc 2, argv[1] null", 2, {"C:\\NETREVIVE\\NETREVIVE.EXE", nullptr, nullptr}, true},
      {"argc 1, argv[0] null", 1, {nullptr, nullptr}, false},
      {"argc 1, argv[0] empty", 1, {"", nullptr}, false},
      {"argc 2 ReinstallDUN, argv[0] null", 2, {nullptr, "ReinstallDUN", nullptr}, false},
      {"argc 2 UpgradeRemove, argv[0] null", 2, {nullptr, "UpgradeRemove", nullptr}, false},
      {"argc 1, argv[0] null, no own name", 1, {nullptr, nullptr}, false, true},
      {"argc 2 UpgradeRemove, argv[0] empty, no own name",
       2,
       {"", "UpgradeRemove", nullptr},
       false,
       true},
      {"argc 2 ReinstallDUN, argv[0] null, no own name",
       2,
       {nullptr, "ReinstallDUN", nullptr},
       false,
       true},
  };
  for (const Case& c : cases) {
    simulated_pc::SimMachine machine = simulated_pc::MakeDefaultMachine();
    if (c.own_name_fails)
      machine.FailOperation(simulated_pc::Op::kGetModuleFileNameA, "", 122, true);
    if (!c.usage) machine.PutFile("C:\\WINDOWS\\rundunreinst.QU", "REINSTALL\n");
    RunOutput out = RunArgv(machine, c.argc, c.argv.empty() ? nullptr : c.argv.data());
    EXPECT_EQ(out.exit_status, 0) << c.name;
    EXPECT_EQ(out.transcript.compare(0, sizeof kBanner - 1, kBanner), 0) << c.name;
    EXPECT_EQ(Contains(out.transcript, kUsage), c.usage) << c.name;
    EXPECT_EQ(machine.DescribeOpenHandles(), "") << c.name;
    // A fresh or UpgradeRemove run schedules its next run from the
    // program's own file, or refuses before it changes the machine.
    const bool schedules = (!c.usage && c.argc == 1) || (c.argc == 2 && c.argv[1] != nullptr &&
                                                         std::string(c.argv[1]) == "UpgradeRemove");
    // A ReinstallDUN run schedules the Check from it, or finishes the
    // repair without one.
    const bool reinstalls =
        c.argc == 2 && c.argv[1] != nullptr && std::string(c.argv[1]) == "ReinstallDUN";
    std::string entry;
    if (schedules && !c.own_name_fails) {
      EXPECT_TRUE(ResumeEntry(machine, &entry)) << c.name;
      EXPECT_EQ(entry, std::string(simulated_pc::kDefaultSelfPath) + " ReinstallDUN") << c.name;
    } else if (reinstalls && !c.own_name_fails) {
      EXPECT_TRUE(ResumeEntry(machine, &entry)) << c.name;
      EXPECT_EQ(entry, std::string(simulated_pc::kDefaultSelfPath) + " Check") << c.name;
    } else {
      EXPECT_FALSE(ResumeEntry(machine, &entry)) << c.name << ": \"" << entry << "\"";
    }
    if (reinstalls) {
      EXPECT_EQ(machine.processes().size(), 3u) << c.name;
    }
    if (schedules && c.own_name_fails) {
      EXPECT_TRUE(Contains(out.transcript, kNotFullPath)) << c.name;
      EXPECT_TRUE(machine.KeyExists(simulated_pc::kWinsock2Path)) << c.name;
      EXPECT_TRUE(machine.processes().empty()) << c.name;
    }
  }
}

// ---- SelfPath --------------------------------------------------------------

TEST(BadInputTest, SelfPathOfEveryLengthAroundItsBuffer) {
  const std::vector<size_t> lengths = Lengths({{3, 64}, {240, 270}, {490, 520}, {720, 735}},
                                              {100, 128, 200, 300, 400, 600, 1000, 1023, 1024, 1025,
                                               2048, 4096, 8192, 16384, 32767, 32768});
  struct Form {
    const char* preset;
    const char* mode;    // "" for a fresh run
    const char* suffix;  // the entry the run writes after SelfPath
  };
  const Form forms[] = {
      {"98se", "", " ReinstallDUN"},
      {"upgrade-dunsetup", "", " UpgradeRemove"},
      {"upgrade-rundll32", "", ""},
      {"98se", "UpgradeRemove", " ReinstallDUN"},
  };
  int runs = 0;
  for (const Form& form : forms) {
    const simulated_pc::SimMachine base = Preset(form.preset);
    for (size_t length : lengths) {
      // A path with high bytes, as long as asked (one with blanks would be
      // replaced by its short form).
      std::string self = "C:\\ProgramFiles\\N\xE9tRevive\\";
      while (self.size() < length) self += static_cast<char>('a' + self.size() % 26);
      self.resize(length);
      simulated_pc::SimMachine machine = base;
      machine.set_max_path(0);
      simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
      std::vector<std::string> args = {self};
      if (form.mode[0] != '\0') args.push_back(form.mode);
      RunOutput out = RunProgram(machine, args);
      ++runs;
      const std::string what =
          std::string(form.preset) + " " + form.mode + ", SelfPath of " + std::to_string(length);
      ExpectRules(machine, args, out, what);
      std::string entry;
      if (length <= (form.mode[0] == '\0' ? kLongestFreshSelfPath : kLongestSelfPath)) {
        ASSERT_TRUE(ResumeEntry(machine, &entry)) << what;
        EXPECT_EQ(entry, self + form.suffix) << what;
      } else {
        EXPECT_TRUE(Contains(out.transcript, kSelfPathTooLong)) << what;
        EXPECT_TRUE(
            simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty())
            << what;
        EXPECT_TRUE(machine.processes().size() == base.processes().size()) << what;
      }
    }
  }
  printf("SelfPath lengths: %d runs\n", runs);
}

// Windows hands the RunOnce command line over unchanged and the C runtime
// would split an unquoted path with blanks into several arguments. The entry
// therefore holds the path's short form, which the resumed run gets whole.
TEST(BadInputTest, SelfPathWithBlanksIsStoredInItsShortForm) {
  const std::string self = "C:\\Program Files\\Net Revive\\netrevive.exe";
  simulated_pc::SimMachine machine = simulated_pc::MakeDefaultMachine();
  machine.PutFile(self, "MZ");
  machine.set_self_path(self);
  RunProgram(machine, {self});
  std::string entry;
  ASSERT_TRUE(ResumeEntry(machine, &entry));
  EXPECT_EQ(entry, "C:\\PROGRA~1\\NETREV~1\\NETREV~1.EXE ReinstallDUN");
  std::vector<std::string> resumed = simulated_pc::StartSessionUpToProgram(machine);
  EXPECT_EQ(resumed,
            (std::vector<std::string>{"C:\\PROGRA~1\\NETREV~1\\NETREV~1.EXE", "ReinstallDUN"}));
  machine.ResetCallLog();
  RunOutput out = RunProgram(machine, resumed);
  ExpectRules(machine, resumed, out, "resumed from a short path");
  EXPECT_TRUE(simulated_pc::DunInstalled(machine));
  EXPECT_FALSE(MarkerExists(machine));
}

// ---- WindowsDir ------------------------------------------------------------

std::string WindowsDirOf(size_t length) {
  if (length <= 2) return std::string("C:").substr(0, length);
  std::string dir = "C:\\";
  while (dir.size() < length) dir += (dir.size() % 9 == 0) ? '\\' : 'W';
  if (dir.back() == '\\') dir.back() = 'W';
  return dir;
}

TEST(BadInputTest, WindowsDirOfEveryLengthAroundTheBuffers) {
  const std::vector<size_t> lengths = Lengths(
      {{1, 80}, {250, 270}, {490, 520}, {720, 735}},
      {100, 128, 200, 256, 300, 400, 600, 1000, 1024, 2048, 4096, 8192, 16384, 32767, 32768});
  // kMe: a fresh run on Windows ME, whose classes.dat has the longest
  // backup name.
  enum class Kind { kFresh, kUpgrade, kNoDun, kReinstall, kMe };
  const Kind kinds[] = {Kind::kFresh, Kind::kUpgrade, Kind::kNoDun, Kind::kReinstall, Kind::kMe};
  int runs = 0;
  auto started = std::chrono::steady_clock::now();
  for (size_t length : lengths) {
    const std::string dir = WindowsDirOf(length);
    const simulated_pc::SimMachine base = simulated_pc::MakeDefaultMachine(dir);
    for (Kind kind : kinds) {
      simulated_pc::SimMachine machine = base;
      machine.set_max_path(0);
      std::vector<std::string> args = {machine.self_path()};
      if (kind == Kind::kUpgrade) simulated_pc::AddDunUpgrade(&machine, "dunsetup.exe /u");
      if (kind == Kind::kNoDun) simulated_pc::RemoveDun(&machine);
      if (kind == Kind::kMe) {
        machine.SetVersion(kPlatformWin32Windows, 4, 90, 0x045A0BB8, " ");
        machine.PutFile(dir + "\\classes.dat", "CREG classes");
      }
      if (kind == Kind::kReinstall) {
        machine.PutFile(dir + "\\rundunreinst.QU", "REINSTALL\n");
        args.push_back("ReinstallDUN");
      }
      simulated_pc::MachineSnapshot before = simulated_pc::TakeSnapshot(machine);
      RunOutput out = RunProgram(machine, args);
      ++runs;
      const std::string what = "WindowsDir of " + std::to_string(length) + ", kind " +
                               std::to_string(static_cast<int>(kind));
      ExpectRules(machine, args, out, what);
      if (length > kLongestWindowsDir) {
        // GetWindowsDirectoryA cannot give it: reported, nothing changed.
        EXPECT_TRUE(Contains(out.transcript, kNoWindowsDir)) << what;
        EXPECT_TRUE(machine.processes().empty()) << what;
        EXPECT_TRUE(
            simulated_pc::DiffSnapshots(before, simulated_pc::TakeSnapshot(machine)).empty())
            << what;
        continue;
      }
      // Every helper got its whole command line, built on the whole directory.
      EXPECT_FALSE(machine.processes().empty()) << what;
      for (const simulated_pc::ProcessRecord& p : machine.processes()) {
        EXPECT_EQ(p.command_line.compare(0, dir.size(), dir), 0) << what;
        EXPECT_TRUE(p.recognised) << what << ": " << p.command_line;
      }
      if (kind == Kind::kMe) {
        EXPECT_TRUE(machine.FileExists(dir + "\\classes.tom")) << what;
      }
      if (kind == Kind::kFresh || kind == Kind::kMe) {
        EXPECT_TRUE(machine.FileExists(dir + "\\system.tom")) << what;
        EXPECT_TRUE(machine.FileExists(dir + "\\user.tom")) << what;
        ASSERT_EQ(machine.processes().size(), 2u) << what;
        EXPECT_EQ(machine.processes()[0].command_line,
                  dir + "\\rundll32.exe rnasetup.dll,UninstallUpgrade")
            << what;
      }
      if (kind == Kind::kReinstall) {
        ASSERT_EQ(machine.processes().size(), 3u) << what;
        EXPECT_EQ(
            machine.processes()[0].command_line,
            dir + "\\rundll.exe setupx.dll,InstallHinfSection RNA 128 " + dir + "\\inf\\rna.inf")
            << what;
      }
      if (kind == Kind::kUpgrade) {
        ASSERT_EQ(machine.processes().size(), 1u) << what;
        EXPECT_EQ(machine.processes()[0].command_line, dir + "\\system\\dunsetup.exe /u") << what;
      }
    }
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  printf("WindowsDir lengths: %d runs, %.2f s\n", runs, seconds);
}

// ---- The upgrade's uninstall text -------------------------------------------

// What the program should make of an UninstallString value: the text it can
// read (up to the first NUL within its 1024-byte buffer, nothing when the
// value does not fit), and whether that text may choose an uninstaller.
struct Reading {
  std::string text;
  bool usable;
};

Reading ReadAs(uint32_t type, const std::vector<uint8_t>& data) {
  Reading r;
  if (data.size() > 1024) return {"", false};  // ERROR_MORE_DATA: nothing is read
  for (uint8_t b : data) {
    if (b == 0) break;
    r.text += static_cast<char>(b);
  }
  r.usable = type == kRegSz && data.size() < 1024;
  return r;
}

TEST(BadInputTest, UninstallStringOfEveryTypeAndSize) {
  const uint32_t types[] = {0, kRegSz, 2, kRegBinary, kRegDword, 7, 0xFFFFFFFFu};
  const std::vector<size_t> sizes = Lengths({{0, 40}, {700, 730}, {1015, 1030}},
                                            {64, 100, 255, 256, 500, 1000, 1100, 2048, 4095, 4096});
  const std::string prefixes[] = {"dunsetup.exe /u", "rundll.exe setupx.dll,x ",
                                  "rundll32.exe advpack.dll,x ", ""};
  std::mt19937 rng(1015);
  const simulated_pc::SimMachine base = Preset("upgrade-dunsetup");
  int runs = 0;
  int started = 0;
  auto begun = std::chrono::steady_clock::now();
  for (uint32_t type : types) {
    for (size_t size : sizes) {
      for (const std::string& prefix : prefixes) {
        for (int terminated = 0; terminated < 2; ++terminated) {
          std::vector<uint8_t> data(size);
          for (size_t i = 0; i < size; ++i) {
            data[i] = i < prefix.size() ? static_cast<uint8_t>(prefix[i])
                      : prefix.empty()  ? static_cast<uint8_t>(rng())
                                        : static_cast<uint8_t>('A' + i % 26);
          }
          if (terminated && size > 0) data[size - 1] = 0;
          simulated_pc::SimMachine machine = base;
          machine.SetValue(simulated_pc::kMsdunPath, "UninstallString", type, data);
          machine.PutFile("C:\\WINDOWS\\system\\dunsetup.exe", "MZ");
          std::vector<std::string> args = {machine.self_path()};
          RunOutput out = RunProgram(machine, args);
          ++runs;
          const std::string what = "type " + std::to_string(type) + ", " + std::to_string(size) +
                                   " bytes, \"" + prefix + "\"" + (terminated ? ", NUL" : "");
          ExpectRules(machine, args, out, what);

          Reading r = ReadAs(type, data);
          std::string expected;  // the uninstaller's command line, "" for none
          if (r.usable && r.text == "dunsetup.exe /u") {
            expected = "C:\\WINDOWS\\system\\dunsetup.exe /u";
          } else if (r.usable && (r.text.compare(0, 10, "rundll.exe") == 0 ||
                                  r.text.compare(0, 12, "rundll32.exe") == 0)) {
            expected = "C:\\WINDOWS\\" + r.text;
            if (expected.size() > 727) expected = "too long";
          }
          std::string entry;
          // A text the removal could not use is refused before the first change.
          EXPECT_EQ(Contains(out.transcript, "DUN Upgrades found"),
                    !expected.empty() && expected != "too long")
              << what;
          if (expected.empty()) {
            EXPECT_TRUE(Contains(out.transcript, "\nUnknown uninstall string: " + r.text + "\n"))
                << what;
            EXPECT_TRUE(machine.processes().empty()) << what;
            EXPECT_FALSE(ResumeEntry(machine, &entry)) << what;
            EXPECT_TRUE(machine.KeyExists(simulated_pc::kWinsock2Path)) << what;
          } else if (expected == "too long") {
            EXPECT_TRUE(machine.KeyExists(simulated_pc::kWinsock2Path)) << what;
            EXPECT_TRUE(Contains(out.transcript, "A path or command line is too long")) << what;
            EXPECT_TRUE(machine.processes().empty()) << what;
            EXPECT_FALSE(ResumeEntry(machine, &entry)) << what;
          } else {
            ++started;
            ASSERT_EQ(machine.processes().size(), 1u) << what;
            EXPECT_EQ(machine.processes()[0].command_line, expected) << what;
          }
        }
      }
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  printf("UninstallString values: %d runs, %d started an uninstaller, %.2f s\n", runs, started,
         seconds);
}

// ---- The uninstall list ------------------------------------------------------

TEST(BadInputTest, SubkeyNamesUpToAndPastTheLongestTheProgramReads) {
  // The name buffer grows in 32-byte steps up to 288 bytes: names of up to
  // 287 characters are read (Windows 9x allows 255), longer ones are an
  // enumeration error with status 234.
  const simulated_pc::SimMachine base = Preset("upgrade-dunsetup");
  int runs = 0;
  for (size_t length = 1; length <= 320; ++length) {
    for (int high = 0; high < 2; ++high) {
      simulated_pc::SimMachine machine = base;
      machine.DeleteKey(simulated_pc::kMsdunPath);
      std::string name(length, high ? '\xC9' : 'K');
      machine.SetString(std::string(simulated_pc::kUninstallPath) + "\\" + name, "DisplayName",
                        "long");
      simulated_pc::AddDunUpgrade(&machine, "dunsetup.exe /u");
      std::vector<std::string> args = {machine.self_path()};
      RunOutput out = RunProgram(machine, args);
      ++runs;
      const std::string what = "subkey name of " + std::to_string(length);
      ExpectRules(machine, args, out, what);
      if (length <= 287) {
        EXPECT_TRUE(Contains(out.transcript, "DUN Upgrades found")) << what;
        EXPECT_EQ(machine.processes().size(), 1u) << what;
      } else {
        EXPECT_TRUE(Contains(
            out.transcript, "Please report error code: 234\nPress any key to abort the program.\n"))
            << what;
        EXPECT_TRUE(machine.processes().empty()) << what;
      }
    }
  }
  // Names that only look like the upgrade's.
  const char* const lookalikes[] = {"msdun", "MSDUN ", " MSDUN", "MSDUNX", "MSDU", "MSDUN\xA0"};
  for (const char* name : lookalikes) {
    simulated_pc::SimMachine machine = simulated_pc::MakeDefaultMachine();
    machine.SetString(std::string(simulated_pc::kUninstallPath) + "\\" + name, "UninstallString",
                      "dunsetup.exe /u");
    std::vector<std::string> args = {machine.self_path()};
    RunOutput out = RunProgram(machine, args);
    ++runs;
    ExpectRules(machine, args, out, name);
    EXPECT_FALSE(Contains(out.transcript, "DUN Upgrades found")) << name;
  }
  printf("subkey names: %d runs\n", runs);
}

TEST(BadInputTest, ThousandsOfUninstallEntries) {
  constexpr int kEntries = 3000;
  auto started = std::chrono::steady_clock::now();
  simulated_pc::SimMachine base = simulated_pc::MakeDefaultMachine();
  for (int i = 0; i < kEntries; ++i) {
    char name[80];
    snprintf(name, sizeof name, "{%08X-0000-PRODUCT-%020d}", i, i);  // 44 characters
    base.CreateKey(std::string(simulated_pc::kUninstallPath) + "\\" + name);
  }
  const size_t entries = base.ListKeys(simulated_pc::kUninstallPath).size();
  for (int with_upgrade = 0; with_upgrade < 2; ++with_upgrade) {
    simulated_pc::SimMachine machine = base;
    if (with_upgrade) simulated_pc::AddDunUpgrade(&machine, "dunsetup.exe /u");
    machine.ResetCallLog();
    std::vector<std::string> args = {machine.self_path()};
    RunOutput out = RunProgram(machine, args);
    const std::string what = std::to_string(entries + with_upgrade) + " entries" +
                             (with_upgrade ? ", the upgrade last" : "");
    ExpectRules(machine, args, out, what);
    EXPECT_EQ(Contains(out.transcript, "DUN Upgrades found"), with_upgrade == 1) << what;
    // Each long name is read twice (32 bytes, then 64), each short one once;
    // the list is read by the check before the first change and again by
    // the removal.
    EXPECT_LE(machine.CallsOf(Op::kRegEnumKeyA).size(), 4 * (entries + 1)) << what;
    printf("%s: %zu platform calls\n", what.c_str(), machine.calls().size());
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  printf("thousands of uninstall entries: %.2f s\n", seconds);
}

}  // namespace
}  // namespace netrevive::reliability
