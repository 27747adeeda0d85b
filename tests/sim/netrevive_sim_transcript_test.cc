// The simulator's whole output, compared byte for byte with the transcripts
// kept in tests/sim/expected/: one machine for each way the sessions of a
// repair can go (restarts, a log-off, the fix run again, a helper missing or
// failing). The dialogue of the other machines is kept with the scenario
// tests. NETREVIVE_UPDATE_TRANSCRIPTS=1 rewrites the files (see ExpectedText).

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/sim_presets.h"
#include "sim/netrevive_sim_run.h"

namespace netrevive::testing {
namespace {

// The presets that have a transcript, by its file name preset-<name>.txt.
std::vector<std::string> TranscriptPresets() {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(NETREVIVE_SOURCE_DIR) +
                                                               "/tests/sim/expected")) {
    std::string file = entry.path().filename().string();
    if (file.rfind("preset-", 0) == 0) names.insert(file.substr(7, file.size() - 7 - 4));
  }
  return {names.begin(), names.end()};
}

class PresetTranscript : public ::testing::TestWithParam<std::string> {};

TEST_P(PresetTranscript, MatchesItsExpectedFile) {
  SimRun run = RunSim({"--keys", "auto", "--preset", GetParam()});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, ExpectedText("sim/expected/preset-" + GetParam() + ".txt", run.out));
}

INSTANTIATE_TEST_SUITE_P(Presets, PresetTranscript, ::testing::ValuesIn(TranscriptPresets()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name;
                           for (char c : info.param) name += (c == '-') ? '_' : c;
                           return name;
                         });

// A transcript left behind by a preset that no longer exists would be
// compared with the output for an unknown preset.
TEST(NetreviveSimTranscript, EveryExpectedFileBelongsToAPreset) {
  std::set<std::string> known;
  for (const sim::PresetInfo& preset : sim::PresetMachines()) known.insert(preset.name);
  for (const std::string& name : TranscriptPresets()) {
    EXPECT_EQ(known.count(name), 1u) << "preset-" << name << ".txt names no preset";
  }
}

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
