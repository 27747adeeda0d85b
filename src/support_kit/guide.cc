#include "support_kit/guide.h"

#include <stdio.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include "platform/sim/sim_command_line.h"
#include "platform/sim/sim_presets.h"
#include "simulator/endings.h"
#include "simulator/options.h"
#include "support_kit/prediction.h"
#include "support_kit/restore_procedure.h"

namespace netrevive::support_kit {

using sim::FaultRule;
using sim::MakePresetMachine;
using sim::PresetInfo;
using sim::PresetMachines;
using sim::SimMachine;
using sim::SplitCommandLine;
using simulator::Ending;
using simulator::EndingKind;
using simulator::Endings;
using simulator::FindEnding;
using simulator::KeySource;
using simulator::KindName;
using simulator::ParseSimOptions;
using simulator::RunReport;
using simulator::RunSessions;
using simulator::ScreenRule;
using simulator::SessionSettings;
using simulator::SimOptions;
using simulator::SimOutput;

namespace {

constexpr const char kBannerEnd[] = "QU please contact the MERX at 555-555-0142.\n\n\n";

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

std::string Anchor(const std::string& ending) { return "#ending-" + ending; }

std::string EndingLink(const std::string& name) {
  if (FindEnding(name) == nullptr) return "`" + name + "`";
  return "[`" + name + "`](" + Anchor(name) + ")";
}

std::string DescribeRun(const RunReport& run, size_t number) {
  std::string text = "Run " + std::to_string(number) + " (session " + std::to_string(run.session);
  if (run.runonce_name.empty()) {
    text += ", the caller starts it";
  } else {
    text += ", Windows starts it from RunOnce \"" + run.runonce_name + "\"";
  }
  std::string line;
  for (size_t i = 0; i < run.argv.size(); ++i) line += (i ? " " : "") + run.argv[i];
  return text + "): `" + line + "`";
}

// ---- The repair paths -------------------------------------------------------

// The caller's screens of one simulation: the text up to each pause, then
// what pressing the key did; the ending of each run.
std::string Screens(const GuideRun& sim) {
  std::string md;
  size_t run = 0;
  std::string text;
  std::vector<std::string> after_key;  // what happened since the last key press
  bool in_run = false;
  auto flush_effects = [&]() {
    if (after_key.empty()) return;
    for (const std::string& line : after_key) md += "- " + line + "\n";
    md += "\n";
    after_key.clear();
  };
  for (const SimOutput::Event& event : sim.events) {
    if (!event.note) {
      text += event.text;
      continue;
    }
    const std::string& note = event.text;
    if (StartsWith(note, "the program starts:")) {
      in_run = true;
      if (run < sim.report.runs.size()) {
        md += "#### " + DescribeRun(sim.report.runs[run], run + 1) + "\n\n";
      }
      ++run;
      text.clear();
    } else if (note == "[key]" && in_run) {
      flush_effects();
      md += Block(text);
      md += "\nThe caller presses a key; until the next pause:\n\n";
      text.clear();
    } else if (StartsWith(note, "the program ended")) {
      flush_effects();
      if (text.find_first_not_of(" \n") != std::string::npos) md += Block(text);
      text.clear();
      in_run = false;
    } else if (StartsWith(note, "ending: ")) {
      md += "The run ends: " + EndingLink(note.substr(8)) + ".\n\n";
    } else if (StartsWith(note, "helper: ")) {
      after_key.push_back("The program starts " + note.substr(8));
    } else if (StartsWith(note, "helper not started: ") || StartsWith(note, "injected fault: ") ||
               StartsWith(note, "ExitWindowsEx: ")) {
      after_key.push_back(note);
    } else if (note == "Windows restarts" || note == "the session ends; the user logs on again" ||
               StartsWith(note, "Windows runs ") || StartsWith(note, "session ") ||
               StartsWith(note, "Windows cannot find")) {
      if (StartsWith(note, "session ") && Contains(note, ": RunOnce \"")) continue;
      md += "*" + note + ".*\n\n";
    }
  }
  return md;
}

std::string DotLabel(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// The runs and restarts of a simulation as a Graphviz graph.
std::string PathGraph(const std::string& name, const GuideRun& sim) {
  std::string dot = "digraph \"" + DotLabel(name) + "\" {\n";
  dot += "  rankdir=TB;\n  node [shape=box, style=rounded, fontname=\"Helvetica\", fontsize=10];\n";
  dot += "  edge [fontname=\"Helvetica\", fontsize=9];\n";
  dot += "  start [shape=plaintext, label=\"the caller starts the program\"];\n";
  const std::vector<RunReport>& runs = sim.report.runs;
  for (size_t i = 0; i < runs.size(); ++i) {
    const RunReport& run = runs[i];
    std::string mode = run.argv.size() == 2 ? run.argv[1] : run.argv.size() == 1 ? "fresh run" : "";
    if (mode.empty()) mode = "other command line";
    const Ending* ending = FindEnding(run.ending);
    std::string color = ending == nullptr                       ? "red"
                        : ending->kind == EndingKind::kRepaired ? "darkgreen"
                        : ending->kind == EndingKind::kGoesOn   ? "black"
                        : ending->kind == EndingKind::kRefused  ? "gray40"
                                                                : "red";
    dot += "  run" + std::to_string(i + 1) + " [color=" + color + ", label=\"run " +
           std::to_string(i + 1) + ", session " + std::to_string(run.session) + ": " +
           DotLabel(mode) + "\\nending: " + DotLabel(run.ending) + "\"];\n";
    if (i == 0) {
      dot += "  start -> run1;\n";
    } else {
      const RunReport& before = runs[i - 1];
      std::string how = before.session_end.empty() ? "the caller" : before.session_end;
      dot += "  run" + std::to_string(i) + " -> run" + std::to_string(i + 1) + " [label=\"" +
             DotLabel(how) + "; RunOnce \\\"" + DotLabel(run.runonce_name) + "\\\" =\\n" +
             DotLabel(run.runonce_command) + "\"];\n";
    }
  }
  if (!runs.empty()) {
    const RunReport& last = runs.back();
    std::string end = last.session_end.empty() ? "nothing more is scheduled"
                                               : last.session_end + ", nothing more is scheduled";
    dot += "  finish [shape=plaintext, label=\"" + DotLabel(end) + "\"];\n";
    dot += "  run" + std::to_string(runs.size()) + " -> finish;\n";
  }
  return dot + "}\n";
}

bool RunDot(const std::string& dot, const std::string& svg_path, std::string* error) {
  std::string tmp = svg_path + ".tmp";
  std::string command = "dot -Tsvg -o " + ShellQuote(tmp);
  FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) {
    *error = "cannot start Graphviz's dot (install the graphviz package)";
    return false;
  }
  fwrite(dot.data(), 1, dot.size(), pipe);
  int status = pclose(pipe);
  if (status != 0) {
    *error =
        "Graphviz's dot failed for " + svg_path +
        (WIFEXITED(status) && WEXITSTATUS(status) == 127 ? " (install the graphviz package)" : "");
    std::error_code ec;
    std::filesystem::remove(tmp, ec);
    return false;
  }
  // The version comment would make the files differ between Graphviz builds.
  std::ifstream in(tmp, std::ios::binary);
  std::string svg, line;
  bool in_comment = false;
  while (std::getline(in, line)) {
    if (StartsWith(line, "<!-- Generated by graphviz")) in_comment = true;
    if (!in_comment) svg += line + "\n";
    if (in_comment && Contains(line, "-->")) in_comment = false;
  }
  in.close();
  std::error_code ec;
  std::filesystem::remove(tmp, ec);
  std::ofstream out(svg_path, std::ios::binary | std::ios::trunc);
  out << svg;
  if (!out) {
    *error = "cannot write " + svg_path;
    return false;
  }
  return true;
}

// ---- Error codes ----------------------------------------------------------------

struct CodeStep {
  const char* step;
  const char* screen;  // the report's first words
  std::vector<std::string> args;
  const char* inject;  // OP:PATH, given each code as =CODE
  std::vector<int> codes;
};

const std::vector<CodeStep>& CodeSteps() {
  static const std::vector<CodeStep> kSteps = {
      {"Deleting the Winsock2 key (fresh run)",
       "There was an error deleting the winsock2 key.",
       {},
       "RegDeleteKeyA:HKLM\\System\\CurrentControlSet\\Services\\Winsock2",
       {2, 5, 87, 1009, 1011, 1015}},
      {"Opening the list of installed programs (fresh run)",
       "Unable to check for DUN Upgrades.",
       {},
       "RegOpenKeyExA:HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
       {2, 5, 87, 1009, 1011, 1015}},
      {"Counting the installed programs (fresh run)",
       "Unable to query information from",
       {},
       "RegQueryInfoKeyA",
       {5, 87, 234, 1009, 1015}},
      {"Reading the installed programs' names (fresh run)",
       "There has been an error while enumerating keys under",
       {},
       "RegEnumKeyA",
       {5, 87, 234, 259, 1009, 1015}},
      {"Opening RunOnce to write the program's entry (fresh or UpgradeRemove run)",
       "Unable to open the key: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce.",
       {},
       "RegOpenKeyExA:HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
       {2, 5, 87, 1009, 1011, 1015}},
      {"Writing the program's RunOnce entry (fresh or UpgradeRemove run)",
       "We were unable to write data to the registry key:",
       {},
       "RegSetValueExA",
       {5, 87, 1009, 1015}},
      {"Taking back the RunOnce entry when an upgrade's uninstaller cannot start",
       "Unable to remove the value \"QU Netrevive\" from the key:",
       {"--preset", "upgrade-rundll32", "--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2"},
       "RegDeleteValueA",
       {5, 1009, 1015}},
  };
  return kSteps;
}

const char* CodeMeaning(int code) {
  switch (code) {
    case 2:
      return "not found: the key or value is not there. At the Winsock2 key: an earlier run "
             "deleted it (see winsock2-gone).";
    case 5:
      return "access denied: the registry refused the change, as when another program holds the "
             "key or a policy forbids changes.";
    case 87:
      return "invalid parameter: the registry refused the request; points to a damaged registry "
             "or a program that watches it.";
    case 234:
      return "more data: an entry is longer than the program reads (an installed program's key "
             "name of more than 287 characters).";
    case 259:
      return "no more items: the list changed while it was read (another program was being "
             "installed or removed).";
    case 1009:
      return "the registry database is damaged.";
    case 1011:
      return "a registry key could not be opened.";
    case 1015:
      return "the registry is damaged.";
  }
  return "";
}

bool CodeTable(std::string* md, std::string* error) {
  std::string& out = *md;
  out += "| Step | Report on screen | Codes |\n| --- | --- | --- |\n";
  std::set<int> all;
  for (const CodeStep& step : CodeSteps()) {
    std::string codes;
    for (int code : step.codes) {
      std::vector<std::string> args = step.args;
      args.push_back("--inject");
      args.push_back(std::string(step.inject) + "=" + std::to_string(code));
      GuideRun sim;
      if (!SimulateInMemory(args, &sim, error)) return false;
      bool shown = false;
      for (const RunReport& run : sim.report.runs) {
        shown = shown || (Contains(run.output, step.screen) &&
                          Contains(run.output, ": " + std::to_string(code) + "\n"));
      }
      if (!shown) {
        *error = "the error code table: " + CommandLineOf(args) + " does not print code " +
                 std::to_string(code) + " after \"" + step.screen + "\"";
        return false;
      }
      codes += (codes.empty() ? "" : ", ") + std::to_string(code);
      all.insert(code);
    }
    std::string screen = step.screen;
    for (size_t at = 0; (at = screen.find('|', at)) != std::string::npos; at += 2) {
      screen.replace(at, 1, "\\|");
    }
    out += "| " + std::string(step.step) + " | " + screen + " | " + codes + " |\n";
  }
  out += "\n| Code | Meaning |\n| --- | --- |\n";
  for (int code : all) out += "| " + std::to_string(code) + " | " + CodeMeaning(code) + " |\n";
  out +=
      "\nEvery report with a code stops the run. Codes 1009, 1011 and 1015 (and 87) point to a "
      "damaged registry: restart the PC in MS-DOS mode and run `scanreg /restore` (Windows' "
      "Registry Checker brings back one of the registry backups Windows makes at start-up), or "
      "restore Netrevive's own backups as shown below. At the Winsock2 key, codes 5 and 87 may "
      "pass after a restart: run Netrevive once more. At every later step the Winsock2 key is "
      "gone already, so a new run would stop at code 2: follow the advice of the run's ending "
      "instead (see [`winsock2-gone`](#ending-winsock2-gone)).\n";
  return true;
}

// ---- The guide ----------------------------------------------------------------

constexpr const char kIntro[] =
    "# Netrevive support guide\n\n"
    "This guide is written by `netrevive-sim --guide docs/` from the program itself: every "
    "screen below is what the real program prints on a simulated PC, and the tests regenerate "
    "the guide and fail when it is out of date. Do not edit it by hand.\n\n"
    "The caller runs NETREVIVE.EXE on a Windows 98, 98 SE or ME PC while on the phone with "
    "the support agent, who cannot see the screen. Ask the caller to read the screen out; find "
    "the run's ending under [Endings](#endings) by the text given there.\n\n"
    "- [How a repair runs](#how-a-repair-runs)\n"
    "- [Repair paths, screen by screen](#repair-paths-screen-by-screen)\n"
    "- [Endings](#endings)\n"
    "- [Error codes](#error-codes)\n"
    "- [The backups system.tom and user.tom](#the-backups-systemtom-and-usertom)\n\n";

constexpr const char kHowItRuns[] =
    "## How a repair runs\n\n"
    "A repair is two or three runs of the program with a restart (or a log-off) between "
    "them; Windows starts each later run itself, from the RunOnce entry \"QU Netrevive\" "
    "that the run before wrote. The caller only starts the first run, and answers each pause "
    "with a key press.\n\n"
    "1. **Fresh run** (the caller starts NETREVIVE.EXE): checks the Windows version, copies "
    "the registry files system.dat and user.dat to system.tom and user.tom in the Windows "
    "directory, deletes the whole Winsock2 key, and looks for a Dial-Up Networking upgrade "
    "(the MSDUN entry of Add/Remove Programs).\n"
    "   - With an upgrade, it asks for a key, writes its RunOnce entry, runs the upgrade's own "
    "uninstaller and ends the Windows session: the next run is an **UpgradeRemove run** "
    "(uninstaller dunsetup.exe /u) or a new fresh run (the rundll forms, whose uninstall "
    "brings Windows' Winsock 2 settings back).\n"
    "   - Without one, it asks for a key, uninstalls Dial-Up Networking, asks for a key, "
    "writes the RunOnce entry with ReinstallDUN and the file rundunreinst.QU (which "
    "authorises one reinstallation), and restarts Windows.\n"
    "   - Without Dial-Up Networking at all, it installs DUN at once, as the ReinstallDUN run "
    "does, in the same run.\n"
    "2. **UpgradeRemove run** (from RunOnce): asks for a key, uninstalls Dial-Up Networking, "
    "asks for a key, schedules the ReinstallDUN run and restarts, as above.\n"
    "3. **ReinstallDUN run** (from RunOnce): asks for two keys, installs Dial-Up Networking "
    "from Windows' setup information (which writes new Winsock 2 settings) and its default "
    "driver, says the fix was applied, asks for a key and restarts Windows. The repair is "
    "then complete.\n\n"
    "The caller must not close the program's window at a pause once the Winsock2 key is gone: "
    "a run stopped there leaves a PC that a new run cannot repair (see "
    "[`winsock2-gone`](#ending-winsock2-gone)).\n\n";

// The restore procedure is README.TXT's, word for word.
std::string BackupsSection() {
  return "## The backups system.tom and user.tom\n\n"
         "Each fresh run first copies the registry files system.dat and user.dat of the Windows "
         "directory (usually C:\\WINDOWS) to system.tom and user.tom there. Keep them until the "
         "connection works. To put them back, read the caller this text; it is the same in "
         "README.TXT, under \"PUTTING THE REGISTRY BACKUPS BACK\":\n\n" +
         Block(RestoreProcedureText());
}

// What the caller exports with regedit for a prediction, each onto the floppy.
std::string PredictionSection() {
  std::string md =
      "## Predicting the repair on the caller's PC\n\n"
      "A PC without networking cannot send its whole registry (about 20 MB). Have the caller "
      "export only what the repair reads, each onto a floppy disk in drive A: (Start, Run, type "
      "the line, OK; each takes a few seconds and fits the disk together with the others):\n\n"
      "```text\n";
  for (const ExportBranch& branch : ExportBranches()) md += ExportCommand(branch) + "\n";
  md += "```\n\n| File | What the repair reads there |\n| --- | --- |\n";
  for (const ExportBranch& branch : ExportBranches()) {
    md += "| " + std::string(branch.file) + " | " + branch.facts + " |\n";
  }
  md +=
      "\nThen, with the files copied off the disk: `netrevive-sim --registry NRVER.REG "
      "--registry NRWS2.REG --registry NRDUN.REG` (add `--marker` when the caller finds "
      "rundunreinst.QU in the Windows folder). The last lines give each run's ending; the "
      "`fact:` lines at the top say which facts came from the files and which from the "
      "default machine, for a file that is missing or holds less. Where regedit writes no file "
      "(the key is not on the PC), make one of that name holding only the line REGEDIT4 and a "
      "blank line: the prediction then takes the key as missing.\n";
  return md;
}

bool EndingsSection(std::string* md, std::string* error) {
  std::string& out = *md;
  out += "## Endings\n\n";
  out +=
      "Every run of the program ends in exactly one of these; `netrevive-sim` names it with a "
      "line `== ending: NAME` (and `--advice` prints the meaning and advice). *Goes on*: "
      "Windows carries on with the repair by itself. *Repaired*: the repair is complete. "
      "*Refused*: nothing was changed. *Stopped*: the caller has to act.\n\n";
  out += "| Ending | Kind | Told apart by the screen text |\n| --- | --- | --- |\n";
  for (const Ending& ending : Endings()) {
    std::string texts;
    for (const ScreenRule& rule : ending.screen) {
      std::string text = rule.text;
      for (char& c : text) {
        if (c == '\n' || c == '\t') c = ' ';
      }
      while (!text.empty() && text.back() == ' ') text.pop_back();
      while (!text.empty() && text.front() == ' ') text.erase(0, 1);
      texts += (texts.empty() ? "" : "; or ") + std::string("\"") + text + "\"" +
               (rule.at_end ? " at the end" : "");
      if (rule.also[0] != '\0') texts += std::string(", with \"") + rule.also + "\"";
      if (rule.unless[0] != '\0') {
        std::string unless = rule.unless;
        while (!unless.empty() && unless.back() == '\n') unless.pop_back();
        texts += ", without \"" + unless + "\"";
      }
    }
    for (size_t at = 0; (at = texts.find('|', at)) != std::string::npos; at += 2) {
      texts.replace(at, 1, "\\|");
    }
    out += "| " + EndingLink(ending.name) + " | " + KindName(ending.kind) + " | " + texts + " |\n";
  }
  out += "\n";
  for (const Ending& ending : Endings()) {
    GuideRun sim;
    if (!SimulateInMemory(ending.reach, &sim, error)) {
      *error = "ending " + std::string(ending.name) + ": " + *error;
      return false;
    }
    const std::vector<RunReport>& runs = sim.report.runs;
    size_t index = static_cast<size_t>(ending.reach_run - 1);
    if (index >= runs.size() || runs[index].ending != ending.name) {
      *error = "ending " + std::string(ending.name) + ": " + CommandLineOf(ending.reach) +
               " ends run " + std::to_string(ending.reach_run) + " in " +
               (index < runs.size() ? runs[index].ending : std::string("no such run"));
      return false;
    }
    out += "### Ending: " + std::string(ending.name) + "\n\n";
    out += "Kind: " + std::string(KindName(ending.kind)) + ".\n\n";
    out += "The run's screens after the banner (`[key]` where a key is pressed):\n\n";
    out += Block(AfterBanner(runs[index].shown));
    out += "\n**What it means for the PC.** " + std::string(ending.meaning) + "\n\n";
    out += "**What the caller does.** " + std::string(ending.advice) + "\n\n";
    out += "Reproduce: `" + CommandLineOf(ending.reach) + "`" +
           (ending.reach_run > 1 ? " (run " + std::to_string(ending.reach_run) + ")" : "") +
           ".\n\n";
  }
  return true;
}

bool WriteFile(const std::string& path, const std::string& text, std::string* error) {
  std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
      *error = "cannot write " + tmp;
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    *error = "cannot write " + path + ": " + ec.message();
    return false;
  }
  return true;
}

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
  SimMachine machine;
  if (!MakePresetMachine(options.preset.empty() ? "98se" : options.preset, &machine)) {
    *error = "unknown preset " + options.preset;
    return false;
  }
  for (const FaultRule& rule : options.faults) machine.AddFault(rule);
  *run = GuideRun{};
  SimOutput out(nullptr, &run->events);
  SessionSettings settings;
  settings.keys = KeySource::kAuto;
  settings.report = &run->report;
  settings.program = options.program;
  if (options.start_given) {
    settings.first_argv = SplitCommandLine(options.start);
    settings.start_text = options.start;
  }
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
  std::string md = kIntro;
  md += kHowItRuns;
  md += "## Repair paths, screen by screen\n\n";
  md +=
      "For each kind of PC the simulator knows: the picture of its runs and restarts, then "
      "every screen as the caller sees it, up to each pause, and what pressing the key does.\n\n";
  std::string sections;
  for (const PresetInfo& preset : PresetMachines()) {
    GuideRun sim;
    std::vector<std::string> args = {"--preset", preset.name};
    if (!SimulateInMemory(args, &sim, error)) return false;
    const std::string svg = "path-" + preset.name + ".svg";
    if (!RunDot(PathGraph(preset.name, sim), dir + "/" + svg, error)) return false;
    md += "- [" + preset.description + "](#preset-" + preset.name + ")\n";
    sections += "### Preset " + preset.name + "\n\n" + preset.description + ". Reproduce: `" +
                CommandLineOf(args) + "`.\n\n";
    sections += "![Runs and restarts on preset " + preset.name + "](" + svg + ")\n\n";
    std::string endings;
    for (const RunReport& run : sim.report.runs) {
      endings += (endings.empty() ? "" : ", then ") + EndingLink(run.ending);
    }
    sections += "Runs: " + std::to_string(sim.report.runs.size()) +
                ", restarts: " + std::to_string(sim.report.restarts) +
                ", log-offs: " + std::to_string(sim.report.logoffs) + "; endings: " + endings +
                ".\n\n";
    sections += Screens(sim);
  }
  md += "\n" + sections;
  if (!EndingsSection(&md, error)) return false;
  md +=
      "## Error codes\n\nEvery code the program can print, by the step that prints it (each "
      "one checked by making that step fail with it on the simulated PC), then what each code "
      "means.\n\n";
  if (!CodeTable(&md, error)) return false;
  md += "\n" + BackupsSection();
  md += "\n" + PredictionSection();
  return WriteFile(dir + "/support-guide.md", md, error);
}

}  // namespace netrevive::support_kit
