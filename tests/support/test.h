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
#include "platform/simulated_pc/sim_command_line.h"
#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_session_start.h"
#include "rehearsal/files.h"
#include "rehearsal/transcript.h"

namespace netrevive::testing {

// The mark a transcript shows where the program waited for a key, the one
// netrevive-sim's and the Wine tests' transcripts show (rehearsal/transcript.h).
inline constexpr const char* kKeyMark = rehearsal::kKeyMark;

// What one run of the program produced.
struct RunOutput {
  int exit_status = -1;
  std::string transcript;
  std::string start;               // the command line, its arguments joined by blanks
  bool restart_requested = false;  // a helper of the run asked for a restart
  bool session_ended = false;      // the run ended the session (ExitWindowsEx)
  int keys = 0;
  bool unflushed_pause = false;  // a key was awaited with output not flushed
  // a key was awaited without the keys pressed before it discarded first
  bool keys_not_discarded = false;
  // For each write to the console: where it starts in the transcript and
  // how many platform calls the program had made by then.
  std::vector<std::pair<size_t, uint64_t>> writes;

  // The run as the transcripts in tests/transcripts/ hold it, after the line
  // that says how it was started: the dialogue, then how it ended.
  std::string Ended() const {
    return transcript + "<exit " + std::to_string(exit_status) + ">\n" +
           (restart_requested ? "<restart requested>\n" : "") +
           (session_ended ? "<session ended>\n" : "");
  }
  // The same with the user's start before it.
  std::string Framed() const { return "<start: " + start + ">\n" + Ended(); }

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
  explicit ScriptedTerminal(simulated_pc::SimMachine* machine = nullptr) : machine_(machine) {}
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
    if (machine_ != nullptr) {
      const std::vector<simulated_pc::CallRecord>& calls = machine_->calls();
      if (calls.empty() || calls.back().operation != simulated_pc::Op::kFlushConsoleInputBuffer) {
        out.keys_not_discarded = true;
      }
      // A Windows CD held ready goes in when the user is asked for a key.
      machine_->InsertDiscReady();
    }
    out.transcript += kKeyMark;
    ++out.keys;
  }
  // Everything flushed so far with the key marks, then what is still pending.
  std::string Transcript() const { return out.transcript + pending_; }

  RunOutput out;

 private:
  simulated_pc::SimMachine* machine_;
  std::string pending_;
};

inline RunOutput RunArgv(simulated_pc::SimMachine& machine, int argc, const char* const* argv) {
  ScriptedTerminal terminal(&machine);
  Console console(terminal, &machine);
  const size_t calls_before = machine.calls().size();
  const size_t processes_before = machine.processes().size();
  machine.StartProgram();
  terminal.out.exit_status = RunNetrevive(argc, argv, machine, console);
  terminal.out.transcript = terminal.Transcript();
  for (int i = 0; argv != nullptr && i < argc && argv[i] != nullptr; ++i) {
    terminal.out.start += (i ? " " : "") + std::string(argv[i]);
  }
  for (size_t i = processes_before; i < machine.processes().size(); ++i) {
    terminal.out.restart_requested |= machine.processes()[i].requested_restart;
  }
  for (size_t i = calls_before; i < machine.calls().size(); ++i) {
    const simulated_pc::CallRecord& call = machine.calls()[i];
    terminal.out.session_ended |=
        call.operation == simulated_pc::Op::kExitWindowsEx && call.result != 0;
  }
  return terminal.out;
}

// Runs the program once on the machine with the given argv (argv[0] included).
inline RunOutput RunProgram(simulated_pc::SimMachine& machine,
                            const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return RunArgv(machine, static_cast<int>(args.size()), argv.data());
}

// A fresh run started from the machine's own program path.
inline RunOutput RunFresh(simulated_pc::SimMachine& machine) {
  return RunProgram(machine, {machine.self_path()});
}

// After a run that asked to end the session: the run Windows starts from
// RunOnce in the next one (simulated_pc::StartSessionUpToProgram). False when the
// session was not ended or nothing resumes the program.
inline bool ResumeAfterRestart(simulated_pc::SimMachine& machine, RunOutput* result) {
  if (!machine.restart_requested() && !machine.logoff_requested()) return false;
  std::vector<std::string> args = simulated_pc::StartSessionUpToProgram(machine);
  if (args.empty()) return false;
  *result = RunProgram(machine, args);
  return true;
}

inline constexpr const char* kResumeValue = "QU Netrevive";

