// The support guide's index of what the caller reads: every screen line with
// its endings, the error codes, and advice stale programs print.

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

namespace {
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

}  // namespace

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

namespace {

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

}  // namespace

std::string StaleAdviceSection(const GuideRuns& runs) {
  std::string md = Heading("###", "stale-advice", "Where the screen's own advice no longer holds");
  std::vector<std::vector<std::string>> rows;
  for (const StaleAdvice& advice : StaleAdvices()) {
    std::string where;
    for (const auto& [ending, sim] : runs.endings) {
      const RunReport& run = sim.report.runs[static_cast<size_t>(ending->reach_run - 1)];
      if (!Contains(Flattened(run.output), Flattened(advice.screen))) continue;
      auto last = runs.last_screens.find(ending->name);
      const bool gone = last != runs.last_screens.end() && last->second.done.winsock2_missing;
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

namespace {}  // namespace

}  // namespace netrevive::support_kit
