// The power fails after each platform call of a whole repair in turn. The
// machine comes back, Windows runs the RunOnce entries, and the user goes on
// as the messages lead him: where nothing resumes the program, he starts it
// again himself, once. For every cut point the test records
// where the machine ends and whether the repair completed, prints the
// table, and checks that a repair which cannot complete has told the user
// what to do.
//
// The repair is complete when DUN and its default driver are installed, the
// Winsock2 key is there again because InstallHinfSection rebuilt it after
// the last deletion, no DUN upgrade is left, and neither the marker, the
// record of a repair under way nor a resume entry remains.

#include <gtest/gtest.h>
#include <stdio.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_session_start.h"
#include "reliability/reliability_support.h"
#include "reliability/scenarios.h"

namespace netrevive::reliability {
namespace {

constexpr int kMaxStarts = 8;      // program starts in one repair, by Windows or the user
constexpr int kMaxUserStarts = 2;  // of which the user's own, the first included

constexpr const char kBannerEnd[] = "QU please contact the MERX at 555-555-0142.\n\n\n";

// What a run said after the banner.
std::string AfterBanner(const std::string& transcript) {
  size_t at = transcript.find(kBannerEnd);
  return at == std::string::npos ? transcript : transcript.substr(at + sizeof kBannerEnd - 1);
}

// The last line the run printed before it ended.
std::string LastLine(const std::string& shown) {
  std::string transcript = shown;
  const std::string mark = testing::kKeyMark;
  for (size_t at = 0; (at = transcript.find(mark, at)) != std::string::npos;) {
    transcript.erase(at, mark.size());
  }
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < transcript.size()) {
    size_t end = transcript.find('\n', start);
    if (end == std::string::npos) end = transcript.size();
    std::string line = transcript.substr(start, end - start);
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines.empty() ? "" : lines.back();
}

// Texts that tell the user what to do when the program cannot go on.
bool GivesAdvice(const std::string& said) {
  static const char* const kAdvice[] = {
      "add/remove programs", "add remove programs", "Add remove programs",
      "reinstall DUN",       "contact the MERX",    "report this Error",
  };
  for (const char* advice : kAdvice) {
    if (Contains(said, advice)) return true;
  }
  return false;
}

struct Start {
  uint64_t first_call = 0;
  std::vector<std::string> args;
  bool by_user = false;
  bool cut = false;  // the power failed during this run
  RunOutput out;
};

struct Journey {
  uint64_t cut_after = 0;
  std::string cut_call;  // the last call made with power on
  int cut_in_start = 0;  // 1-based, 0 when the power never failed
  std::vector<Start> starts;
  std::vector<std::string> broken;
  bool completed = false;
  bool dun = false;
  bool winsock2 = false;
  bool marker = false;
  bool entry = false;
  bool upgrade = false;
  uint64_t calls = 0;                   // platform calls over the whole repair
  std::vector<std::string> call_names;  // by call index - 1 (see NameCalls)
  // An UpgradeRemove run started while the upgrade was still installed
  // uninstalled DUN from under it.
  bool under_upgrade = false;
};

// Each call of the repair named by its run, its operation and what it
// concerns, such as "run 1 RegDeleteKeyA Winsock2" or "run 2 CreateProcessA
// RnaReboot"; a name met before in the same run gets its count ("#2").
std::vector<std::string> NameCalls(const simulated_pc::SimMachine& machine,
                                   const std::vector<Start>& runs) {
  static const char* const kHelpers[] = {
      "", "UninstallUpgrade", "RnaReboot", "InstallHinfSection", "InstallDefaultDrv", ""};
  const std::map<uint64_t, Started> starts = StartsOf(machine);
  std::vector<std::string> names;
  std::map<std::string, int> seen;
  size_t run = 0;
  for (const simulated_pc::CallRecord& call : machine.calls()) {
    for (; run < runs.size() && call.index >= runs[run].first_call; ++run) seen.clear();
    std::string name = simulated_pc::OpName(call.operation);
    const char* helper = kHelpers[static_cast<int>(StartedBy(starts, call))];
    if (helper[0] != '\0') {
      name += std::string(" ") + helper;
    } else if (!call.path.empty()) {
      name += " " + call.path.substr(call.path.find_last_of('\\') + 1);
    }
    const int count = ++seen[name];
    if (count > 1) name += " #" + std::to_string(count);
    names.push_back("run " + std::to_string(run) + " " + name);
  }
  return names;
}

bool Rebuilt(const simulated_pc::SimMachine& machine) {
  uint64_t last_delete = 0;
  uint64_t last_rebuild = 0;
  const std::map<uint64_t, Started> starts = StartsOf(machine);
  for (const simulated_pc::CallRecord& call : machine.calls()) {
    if (IsWinsock2Delete(call) && Succeeded(call)) last_delete = call.index;
    if (StartedBy(starts, call) == Started::kInstallHinfSection) last_rebuild = call.index;
  }
  return last_delete != 0 && last_rebuild > last_delete;
}

bool Completed(const simulated_pc::SimMachine& machine) {
  std::string entry;
  return simulated_pc::DunInstalled(machine) &&
         machine.KeyExists(simulated_pc::kDialUpAdapterPath) &&
         machine.KeyExists(simulated_pc::kWinsock2Path) && Rebuilt(machine) &&
         !machine.KeyExists(simulated_pc::kMsdunPath) && !MarkerExists(machine) &&
         !RepairStateExists(machine) && !ResumeEntry(machine, &entry);
}

Journey Play(const simulated_pc::SimMachine& start, uint64_t cut_after) {
  Journey j;
  j.cut_after = cut_after;
  simulated_pc::SimMachine machine = start;
  machine.ResetCallLog();
  if (cut_after != 0) machine.PowerCutAfter(cut_after);
  std::vector<std::string> args = {machine.self_path()};
  bool by_user = true;
  int user_starts = 0;
  for (int n = 1; n <= kMaxStarts; ++n) {
    if (by_user) ++user_starts;
    const bool upgrade_before =
        ModeOf(args) == RunMode::kUpgradeRemove && machine.KeyExists(simulated_pc::kMsdunPath);
    Start s;
    s.args = args;
    s.by_user = by_user;
    const uint64_t first = machine.call_count() + 1;
    s.first_call = first;
    s.out = RunProgram(machine, args);
    s.cut = machine.powered_off();
    if (upgrade_before) {
      for (const auto& [index, started] : StartsOf(machine)) {
        j.under_upgrade |= index >= first && started == Started::kUninstallUpgrade;
      }
    }
    for (const std::string& b : CheckRun(machine, first, ModeOf(args), s.out)) {
      j.broken.push_back("start " + std::to_string(n) + ": " + b);
    }
    if (s.cut) {
      j.cut_in_start = n;
      const simulated_pc::CallRecord& call = machine.calls()[machine.power_cut_at() - 1];
      j.cut_call = std::string(simulated_pc::OpName(call.operation)) + " " + call.path;
    }
    j.starts.push_back(s);
    if (Completed(machine)) break;

    std::string entry;
    if (ResumeEntry(machine, &entry) && EndsWith(entry, " ReinstallDUN") &&
        simulated_pc::DunInstalled(machine)) {
      j.broken.push_back("a ReinstallDUN entry waits while DUN is still installed");
    }
    // The machine restarts, whether the power failed, the program asked for
    // it, or the user does it to try again.
    args = simulated_pc::StartSessionUpToProgram(machine);
    // A new session forgets a pending cut; one not reached yet stays due.
    if (j.cut_in_start == 0 && cut_after > machine.call_count()) machine.PowerCutAfter(cut_after);
    by_user = args.empty();
    if (by_user) {
      if (user_starts >= kMaxUserStarts) break;
      args = {machine.self_path()};
    }
  }
  j.calls = machine.call_count();
  j.call_names = NameCalls(machine, j.starts);
  j.completed = Completed(machine);
  j.dun = simulated_pc::DunInstalled(machine);
  j.winsock2 = machine.KeyExists(simulated_pc::kWinsock2Path);
  j.marker = MarkerExists(machine);
  std::string entry;
  j.entry = ResumeEntry(machine, &entry);
  j.upgrade = machine.KeyExists(simulated_pc::kMsdunPath);

  // DUN is reinstalled once per marker that a run created.
  int markers = 0;
  int reinstalls = 0;
  const std::map<uint64_t, Started> starts = StartsOf(machine);
  for (const simulated_pc::CallRecord& call : machine.calls()) {
    if (call.operation == Op::kOpenFileForWrite && IsMarkerPath(machine, call.path) &&
        Succeeded(call)) {
      ++markers;
    }
    if (StartedBy(starts, call) == Started::kInstallHinfSection) ++reinstalls;
  }
  if (reinstalls > markers) {
    j.broken.push_back(std::to_string(reinstalls) + " reinstallations for " +
                       std::to_string(markers) + " markers");
  }
  return j;
}

// What the user was told last: the messages of the runs after the power
// came back (those of the run the power failed in were never seen).
std::string ToldLast(const Journey& j) {
  for (size_t i = j.starts.size(); i-- > 0;) {
    if (j.starts[i].cut) break;
    std::string said = AfterBanner(j.starts[i].out.transcript);
    if (GivesAdvice(said)) return LastLine(said);
  }
  return "";
}

std::string Outcome(const Journey& j) {
  char line[256];
  snprintf(
      line, sizeof line, "%s in %zu starts (%d by the user); DUN %s, Winsock2 %s%s%s%s",
      j.completed ? "completed" : "NOT COMPLETED", j.starts.size(),
      [&j] {
        int n = 0;
        for (const Start& s : j.starts) n += s.by_user ? 1 : 0;
        return n;
      }(),
      j.dun ? "yes" : "no", j.winsock2 ? "yes" : "no", j.marker ? ", marker left" : "",
      j.entry ? ", RunOnce entry left" : "", j.upgrade ? ", upgrade still installed" : "");
  std::string text = line;
  if (j.under_upgrade) text += "; DUN UNINSTALLED UNDER THE UPGRADE";
  if (!j.completed) text += "; last told: \"" + ToldLast(j) + "\"";
  return text;
}

// Cut points as ranges of neighbouring ones, each named by the calls around
// it: "after run 1 RegDeleteKeyA Winsock2 .. before run 1 CreateProcessA
// UninstallUpgrade" (names from NameCalls).
std::vector<std::string> NameRanges(const std::vector<uint64_t>& cuts, const Journey& clean) {
  std::vector<std::string> ranges;
  for (size_t i = 0; i < cuts.size();) {
    size_t last = i;
    while (last + 1 < cuts.size() && cuts[last + 1] == cuts[last] + 1) ++last;
    const uint64_t next = cuts[last] + 1;  // the first call the cut stops
    ranges.push_back("after " + clean.call_names[cuts[i] - 1] + " .. before " +
                     (next <= clean.call_names.size() ? clean.call_names[next - 1] : "the end"));
    i = last + 1;
  }
  return ranges;
}

// The cut points by what follows them.
struct SweepResult {
  std::vector<std::string> stuck;          // the repair cannot complete
  std::vector<std::string> under_upgrade;  // an UpgradeRemove run met the upgrade installed
};

// Sweeps the cut over every call of the repair's clean run and prints one
// row per range of neighbouring cut points with the same outcome.
SweepResult Sweep(const std::string& name, const simulated_pc::SimMachine& start, int* cut_points,
                  int* runs) {
  Journey clean = Play(start, 0);
  EXPECT_TRUE(clean.completed) << name;
  EXPECT_TRUE(clean.broken.empty()) << name << ": " << clean.broken[0];
  const uint64_t total = clean.calls;
  printf("\n%s: %zu runs, %llu platform calls when nothing fails\n", name.c_str(),
         clean.starts.size(), static_cast<unsigned long long>(total));
  printf("  %-9s %-5s %s\n", "cut after", "run", "last calls before the cut");

  std::vector<uint64_t> stuck;
  std::vector<uint64_t> under_upgrade;
  uint64_t range_start = 1;
  std::string range_outcome;
  std::string first_call;
  std::string last_call;
  int range_run = 0;
  auto flush = [&](uint64_t last) {
    if (range_outcome.empty()) return;
    std::string cuts = std::to_string(range_start);
    std::string calls = first_call;
    if (last != range_start) {
      cuts += "-" + std::to_string(last);
      calls += " .. " + last_call;
    }
    printf("  %-9s %-5d %s\n  %15s %s\n", cuts.c_str(), range_run, calls.c_str(), "->",
           range_outcome.c_str());
  };
  const uint64_t stride = SweepStride();
  for (uint64_t cut = 1; cut <= total; ++cut) {
    if (cut % stride != 0 && cut != total) continue;
    Journey j = Play(start, cut);
    ++*cut_points;
    *runs += static_cast<int>(j.starts.size());
    EXPECT_NE(j.cut_in_start, 0) << name << " cut " << cut;
    for (const std::string& b : j.broken) {
      ADD_FAILURE() << name << ", cut after call " << cut << ": " << b;
    }
    if (j.under_upgrade) under_upgrade.push_back(cut);
    if (!j.completed) {
      stuck.push_back(cut);
      EXPECT_NE(ToldLast(j), "") << name << ", cut after call " << cut
                                 << ": the repair did not complete and the user was not told "
                                    "what to do";
    }
    std::string outcome = Outcome(j);
    if (outcome != range_outcome || j.cut_in_start != range_run) {
      flush(cut - 1);
      range_start = cut;
      range_outcome = outcome;
      range_run = j.cut_in_start;
      first_call = j.cut_call;
    }
    last_call = j.cut_call;
  }
  flush(total);
  return {NameRanges(stuck, clean), NameRanges(under_upgrade, clean)};
}

struct Repair {
  const char* name;
  const char* preset;
  // The machine writes its registry lazily, as Windows 9x does: a cut loses
  // what was not written yet.
  bool lazy = false;
};

// Whatever the cut, the repair completes: Windows brings the program back,
// or the user starts it once more. A run that finds the repair under way
// (netrevive.QU) carries it on from the state it finds, and counts a Winsock2
// key already gone as deleted; the entry and the marker are written before
// the pauses at which a window may be closed. No DUN is uninstalled while the
// upgrade is still installed: a restart between the UpgradeRemove entry and
// the upgrade's uninstaller brings an UpgradeRemove run that starts the
// uninstaller itself.
TEST(PowerCutTest, EveryCutPointOfTheRepairs) {
  auto started = std::chrono::steady_clock::now();
  const Repair repairs[] = {
      {"two-run repair (no upgrade)", "98se"},
      {"three-run repair (upgrade by dunsetup.exe /u)", "upgrade-dunsetup"},
      // Run 1 deletes Winsock2 and starts the uninstaller, which puts it
      // back; the fresh run 2 that the bare entry starts deletes it again.
      {"repair with an upgrade removed by rundll32.exe", "upgrade-rundll32"},
      // The same uninstaller without putting the key back: run 2 counts the
      // deletion as done.
      {"repair with an upgrade removed by rundll32.exe, Winsock2 left gone",
       "upgrade-rundll32-no-restore"},
      {"two-run repair, registry written lazily", "98se", true},
      // The Windows CD the caller puts in at the first question stays in its
      // drive.
      {"two-run repair from the Windows CD", "cd-not-in-drive"},
  };
  int cut_points = 0;
  int runs = 0;
  for (const Repair& r : repairs) {
    simulated_pc::SimMachine machine = Preset(r.preset);
    machine.set_lazy_registry(r.lazy);
    SweepResult result = Sweep(r.name, machine, &cut_points, &runs);
    EXPECT_EQ(result.stuck, std::vector<std::string>{}) << r.name;
    EXPECT_EQ(result.under_upgrade, std::vector<std::string>{}) << r.name;
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  printf("\npower cuts: %d cut points, %d program runs, %.2f s\n", cut_points, runs, seconds);
  ::testing::Test::RecordProperty("cut_points", cut_points);
  ::testing::Test::RecordProperty("runs", runs);
}

}  // namespace
}  // namespace netrevive::reliability
