#ifndef NETREVIVE_TESTS_SUPPORT_TEST_H_
#define NETREVIVE_TESTS_SUPPORT_TEST_H_

// What the tests share: a terminal that records the dialogue, runs of the
// program on a simulated machine, the run Windows resumes after a restart,
// and the files of expected text.

#include <stdint.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "console/console.h"
#include "driver/driver.h"
#include "platform/sim/sim_command_line.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_presets.h"
#include "platform/sim/sim_session_start.h"

namespace netrevive::testing {

// The mark a transcript shows where the program waited for a key.
inline constexpr const char* kKeyMark = "== [key]\n";

// What one run of the program produced.
struct RunOutput {
  int exit_status = -1;
  std::string transcript;
  int keys = 0;
  bool unflushed_pause = false;  // a key was awaited with output not flushed
  // For each write to the console: where it starts in the transcript and
  // how many platform calls the program had made by then.
  std::vector<std::pair<size_t, uint64_t>> writes;

  // The number of platform calls made before the byte at offset was printed.
  uint64_t CallsBeforeOffset(size_t offset) const {
    uint64_t calls = 0;
    for (const auto& w : writes) {
      if (w.first > offset) break;
      calls = w.second;
    }
    return calls;
  }
};

// A console device for tests: records what was written and flushed, and
// answers every key wait at once, marking its place in the transcript.
// Bytes written but not yet flushed when a key is awaited show up after the
// mark, so a prompt left unflushed is visible in the transcript. Given the
// machine, it notes for every write how far the program had got on it.
class ScriptedTerminal final : public Terminal {
 public:
  explicit ScriptedTerminal(const sim::SimMachine* machine = nullptr) : machine_(machine) {}
  void Write(const char* data, size_t size) override {
    if (machine_ != nullptr) {
      out.writes.push_back({out.transcript.size() + pending_.size(), machine_->call_count()});
    }
    pending_.append(data, size);
  }
  void Flush() override {
    out.transcript += pending_;
    pending_.clear();
  }
  void WaitForKey() override {
    if (!pending_.empty()) out.unflushed_pause = true;
    out.transcript += kKeyMark;
    ++out.keys;
  }
  // Everything flushed so far with the key marks, then what is still pending.
  std::string Transcript() const { return out.transcript + pending_; }

  RunOutput out;

 private:
  const sim::SimMachine* machine_;
  std::string pending_;
};

inline RunOutput RunArgv(sim::SimMachine& machine, int argc, const char* const* argv) {
  ScriptedTerminal terminal(&machine);
  Console console(terminal);
  terminal.out.exit_status = RunNetrevive(argc, argv, machine, console);
  terminal.out.transcript = terminal.Transcript();
  return terminal.out;
}

// Runs the program once on the machine with the given argv (argv[0] included).
inline RunOutput RunProgram(sim::SimMachine& machine, const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return RunArgv(machine, static_cast<int>(args.size()), argv.data());
}

// A fresh run started from the machine's own program path.
inline RunOutput RunFresh(sim::SimMachine& machine) {
  return RunProgram(machine, {machine.self_path()});
}

// After a run that asked to end the session: the run Windows starts from
// RunOnce in the next one (sim::StartSessionUpToProgram). False when the
// session was not ended or nothing resumes the program.
inline bool ResumeAfterRestart(sim::SimMachine& machine, RunOutput* result) {
  if (!machine.restart_requested() && !machine.logoff_requested()) return false;
  std::vector<std::string> args = sim::StartSessionUpToProgram(machine);
  if (args.empty()) return false;
  *result = RunProgram(machine, args);
  return true;
}

inline constexpr const char* kResumeValue = "QU Netrevive";

// The resume entry's text, or "<none>" when there is none.
inline std::string RunOnceValue(const sim::SimMachine& machine) {
  std::string text;
  if (!machine.GetString(sim::kRunOncePath, kResumeValue, &text)) return "<none>";
  return text;
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// The expected text kept in tests/<file>. With NETREVIVE_UPDATE_TRANSCRIPTS=1
// in the environment the file is rewritten from the actual text instead
// (read every changed line before committing it).
inline std::string ExpectedText(const std::string& file, const std::string& actual) {
  const std::string path = std::string(NETREVIVE_SOURCE_DIR) + "/tests/" + file;
  const char* update = getenv("NETREVIVE_UPDATE_TRANSCRIPTS");
  if (update != nullptr && std::string(update) == "1") {
    WriteText(path, actual);
    return actual;
  }
  return ReadText(path);
}

// A scenario transcript, kept in tests/scenario/expected/<name>.txt.
inline std::string ExpectedTranscript(const std::string& name, const std::string& actual) {
  return ExpectedText("scenario/expected/" + name + ".txt", actual);
}

}  // namespace netrevive::testing

#endif  // NETREVIVE_TESTS_SUPPORT_TEST_H_
