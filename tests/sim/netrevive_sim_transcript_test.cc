// netrevive-sim's transcripts (--transcript) compared byte for byte with
// tests/transcripts/, the files the real netrevive.exe under Wine is compared
// with too (tests/wine/e2e): for every repair path both reach, the simulated
// run and the real program must print the same bytes. Its own lines (the
// changes, the helpers, the endings) are compared with tests/sim/expected/,
// which holds them without the program's output.
// NETREVIVE_UPDATE_TRANSCRIPTS=1 rewrites the files (see ExpectedText).

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/machine_folder.h"
#include "sim/netrevive_sim_run.h"

namespace netrevive::testing {
namespace {

constexpr const char kTranscripts[] = NETREVIVE_SOURCE_DIR "/tests/transcripts";
constexpr const char kCheck[] = "C:\\NETREVIVE\\NETREVIVE.EXE Check";

// A repair path as netrevive-sim reaches it: a preset and its arguments, or
// a machine of its own (kept in a machine folder for the run) when the path
// needs one no preset is.
struct SimPath {
  const char* name;  // tests/transcripts/<name>.txt, the Wine scenario's name
  std::vector<std::string> args;
  std::function<simulated_pc::SimMachine()> machine;  // null: a preset in args
};

// The Wine prefix's Windows directory is C:\windows, which the refusals and
// the Check name: the default machine on that directory.
// SourcePath is spelled as Windows 98 writes it, as in the prefix.
simulated_pc::SimMachine WineWindowsDir() {
  simulated_pc::SimMachine machine = simulated_pc::MakeDefaultMachine("C:\\windows");
  machine.SetString(simulated_pc::kSetupPath, "SourcePath", "C:\\WINDOWS\\OPTIONS\\CABS");
  return machine;
}

simulated_pc::SimMachine WineWindowsDirWithout(const char* file) {
  simulated_pc::SimMachine machine = WineWindowsDir();
  machine.RemoveFile(std::string("C:\\windows\\") + file);
  return machine;
}

// A preset whose SourcePath is spelled as in the Wine prefix, as Windows 98
// writes it (the line before Windows' setup and the Check print it).
std::function<simulated_pc::SimMachine()> WineSourcePath(const char* preset) {
  return [preset] {
    simulated_pc::SimMachine machine;
    EXPECT_TRUE(simulated_pc::MakePresetMachine(preset, &machine)) << preset;
    machine.SetString(simulated_pc::kSetupPath, "SourcePath", "C:\\WINDOWS\\OPTIONS\\CABS");
    return machine;
  };
}

simulated_pc::SimMachine ProgramAt(const std::string& path, char drive, uint32_t type) {
  simulated_pc::SimMachine machine = WineWindowsDir();
  machine.PutFile(path, "MZ netrevive");
  machine.set_self_path(path);
  if (drive != 0) machine.set_drive_type(drive, type);
  return machine;
}

// A repair stopped after the fresh run's restart: Winsock2 and DUN gone, the
// reinstallation authorised by the marker, and (pending) its RunOnce entry.
simulated_pc::SimMachine StoppedRepair(bool pending) {
  simulated_pc::SimMachine machine = WineWindowsDir();
  machine.DeleteKey(simulated_pc::kWinsock2Path);
  simulated_pc::RemoveDun(&machine);
  machine.PutFile(machine.windows_dir() + "\\rundunreinst.QU", "REINSTALL\n");
  if (pending) {
    machine.SetString(simulated_pc::kRunOncePath, "QU Netrevive",
                      "C:\\NETREVIVE\\NETREVIVE.EXE ReinstallDUN");
  }
  return machine;
}

// Windows installed from a folder that is gone: SourcePath names C:\WIN98.
simulated_pc::SimMachine SourcePathGone(bool cabs) {
  simulated_pc::SimMachine machine = WineWindowsDir();
  machine.SetString(simulated_pc::kSetupPath, "SourcePath", "C:\\WIN98");
  if (!cabs) machine.RemoveFile("C:\\windows\\OPTIONS\\CABS\\NET7.CAB");
  return machine;
}

const std::vector<SimPath>& SharedPaths() {
  static const std::vector<SimPath> kPaths = {
      {"repair_98se", {}, WineSourcePath("98se")},
      {"repair_me", {}, WineSourcePath("me")},
      {"repair_98", {}, WineSourcePath("98")},
      {"upgrade_dunsetup", {}, WineSourcePath("upgrade-dunsetup")},
      {"upgrade_rundll", {}, WineSourcePath("upgrade-rundll")},
      {"upgrade_rundll32", {}, WineSourcePath("upgrade-rundll32")},
      {"upgrade_unknown", {"--preset", "upgrade-unknown"}, nullptr},
      {"refusal_nt", {"--preset", "nt"}, nullptr},
      {"refusal_95", {"--preset", "95"}, nullptr},
      {"usage", {"--start", "C:\\NETREVIVE\\NETREVIVE.EXE Fix"}, nullptr},
      {"dun_missing", {}, WineSourcePath("no-dun")},
      {"winsock2_missing",
       {},
       [] {
         simulated_pc::SimMachine machine = WineSourcePath("98se")();
         machine.DeleteKey(simulated_pc::kWinsock2Path);
         return machine;
       }},
      {"rna_inf_missing", {}, [] { return WineWindowsDirWithout("inf\\rna.inf"); }},
      {"backup_copy_fails", {}, [] { return WineWindowsDirWithout("user.dat"); }},
      {"helper_missing", {}, [] { return WineWindowsDirWithout("rundll32.exe"); }},
      {"floppy_start", {}, [] { return ProgramAt("A:\\NETREVIVE.EXE", 0, 0); }},
      {"network_start",
       {},
       [] { return ProgramAt("N:\\TOOLS\\NETREVIVE.EXE", 'N', kDriveRemote); }},
      {"check_no_winsock2",
       {"--start", kCheck},
       [] {
         simulated_pc::SimMachine machine = WineWindowsDir();
         machine.DeleteKey(simulated_pc::kWinsock2Path);
         return machine;
       }},
      {"check_pending", {"--start", kCheck}, [] { return StoppedRepair(true); }},
      {"check_stopped", {"--start", kCheck}, [] { return StoppedRepair(false); }},
      {"rundll_missing", {}, [] { return WineWindowsDirWithout("rundll.exe"); }},
      {"setupx_missing", {}, [] { return WineWindowsDirWithout("system\\setupx.dll"); }},
      {"rnasetup_missing", {}, [] { return WineWindowsDirWithout("system\\rnasetup.dll"); }},
      {"dunsetup_missing",
       {},
       [] {
         simulated_pc::SimMachine machine = WineWindowsDir();
         simulated_pc::AddDunUpgrade(&machine, "dunsetup.exe /u");
         machine.RemoveFile("C:\\windows\\system\\dunsetup.exe");
         return machine;
       }},
      {"setup_files_missing", {}, [] { return SourcePathGone(false); }},
      {"setup_files_in_cabs", {}, [] { return SourcePathGone(true); }},
      {"temp_start", {}, [] { return ProgramAt("C:\\windows\\temp\\NETREVIVE.EXE", 0, 0); }},
      {"upgrade_left", {"--preset", "upgrade-not-removed"}, nullptr},
      {"upgrade_rundll32_no_winsock2", {}, WineSourcePath("upgrade-rundll32-no-restore")},
      {"upgrade_rundll32_stays", {}, WineSourcePath("upgrade-rundll32-not-removed")},
  };
  return kPaths;
}

// The transcripts only the real program under Wine writes, and why the
// simulator has none of its own for them.
const std::set<std::string>& WineOnlyPaths() {
  static const std::set<std::string> kPaths = {
      "no_console",        // no console at all: the simulator always has one
      "rna_inf_lost",      // a file deleted between two sessions of one repair
      "relative_start",    // Wine's GetModuleFileNameA keeps the case typed at the prompt
      "path_with_blanks",  // Wine's short names are not Windows 98's PROGRA~1
      // A run the caller starts by hand once Windows has run the last entry:
      // the simulator has the caller run the Check there.
      "setup_installs_nothing",
  };
  return kPaths;
}

// The Wine scenarios whose user closes the program's window at a pause
// (window_closed_*): the simulator's transcript answers every pause.
bool IsWindowClosedPath(const std::string& name) { return name.rfind("window_closed_", 0) == 0; }

class SharedTranscript : public ::testing::TestWithParam<SimPath> {};

TEST_P(SharedTranscript, IsWhatTheRealProgramPrintsUnderWine) {
  const SimPath& path = GetParam();
  TempFolder temp;
  std::vector<std::string> args = path.args;
  if (path.machine) {
    rehearsal::MachineFolderError error;
    ASSERT_TRUE(rehearsal::SaveMachineFolder(temp.Sub("machine"), path.machine(),
                                             simulated_pc::SessionRequest::kNone, &error))
        << error.ToString();
    args.insert(args.begin(), {"--machine", temp.Sub("machine")});
  }
  args.push_back("--transcript");
  SimRun run = RunSim(args);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, ExpectedTranscript(path.name, run.out));
}

INSTANTIATE_TEST_SUITE_P(Paths, SharedTranscript, ::testing::ValuesIn(SharedPaths()),
                         [](const ::testing::TestParamInfo<SimPath>& info) {
                           return std::string(info.param.name);
                         });

// Every transcript of a Wine scenario (a file whose first run starts with
// the user's start) is either compared with the simulator's or named as one
// only the real program writes.
TEST(NetreviveSimTranscript, EveryWineTranscriptIsComparedOrNamedWineOnly) {
  std::set<std::string> shared;
  for (const SimPath& path : SharedPaths()) shared.insert(path.name);
  for (const auto& entry : std::filesystem::directory_iterator(kTranscripts)) {
    const std::string name = entry.path().stem().string();
    const bool scenario_run = FindSharedRun(name) != nullptr ||
                              std::filesystem::exists(std::string(NETREVIVE_SOURCE_DIR) +
                                                      "/tests/wine/e2e/expected/" + name + ".log");
    if (!scenario_run) continue;
    if (IsWindowClosedPath(name)) continue;
    EXPECT_NE(shared.count(name) + WineOnlyPaths().count(name), 0u)
        << name << ": a transcript of the real program the simulator is not compared with";
  }
}

// The simulator's own lines of a whole simulation, the program's output left
// out (tests/transcripts/ holds it).
std::string SimulatorLines(const std::string& out) {
  std::string lines;
  size_t at = 0;
  while (at < out.size()) {
    size_t end = out.find('\n', at);
    end = end == std::string::npos ? out.size() : end + 1;
    if (out.compare(at, 3, "== ") == 0) lines += out.substr(at, end - at);
    at = end;
  }
  return lines;
}

// The presets whose simulator lines are kept, by file name preset-<name>.txt.
std::vector<std::string> PresetsWithLines() {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(NETREVIVE_SOURCE_DIR) +
                                                               "/tests/sim/expected")) {
    std::string file = entry.path().filename().string();
    if (file.rfind("preset-", 0) == 0) names.insert(file.substr(7, file.size() - 7 - 4));
  }
  return {names.begin(), names.end()};
}

