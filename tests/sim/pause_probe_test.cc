// The stops the support guide is made of: the typed facts of the PC at each
// pause, what closing the window or cutting the power there leads to, the
// safety column made from them, and that the guide's sections say the same.

#include "support_kit/pause_probe.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {
namespace {

using Start = Continuation::Start;

const Stop* FindStop(const std::vector<Stop>& stops, int run, int pause) {
  for (const Stop& stop : stops) {
    if (stop.run == run && stop.pause == pause) return &stop;
  }
  return nullptr;
}

struct StopCase {
  std::vector<std::string> args;
  int run;
  int pause;  // 0: the run's last pause
  bool winsock2_missing;
  bool dun_missing;
  const char* runonce;
  bool marker;
  bool complete;
  Start start;
  std::vector<std::string> endings;  // after the window is closed there
  const char* check;
};

TEST(PauseProbeTest, FactsAndContinuationAtEachStop) {
  const std::string reinstall = std::string(kProgramPath) + " ReinstallDUN";
  const std::string check = std::string(kProgramPath) + " Check";
  const StopCase cases[] = {
      // The Winsock2 key is gone before DUN is uninstalled: closed there,
      // nothing comes back, and a new start carries the repair on.
      {{"--preset", "98se"},
       1,
       1,
       true,
       false,
       "",
       false,
       false,
       Start::kCallerAgain,
       {"restart-for-reinstall", "repaired", "check-repaired"},
       "check-repaired"},
      // "DO NOT TERMINATE": the entry and the marker are written before it.
      {{"--preset", "98se"},
       1,
       2,
       true,
       true,
       reinstall.c_str(),
       true,
       false,
       Start::kByItself,
       {"repaired", "check-repaired"},
       "check-repaired"},
      // The reinstall run used the entry up: started again, it installs DUN.
      {{"--preset", "98se"},
       2,
       1,
       true,
       true,
       "",
       true,
       false,
       Start::kCallerAgain,
       {"repaired", "check-repaired"},
       "check-repaired"},
      {{"--preset", "98se"},
       2,
       3,
       false,
       false,
       check.c_str(),
       false,
       false,
       Start::kByItself,
       {"check-repaired"},
       "check-repaired"},
      {{"--preset", "98se"},
       3,
       1,
       false,
       false,
       "",
       false,
       true,
       Start::kNothingLeft,
       {},
       "check-repaired"},
      // A refusal changes nothing; the Check refuses Windows 95 as well.
      {{"--preset", "95"},
       1,
       0,
       false,
       false,
       "",
       false,
       false,
       Start::kCallerAgain,
       {"refused-95"},
       "check-not-9x"},
      // Windows did not restart: restarted by hand, the rundll32 start that
      // failed is not met again and the reinstallation goes on.
      {{"--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2,skip=1"},
       1,
       0,
       true,
       true,
       reinstall.c_str(),
       true,
       false,
       Start::kByItself,
       {"repaired", "check-repaired"},
       "check-repaired"},
      // Repaired, but the restart failed: the Check is what is scheduled.
      {{"--preset", "no-dun", "--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2,skip=1"},
       1,
       0,
       false,
       false,
       check.c_str(),
       false,
       false,
       Start::kByItself,
       {"check-repaired"},
       "check-repaired"},
  };
  for (const StopCase& c : cases) {
    std::vector<Stop> stops;
    std::string error;
    ASSERT_TRUE(ProbeStops(c.args, &stops, &error)) << error;
    const Stop* found = FindStop(stops, c.run, c.pause);
    for (const Stop& stop : stops) {
      if (c.pause == 0 && stop.run == c.run && stop.last) found = &stop;
    }
    const std::string where =
        c.args.back() + " run " + std::to_string(c.run) + " stop " + std::to_string(c.pause);
    ASSERT_NE(found, nullptr) << where;
    EXPECT_EQ(found->done.winsock2_missing, c.winsock2_missing) << where;
    EXPECT_EQ(found->done.dun_missing, c.dun_missing) << where;
    EXPECT_EQ(found->done.runonce, c.runonce) << where;
    EXPECT_EQ(found->done.marker, c.marker) << where;
    EXPECT_EQ(found->done.Complete(), c.complete) << where;
    EXPECT_EQ(found->after_close.start, c.start) << where;
    EXPECT_EQ(found->after_close.endings, c.endings) << where;
    EXPECT_EQ(found->after_close.check, c.check) << where;
    if (c.start == Start::kCallerAgain) {
      EXPECT_EQ(found->after_close.again, kProgramPath) << where;
    }
  }
}

// Wherever an uninterrupted repair waits for a key, a window closed there or
// a power cut ends in a repaired PC: Windows brings the program back, or the
// caller starts it once more.
TEST(PauseProbeTest, EveryStopOfARepairEndsRepairedAfterAClose) {
  for (const char* preset :
       {"98se", "no-dun", "no-winsock2", "upgrade-dunsetup", "upgrade-rundll32",
        "upgrade-rundll32-no-restore", "cd-not-in-drive"}) {
    std::vector<Stop> stops;
    std::string error;
    ASSERT_TRUE(ProbeStops({"--preset", preset}, &stops, &error)) << error;
    ASSERT_FALSE(stops.empty()) << preset;
    EXPECT_TRUE(stops.back().done.Complete()) << preset;
    for (const Stop& stop : stops) {
      const std::string where = std::string(preset) + " run " + std::to_string(stop.run) +
                                " stop " + std::to_string(stop.pause);
      EXPECT_EQ(stop.argv.front(), kProgramPath) << where;
      for (const Continuation* after : {&stop.after_close, &stop.after_power_off}) {
        EXPECT_TRUE(after->Repaired()) << where << ": " << after->check;
        if (after->start == Start::kCallerAgain) {
          EXPECT_EQ(after->again, kProgramPath) << where;
        }
      }
      EXPECT_TRUE(SafeToStop(stop)) << where;
    }
  }
}

// The safety column: Yes only where stopping cannot cost the repair, and
// the power cut counts as much as the closed window.
TEST(PauseProbeTest, SafetyColumn) {
  Continuation repaired;
  repaired.start = Start::kByItself;
  repaired.endings = {"repaired", "check-repaired"};
  repaired.check = "check-repaired";
  Continuation lost;
  lost.start = Start::kCallerAgain;
  lost.again = kProgramPath;
  lost.endings = {"reinstall-not-authorised"};
  lost.check = "check-repair-stopped";
  struct Case {
    const char* name;
    bool changed;
    bool last;
    const char* ending;
    const char* key_check;
    Continuation close;
    Continuation power_off;
    bool safe;
    bool switched_off_shown;
  };
  const Case cases[] = {
      {"both repaired", true, false, "restart-for-reinstall", "check-repaired", repaired, repaired,
       true, false},
      {"close loses it", true, false, "restart-for-reinstall", "check-repaired", lost, repaired,
       false, true},
      {"power cut loses it", true, false, "restart-for-reinstall", "check-repaired", repaired, lost,
       false, true},
      {"nothing changed", false, false, "refused-95", "check-not-9x", lost, lost, true, false},
      {"last screen of a stop", true, true, "dun-uninstall-failed", "check-repair-stopped", lost,
       lost, true, false},
      {"last screen that goes on", true, true, "restart-for-reinstall", "check-repaired", lost,
       lost, false, false},
      // The key leads where the close does: stopping costs nothing.
      {"no worse than the key", true, false, "restart-for-reinstall", "check-repair-stopped", lost,
       lost, true, false},
  };
  for (const Case& c : cases) {
    Stop stop;
    stop.done.changed = c.changed;
    stop.last = c.last;
    stop.ending = c.ending;
    stop.key_check = c.key_check;
    stop.after_close = c.close;
    stop.after_power_off = c.power_off;
    EXPECT_EQ(SafeToStop(stop), c.safe) << c.name;
    const std::string cell = SafetyHtml(stop);
    EXPECT_EQ(cell.rfind(c.safe ? "Yes" : "<b>NO.</b> ", 0), 0u) << c.name << ": " << cell;
    EXPECT_EQ(cell.find("Switched off: ") != std::string::npos, c.switched_off_shown)
        << c.name << ": " << cell;
  }
}

// The same on a real rehearsal: with the registry written lazily, as
// Windows 9x writes it, a power cut at "Re-installing DUN" brings back the
// RunOnce entry Windows had taken, but the marker it authorised is gone:
// the repair stops, where a closed window lets it finish.
TEST(PauseProbeTest, SafetyColumnCountsThePowerCut) {
  simulated_pc::SimMachine machine;
  rehearsal::SessionSettings settings;
  std::string error;
  ASSERT_TRUE(BuildSimulatedPc({"--preset", "98se"}, &machine, &settings, &error)) << error;
  machine.set_lazy_registry(true);
  const std::vector<Stop> stops = ProbeMachine(machine, settings);
  const Stop* stop = FindStop(stops, 2, 2);
  ASSERT_NE(stop, nullptr);
  EXPECT_TRUE(stop->after_close.Repaired()) << stop->after_close.check;
  EXPECT_FALSE(stop->after_power_off.Repaired()) << stop->after_power_off.check;
  EXPECT_FALSE(SafeToStop(*stop));
  EXPECT_NE(SafetyHtml(*stop).find("Switched off: "), std::string::npos);
  // The stop before it loses nothing either way.
  const Stop* before = FindStop(stops, 2, 1);
  ASSERT_NE(before, nullptr);
  EXPECT_TRUE(SafeToStop(*before));
}

std::string Flat(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\n';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  return out;
}

// The facts of a where-table cell, "; " between them.
std::vector<std::string> Items(const std::string& cell) {
  std::vector<std::string> items;
  for (size_t from = 0; from <= cell.size();) {
    size_t cut = cell.find("; ", from);
    if (cut == std::string::npos) cut = cell.size();
    items.push_back(cell.substr(from, cut - from));
    from = cut + 2;
  }
  return items;
}

// The where-table, the endings and the call script say the same about each
// stop: what was done, what is scheduled, whether the window may be closed;
// the endings' own words agree with the facts of their last screen; the
// other kinds of PC end each run as their simulations do.
TEST(PauseProbeTest, GuideSectionsAgree) {
  GuideRuns runs;
  std::string error;
  ASSERT_TRUE(CollectRuns(&runs, &error)) << error;
  const std::string where = Flat(WhereTable(runs));
  const std::string endings = Flat(EndingsSection(runs));
  const std::string script = Flat(CallScript(runs));
  EXPECT_NE(script.find(std::string("`") + kProgramPath + "`"), std::string::npos);
  // The screens show the program where the caller is told to put it (the
  // command lines for netrevive-sim at the end name its own place).
  const std::string screens = endings.substr(0, endings.find("<a id=\"reproduce-endings\">"));
  for (const std::string& section : {where, screens, script}) {
    EXPECT_EQ(section.find(simulated_pc::kDefaultSelfPath), std::string::npos);
  }
  // Each other kind of PC keeps the anchor the index links to, and its row
  // (shared only with PCs that are another's run for run) names the ending
  // of each of its runs, in order.
  const std::string pcs = Flat(OtherPcs(runs));
  for (const auto& [preset, sim] : runs.presets) {
    if (preset.name == kWalkthroughPreset) continue;
    const size_t anchor = pcs.find("<a id=\"preset-" + preset.name + "\"></a>");
    ASSERT_NE(anchor, std::string::npos) << preset.name;
    const size_t row = pcs.rfind("<tr>", anchor);
    const std::string cells = pcs.substr(row, pcs.find("</tr>", anchor) - row);
    size_t at = 0;
    for (const auto& run : sim.report.runs) {
      at = cells.find(Flat(ShortEnding(run.ending_name)), at);
      ASSERT_NE(at, std::string::npos) << preset.name << ": " << run.ending_name;
      ++at;
    }
    // A PC said to show another's screens run for run ends as it does.
    const std::string as_on = "every run as on <a href=\"#";
    const size_t same = cells.find(as_on);
    if (same == std::string::npos) continue;
    const size_t name_at = same + as_on.size();
    std::string other = cells.substr(name_at, cells.find('"', name_at) - name_at);
    other = other == "walkthrough" ? kWalkthroughPreset : other.substr(strlen("preset-"));
    const GuideRun* earlier = PresetRun(runs, other);
    ASSERT_NE(earlier, nullptr) << preset.name << ": " << other;
    ASSERT_EQ(earlier->report.runs.size(), sim.report.runs.size()) << preset.name;
    for (size_t i = 0; i < sim.report.runs.size(); ++i) {
      EXPECT_EQ(earlier->report.runs[i].ending_name, sim.report.runs[i].ending_name)
          << preset.name << " run " << i + 1 << " as on " << other;
    }
  }
  for (const auto& [name, stop] : runs.last_screens) {
    const Ending* ending = FindEnding(name);
    ASSERT_NE(ending, nullptr) << name;
    // The row of the stop in the where-table (endings whose last screens
    // agree share one, naming each in its last cell): the one place that
    // gives an ending's facts. A row that stands for stops of several PCs
    // names where a fact holds unless it holds for all: the stop's facts are
    // among the row's, and a fact named for all is one of the stop's.
    const std::string tail = Flat("</td> <td> " + SafetyHtml(stop) + " </td> <td> the run ends: ");
    const std::string link = Flat(ShortEnding(name));
    std::set<std::string> facts;
    for (const std::string& fact : Items(Html(DoneText(stop.done)))) facts.insert(fact);
    bool row_found = false;
    for (size_t at = 0; (at = where.find("<tr>", at)) != std::string::npos; ++at) {
      const std::string row = where.substr(at, where.find("</tr>", at) - at);
      const size_t cells = row.find(tail);
      if (cells == std::string::npos || row.find(link, cells + tail.size()) == std::string::npos) {
        continue;
      }
      const size_t done = row.rfind("<td> ", cells) + 5;
      std::set<std::string> all, some;
      for (const std::string& item : Items(row.substr(done, cells - 1 - done))) {
        const size_t where_only = item.find(" (");
        (where_only == std::string::npos ? all : some).insert(item.substr(0, where_only));
      }
      bool agree = true;
      for (const std::string& fact : all) agree = agree && facts.count(fact) == 1;
      for (const std::string& fact : facts) {
        agree = agree && (all.count(fact) == 1 || some.count(fact) == 1);
      }
      row_found = row_found || agree;
    }
    EXPECT_TRUE(row_found) << name << ": " << DoneText(stop.done) << tail << link;
    // The page's search tells the caller's next step from the text after the
    // ending's anchor that begins "What the caller does.".
    EXPECT_NE(endings.find(
                  Flat("<a id=\"" + Anchor(name) + "\"></a><span><b>What the caller does.</b> ")),
              std::string::npos)
        << name;
    // What the ending's words say about scheduling and restarting by hand.
    const std::string meaning = ending->meaning;
    const std::string advice = ending->advice;
    if (meaning.find("othing is scheduled") != std::string::npos) {
      EXPECT_EQ(stop.done.runonce, "") << name;
    }
    // After a stop the key only closes the window: the advice is what the
    // caller does instead of the key.
    if (ending->kind == EndingKind::kStopped &&
        advice.find("comes back by itself") != std::string::npos) {
      EXPECT_EQ(stop.after_close.start, Start::kByItself) << name;
      EXPECT_TRUE(stop.after_close.Repaired()) << name << ": " << stop.after_close.check;
    }
    if (advice.find("the repair is then complete") != std::string::npos) {
      EXPECT_TRUE(stop.after_close.Repaired()) << name;
    }
  }
}

}  // namespace
}  // namespace netrevive::support_kit
