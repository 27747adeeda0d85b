#include "support_kit/guide.h"

#include "support_kit/guide_first.h"
#include "support_kit/guide_index.h"
#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

constexpr const char kIntro[] =
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

std::string CommandLineOf(const std::vector<std::string>& args) {
  std::string line = "netrevive-sim --keys auto";
  for (const std::string& arg : args) line += " " + ShellQuote(arg);
  return line;
}

bool SimulateInMemory(const std::vector<std::string>& args, GuideRun* run, std::string* error) {
  SimMachine machine;
  SessionSettings settings;
  if (!BuildSimulatedPc(args, &machine, &settings, error)) return false;
  *run = GuideRun{};
  SimOutput out(nullptr);
  settings.report = &run->report;
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
  std::string md = FirstScreen() + kIntro;
  md += CallScript(runs);
  md += WhereTable(runs);
  if (!LineIndex(runs, &md, error)) return false;
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
