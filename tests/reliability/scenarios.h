#ifndef NETREVIVE_TESTS_RELIABILITY_SCENARIOS_H_
#define NETREVIVE_TESTS_RELIABILITY_SCENARIOS_H_

// The runs of the program the sweeps take apart: each a machine in the state
// the run meets (for a resumed run, the state the runs before it left, with
// the RunOnce entry taken by Windows) and the command line it gets.

#include <string>
#include <vector>

#include "driver/driver.h"
#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_session_start.h"
#include "reliability/reliability_support.h"

namespace netrevive::reliability {

struct Scenario {
  std::string name;
  simulated_pc::SimMachine machine;  // call log empty: call 1 is the run's first
  std::vector<std::string> args;
  RunMode mode = RunMode::kFreshRun;
};

inline RunMode ModeOf(const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return SelectRunMode(static_cast<int>(args.size()), argv.data());
}

inline simulated_pc::SimMachine Preset(const std::string& name) {
  simulated_pc::SimMachine machine;
  if (!simulated_pc::MakePresetMachine(name, &machine))
    machine = simulated_pc::MakeDefaultMachine();
  return machine;
}

// A fresh run on the preset machine.
inline Scenario FreshScenario(const std::string& name, const std::string& preset) {
  Scenario s;
  s.name = name;
  s.machine = Preset(preset);
  s.machine.ResetCallLog();
  s.args = {s.machine.self_path()};
  s.mode = RunMode::kFreshRun;
  return s;
}

// The Check run on the preset machine.
inline Scenario CheckScenario(const std::string& name, const std::string& preset) {
  Scenario s = FreshScenario(name, preset);
  s.args = {s.machine.self_path(), "Check"};
  s.mode = RunMode::kCheck;
  return s;
}

// The run Windows starts from the RunOnce entry after clean runs on the
// preset machine: the fresh run and then hops - 1 resumed ones, each ending
// the session. False when nothing resumes.
inline bool ResumedScenario(const std::string& name, const std::string& preset, Scenario* out,
                            int hops = 1) {
  Scenario s;
  s.name = name;
  s.machine = Preset(preset);
  s.args = {s.machine.self_path()};
  for (int hop = 0; hop < hops; ++hop) {
    RunProgram(s.machine, s.args);
    s.args = simulated_pc::StartSessionUpToProgram(s.machine);
    if (s.args.empty()) return false;
  }
  s.machine.ResetCallLog();
  s.machine.ClearFaultsMet();
  s.mode = ModeOf(s.args);
  *out = std::move(s);
  return true;
}

}  // namespace netrevive::reliability

#endif  // NETREVIVE_TESTS_RELIABILITY_SCENARIOS_H_
