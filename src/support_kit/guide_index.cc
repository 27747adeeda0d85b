// The support guide's index of what the caller reads: every screen line with
// its endings, the error codes, and advice stale programs print.

#include "support_kit/guide_index.h"

#include <algorithm>
#include <sstream>

namespace netrevive::support_kit {

namespace {

std::string EndingNames(const std::set<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + ShortEnding(name);
  return out;
}

std::string LineLink(size_t number) {
  return "<a class=\"line\" href=\"#line-" + std::to_string(number) + "\">" +
         std::to_string(number) + "</a>";
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

}  // namespace

bool CodeTable(std::string* md, std::string* error) {
  // One row per message and ending, with the codes that lead there; the
  // codes' meanings once, in a table of their own.
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row_keys;  // message and ending of each row
  std::set<int> codes;
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
      codes.insert(code);
      const std::string key = std::string(step.screen) + "\n" + ending;
      auto at = std::find(row_keys.begin(), row_keys.end(), key);
      if (at == row_keys.end()) {
        row_keys.push_back(key);
        rows.push_back({ScreenHtml(step.screen), std::to_string(code), ShortEnding(ending)});
      } else {
        rows[static_cast<size_t>(at - row_keys.begin())][1] += ", " + std::to_string(code);
      }
    }
  }
  // The codes with the same action share a row.
  std::vector<std::vector<std::string>> meanings;
  for (int code : codes) {
    const std::string action = InlineHtml(CodeAction(code));
    const std::string meaning = "<b>" + std::to_string(code) + "</b> " + Html(CodeMeaning(code));
    auto same = std::find_if(meanings.begin(), meanings.end(),
                             [&](const std::vector<std::string>& row) { return row[2] == action; });
    if (same == meanings.end()) {
      meanings.push_back({std::to_string(code), meaning, action});
    } else {
      (*same)[0] += ", " + std::to_string(code);
      (*same)[1] += "<br> " + meaning;
    }
  }
  *md += Heading("###", "error-codes", "Error codes: the message and the code together");
  *md += Wrap(
      "Every code the program prints, with the message it follows and the ending (each made on "
      "the simulated PC by failing that step with that code), then what each code means. Look the "
      "message and the code up together.");
  *md += "\n" + HtmlTable("codes", {"Message", "Codes", "Ending"}, rows) + "\n";
  *md += HtmlTable("code-meanings", {"Codes", "Meaning", "Action"}, meanings) + "\n";
  return true;
}

