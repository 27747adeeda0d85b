#ifndef NETREVIVE_TESTS_SUPPORT_PROGRAM_RUN_H_
#define NETREVIVE_TESTS_SUPPORT_PROGRAM_RUN_H_

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "driver/driver.h"
#include "platform/sim/sim_command_line.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_presets.h"
#include "support/scripted_terminal.h"

namespace netrevive::testing {

struct RunResult {
  int exit_status = -1;
  std::string transcript;
  int keys = 0;
  bool unflushed_pause = false;
};

// Runs the program once on the machine with the given argv (argv[0] included).
inline RunResult RunProgram(sim::SimMachine& machine, const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  ScriptedTerminal terminal;
  Console console(terminal);
  RunResult result;
  result.exit_status = RunNetrevive(static_cast<int>(args.size()), argv.data(), machine, console);
  result.transcript = terminal.Transcript();
  result.keys = terminal.keys();
  result.unflushed_pause = terminal.AnyUnflushedPause();
  return result;
}

// A fresh run started from the machine's own program path.
inline RunResult RunFresh(sim::SimMachine& machine) {
  return RunProgram(machine, {machine.self_path()});
}

// Plays Windows after a run that asked to end the session: starts a new
// session and runs the first RunOnce command that starts the program itself
// (other programs are ignored). Returns false when nothing resumes it.
inline bool ResumeAfterRestart(sim::SimMachine& machine, RunResult* result) {
  if (!machine.restart_requested() && !machine.logoff_requested()) return false;
  machine.BeginNewSession();
  for (const std::string& command : machine.TakeRunOnceCommands()) {
    sim::ResolvedCommand resolved = machine.ResolveCommandLine(command);
    if (!resolved.found) continue;
    if (sim::SimMachine::NormalizeFilePath(resolved.program) !=
        sim::SimMachine::NormalizeFilePath(machine.self_path())) {
      continue;
    }
    *result = RunProgram(machine, resolved.argv);
    return true;
  }
  return false;
}

// The resume entry's text, or "<none>" when there is none.
inline std::string RunOnceValue(const sim::SimMachine& machine) {
  std::string text;
  if (!machine.GetString(sim::kRunOncePath, "QU Netrevive", &text)) return "<none>";
  return text;
}

inline std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

// The expected transcript kept in tests/scenario/expected/<name>.txt. With
// NETREVIVE_UPDATE_TRANSCRIPTS set in the environment the file is rewritten
// from the actual text instead (review the difference before committing).
inline std::string ExpectedTranscript(const std::string& name, const std::string& actual) {
  std::string path =
      std::string(NETREVIVE_SOURCE_DIR) + "/tests/scenario/expected/" + name + ".txt";
  if (std::getenv("NETREVIVE_UPDATE_TRANSCRIPTS") != nullptr) {
    std::ofstream out(path, std::ios::binary);
    out << actual;
    return actual;
  }
  return ReadTextFile(path);
}

}  // namespace netrevive::testing

#endif  // NETREVIVE_TESTS_SUPPORT_PROGRAM_RUN_H_
