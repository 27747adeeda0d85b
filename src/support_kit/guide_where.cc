// The support guide's call script and where-the-caller-is table.

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

std::string CallScript(const GuideRuns& runs) {
  std::string md = Heading("##", "call-script", "Call script");
  md += kCallScriptBefore;
  md += "\n";
  md += kCallScriptDuring;
  // The first screen of each run Windows starts after a restart or log-off,
  // on the walk-through's PC and on those with an upgrade.
  std::vector<std::pair<std::string, const std::vector<Stop>*>> paths = {{"", &runs.walkthrough}};
  for (const auto& other : runs.other_stops) paths.push_back({other.first, &other.second});
  std::set<std::string> shown;
  std::string screens;
  for (const auto& [preset, stops] : paths) {
    for (const Stop& stop : *stops) {
      if (!stop.by_windows || stop.pause != 1) continue;
      const std::string screen = AfterBanner(stop.screen);
      if (!shown.insert(screen).second) continue;
      std::string argv;
      for (size_t i = 1; i < stop.argv.size(); ++i) argv += (i > 1 ? " " : "") + stop.argv[i];
      std::string first;
      for (const std::string& line : Lines(screen)) {
        if (first.empty()) first = TrimRight(line);
      }
      screens +=
          Wrap("  - `" + first + "` (" +
                   (argv.empty() ? std::string("a fresh run") : "the " + argv + " run") +
                   (preset.empty() ? std::string("") : ", " + PresetDescription(preset)) + ")",
               "    ");
    }
  }
  md += screens + "\n";
  md += kCallScriptAfter;
  // What the PC shows by itself once the repair is done (the runs after the
  // one that repaired it): their last line before the prompt.
  const GuideRun* main = PresetRun(runs, kWalkthroughPreset);
  bool repaired = false;
  std::string after;
  for (const RunReport& run : main->report.runs) {
    if (repaired) {
      std::vector<std::string> lines;
      for (const std::string& line : Lines(run.output)) {
        if (!TrimRight(line).empty()) lines.push_back(TrimRight(line));
      }
      if (lines.size() >= 2) after += "`" + lines[lines.size() - 2] + "` ";
    }
    repaired = repaired || (run.ending != nullptr && run.ending->kind == EndingKind::kRepaired);
  }
  if (!after.empty()) {
    md += "\n" + Wrap("On a repaired PC that window ends with " + after +
                      "(the whole window: the last run of [the walk-through](#walkthrough)).");
  }
  return md + "\n<div class=\"page-break\"></div>\n\n";
}

namespace {

// ---- Where is the caller now ----------------------------------------------------

std::string LastLines(const std::string& screen, size_t count) {
  std::vector<std::string> lines;
  for (const std::string& line : Lines(AfterBanner(screen))) {
    if (!TrimRight(line).empty()) lines.push_back(TrimRight(line));
  }
  std::string out;
  for (size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i) {
    out += (out.empty() ? "" : "<br> ") + ScreenHtml(lines[i]);
  }
  return out;
}

}  // namespace

namespace {

std::vector<std::string> StopRow(const Stop& stop, const std::string& where) {
  return {where, LastLines(stop.screen, 2), Html(DoneText(stop.done)), SafetyHtml(stop),
          AfterKeyHtml(stop)};
}

}  // namespace

std::string WhereTable(const GuideRuns& runs) {
  std::string md = Heading("##", "where-is-the-caller-now", "Where is the caller now");
  md += Wrap(
      "Every place the program stops for a key, found by running it: the repair on a Windows 98 SE "
      "PC, the rows where other PCs differ, the last screen of every ending, then the other "
      "screens on the way to an ending. Find the row by the last lines the caller reads. Done to "
      "the PC: \"scheduled\" is the RunOnce entry Windows runs at its next start; rundunreinst.QU "
      "authorises the reinstallation, netrevive.QU marks a repair under way. Yes means closing the "
      "window there (or a power cut) and starting the PC again ends no worse than the key; then "
      "comes what the PC does: the runs Windows starts by itself, or the caller starting the "
      "program again when nothing comes back.");
  md += "\n";
  std::vector<std::vector<std::string>> rows;
  std::map<std::string, size_t> seen;  // a row's contents -> the row
  std::set<std::string> screens;       // the last lines of every row
  // anchor: the link target the index's progress lines point at; a stop
  // that repeats a row above gives that row its anchor too.
  auto add = [&](const Stop& stop, const std::string& label, const std::string& anchor) {
    const std::string key = LastLines(stop.screen, 3) + "|" + DoneText(stop.done) + "|" +
                            SafetyHtml(stop) + "|" + AfterKeyHtml(stop);
    const std::string target = anchor.empty() ? "" : "<a id=\"" + anchor + "\"></a>";
    auto [it, added] = seen.insert({key, rows.size()});
    if (!added) {
      rows[it->second][0] += target;
      return;
    }
    screens.insert(LastLines(stop.screen, 3));
    rows.push_back(StopRow(stop, label + target));
  };
  for (const Stop& stop : runs.walkthrough) {
    add(stop, "98 SE, run " + std::to_string(stop.run) + ", stop " + std::to_string(stop.pause),
        StopAnchor(kWalkthroughPreset, stop.run, stop.pause));
  }
  for (const auto& [preset, stops] : runs.other_stops) {
    for (const Stop& stop : stops) {
      add(stop,
          Html(preset) + ", run " + std::to_string(stop.run) + ", stop " +
              std::to_string(stop.pause),
          StopAnchor(preset, stop.run, stop.pause));
    }
  }
  for (const Ending& ending : Endings()) {
    auto it = runs.last_screens.find(ending.name);
    if (it != runs.last_screens.end())
      add(it->second, "last screen of " + EndingHtml(ending.name), "");
  }
  // The stops on the way to each ending whose screen no row above shows:
  // the refusals' own pauses, the prompts of the checks before the first
  // change.
  for (const Ending& ending : Endings()) {
    auto it = runs.reach_stops.find(ending.name);
    if (it == runs.reach_stops.end()) continue;
    for (const Stop& stop : it->second) {
      if (!screens.insert(LastLines(stop.screen, 3)).second) continue;
      add(stop,
          "on the way to " + EndingHtml(ending.name) + ", run " + std::to_string(stop.run) +
              ", stop " + std::to_string(stop.pause),
          "");
    }
  }
  md += HtmlTable("where",
                  {"Where", "Last lines on the screen", "Done to the PC",
                   "May the caller close the window or switch off?", "After the key"},
                  rows);
  return md + "\n";
}

}  // namespace netrevive::support_kit