// The resume entry's text, or "<none>" when there is none.
inline std::string RunOnceValue(const simulated_pc::SimMachine& machine) {
  std::string text;
  if (!machine.GetString(simulated_pc::kRunOncePath, kResumeValue, &text)) return "<none>";
  return text;
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The whole file; "" when it cannot be read.
inline std::string ReadText(const std::string& path) {
  std::string text;
  std::string why;
  rehearsal::ReadWholeFile(path, &text, &why);
  return text;
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// The expected text kept in tests/<file>. With NETREVIVE_UPDATE_TRANSCRIPTS=1
// in the environment the file is rewritten from the actual text instead
// (read every changed line before committing it).
inline bool UpdatingTranscripts() {
  const char* update = getenv("NETREVIVE_UPDATE_TRANSCRIPTS");
  return update != nullptr && std::string(update) == "1";
}

inline std::string ExpectedText(const std::string& file, const std::string& actual) {
  const std::string path = std::string(NETREVIVE_SOURCE_DIR) + "/tests/" + file;
  if (UpdatingTranscripts()) {
    WriteText(path, actual);
    return actual;
  }
  return ReadText(path);
}

// The transcript of a repair path, tests/transcripts/<path>.txt: netrevive-sim,
// the scenario tests and the real program under Wine all compare with it.
inline std::string ExpectedTranscript(const std::string& path, const std::string& actual) {
  return ExpectedText("transcripts/" + path + ".txt", actual);
}

// Run number `run` (from 1) of the path's transcript, after its start line:
// what RunOutput::Ended gives for the run. With NETREVIVE_UPDATE_TRANSCRIPTS=1
// that run of the file is rewritten from the actual text.
inline std::string ExpectedRun(const std::string& path, int run, const std::string& actual) {
  const std::string file =
      std::string(NETREVIVE_SOURCE_DIR) + "/tests/transcripts/" + path + ".txt";
  std::string text = ReadText(file);
  // Each run starts after a line "<start: ...>" or "<RunOnce "NAME": ...>"
  // and goes on to the next such line or "<RunOnce empty>".
  std::vector<size_t> starts;
  for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (text.compare(at, 8, "<start: ") == 0 || text.compare(at, 10, "<RunOnce \"") == 0) {
      starts.push_back(text.find('\n', at) + 1);
    }
    if (text.find('\n', at) == std::string::npos) break;
  }
  if (run < 1 || static_cast<size_t>(run) > starts.size())
    return "<no run " + std::to_string(run) + ">";
  const size_t from = starts[run - 1];
  size_t to = text.size();
  for (const char* next : {"\n<start: ", "\n<RunOnce \"", "\n<RunOnce empty>"}) {
    size_t at = text.find(next, from - 1);
    if (at != std::string::npos && at + 1 < to) to = at + 1;
  }
  if (UpdatingTranscripts()) {
    text.replace(from, to - from, actual);
    WriteText(file, text);
    return actual;
  }
  return text.substr(from, to - from);
}

// Scenario runs that are runs of a repair path the Wine tests play too: what
// they print is kept once, as that run of tests/transcripts/<path>.txt.
struct SharedRun {
  const char* scenario;
  const char* path;
  int run;
};
inline constexpr SharedRun kSharedRuns[] = {
    {"repair_98se_fresh", "repair_98se", 1},
    {"repair_98se_reinstall", "repair_98se", 2},
    {"repair_no_dun", "dun_missing", 1},
    {"upgrade_dunsetup_fresh", "upgrade_dunsetup", 1},
    {"upgrade_remove_run", "upgrade_dunsetup", 2},
    {"upgrade_unknown", "upgrade_unknown", 1},
    {"missing_winsock2", "winsock2_missing", 1},
    {"refuse_nt", "refusal_nt", 1},
    {"refuse_95", "refusal_95", 1},
    {"refuse_floppy_or_network", "floppy_start", 1},
    {"usage", "usage", 1},
};

inline const SharedRun* FindSharedRun(const std::string& scenario) {
  for (const SharedRun& shared : kSharedRuns) {
    if (scenario == shared.scenario) return &shared;
  }
  return nullptr;
}

// A scenario run as its transcript holds it: a shared run from its end
// (after the path's own start line), any other with its start line, in
// tests/transcripts/<scenario>.txt.
inline std::string ScenarioText(const std::string& scenario, const RunOutput& run) {
  return FindSharedRun(scenario) != nullptr ? run.Ended() : run.Framed();
}

inline std::string ExpectedScenarioText(const std::string& scenario, const RunOutput& run) {
  const SharedRun* shared = FindSharedRun(scenario);
  if (shared != nullptr) return ExpectedRun(shared->path, shared->run, run.Ended());
  return ExpectedTranscript(scenario, run.Framed());
}

}  // namespace netrevive::testing

#endif  // NETREVIVE_TESTS_SUPPORT_TEST_H_
