#include "support_kit/pause_probe.h"

#include <memory>

#include "console/console.h"
#include "driver/driver.h"
#include "platform/simulated_pc/sim_command_line.h"
#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_session_start.h"
#include "rehearsal/endings.h"
#include "rehearsal/machine_source.h"
#include "rehearsal/options.h"
#include "rehearsal/session_player.h"

namespace netrevive::support_kit {

using simulated_pc::SessionRequest;
using simulated_pc::SimMachine;

namespace {

constexpr int kMaxSessions = 10;

// A console that keeps what the program printed since the last key press
// and hands each pause to its owner.
class ProbeTerminal final : public Terminal {
 public:
  template <typename OnPause>
  explicit ProbeTerminal(OnPause on_pause)
      : on_pause_(std::make_unique<Holder<OnPause>>(on_pause)) {}
  void Write(const char* data, size_t size) override {
    screen_.append(data, size);
    output_.append(data, size);
  }
  void Flush() override {}
  void WaitForKey() override {
    on_pause_->Call(screen_);
    screen_.clear();
  }
  const std::string& output() const { return output_; }

 private:
  struct Callback {
    virtual ~Callback() = default;
    virtual void Call(const std::string& screen) = 0;
  };
  template <typename F>
  struct Holder final : Callback {
    explicit Holder(F f) : f_(f) {}
    void Call(const std::string& screen) override { f_(screen); }
    F f_;
  };
  std::unique_ptr<Callback> on_pause_;
  std::string screen_;
  std::string output_;
};

struct Snapshot {
  Stop stop;
  SimMachine machine;
};

// What the PC does after the caller closed the window (or the power went)
// at a pause and the PC started again: the runs Windows starts by itself,
// or, when none, the run of the caller starting the program again.
// The endings of the runs, without the Check the simulator has the caller
// run at the end of a path that does not end with one.
std::string RunEndings(const rehearsal::SessionReport& report) {
  std::string text;
  for (const rehearsal::RunReport& run : report.runs) {
    const bool callers_check =
        run.runonce_name.empty() && run.argv.size() == 2 && run.argv[1] == "Check";
    if (callers_check && &run != &report.runs.front()) continue;
    text += (text.empty() ? " " : ", then ") + run.ending_name;
  }
  return text;
}

std::string Aftermath(SimMachine machine, bool power_off, bool repaired) {
  if (power_off) machine.CutPower();
  rehearsal::SimOutput quiet(nullptr);
  rehearsal::SessionReport report;
  rehearsal::SessionSettings settings;
  settings.keys = rehearsal::KeySource::kAuto;
  settings.report = &report;
  settings.pending = SessionRequest::kRestart;
  rehearsal::RunSessions(machine, settings, quiet);
  bool came_back = false;
  for (const rehearsal::RunReport& run : report.runs) {
    came_back = came_back || !run.runonce_name.empty();
  }
  if (came_back) return "it comes back by itself:" + RunEndings(report);
  if (repaired) return "nothing comes back; the repair is done";
  settings.pending = SessionRequest::kNone;
  rehearsal::RunSessions(machine, settings, quiet);
  return "nothing comes back; start " + machine.self_path() + " again:" + RunEndings(report);
}

std::string FirstLine(const std::string& screen) {
  size_t start = screen.find_first_not_of('\n');
  if (start == std::string::npos) return "";
  size_t end = screen.find('\n', start);
  std::string line = screen.substr(start, end == std::string::npos ? end : end - start);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace

bool BuildSimulatedPc(const std::vector<std::string>& args, SimMachine* machine,
                      std::vector<std::string>* first_argv, std::string* error) {
  std::vector<const char*> argv = {"netrevive-sim", "--keys", "auto"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  rehearsal::SimOptions options;
  if (!rehearsal::ParseSimOptions(static_cast<int>(argv.size()), argv.data(), &options, error)) {
    return false;
  }
  if (!options.machine_dir.empty() || !options.guide_dir.empty() || options.one_run ||
      !options.registry.empty()) {
    *error = "only built-in machines are simulated in memory";
    return false;
  }
  rehearsal::MachineSource source;
  rehearsal::MachineFault fault;
  if (!rehearsal::GetMachine(options, &source, &fault, error)) return false;
  const rehearsal::SessionSettings settings = rehearsal::SettingsFor(options, source);
  *first_argv = settings.first_argv;
  if (first_argv->empty()) {
    *first_argv = {settings.program.empty() ? source.machine.self_path() : settings.program};
  }
  *machine = std::move(source.machine);
  return true;
}

bool ProbeStops(const std::vector<std::string>& args, std::vector<Stop>* stops,
                std::string* error) {
  SimMachine machine;
  std::vector<std::string> first;
  if (!BuildSimulatedPc(args, &machine, &first, error)) return false;
  const SimMachine before = machine;
  std::vector<Snapshot> snapshots;
  std::vector<std::pair<std::vector<std::string>, bool>> queue = {{first, false}};
  int run = 0;
  for (int session = 1; session <= kMaxSessions && !queue.empty(); ++session) {
    for (const auto& queued : queue) {
      // Named copies: a lambda cannot capture structured bindings in C++17.
      const std::vector<std::string>& argv = queued.first;
      const bool by_windows = queued.second;
      ++run;
      int pause = 0;
      const size_t run_start = snapshots.size();
      ProbeTerminal terminal([&](const std::string& screen) {
        Snapshot shot{Stop{}, machine};
        shot.stop.run = run;
        shot.stop.argv = argv;
        shot.stop.by_windows = by_windows;
        shot.stop.pause = ++pause;
        shot.stop.screen = screen;
        snapshots.push_back(shot);
      });
      Console console(terminal);
      std::vector<const char*> c_argv;
      for (const std::string& a : argv) c_argv.push_back(a.c_str());
      c_argv.push_back(nullptr);
      machine.StartProgram();
      RunNetrevive(static_cast<int>(argv.size()), c_argv.data(), machine, console);
      const std::string ending = rehearsal::EndingName(terminal.output());
      for (size_t i = run_start; i < snapshots.size(); ++i) snapshots[i].stop.ending = ending;
      if (snapshots.size() > run_start) snapshots.back().stop.last = true;
    }
    queue.clear();
    if (machine.requested_session_end() == SessionRequest::kNone) break;
    simulated_pc::SessionStart start(machine);
    std::vector<std::string> next;
    while (start.NextProgramRun(&next)) queue.push_back({next, true});
  }
  stops->clear();
  for (size_t i = 0; i < snapshots.size(); ++i) {
    Stop stop = snapshots[i].stop;
    stop.state = DescribeState(before, snapshots[i].machine);
    // Done: DUN and the Winsock2 key are back, and nothing more is scheduled.
    const SimMachine& pc = snapshots[i].machine;
    std::string entry;
    const bool repaired = stop.state != "nothing changed" && simulated_pc::DunInstalled(pc) &&
                          pc.KeyExists(simulated_pc::kWinsock2Path) &&
                          !pc.GetString(simulated_pc::kRunOncePath, "QU Netrevive", &entry) &&
                          !pc.FileExists(pc.windows_dir() + "\\rundunreinst.QU") &&
                          !pc.FileExists(pc.windows_dir() + "\\netrevive.QU");
    stop.after_close = Aftermath(pc, false, repaired);
    stop.after_power_off = Aftermath(pc, true, repaired);
    if (!stop.last && i + 1 < snapshots.size()) {
      const std::string line = FirstLine(snapshots[i + 1].stop.screen);
      stop.next = line.empty() ? "the program goes on to its next pause" : "\"" + line + "\"";
    } else {
      stop.next = "the run ends (" + stop.ending + ")";
    }
    stops->push_back(stop);
  }
  return true;
}

std::string DescribeState(const SimMachine& before, const SimMachine& now) {
  const std::string windows = now.windows_dir();
  const bool backups = now.FileExists(windows + "\\system.tom");
  const bool winsock2 = now.KeyExists(simulated_pc::kWinsock2Path);
  const bool dun = simulated_pc::DunInstalled(now);
  const bool had_upgrade = before.KeyExists(simulated_pc::kMsdunPath);
  const bool upgrade = now.KeyExists(simulated_pc::kMsdunPath);
  std::string command;
  const bool scheduled = now.GetString(simulated_pc::kRunOncePath, "QU Netrevive", &command);
  const bool marker = now.FileExists(windows + "\\rundunreinst.QU");
  const bool under_way = now.FileExists(windows + "\\netrevive.QU");
  if (backups == before.FileExists(windows + "\\system.tom") &&
      winsock2 == before.KeyExists(simulated_pc::kWinsock2Path) &&
      dun == simulated_pc::DunInstalled(before) && upgrade == had_upgrade && !scheduled &&
      !marker && !under_way) {
    return "nothing changed";
  }
  std::string text = backups ? "backups made" : "no backups";
  text += winsock2 ? "; Winsock2 key there" : "; Winsock2 key GONE";
  text += dun ? "; DUN installed" : "; DUN NOT INSTALLED";
  if (had_upgrade) text += upgrade ? "; upgrade still there" : "; upgrade removed";
  if (scheduled) text += "; next run scheduled: " + command;
  if (marker) text += "; reinstall authorised (rundunreinst.QU)";
  if (under_way) text += "; repair under way (netrevive.QU)";
  return text;
}

}  // namespace netrevive::support_kit