class PresetLines : public ::testing::TestWithParam<std::string> {};

TEST_P(PresetLines, MatchTheExpectedFile) {
  SimRun run = RunSim({"--keys", "auto", "--preset", GetParam()});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string lines = SimulatorLines(run.out);
  EXPECT_EQ(lines, ExpectedText("sim/expected/preset-" + GetParam() + ".txt", lines));
}

INSTANTIATE_TEST_SUITE_P(Presets, PresetLines, ::testing::ValuesIn(PresetsWithLines()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name;
                           for (char c : info.param) name += (c == '-') ? '_' : c;
                           return name;
                         });

// Without --preset the simulator runs the 98se machine and says so.
TEST(NetreviveSimTranscript, TheDefaultMachineIsThe98sePreset) {
  SimRun run = RunSim({"--keys", "auto"});
  SimRun preset = RunSim({"--keys", "auto", "--preset", "98se"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const size_t line = run.out.find('\n');
  EXPECT_EQ(run.out.substr(0, line),
            "== netrevive-sim: the default machine, preset 98se (Windows 98 SE (4.10.2222 A), DUN "
            "installed, no upgrade (the default))");
  EXPECT_EQ(run.out.substr(line), preset.out.substr(preset.out.find('\n')));
}

}  // namespace
}  // namespace netrevive::testing
