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
  return md + "\n";
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

// The facts of several stops in one cell: a fact every stop shares plain, a
// fact only some share followed by where it holds, in the order the stops
// name them.
std::string MergedDone(const std::vector<std::pair<std::string, std::string>>& done_by_where) {
  std::vector<std::string> items;
  std::map<std::string, std::vector<std::string>> where_of;
  for (const auto& [where, done] : done_by_where) {
    size_t at = 0;  // after the last item this stop shares with those before
    size_t from = 0;
    while (from <= done.size()) {
      size_t cut = done.find("; ", from);
      if (cut == std::string::npos) cut = done.size();
      const std::string item = done.substr(from, cut - from);
      from = cut + 2;
      auto found = std::find(items.begin(), items.end(), item);
      if (found == items.end()) {
        items.insert(items.begin() + static_cast<long>(at), item);
        ++at;
      } else {
        at = static_cast<size_t>(found - items.begin()) + 1;
      }
      where_of[item].push_back(where);
    }
  }
  std::string text;
  for (const std::string& item : items) {
    const std::vector<std::string>& wheres = where_of[item];
    std::string only;
    if (wheres.size() < done_by_where.size()) {
      for (const std::string& where : wheres) only += (only.empty() ? "" : ", ") + where;
      only = " (" + only + ")";
    }
    text += (text.empty() ? "" : "; ") + Html(item) + only;
  }
  return text;
}

}  // namespace

std::string WhereTable(const GuideRuns& runs) {
  std::string md = Heading("##", "where-is-the-caller-now", "Where is the caller now");
  md += Wrap(
      "Every stop for a key, found by running the program: the repair on 98 SE and where other "
      "PCs differ (under the lines: the PC, run/stop), then the last screen of every ending, then "
      "other screens "
      "on the way to an ending. Find the row by the last lines the caller reads. \"scheduled\": "
      "the RunOnce entry Windows runs at its next start; rundunreinst.QU authorises the "
      "reinstallation; netrevive.QU marks a repair under way. Yes: closing the window there (or a "
      "power cut) and starting the PC again ends no worse than the key; then what follows: the "
      "runs Windows starts by itself, or those after the caller starts the program again (Start, "
      "Run, C:\\NETREVIVE.EXE, OK).");
  md += "\n";
  // One row for the stops that show the same lines and lead to the same
  // places; its first cell names them all and holds each one's anchor (the
  // index's progress lines link to them).
  struct Row {
    std::string where, lines, safety, after;
    std::vector<std::pair<std::string, std::string>> done;  // by stop
  };
  std::vector<Row> rows;
  std::map<std::string, size_t> seen;  // a row's key -> the row
  std::set<std::string> screens;       // the last lines of every row
  auto add = [&](const Stop& stop, const std::string& who, const std::string& label,
                 const std::string& anchor, bool last_screen) {
    const std::string lines = LastLines(stop.screen, 2);
    const std::string target = anchor.empty() ? "" : "<a id=\"" + anchor + "\"></a>";
    // A stop's row: its lines and where the close and the key lead. An
    // ending's last screen no stop's row shows joins the others of its lines
    // and facts, whose key ends each its own run.
    const std::string stop_key = lines + "|" + SafetyHtml(stop) + "|" + AfterKeyHtml(stop);
    const std::string end_key = lines + "|" + SafetyHtml(stop) + "|" + DoneText(stop.done);
    screens.insert(LastLines(stop.screen, 3));
    auto found = seen.find(stop_key);
    if (found == seen.end() && last_screen) found = seen.find(end_key);
    if (found == seen.end()) {
      seen[last_screen ? end_key : stop_key] = rows.size();
      rows.push_back({label + target, lines, SafetyHtml(stop), AfterKeyHtml(stop), {}});
      rows.back().done.push_back({who, DoneText(stop.done)});
      return;
    }
    Row& row = rows[found->second];
    if (!last_screen && !Contains(row.where, label)) row.where += "; " + label;
    row.where += target;
    if (last_screen && !Contains(row.after, ShortEnding(stop.ending))) {
      row.after += ", " + ShortEnding(stop.ending);
    }
    row.done.push_back({who, DoneText(stop.done)});
  };
  for (const Stop& stop : runs.walkthrough) {
    add(stop, "98 SE", "98 SE " + std::to_string(stop.run) + "/" + std::to_string(stop.pause),
        StopAnchor(kWalkthroughPreset, stop.run, stop.pause), false);
  }
  for (const auto& [preset, stops] : runs.other_stops) {
    for (const Stop& stop : stops) {
      add(stop, Html(preset),
          Html(preset) + " " + std::to_string(stop.run) + "/" + std::to_string(stop.pause),
          StopAnchor(preset, stop.run, stop.pause), false);
    }
  }
  for (const Ending& ending : Endings()) {
    auto it = runs.last_screens.find(ending.name);
    if (it != runs.last_screens.end()) add(it->second, ending.name, "", "", true);
  }
  // The stops on the way to each ending whose screen no row above shows:
  // the refusals' own pauses, the prompts of the checks before the first
  // change.
  for (const Ending& ending : Endings()) {
    auto it = runs.reach_stops.find(ending.name);
    if (it == runs.reach_stops.end()) continue;
    for (const Stop& stop : it->second) {
      if (screens.count(LastLines(stop.screen, 3)) != 0) continue;
      add(stop, ending.name,
          "on the way to " + ShortEnding(ending.name) + " " + std::to_string(stop.run) + "/" +
              std::to_string(stop.pause),
          "", false);
    }
  }
  // The stops a row stands for under its lines: the lines are what the
  // agent looks for.
  std::vector<std::vector<std::string>> cells;
  for (const Row& row : rows) {
    cells.push_back({row.lines + (row.where.empty() ? "" : "<br> <i>" + row.where + "</i>"),
                     MergedDone(row.done), row.safety, row.after});
  }
  md += WideTable("where", {34, 27, 21, 18},
                  {"Last lines on the screen (the stop)", "Done to the PC",
                   "May the caller close the window or switch off?", "After the key"},
                  cells);
  return md + "\n";
}

}  // namespace netrevive::support_kit