namespace {

// A screen line as the index keeps it: blanks at the end dropped, the
// registry data the program echoes replaced by a placeholder.
std::string IndexLine(const std::string& line, bool after_uninstaller) {
  std::string text = TrimRight(line);
  static const char kUnknown[] = "Unknown uninstall string: ";
  if (StartsWith(text, kUnknown)) return kUnknown + std::string("<uninstall text>");
  if (after_uninstaller && StartsWith(text, "\t")) return "\t<uninstall command>";
  return text;
}

// The lines of what a run printed after its banner as the index keeps them,
// blank ones left out.
std::vector<std::string> IndexLines(const std::string& output) {
  std::vector<std::string> lines;
  bool after_uninstaller = false;
  for (const std::string& line : Lines(AfterBanner(output))) {
    std::string text = IndexLine(line, after_uninstaller);
    after_uninstaller = StartsWith(text, "Unable to start the upgrade's uninstaller");
    if (text.find_first_not_of(" \t") != std::string::npos) lines.push_back(text);
  }
  return lines;
}

struct IndexedRun {
  std::string ending;
  std::vector<std::string> lines;  // after the banner, as IndexLine keeps them
};

// Runs that print messages neither a preset nor an ending's reach prints:
// a step that fails only after another has gone well, a Check with one
// backup missing.
const std::vector<std::vector<std::string>>& IndexReaches() {
  static const std::vector<std::vector<std::string>> kReaches = {
      // The UpgradeRemove run cannot start DUN's uninstaller.
      {"--preset", "upgrade-dunsetup", "--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2"},
      // RunOnce opens before the first change but not when the reinstall is scheduled.
      {"--inject",
       "RegCreateKeyExA:HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce=5,"
       "skip=1"},
      // The record of the repair cannot be deleted once DUN is back.
      {"--inject", "DeleteFileA:C:\\WINDOWS\\netrevive.QU=5"},
      // The authorisation cannot be deleted once it is used.
      {"--inject", "DeleteFileA:C:\\WINDOWS\\rundunreinst.QU=5"},
      // The authorisation just written cannot be read back.
      {"--preset", "no-dun", "--inject", "OpenFileForRead:C:\\WINDOWS\\rundunreinst.QU=2"},
      // A refusal while a repair is under way.
      {"--preset", "uninstall-tried-twice", "--inject",
       "RegCreateKeyExA:HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce=5"},
      // The setup files found before the first change, gone when Windows' setup starts.
      {"--inject", "FindFirstFileA=2,skip=1"},
      {"--inject", "FindFirstFileA=2,skip=1", "--inject", "GetDriveTypeA=2"},
      // The Check with one of the two backups missing.
      {"--inject", "GetFileAttributesA:C:\\WINDOWS\\user.tom=2"},
      {"--inject", "GetFileAttributesA:C:\\WINDOWS\\system.tom=2"},
      // Windows' setup cancelled, and the authorisation for another try not written.
      {"--preset", "setup-cancelled", "--inject",
       "OpenFileForWrite:C:\\WINDOWS\\rundunreinst.QU=5,skip=1"},
      // The list of installed programs opens, but its size or its names cannot be read.
      {"--inject", "RegQueryInfoKeyA=1015"},
      {"--inject", "RegEnumKeyA=259"},
      // The upgrade's own uninstaller is missing.
      {"--preset", "upgrade-dunsetup", "--inject",
       "GetFileAttributesA:C:\\WINDOWS\\SYSTEM\\DUNSETUP.EXE=2"},
  };
  return kReaches;
}

std::vector<IndexedRun> IndexedRuns(const GuideRuns& runs, const std::vector<GuideRun>& extra) {
  std::vector<const RunReport*> all;
  for (const auto& entry : runs.presets) {
    for (const RunReport& run : entry.second.report.runs) all.push_back(&run);
  }
  for (const auto& entry : runs.endings) {
    for (const RunReport& run : entry.second.report.runs) all.push_back(&run);
  }
  for (const GuideRun& sim : extra) {
    for (const RunReport& run : sim.report.runs) all.push_back(&run);
  }
  std::vector<IndexedRun> out;
  for (const RunReport* run : all) {
    out.push_back({run->ending_name, IndexLines(run->output)});
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
std::vector<ApartLine> TellApart(const std::string& line, const std::set<std::string>& endings,
                                 const std::vector<IndexedRun>& runs) {
  std::vector<ApartLine> out;
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
    out.push_back({ending, found, later});
  }
  return out;
}

// The stops a progress line is on the screen at: those of the walk-through,
// or, where it shows none, those of the first other PC that does.
void FindStops(const GuideRuns& runs, IndexRow* row) {
  std::vector<std::pair<std::string, const std::vector<Stop>*>> paths = {
      {kWalkthroughPreset, &runs.walkthrough}};
  for (const auto& other : runs.other_stops) paths.push_back({other.first, &other.second});
  for (const auto& [preset, stops] : paths) {
    for (const Stop& stop : *stops) {
      const std::vector<std::string> lines = IndexLines(stop.screen);
      if (std::find(lines.begin(), lines.end(), row->line) != lines.end()) {
        row->stops.push_back({preset, &stop});
      }
    }
    if (!row->stops.empty()) return;
  }
}

std::string StopsHtml(const IndexRow& row) {
  std::string out;
  for (const auto& [preset, stop] : row.stops) {
    const std::string anchor = StopAnchor(preset, stop->run, stop->pause);
    const std::string run = std::to_string(stop->run);
    const std::string pause = std::to_string(stop->pause);
    out += std::string(out.empty() ? "" : ", ") + "<a class=\"stop\" href=\"#" + anchor +
           "\" title=\"" + Html(preset) + " run " + run + " stop " + pause + "\">" + Html(preset) +
           "&nbsp;" + run + "." + pause + "</a>";
  }
  return out;
}

}  // namespace

bool IndexRows(const GuideRuns& runs, std::vector<IndexRow>* rows, std::string* error) {
  std::vector<GuideRun> extra;
  for (const std::vector<std::string>& args : IndexReaches()) {
    GuideRun sim;
    if (!SimulateInMemory(args, &sim, error)) {
      *error = "the index: " + CommandLineOf(args) + ": " + *error;
      return false;
    }
    extra.push_back(std::move(sim));
  }
  rows->clear();
  // The banner: every run prints it first.
  const GuideRun* main = PresetRun(runs, kWalkthroughPreset);
  const std::string& first = main->report.runs.front().output;
  for (const std::string& line : Lines(first.substr(0, first.size() - AfterBanner(first).size()))) {
    if (TrimRight(line).empty()) continue;
    IndexRow row;
    row.line = TrimRight(line);
    row.banner = true;
    rows->push_back(row);
  }
  std::map<std::string, size_t> at;
  const std::vector<IndexedRun> indexed = IndexedRuns(runs, extra);
  for (const IndexedRun& run : indexed) {
    size_t previous = std::string::npos;
    for (const std::string& line : run.lines) {
      auto [it, added] = at.emplace(line, rows->size());
      if (added) {
        IndexRow row;
        row.line = line;
        rows->push_back(row);
      }
      (*rows)[it->second].endings.insert(run.ending);
      if (previous != std::string::npos) (*rows)[previous].next.insert(it->second);
      previous = it->second;
    }
  }
  for (IndexRow& row : *rows) {
    if (row.endings.size() > kManyEndings) {
      FindStops(runs, &row);
    } else if (row.endings.size() > 1) {
      row.apart = TellApart(row.line, row.endings, indexed);
    }
  }
  for (const UnreachedLine& unreached : UnreachedLines()) {
    if (at.count(unreached.line) != 0) {
      *error = std::string("the index: a simulated run prints \"") + unreached.line +
               "\": take it off the lines no run prints";
      return false;
    }
    IndexRow row;
    row.line = unreached.line;
    std::istringstream names(unreached.endings);
    for (std::string name; names >> name;) {
      if (FindEnding(name) == nullptr) {
        *error = "the index: no ending " + name + " for \"" + row.line + "\"";
        return false;
      }
      row.endings.insert(name);
    }
    row.unreached = unreached.when;
    rows->push_back(row);
  }
  return true;
}

namespace {

// What the index says of a row: its endings, with what tells them apart, or
// its stops. number gives a line's number in the index.
std::string RowCell(const IndexRow& row, const std::map<std::string, size_t>& number) {
  if (row.banner) return "every run (the banner)";
  if (!row.unreached.empty()) {
    return (row.endings.empty() ? std::string("a Check line: its Result line gives the ending")
                                : EndingNames(row.endings)) +
           " (no simulated run: " + Html(row.unreached) + ")";
  }
  if (!row.stops.empty()) return "progress, ask for the last line; at " + StopsHtml(row);
  if (row.endings.size() > kManyEndings) {
    return "progress (" + std::to_string(row.endings.size()) + " endings)";
  }
  if (row.apart.empty()) return EndingNames(row.endings);
  std::string out;
  for (const ApartLine& apart : row.apart) {
    out += std::string(out.empty() ? "" : "; ") + ShortEnding(apart.ending) + " ";
    auto it = number.find(apart.line);
    out += apart.line.empty() || it == number.end()
               ? std::string("whole&nbsp;screen")
               : std::string(apart.later ? "then&nbsp;" : "after&nbsp;") + LineLink(it->second);
  }
  return out;
}

}  // namespace

bool LineIndex(const GuideRuns& runs, std::string* md, std::string* error) {
  std::vector<IndexRow> index;
  if (!IndexRows(runs, &index, error)) return false;
  *md += Heading("##", "what-the-caller-reads", "What the caller reads, and what to do");
  *md += Wrap(
      "Every line the program can print, numbered, with the endings it belongs to by their short "
      "names (each ending's section starts with its name). Where several endings print a line, "
      "ask for the line above or below it: \"after 12\" means that ending's runs print line 12 "
      "above it and no other's do, \"then 12\" below it, \"whole screen\" that no one line tells "
      "it: "
      "ask for the whole screen. A progress line names the stop it is on "
      "the screen at in the where-table (98se 1.2: run 1, stop 2); ask for the last line on the "
      "screen. The lines are spelt as the screen spells them (\"occured\", \"existance\", "
      "\"avialable\", \"affilated\", \"Completeing\", \"Preforms\", \"winsock 2  fix\" with two "
      "blanks); the search box finds them by the right spelling too, and shows under it each "
      "ending's title, the line that tells it apart and what the caller does.");
  *md += "\n";
  std::map<std::string, size_t> number;  // line -> its number, from 1
  for (size_t i = 0; i < index.size(); ++i) number.emplace(index[i].line, i + 1);
  // Lines next to each other in the index with the same endings share one
  // row, one after another, each after its number, and the endings follow
  // them on the same row, so that a short line leaves no blank beside it.
  // Blanks around each line's <code> let Wrap give it a text line of its own.
  std::vector<std::string> lines;
  std::vector<std::string> cells;
  for (size_t i = 0; i < index.size(); ++i) {
    const IndexRow& row = index[i];
    std::string next;
    for (size_t n : row.next) next += (next.empty() ? "" : ",") + std::to_string(n + 1);
    const std::string line = "<span class=\"l\" id=\"line-" + std::to_string(i + 1) + "\"" +
                             (next.empty() ? "" : " data-next=\"" + next + "\"") + ">" + "<b>" +
                             std::to_string(i + 1) + "</b> " + ScreenHtml(row.line) + " </span>";
    const std::string cell = RowCell(row, number);
    if (!cells.empty() && cell == cells.back()) {
      lines.back() += " " + line;
      continue;
    }
    lines.push_back(line);
    cells.push_back(cell);
  }
  std::vector<std::vector<std::string>> rows;
  for (size_t i = 0; i < lines.size(); ++i) {
    rows.push_back({lines[i] + " <span class=\"e\">&rarr; " + cells[i] + "</span>"});
  }
  *md += HtmlTable("line-index", {"Line on the screen &rarr; its endings, or what to ask"}, rows);
  *md += "\n";
  return true;
}
namespace {

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

}  // namespace

std::string StaleAdviceSection(const GuideRuns& runs) {
  std::string md = Heading("###", "stale-advice", "Where the screen's own advice no longer holds");
  std::vector<std::vector<std::string>> rows;
  for (const StaleAdvice& advice : StaleAdvices()) {
    std::string where;
    for (const auto& [ending, sim] : runs.endings) {
      const RunReport& run = sim.report.runs[static_cast<size_t>(ending->reach_run - 1)];
      if (!Contains(Flattened(run.output), Flattened(advice.screen))) continue;
      where += (where.empty() ? "" : ", ") + ShortEnding(ending->name);
    }
    if (where.empty()) continue;
    rows.push_back(
        {ScreenHtml(advice.screen), where, Html(advice.holds_when), InlineHtml(advice.instead)});
  }
  md += HtmlTable("stale", {"The screen says", "Where it no longer holds", "It holds", "Instead"},
                  rows);
  return md + "\n";
}

}  // namespace netrevive::support_kit
