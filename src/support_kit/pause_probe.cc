#include "support_kit/pause_probe.h"

#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/endings.h"
#include "rehearsal/machine_source.h"
#include "rehearsal/options.h"

namespace netrevive::support_kit {

using rehearsal::PauseStop;
using rehearsal::RunReport;
using rehearsal::SessionReport;
using rehearsal::SessionSettings;
using simulated_pc::SessionRequest;
using simulated_pc::SimMachine;

namespace {

struct Snapshot {
  PauseStop pause;
  SimMachine machine;
};

// The facts that hold of the machine alone, against the machine before.
PcFacts FactsOf(const SimMachine& before, const SimMachine& now) {
  PcFacts facts;
  const std::string windows = now.windows_dir();
  std::string tom_before, tom_now;
  const bool had_tom = before.ReadFile(windows + "\\system.tom", &tom_before);
  facts.backups =
      now.ReadFile(windows + "\\system.tom", &tom_now) && (!had_tom || tom_now != tom_before);
  const bool had_winsock2 = before.KeyExists(simulated_pc::kWinsock2Path);
  facts.winsock2_missing = !now.KeyExists(simulated_pc::kWinsock2Path);
  facts.winsock2_deleted = had_winsock2 && facts.winsock2_missing;
  const bool had_upgrade = before.KeyExists(simulated_pc::kMsdunPath);
  const bool upgrade = now.KeyExists(simulated_pc::kMsdunPath);
  facts.upgrade_removed = had_upgrade && !upgrade;
  facts.dun_missing = !simulated_pc::DunInstalled(now);
  facts.dun_uninstalled = simulated_pc::DunInstalled(before) && facts.dun_missing;
  now.GetString(simulated_pc::kRunOncePath, "QU Netrevive", &facts.runonce);
  facts.marker = now.FileExists(windows + "\\rundunreinst.QU");
  facts.record = now.FileExists(windows + "\\netrevive.QU");
  facts.changed = facts.backups || facts.winsock2_missing != !had_winsock2 ||
                  facts.upgrade_removed ||
                  facts.dun_missing == simulated_pc::DunInstalled(before) ||
                  !facts.runonce.empty() || facts.marker || facts.record;
  facts.upgrade_left = facts.changed && had_upgrade && upgrade;
  return facts;
}

// The screen's first line that is not blank.
std::string FirstLine(const std::string& screen) {
  size_t start = screen.find_first_not_of('\n');
  if (start == std::string::npos) return "";
  size_t end = screen.find('\n', start);
  std::string line = screen.substr(start, end == std::string::npos ? end : end - start);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

void ReadReport(const SessionReport& report, Continuation* after) {
  after->endings.clear();
  after->check.clear();
  for (const RunReport& run : report.runs) {
    if (!run.callers_check) after->endings.push_back(run.ending_name);
  }
  if (!report.runs.empty() && report.runs.back().argv.size() == 2 &&
      report.runs.back().argv[1] == "Check") {
    after->check = report.runs.back().ending_name;
  }
}

// The PC after the caller closed the window at the stop (or the power went)
// and started it again. A fault injected to reach the stop was that
// moment's: the PC started again meets none.
Continuation Continue(SimMachine machine, bool power_off, const PcFacts& done) {
  machine.ClearFaults();
  if (power_off) machine.CutPower();
  rehearsal::SimOutput quiet(nullptr);
  SessionReport report;
  SessionSettings settings;
  settings.keys = rehearsal::KeySource::kAuto;
  settings.report = &report;
  settings.pending = SessionRequest::kRestart;
  rehearsal::RunSessions(machine, settings, quiet);
  Continuation after;
  bool came_back = false;
  for (const RunReport& run : report.runs) came_back = came_back || !run.runonce_name.empty();
  if (came_back || done.Complete()) {
    after.start = came_back ? Continuation::Start::kByItself : Continuation::Start::kNothingLeft;
    ReadReport(report, &after);
    return after;
  }
  after.start = Continuation::Start::kCallerAgain;
  after.again = machine.self_path();
  settings.pending = SessionRequest::kNone;
  rehearsal::RunSessions(machine, settings, quiet);
  ReadReport(report, &after);
  return after;
}

}  // namespace

bool PcFacts::Complete() const {
  return changed && !winsock2_missing && !dun_missing && runonce.empty() && !marker && !record;
}

bool SafeToStop(const Stop& stop) {
  if (!stop.done.changed) return true;
  const rehearsal::Ending* ending = rehearsal::FindEnding(stop.ending);
  if (stop.last && ending != nullptr &&
      (ending->kind == rehearsal::EndingKind::kStopped ||
       ending->kind == rehearsal::EndingKind::kRefused)) {
    return true;
  }
  for (const Continuation* after : {&stop.after_close, &stop.after_power_off}) {
    if (!after->Repaired() && after->check != stop.key_check) return false;
  }
  return true;
}

bool BuildSimulatedPc(const std::vector<std::string>& args, SimMachine* machine,
                      SessionSettings* settings, std::string* error) {
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
  *settings = rehearsal::SettingsFor(options, source);
  settings->keys = rehearsal::KeySource::kAuto;
  // The program where the caller is told to put it.
  SimMachine& pc = source.machine;
  std::string program;
  if (pc.self_path() == simulated_pc::kDefaultSelfPath &&
      pc.ReadFile(simulated_pc::kDefaultSelfPath, &program)) {
    pc.RemoveFile(simulated_pc::kDefaultSelfPath);
    pc.PutFile(kProgramPath, program);
    pc.set_self_path(kProgramPath);
  }
  *machine = std::move(pc);
  return true;
}

std::vector<Stop> ProbeMachine(const SimMachine& start, SessionSettings settings) {
  SimMachine machine = start;
  std::vector<Snapshot> snapshots;
  SessionReport report;
  settings.keys = rehearsal::KeySource::kAuto;
  settings.report = &report;
  settings.on_pause = [&snapshots](const PauseStop& pause, const SimMachine& now) {
    snapshots.push_back(Snapshot{pause, now});
  };
  rehearsal::SimOutput quiet(nullptr);
  rehearsal::RunSessions(machine, settings, quiet);

  Continuation uninterrupted;
  ReadReport(report, &uninterrupted);
  std::vector<Stop> stops;
  bool winsock2_gone = !start.KeyExists(simulated_pc::kWinsock2Path);
  bool dun_gone = !simulated_pc::DunInstalled(start);
  for (size_t i = 0; i < snapshots.size(); ++i) {
    const PauseStop& pause = snapshots[i].pause;
    const SimMachine& pc = snapshots[i].machine;
    Stop stop;
    static_cast<rehearsal::PauseStop&>(stop) = pause;
    const size_t run = static_cast<size_t>(pause.run - 1);
    stop.ending = run < report.runs.size() ? report.runs[run].ending_name : "";
    stop.last = i + 1 == snapshots.size() || snapshots[i + 1].pause.run != pause.run;
    if (!stop.last) stop.next_line = FirstLine(snapshots[i + 1].pause.screen);
    stop.done = FactsOf(start, pc);
    stop.key_check = uninterrupted.check;
    // Written anew or installed again: gone at an earlier stop or before.
    stop.done.winsock2_written = winsock2_gone && !stop.done.winsock2_missing;
    stop.done.dun_reinstalled = dun_gone && !stop.done.dun_missing;
    winsock2_gone = winsock2_gone || stop.done.winsock2_missing;
    dun_gone = dun_gone || stop.done.dun_missing;
    stop.after_close = Continue(pc, false, stop.done);
    stop.after_power_off = Continue(pc, true, stop.done);
    stops.push_back(stop);
  }
  return stops;
}

bool ProbeStops(const std::vector<std::string>& args, std::vector<Stop>* stops,
                std::string* error) {
  SimMachine machine;
  SessionSettings settings;
  if (!BuildSimulatedPc(args, &machine, &settings, error)) return false;
  *stops = ProbeMachine(machine, settings);
  return true;
}

}  // namespace netrevive::support_kit
