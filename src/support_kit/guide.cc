#include "support_kit/guide.h"

#include <ctype.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/endings.h"
#include "rehearsal/files.h"
#include "rehearsal/machine_export.h"
#include "rehearsal/machine_source.h"
#include "rehearsal/options.h"
#include "support_kit/guide_html.h"
#include "support_kit/guide_text.h"
#include "support_kit/pause_probe.h"
#include "support_kit/prediction.h"
#include "support_kit/restore_procedure.h"

namespace netrevive::support_kit {

using rehearsal::Ending;
using rehearsal::EndingKind;
using rehearsal::Endings;
using rehearsal::ExportBranch;
using rehearsal::ExportBranches;
using rehearsal::ExportCommand;
using rehearsal::FindEnding;
using rehearsal::KeySource;
using rehearsal::ParseSimOptions;
using rehearsal::RunReport;
using rehearsal::RunSessions;
using rehearsal::SessionSettings;
using rehearsal::SimOptions;
using rehearsal::SimOutput;
using simulated_pc::PresetInfo;
using simulated_pc::PresetMachines;
using simulated_pc::SimMachine;

namespace {

constexpr const char kBannerEnd[] = "QU please contact the MERX at 555-555-0142.\n\n\n";
constexpr const char kWalkthroughPreset[] = "98se";
constexpr size_t kWidth = 100;      // the longest line of prose
constexpr size_t kManyEndings = 8;  // a line printed by more endings is a progress line

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string ShellQuote(const std::string& arg) {
  if (!arg.empty() &&
      arg.find_first_not_of(
          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./=,:") ==
          std::string::npos) {
    return arg;
  }
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text;
}

// What a run printed after the banner, which every run shows first.
std::string AfterBanner(const std::string& output) {
  size_t at = output.find(kBannerEnd);
  return at == std::string::npos ? output : output.substr(at + sizeof kBannerEnd - 1);
}

// A fenced block of program output; the key presses as "[key]" lines.
std::string Block(const std::string& text) {
  std::string body = text;
  while (!body.empty() && (body.back() == '\n' || body.back() == ' ')) body.pop_back();
  size_t first = body.find_first_not_of('\n');
  body = first == std::string::npos ? "" : body.substr(first);
  return "```text\n" + body + "\n```\n";
}

// The words of prose: blanks outside code spans (`...` and <code>...</code>)
// separate them; a code span keeps its blanks and is never broken.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool in_tag = false;
  bool in_backticks = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 6, "<code>") == 0) in_tag = true;
    if (text.compare(i, 7, "</code>") == 0) in_tag = false;
    if (text[i] == '`') in_backticks = !in_backticks;
    if (text[i] == ' ' && !in_tag && !in_backticks) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += text[i];
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

// Prose broken at blanks into lines of at most kWidth characters where the
// words allow: the first line keeps the text's leading blanks, each later
// one starts with indent.
std::string Wrap(const std::string& text, const std::string& indent = "") {
  const size_t lead = text.find_first_not_of(' ');
  std::string out;
  std::string line = text.substr(0, lead == std::string::npos ? 0 : lead);
  bool empty = true;  // no word on the line yet
  for (const std::string& word : Words(text)) {
    if (!empty && line.size() + 1 + word.size() > kWidth) {
      out += line + "\n";
      line = indent;
      empty = true;
    }
    line += (empty ? "" : " ") + word;
    empty = false;
  }
  return out + line + "\n";
}

std::string Html(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A screen line as HTML: tabs as four blanks, blanks kept.
std::string ScreenHtml(const std::string& line) {
  std::string text;
  for (char c : line) text += c == '\t' ? std::string("    ") : std::string(1, c);
  return "<code>" + Html(text) + "</code>";
}

std::string Anchor(const std::string& ending) { return "ending-" + ending; }

// A link to an ending by its words, in Markdown.
std::string EndingLink(const std::string& name) {
  if (FindEnding(name) == nullptr) return "`" + name + "`";
  return "[" + EndingTitle(name) + "](#" + Anchor(name) + ")";
}

// The same in HTML; class "ending" lets the search box collect them.
std::string EndingHtml(const std::string& name) {
  if (FindEnding(name) == nullptr) return "<code>" + Html(name) + "</code>";
  return "<a class=\"ending\" href=\"#" + Anchor(name) + "\">" + Html(EndingTitle(name)) + "</a>";
}

// Endings as a run list prints them: names joined by " -> ".
std::string EndingsHtml(const std::string& names) {
  std::string out;
  size_t at = 0;
  while (at <= names.size()) {
    size_t end = names.find(", then ", at);
    std::string name = names.substr(at, end == std::string::npos ? end : end - at);
    out += (out.empty() ? "" : ", then ") + EndingHtml(name);
    if (end == std::string::npos) break;
    at = end + 7;
  }
  return out;
}

// A table as HTML, so that its rows can be broken into short lines and the
// search box can find it: a row wrapped at blanks between cells and words.
std::string HtmlTable(const std::string& cls, const std::vector<std::string>& heads,
                      const std::vector<std::vector<std::string>>& rows) {
  std::string out = "<table" + (cls.empty() ? std::string() : " class=\"" + cls + "\"") + ">\n";
  std::string header = "<thead><tr>";
  for (const std::string& head : heads) header += " <th>" + head + "</th>";
  out += Wrap(header + " </tr></thead>") + "<tbody>\n";
  for (const std::vector<std::string>& row : rows) {
    std::string cells = "<tr>";
    for (const std::string& cell : row) cells += " <td> " + cell + " </td>";
    out += Wrap(cells + " </tr>", "  ");
  }
  return out + "</tbody>\n</table>\n";
}

std::string Heading(const std::string& level, const std::string& anchor, const std::string& title) {
  return "<a id=\"" + anchor + "\"></a>\n\n" + level + " " + title + "\n\n";
}

std::string DescribeRun(const RunReport& run, size_t number) {
  std::string line;
  for (size_t i = 0; i < run.argv.size(); ++i) line += (i ? " " : "") + run.argv[i];
  return "Run " + std::to_string(number) +
         (run.runonce_name.empty() ? ", the caller starts it"
                                   : ", Windows starts it after the restart") +
         ": `" + line + "`";
}

struct CodeStep {
  const char* step;
  const char* screen;  // the report's first words
  std::vector<std::string> args;
  simulated_pc::Op op;  // the step's operation, failed with each of its real statuses
  const char* path;     // where (--inject OP:PATH), "" for any
};

const std::vector<CodeStep>& CodeSteps() {
  static const std::vector<CodeStep> kSteps = {
      {"Deleting the Winsock2 key (fresh run)",
       "There was an error deleting the winsock2 key.",
       {},
       simulated_pc::Op::kRegDeleteKeyA,
       "HKLM\\System\\CurrentControlSet\\Services\\Winsock2"},
      {"Opening the list of installed programs (fresh run)",
       "Unable to check for DUN Upgrades.",
       {},
       simulated_pc::Op::kRegOpenKeyExA,
       "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
      {"Counting the installed programs (fresh run)",
       "Unable to query information from",
       {},
       simulated_pc::Op::kRegQueryInfoKeyA,
       ""},
      {"Reading the installed programs' names (fresh run)",
       "There has been an error while enumerating keys under",
       {},
       simulated_pc::Op::kRegEnumKeyA,
       ""},
      {"Opening RunOnce (fresh run, before its first change and to write the program's entry; "
       "UpgradeRemove run)",
       "Unable to open the key: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce.",
       {},
       simulated_pc::Op::kRegCreateKeyExA,
       "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
      {"Writing the program's RunOnce entry (fresh or UpgradeRemove run)",
       "We were unable to write data to the registry key:",
       {},
       simulated_pc::Op::kRegSetValueExA,
       ""},
      {"Taking back the RunOnce entry when an upgrade's uninstaller cannot start",
       "Unable to remove the value \"QU Netrevive\" from the key:",
       {"--preset", "upgrade-rundll32", "--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2"},
       simulated_pc::Op::kRegDeleteValueA,
       ""},
  };
  return kSteps;
}

bool CodeTable(std::string* md, std::string* error) {
  std::vector<std::vector<std::string>> rows;
  for (const CodeStep& step : CodeSteps()) {
    for (int code : simulated_pc::RealStatuses(step.op)) {
      std::vector<std::string> args = step.args;
      args.push_back("--inject");
      args.push_back(std::string(simulated_pc::OpName(step.op)) +
                     (step.path[0] == '\0' ? "" : ":") + step.path + "=" + std::to_string(code));
      GuideRun sim;
      if (!SimulateInMemory(args, &sim, error)) return false;
      std::string ending;
      for (const RunReport& run : sim.report.runs) {
        if (Contains(run.output, step.screen) &&
            Contains(run.output, ": " + std::to_string(code) + "\n")) {
          ending = run.ending_name;
        }
      }
      if (ending.empty()) {
        *error = "the error code table: " + CommandLineOf(args) + " does not print code " +
                 std::to_string(code) + " after \"" + step.screen + "\"";
        return false;
      }
      rows.push_back({ScreenHtml(step.screen), std::to_string(code), Html(CodeMeaning(code)),
                      Html(CodeAction(code)), EndingHtml(ending)});
    }
  }
  *md += Heading("###", "error-codes", "Error codes: the message and the code together");
  *md += Wrap(
      "Every code the program prints, with the message it follows (each made on the simulated PC "
      "by failing that step with that code). The same code means different things after different "
      "messages: look both up together.");
  *md += "\n" + HtmlTable("codes", {"Message", "Code", "Meaning", "Action", "Ending"}, rows) + "\n";
  return true;
}

// ---- What the runs show --------------------------------------------------------

// Every simulation the guide is made from.
struct GuideRuns {
  std::vector<std::pair<PresetInfo, GuideRun>> presets;
  std::vector<std::pair<const Ending*, GuideRun>> endings;  // each ending's reach
  std::vector<Stop> walkthrough;                            // the stops of the main repair
  std::vector<std::pair<std::string, std::vector<Stop>>> other_stops;  // by preset
  std::map<std::string, Stop> last_screens;  // each ending's last stop, by ending
};

const GuideRun* PresetRun(const GuideRuns& runs, const std::string& name) {
  for (const auto& [preset, sim] : runs.presets) {
    if (preset.name == name) return &sim;
  }
  return nullptr;
}

bool CollectRuns(GuideRuns* runs, std::string* error) {
  for (const PresetInfo& preset : PresetMachines()) {
    GuideRun sim;
    if (!SimulateInMemory({"--preset", preset.name}, &sim, error)) return false;
    runs->presets.push_back({preset, sim});
  }
  for (const Ending& ending : Endings()) {
    GuideRun sim;
    if (!SimulateInMemory(ending.reach, &sim, error)) {
      *error = "ending " + std::string(ending.name) + ": " + *error;
      return false;
    }
    const std::vector<RunReport>& reports = sim.report.runs;
    const size_t index = static_cast<size_t>(ending.reach_run - 1);
    if (index >= reports.size() || reports[index].ending != &ending) {
      *error = "ending " + std::string(ending.name) + ": " + CommandLineOf(ending.reach) +
               " ends run " + std::to_string(ending.reach_run) + " in " +
               (index < reports.size() ? reports[index].ending_name : std::string("no such run"));
      return false;
    }
    runs->endings.push_back({&ending, sim});
    std::vector<Stop> stops;
    if (!ProbeStops(ending.reach, &stops, error)) return false;
    for (const Stop& stop : stops) {
      if (stop.last && stop.run == ending.reach_run) runs->last_screens[ending.name] = stop;
    }
  }
  if (!ProbeStops({"--preset", kWalkthroughPreset}, &runs->walkthrough, error)) return false;
  for (const char* preset : {"upgrade-dunsetup", "upgrade-rundll32", "no-dun"}) {
    std::vector<Stop> stops;
    if (!ProbeStops({"--preset", preset}, &stops, error)) return false;
    runs->other_stops.push_back({preset, stops});
  }
  return true;
}

std::string PresetDescription(const std::string& name) {
  for (const PresetInfo& preset : PresetMachines()) {
    if (preset.name == name) return preset.description;
  }
  return name;
}

// ---- The call script -------------------------------------------------------------

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

// Whether the caller may close the window or switch off at the stop.
bool SafeToStop(const Stop& stop) {
  if (stop.state == "nothing changed" || Contains(stop.after_close, "the repair is done")) {
    return true;
  }
  // At the last screen of a run that stops, the key only closes the window.
  const rehearsal::Ending* ending = rehearsal::FindEnding(stop.ending);
  if (stop.last && ending != nullptr &&
      (ending->kind == rehearsal::EndingKind::kStopped ||
       ending->kind == rehearsal::EndingKind::kRefused)) {
    return true;
  }
  // Closed or switched off there, the repair still ends repaired.
  for (const std::string* after : {&stop.after_close, &stop.after_power_off}) {
    const std::string tail = "check-repaired";
    if (after->size() < tail.size() ||
        after->compare(after->size() - tail.size(), tail.size(), tail) != 0) {
      return false;
    }
  }
  return true;
}

// "what happens: endings", the endings linked; the program's path in the
// first part holds a colon of its own.
std::string StopOutcome(const std::string& text) {
  const size_t colon = text.rfind(": ");
  if (colon == std::string::npos) return Html(text);
  return Html(text.substr(0, colon + 1)) + " " + EndingsHtml(text.substr(colon + 2));
}

std::vector<std::string> StopRow(const Stop& stop, const std::string& where) {
  const bool safe = SafeToStop(stop);
  std::string close = (safe ? "Yes. " : "<b>NO.</b> ") + StopOutcome(stop.after_close);
  if (stop.after_power_off != stop.after_close) {
    close += " Switched off: " + StopOutcome(stop.after_power_off);
  }
  std::string next =
      stop.last ? "the run ends: " + EndingHtml(stop.ending) : "next: " + Html(stop.next);
  return {where, LastLines(stop.screen, 2), Html(stop.state), close, next};
}

std::string WhereTable(const GuideRuns& runs) {
  std::string md = Heading("##", "where-is-the-caller-now", "Where is the caller now");
  md += Wrap(
      "Every place the program stops for a key, found by running it: first the repair on a "
      "Windows 98 SE PC (other PCs stop at the same places; the upgrade and no-DUN rows show "
      "theirs), then the last screen of every ending. Find the row by the last lines the caller "
      "reads. After Yes or NO comes what the PC does when the window is closed there and the PC "
      "started again: the runs Windows starts by itself, or, when none comes back, the caller "
      "starting the program again. Yes means the repair then still ends repaired; NO means the "
      "caller must not close the window or switch off there.");
  md += "\n";
  std::vector<std::vector<std::string>> rows;
  std::set<std::string> seen;
  auto add = [&](const Stop& stop, const std::string& label) {
    const std::string key = LastLines(stop.screen, 3) + "|" + stop.state;
    if (!seen.insert(key).second) return;
    rows.push_back(StopRow(stop, label));
  };
  for (const Stop& stop : runs.walkthrough) {
    add(stop, "98 SE, run " + std::to_string(stop.run) + ", stop " + std::to_string(stop.pause));
  }
  for (const auto& [preset, stops] : runs.other_stops) {
    for (const Stop& stop : stops) {
      add(stop, Html(preset) + ", run " + std::to_string(stop.run) + ", stop " +
                    std::to_string(stop.pause));
    }
  }
  for (const Ending& ending : Endings()) {
    auto it = runs.last_screens.find(ending.name);
    if (it != runs.last_screens.end()) add(it->second, "last screen of " + EndingHtml(ending.name));
  }
  md += HtmlTable("where",
                  {"Where", "Last lines on the screen", "Done to the PC",
                   "May the caller close the window or switch off?", "After the key"},
                  rows);
  return md + "\n";
}

// ---- What the caller reads --------------------------------------------------------

// A screen line as the index keeps it: blanks at the end dropped, the
// registry data the program echoes replaced by a placeholder.
std::string IndexLine(const std::string& line, bool after_uninstaller) {
  std::string text = TrimRight(line);
  static const char kUnknown[] = "Unknown uninstall string: ";
  if (StartsWith(text, kUnknown)) return kUnknown + std::string("<uninstall text>");
  if (after_uninstaller && StartsWith(text, "\t")) return "\t<uninstall command>";
  return text;
}

struct IndexedRun {
  std::string ending;
  std::vector<std::string> lines;  // after the banner, as IndexLine keeps them
};

std::vector<IndexedRun> IndexedRuns(const GuideRuns& runs) {
  std::vector<const RunReport*> all;
  for (const auto& entry : runs.presets) {
    for (const RunReport& run : entry.second.report.runs) all.push_back(&run);
  }
  for (const auto& entry : runs.endings) {
    for (const RunReport& run : entry.second.report.runs) all.push_back(&run);
  }
  std::vector<IndexedRun> out;
  for (const RunReport* run : all) {
    IndexedRun indexed{run->ending_name, {}};
    bool after_uninstaller = false;
    for (const std::string& line : Lines(AfterBanner(run->output))) {
      std::string text = IndexLine(line, after_uninstaller);
      after_uninstaller = StartsWith(text, "Unable to start the upgrade's uninstaller");
      if (text.find_first_not_of(" \t") != std::string::npos) indexed.lines.push_back(text);
    }
    out.push_back(indexed);
  }
  return out;
}

// The lines a run prints before (or, with after, after) the first `line`.
std::vector<std::string> Around(const IndexedRun& run, const std::string& line, bool after) {
  std::vector<std::string> out;
  bool seen = false;
  for (const std::string& l : run.lines) {
    if (!seen && l == line) {
      seen = true;
      continue;
    }
    if (seen == after) out.push_back(l);
  }
  return out;
}

// For a line printed by several endings: for each, the nearest earlier line
// that every run of that ending prints before it and no run of the others
// does; failing that, the nearest such later line.
std::string TellApart(const std::string& line, const std::set<std::string>& endings,
                      const std::vector<IndexedRun>& runs) {
  std::string out;
  for (const std::string& ending : endings) {
    std::string found;
    bool later = false;
    for (bool after : {false, true}) {
      if (!found.empty()) break;
      std::vector<std::string> nearest;   // in the first run, nearest first
      std::map<std::string, int> shared;  // line -> how many of this ending's runs print it
      std::set<std::string> others;
      int own_runs = 0;
      for (const IndexedRun& run : runs) {
        if (endings.count(run.ending) == 0) continue;
        bool prints = false;
        for (const std::string& l : run.lines) prints = prints || l == line;
        if (!prints) continue;
        std::vector<std::string> around = Around(run, line, after);
        if (run.ending != ending) {
          others.insert(around.begin(), around.end());
          continue;
        }
        if (own_runs++ == 0) {
          nearest = around;
          if (!after) std::reverse(nearest.begin(), nearest.end());
        }
        for (const std::string& l : std::set<std::string>(around.begin(), around.end())) {
          ++shared[l];
        }
      }
      for (const std::string& candidate : nearest) {
        if (shared[candidate] == own_runs && others.count(candidate) == 0) {
          found = candidate;
          later = after;
          break;
        }
      }
    }
    out += (out.empty() ? "" : "<br> ") + EndingHtml(ending) + " " +
           (found.empty() ? std::string("(ask for the whole screen)")
                          : (later ? "(then " : "(after ") + ScreenHtml(found) + ")");
  }
  return out;
}

std::string LineIndex(const GuideRuns& runs) {
  std::string md = Heading("##", "what-the-caller-reads", "What the caller reads, and what to do");
  md += Wrap(
      "Every line the program prints after its banner, in the order of first appearance, with the "
      "endings it can belong to. Where a line belongs to several, each ending comes with the "
      "nearest earlier line that only that ending prints: ask the caller for the line above. The "
      "lines are spelt as the screen spells them (\"occured\", \"existance\", "
      "\"avialable\", \"affilated\", \"Completeing\", \"Preforms\", \"winsock 2  fix\" with two "
      "blanks); the search box of the HTML page finds them by the right spelling too.");
  md += "\n";
  const std::vector<IndexedRun> indexed = IndexedRuns(runs);
  std::vector<std::string> order;
  std::map<std::string, std::set<std::string>> endings;
  for (const IndexedRun& run : indexed) {
    for (const std::string& line : run.lines) {
      if (endings.count(line) == 0) order.push_back(line);
      endings[line].insert(run.ending);
    }
  }
  std::vector<std::vector<std::string>> rows;
  // The banner: every run prints it first.
  const GuideRun* main = PresetRun(runs, kWalkthroughPreset);
  const std::string& first = main->report.runs.front().output;
  const std::string banner = first.substr(0, first.size() - AfterBanner(first).size());
  for (const std::string& line : Lines(banner)) {
    if (!TrimRight(line).empty()) {
      rows.push_back({ScreenHtml(TrimRight(line)), "every run (the banner)"});
    }
  }
  for (const std::string& line : order) {
    const std::set<std::string>& names = endings[line];
    std::string cell;
    if (names.size() > kManyEndings) {
      cell = "a progress line of " + std::to_string(names.size()) + " endings";
    } else if (names.size() > 1) {
      cell = TellApart(line, names, indexed);
    } else {
      cell = EndingHtml(*names.begin());
    }
    rows.push_back({ScreenHtml(line), cell});
  }
  md += HtmlTable("line-index",
                  {"Line on the screen", "Endings (after the earlier line that tells them apart)"},
                  rows);
  return md + "\n";
}

// Markdown links in a hand-written text made into HTML for a table cell.
std::string MarkdownLinksToHtml(const std::string& text) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find('[', at);
    const size_t mid = open == std::string::npos ? open : text.find("](", open);
    const size_t close = mid == std::string::npos ? mid : text.find(')', mid);
    if (close == std::string::npos) {
      out += Html(text.substr(at));
      break;
    }
    out += Html(text.substr(at, open - at)) + "<a href=\"" + text.substr(mid + 2, close - mid - 2) +
           "\">" + Html(text.substr(open + 1, mid - open - 1)) + "</a>";
    at = close + 1;
  }
  return out;
}

// Text as a sentence reads across the screen's line breaks: lower case,
// each run of blanks and line ends one blank.
std::string Flattened(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\n' || c == '\t' || c == '\r';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : static_cast<char>(tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

std::string StaleAdviceSection(const GuideRuns& runs) {
  std::string md = Heading("###", "stale-advice", "Where the screen's own advice no longer holds");
  std::vector<std::vector<std::string>> rows;
  for (const StaleAdvice& advice : StaleAdvices()) {
    std::string where;
    for (const auto& [ending, sim] : runs.endings) {
      const RunReport& run = sim.report.runs[static_cast<size_t>(ending->reach_run - 1)];
      if (!Contains(Flattened(run.output), Flattened(advice.screen))) continue;
      auto last = runs.last_screens.find(ending->name);
      const bool gone =
          last != runs.last_screens.end() && Contains(last->second.state, "Winsock2 key GONE");
      if (advice.needs_winsock2 && !gone) continue;
      where += (where.empty() ? "" : "<br> ") + EndingHtml(ending->name);
    }
    if (where.empty()) continue;
    rows.push_back({ScreenHtml(advice.screen), where, Html(advice.holds_when),
                    MarkdownLinksToHtml(advice.instead)});
  }
  md += HtmlTable("stale", {"The screen says", "Where it no longer holds", "It holds", "Instead"},
                  rows);
  return md + "\n";
}

// ---- The calls -------------------------------------------------------------------

std::string RecipesSection();

std::string CallsSection() {
  std::string md = Heading("##", "calls", "Calls the guide answers");
  for (const GuideCall& call : GuideCalls()) {
    md += Heading("###", call.anchor, call.title);
    md += Wrap("- **Ask:** " + std::string(call.ask), "  ");
    md += Wrap("- **Check:** " + std::string(call.check), "  ");
    md += Wrap("- **Do:** " + std::string(call.action), "  ");
    md += "\n";
  }
  return md + RecipesSection();
}

// ---- The repair screen by screen ----------------------------------------------

// The picture of the stops of the main repair: a box a stop, the key presses
// as thin arrows, the restarts as bold ones, and a double border where the
// caller must not close the window or switch off. restarts: the last key
// restarts Windows.
std::string WalkthroughDot(const std::vector<Stop>& stops, bool restarts) {
  auto label = [](const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    return out;
  };
  std::string dot = "digraph walkthrough {\n  rankdir=TB;\n";
  dot += "  node [shape=box, fontname=\"Helvetica\", fontsize=10, color=black];\n";
  dot += "  edge [fontname=\"Helvetica\", fontsize=9, color=black];\n";
  dot += "  start [shape=plaintext, label=\"the caller starts C:\\\\NETREVIVE.EXE\"];\n";
  for (size_t i = 0; i < stops.size(); ++i) {
    const Stop& stop = stops[i];
    std::vector<std::string> lines;
    for (const std::string& line : Lines(AfterBanner(stop.screen))) {
      if (!TrimRight(line).empty()) lines.push_back(TrimRight(line));
    }
    std::string last = lines.empty() ? "" : lines.back();
    if (last.size() > 48) last = last.substr(0, 45) + "...";
    const bool safe = SafeToStop(stop);
    dot += "  s" + std::to_string(i) + " [" + (safe ? "" : "peripheries=2, style=bold, ") +
           "label=\"" + (safe ? "" : "DO NOT SWITCH OFF\\n") + "run " + std::to_string(stop.run) +
           ", stop " + std::to_string(stop.pause) + ": press a key\\n" + label(last) + "\"];\n";
    if (i == 0) {
      dot += "  start -> s0;\n";
    } else {
      const bool restart = stops[i - 1].run != stop.run;
      dot += "  s" + std::to_string(i - 1) + " -> s" + std::to_string(i) +
             (restart ? " [style=bold, penwidth=2.5, label=\" key; Windows restarts,\\n "
                        "the program comes back by itself\"]"
                      : " [label=\" key\"]") +
             ";\n";
    }
  }
  if (!stops.empty()) {
    dot += std::string("  done [shape=plaintext, label=\"") +
           (restarts ? "key: Windows restarts; the repair is done"
                     : "key: the window closes; the repair is done") +
           "\"];\n";
    dot += "  s" + std::to_string(stops.size() - 1) + " -> done" +
           (restarts ? " [style=bold, penwidth=2.5]" : "") + ";\n";
  }
  return dot + "}\n";
}

bool WriteDot(const std::string& dot, const std::string& svg_path, std::string* error) {
  const std::string tmp = svg_path + ".tmp";
  std::string svg;
  if (!RunFilter("dot -Tsvg -o " + ShellQuote(tmp), "Graphviz's dot (install the graphviz package)",
                 dot, tmp, &svg, error)) {
    return false;
  }
  // The version comment would make the files differ between Graphviz builds.
  std::string kept;
  bool in_comment = false;
  for (const std::string& line : Lines(svg)) {
    if (StartsWith(line, "<!-- Generated by graphviz")) in_comment = true;
    if (!in_comment) kept += line + "\n";
    if (in_comment && Contains(line, "-->")) in_comment = false;
  }
  return WriteGuideFile(svg_path, kept, error);
}

std::string RunsScreens(const GuideRun& sim, bool banner_once) {
  std::string md;
  for (size_t i = 0; i < sim.report.runs.size(); ++i) {
    const RunReport& run = sim.report.runs[i];
    md += Wrap("**" + DescribeRun(run, i + 1) + "** (`[key]`: the caller presses a key)") + "\n";
    const bool with_banner = banner_once && i == 0;
    md += Block((with_banner ? run.shown : "(the banner)\n" + AfterBanner(run.shown)));
    md += "\n" +
          Wrap("The run ends: " + EndingLink(run.ending_name) +
               (run.session_end == simulated_pc::SessionRequest::kRestart  ? "; Windows restarts."
                : run.session_end == simulated_pc::SessionRequest::kLogOff ? "; Windows logs off."
                                                                           : ".")) +
          "\n";
  }
  return md;
}

std::string Walkthrough(const GuideRuns& runs, const std::string& svg) {
  std::string md = Heading("##", "walkthrough", "The repair on Windows 98 SE, screen by screen");
  md += Wrap(
      "The whole repair on a Windows 98 SE PC with Dial-Up Networking and no upgrade, as the "
      "caller sees it. In the picture each box is a stop for a key; bold arrows are restarts, "
      "after which the program comes back by itself; a double bold border marks a stop where the "
      "caller must not close the window or switch off.");
  md += "\n![The stops and restarts of the repair on Windows 98 SE](" + svg + ")\n\n";
  md += "Reproduce: `" + CommandLineOf({"--preset", kWalkthroughPreset}) + "`.\n\n";
  md += RunsScreens(*PresetRun(runs, kWalkthroughPreset), true);
  return md;
}

// A run shown before: the words that name it, and its screens.
struct ShownRun {
  std::string name;  // "run 2 on 98 SE" with a link
  const RunReport* run;
};

// The lines in which b's screens differ from a's (a longest common
// subsequence of lines): "" when the endings differ or more than a third of
// the lines would be listed, "-" when no line differs.
std::string LineDifferences(const RunReport& a, const RunReport& b) {
  if (a.ending != b.ending) return "";
  std::vector<std::string> la, lb;
  for (const std::string& line : Lines(AfterBanner(a.shown))) la.push_back(TrimRight(line));
  for (const std::string& line : Lines(AfterBanner(b.shown))) lb.push_back(TrimRight(line));
  const size_t n = la.size(), m = lb.size();
  std::vector<std::vector<size_t>> common(n + 1, std::vector<size_t>(m + 1, 0));
  for (size_t x = n; x-- > 0;) {
    for (size_t y = m; y-- > 0;) {
      common[x][y] =
          la[x] == lb[y] ? common[x + 1][y + 1] + 1 : std::max(common[x + 1][y], common[x][y + 1]);
    }
  }
  // Lines only in a (removed) and only in b (added), in order; a removed
  // line followed by an added one reads as the one instead of the other.
  std::vector<std::pair<char, std::string>> ops;
  size_t x = 0, y = 0;
  while (x < n || y < m) {
    if (x < n && y < m && la[x] == lb[y]) {
      ++x;
      ++y;
    } else if (y < m && (x == n || common[x][y + 1] >= common[x + 1][y])) {
      ops.push_back({'+', lb[y++]});
    } else {
      ops.push_back({'-', la[x++]});
    }
  }
  auto shown = [](const std::string& line) {
    return line.empty() ? std::string("a blank line") : "`" + line + "`";
  };
  std::vector<std::string> items;
  for (size_t k = 0; k < ops.size(); ++k) {
    if (ops[k].first == '-' && k + 1 < ops.size() && ops[k + 1].first == '+') {
      items.push_back(shown(ops[k + 1].second) + " instead of " + shown(ops[k].second));
      ++k;
    } else if (ops[k].first == '+' && k + 1 < ops.size() && ops[k + 1].first == '-') {
      items.push_back(shown(ops[k].second) + " instead of " + shown(ops[k + 1].second));
      ++k;
    } else {
      items.push_back((ops[k].first == '+' ? "also " : "without ") + shown(ops[k].second));
    }
  }
  if (items.empty()) return "-";
  if (items.size() * 3 > std::max(n, m)) return "";
  std::string out;
  for (const std::string& item : items) out += Wrap("  - " + item, "    ");
  return out;
}

// A run's screens, where its first lines are those of a run shown before
// (four or more): that run named with its last common line, then the rest.
std::string ScreensAfterCommonStart(const RunReport& run, const std::vector<ShownRun>& shown) {
  const std::vector<std::string> lines = Lines(AfterBanner(run.shown));
  const ShownRun* longest = nullptr;
  size_t common = 0;
  for (const ShownRun& earlier : shown) {
    const std::vector<std::string> before = Lines(AfterBanner(earlier.run->shown));
    size_t k = 0;
    while (k < lines.size() && k < before.size() && TrimRight(lines[k]) == TrimRight(before[k])) {
      ++k;
    }
    if (k > common) {
      longest = &earlier;
      common = k;
    }
  }
  std::vector<std::string> kept;
  for (size_t k = 0; k < common; ++k) {
    if (!TrimRight(lines[k]).empty() && TrimRight(lines[k]) != "[key]") {
      kept.push_back(TrimRight(lines[k]));
    }
  }
  const bool ends_with_key = common > 0 && TrimRight(lines[common - 1]) == "[key]";
  if (longest == nullptr || kept.size() < 4 || common == lines.size()) {
    return Block(AfterBanner(run.shown)) + "\n";
  }
  std::string rest;
  for (size_t k = common; k < lines.size(); ++k) rest += lines[k] + "\n";
  return Wrap("  The screens begin as " + longest->name + ", up to `" + kept.back() + "`" +
                  (ends_with_key ? " and the key after it" : "") + "; then:",
              "  ") +
         "\n" + Block(rest) + "\n";
}

// Each run of the simulation against the runs shown before: named where
// the screens are the same, its differing lines where only lines differ,
// else its screens.
std::string RunsAgainst(const GuideRun& sim, const std::string& preset,
                        std::vector<ShownRun>* shown) {
  std::string md;
  for (size_t i = 0; i < sim.report.runs.size(); ++i) {
    const RunReport& run = sim.report.runs[i];
    const ShownRun* closest = nullptr;
    std::string diff;
    for (const ShownRun& earlier : *shown) {
      std::string d = LineDifferences(*earlier.run, run);
      if (d.empty()) continue;
      if (closest == nullptr || d == "-" || (diff != "-" && d.size() < diff.size())) {
        closest = &earlier;
        diff = d;
      }
      if (diff == "-") break;
    }
    const std::string ends =
        "; it ends: " + EndingLink(run.ending_name) +
        (run.session_end == simulated_pc::SessionRequest::kRestart  ? ", Windows restarts."
         : run.session_end == simulated_pc::SessionRequest::kLogOff ? ", Windows logs off."
                                                                    : ".");
    if (closest != nullptr && diff == "-") {
      md += Wrap("- " + DescribeRun(run, i + 1) + ": the same screens as " + closest->name + ends,
                 "  ");
    } else if (closest != nullptr) {
      md += Wrap(
          "- " + DescribeRun(run, i + 1) + ": as " + closest->name + ends + " These lines differ:",
          "  ");
      md += diff;
    } else {
      md += Wrap("- " + DescribeRun(run, i + 1) + ends, "  ") + "\n";
      md += ScreensAfterCommonStart(run, *shown);
    }
    shown->push_back(
        {"run " + std::to_string(i + 1) + " on [" + preset + "](#preset-" + preset + ")", &run});
  }
  return md + "\n";
}

std::string OtherPcs(const GuideRuns& runs) {
  std::string md = Heading("##", "other-kinds-of-pc", "Other kinds of PC: only what differs");
  md += Wrap(
      "Each other kind of PC the simulator knows, run by run against the runs shown before it: "
      "named where the screens are the same, the lines that differ where only lines differ, else "
      "the screens (after the banner).");
  md += "\n";
  std::vector<ShownRun> shown;
  const GuideRun& main = *PresetRun(runs, kWalkthroughPreset);
  for (size_t i = 0; i < main.report.runs.size(); ++i) {
    shown.push_back({"run " + std::to_string(i + 1) + " of [the walk-through](#walkthrough)",
                     &main.report.runs[i]});
  }
  for (const auto& [preset, sim] : runs.presets) {
    if (preset.name == kWalkthroughPreset) continue;
    md += Heading("###", "preset-" + preset.name, preset.description);
    md += "Reproduce: `" + CommandLineOf({"--preset", preset.name}) + "`.\n\n";
    md += RunsAgainst(sim, preset.name, &shown);
  }
  return md;
}

// The advice with each recipe it spells out replaced by a link to it.
std::string WithRecipeLinks(const std::string& advice) {
  std::string text = advice;
  for (const Recipe& recipe : Recipes()) {
    const std::string link = "[" + std::string(recipe.link) + "](#" + recipe.anchor + ")";
    for (size_t at = 0; (at = text.find(recipe.text, at)) != std::string::npos; at += link.size()) {
      text.replace(at, strlen(recipe.text), link);
    }
  }
  return text;
}

std::string RecipesSection() {
  std::string md;
  for (const Recipe& recipe : Recipes()) {
    std::string title = recipe.link;
    title[0] = static_cast<char>(toupper(static_cast<unsigned char>(title[0])));
    md += Heading("###", recipe.anchor, title);
    std::string text = recipe.text;
    text[0] = static_cast<char>(toupper(static_cast<unsigned char>(text[0])));
    md += Wrap(text + ".") + "\n";
  }
  return md;
}

// ---- Endings -----------------------------------------------------------------------

// The last paragraphs of a screen (blank lines part them), at least two
// lines: an ending's own message, without the steps before it that the
// index and the walk-through already show.
std::string LastParagraphs(const std::string& screen) {
  std::string body = screen;
  while (!body.empty() && (body.back() == '\n' || body.back() == ' ')) body.pop_back();
  const size_t first = body.find_first_not_of('\n');
  body = first == std::string::npos ? "" : body.substr(first);
  size_t from = body.size();
  while (from != std::string::npos && from > 0) {
    from = body.rfind("\n\n", from - 1);
    const std::string shown = from == std::string::npos ? body : body.substr(from + 2);
    int lines = 0;
    for (const std::string& line : Lines(shown)) lines += TrimRight(line).empty() ? 0 : 1;
    if (lines >= 2) return shown;
  }
  return body;
}

std::string EndingsSection(const GuideRuns& runs) {
  std::string md = Heading("##", "endings", "Endings");
  md += Wrap(
      "Every run of the program ends in exactly one of these; `netrevive-sim` names it with a "
      "line `== ending: NAME`, which is also each heading's anchor. *Goes on*: Windows carries on "
      "by itself. *Repaired*: the repair is complete. *Refused*: nothing was changed. *Stopped*: "
      "the caller has to act. After each ending where the caller acts on a PC that had a "
      "Dial-Up Networking upgrade, the caller installs the upgrade again once the connection "
      "works (DUN 1.4); the endings below do not repeat that.");
  md += "\n";
  for (const auto& [ending, sim] : runs.endings) {
    const RunReport& run = sim.report.runs[static_cast<size_t>(ending->reach_run - 1)];
    md += Heading("###", Anchor(ending->name), EndingTitle(ending->name));
    auto last = runs.last_screens.find(ending->name);
    const std::string screen = AfterBanner(
        last != runs.last_screens.end() ? last->second.screen : AfterBanner(run.output));
    const std::string shown = LastParagraphs(screen);
    md +=
        Wrap("`== ending: " + std::string(ending->name) + "` ([reproduce](#reproduce-endings)). " +
             (Block(shown) != Block(screen) ? "The last lines:" : "The last screen:")) +
        "\n";
    md += Block(shown) + "\n";
    md += Wrap("**What it means for the PC.** " + std::string(ending->meaning)) + "\n";
    std::string advice = ending->advice;
    const size_t later = advice.find(rehearsal::kUpgradeLaterAdvice);
    if (later != std::string::npos) advice.erase(later, strlen(rehearsal::kUpgradeLaterAdvice));
    md += Wrap("**What the caller does.** " + WithRecipeLinks(advice)) + "\n";
  }
  // The command lines that reach them, for whoever wants to see an ending
  // on the simulator.
  md += Heading("###", "reproduce-endings", "Reproducing the endings");
  md +=
      "Each ending, and the netrevive-sim command line whose run (run 1 unless named) ends "
      "there:\n\n```sh\n";
  for (const auto& entry : runs.endings) {
    const Ending* ending = entry.first;
    md += "# " + std::string(ending->name) +
          (ending->reach_run > 1 ? " (run " + std::to_string(ending->reach_run) + ")" : "") + "\n" +
          CommandLineOf(ending->reach) + "\n";
  }
  return md + "```\n\n";
}

// ---- Backups and prediction ----------------------------------------------------

// The restore procedure is README.TXT's, word for word.
std::string BackupsSection() {
  std::string md = Heading("##", "the-backups", "The backups system.tom and user.tom");
  md += Wrap(
      "The first run copies the registry files system.dat and user.dat of the Windows folder "
      "(usually C:\\WINDOWS) to system.tom and user.tom there. Keep them until the connection "
      "works. To put them back, read the caller this text; it is the same in README.TXT, under "
      "\"PUTTING THE REGISTRY BACKUPS BACK\":");
  return md + "\n" + Block(RestoreProcedureText());
}

std::string PredictionSection() {
  std::string md = Heading("##", "prediction", "Predicting the repair on the caller's PC");
  md += Wrap(
      "A PC without networking cannot send its whole registry (about 20 MB). Have the caller "
      "export only what the repair reads, each onto a floppy disk in drive A: (Start, Run, type "
      "the line, OK); all three fit one disk:");
  md += "\n```text\n";
  for (const ExportBranch& branch : ExportBranches()) md += ExportCommand(branch) + "\n";
  md += "```\n\n";
  for (const ExportBranch& branch : ExportBranches()) {
    md += Wrap("- " + std::string(branch.file) + ": " + branch.facts + ".", "  ");
  }
  md += "\n";
  md += Wrap(
      "Then, with the files copied off the disk: `netrevive-sim --registry NRVER.REG --registry "
      "NRWS2.REG --registry NRDUN.REG` (add `--marker` when the caller finds rundunreinst.QU in "
      "the Windows folder). The `fact:` lines at the top say which facts came from the files and "
      "which from the default machine; the last lines give each run's ending. Where regedit writes "
      "no file (the key is not on the PC), make one of that name holding only the line REGEDIT4 "
      "and a blank line: the prediction then takes the key as missing.");
  return md;
}

constexpr const char kIntro[] =
    "# Netrevive support guide\n\n"
    "Written by `netrevive-sim --guide docs/` from the program itself: every screen is what the\n"
    "program prints on a simulated PC, and the tests fail when this file is out of date. The\n"
    "HTML page beside it, support-guide.html, holds the same text with a search box.\n\n"
    "- [Call script](#call-script): one page to follow on every call\n"
    "- [Where is the caller now](#where-is-the-caller-now): every stop, and whether the window\n"
    "  may be closed there\n"
    "- [What the caller reads](#what-the-caller-reads): every line, its endings, the error codes\n"
    "- [Calls the guide answers](#calls)\n"
    "- [The repair on Windows 98 SE](#walkthrough), then [other kinds of PC](#other-kinds-of-pc)\n"
    "- [Endings](#endings), [the backups](#the-backups), [predicting the repair](#prediction)\n\n";

}  // namespace

std::string CommandLineOf(const std::vector<std::string>& args) {
  std::string line = "netrevive-sim --keys auto";
  for (const std::string& arg : args) line += " " + ShellQuote(arg);
  return line;
}

bool SimulateInMemory(const std::vector<std::string>& args, GuideRun* run, std::string* error) {
  std::vector<const char*> argv = {"netrevive-sim", "--keys", "auto"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  SimOptions options;
  if (!ParseSimOptions(static_cast<int>(argv.size()), argv.data(), &options, error)) return false;
  if (!options.machine_dir.empty() || !options.guide_dir.empty() || options.one_run) {
    *error = "only built-in machines are simulated in memory";
    return false;
  }
  rehearsal::MachineSource source;
  rehearsal::MachineFault fault;
  if (!rehearsal::GetMachine(options, &source, &fault, error)) return false;
  *run = GuideRun{};
  SimOutput out(nullptr, &run->events);
  SessionSettings settings = rehearsal::SettingsFor(options, source);
  settings.keys = KeySource::kAuto;
  settings.report = &run->report;
  SimMachine& machine = source.machine;
  RunSessions(machine, settings, out);
  return true;
}

bool WriteSupportGuide(const std::string& dir, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    *error = "cannot create " + dir + ": " + ec.message();
    return false;
  }
  GuideRuns runs;
  if (!CollectRuns(&runs, error)) return false;
  const std::string svg = "walkthrough-98se.svg";
  const RunReport& last = PresetRun(runs, kWalkthroughPreset)->report.runs.back();
  if (!WriteDot(WalkthroughDot(runs.walkthrough,
                               last.session_end == simulated_pc::SessionRequest::kRestart),
                dir + "/" + svg, error)) {
    return false;
  }
  std::string md = kIntro;
  md += CallScript(runs);
  md += WhereTable(runs);
  md += LineIndex(runs);
  if (!CodeTable(&md, error)) return false;
  md += StaleAdviceSection(runs);
  md += CallsSection();
  md += Walkthrough(runs, svg);
  md += OtherPcs(runs);
  md += EndingsSection(runs);
  md += BackupsSection() + "\n";
  md += PredictionSection();
  if (!WriteGuideFile(dir + "/support-guide.md", md, error)) return false;
  return WriteGuideHtml(md, dir, error);
}

}  // namespace netrevive::support_kit
