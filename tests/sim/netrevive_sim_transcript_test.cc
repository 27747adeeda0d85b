// The simulator's whole output for each built-in machine, compared byte for
// byte with the transcripts kept in tests/sim/expected/. Set
// NETREVIVE_UPDATE_TRANSCRIPTS=1 to write the current output there instead
// (then read every changed line before committing it).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/sim/sim_presets.h"
#include "sim/netrevive_sim_run.h"

namespace netrevive::testing {
namespace {

std::string ExpectedPath(const std::string& name) {
  return std::string(NETREVIVE_SOURCE_DIR) + "/tests/sim/expected/" + name + ".txt";
}

bool Updating() {
  const char* flag = getenv("NETREVIVE_UPDATE_TRANSCRIPTS");
  return flag != nullptr && std::string(flag) == "1";
}

// The first line where the texts differ, for a readable failure.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  size_t line = 1;
  size_t start = 0;
  for (size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
    if (expected[i] != actual[i]) {
      size_t e_end = expected.find('\n', start);
      size_t a_end = actual.find('\n', start);
      return "line " + std::to_string(line) +
             ":\n  expected: " + expected.substr(start, e_end - start) +
             "\n  actual:   " + actual.substr(start, a_end - start);
    }
    if (expected[i] == '\n') {
      ++line;
      start = i + 1;
    }
  }
  return "one is a prefix of the other (expected " + std::to_string(expected.size()) +
         " bytes, actual " + std::to_string(actual.size()) + ")";
}

void ExpectTranscript(const std::string& name, const std::vector<std::string>& args) {
  SimRun run = RunSim(args);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::string path = ExpectedPath(name);
  if (Updating()) {
    WriteText(path, run.out);
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(path)) << "no transcript " << path;
  std::string expected = ReadText(path);
  EXPECT_TRUE(expected == run.out) << name << ": " << FirstDifference(expected, run.out);
}

TEST(NetreviveSimTranscript, DefaultRepairEndToEnd) {
  ExpectTranscript("default", {"--keys", "auto"});
}

class PresetTranscript : public ::testing::TestWithParam<std::string> {};

TEST_P(PresetTranscript, MatchesItsExpectedFile) {
  ExpectTranscript("preset-" + GetParam(), {"--keys", "auto", "--preset", GetParam()});
}

std::vector<std::string> PresetNames() {
  std::vector<std::string> names;
  for (const sim::PresetInfo& preset : sim::PresetMachines()) names.push_back(preset.name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Presets, PresetTranscript, ::testing::ValuesIn(PresetNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name;
                           for (char c : info.param) name += (c == '-') ? '_' : c;
                           return name;
                         });

// A transcript left behind by a preset that no longer exists would never be
// checked again.
TEST(NetreviveSimTranscript, EveryExpectedFileBelongsToAPreset) {
  std::vector<std::string> names = PresetNames();
  std::set<std::string> known(names.begin(), names.end());
  namespace fs = std::filesystem;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(std::string(NETREVIVE_SOURCE_DIR) + "/tests/sim/expected")) {
    std::string file = entry.path().filename().string();
    if (file.rfind("preset-", 0) != 0) continue;
    std::string name = file.substr(7, file.size() - 7 - 4);
    EXPECT_EQ(known.count(name), 1u) << file << " names no preset";
  }
}

}  // namespace
}  // namespace netrevive::testing
