// The support guide's endings, the backups and the exports for a prediction.

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

namespace {

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

}  // namespace

std::string EndingsSection(const GuideRuns& runs) {
  std::string md = Heading("##", "endings", "Endings");
  md += Wrap(
      "Every run of the program ends in exactly one of these; `netrevive-sim` names it with a "
      "line `== ending: NAME`, which is also each heading's anchor. *Goes on*: Windows carries on "
      "by itself. *Repaired*: the repair is complete. *Refused*: nothing was changed. *Stopped*: "
      "the caller has to act. After each ending where the caller acts on a PC that had a "
      "Dial-Up Networking upgrade, the caller installs the upgrade again once the connection "
      "works (DUN 1.4); the endings below do not repeat that. Under each: what was done to the PC "
      "at its last screen and whether the window may be closed there, in the words of [where is "
      "the caller now](#where-is-the-caller-now).");
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
    if (last != runs.last_screens.end()) {
      md += Wrap(StopFactsText(last->second)) + "\n";
    }
    std::string advice = ending->advice;
    const size_t later = advice.find(rehearsal::kUpgradeLaterAdvice);
    if (later != std::string::npos) advice.erase(later, strlen(rehearsal::kUpgradeLaterAdvice));
    md += Wrap("**What the caller does.** " + WithRecipeLinks(advice)) + "\n";
  }
  // The command lines that reach them, for whoever wants to see an ending
  // on the simulator.
  md += Heading("###", "reproduce-endings", "Reproducing the endings");
  md += Wrap(
      "Each ending, and the netrevive-sim command line whose run (run 1 unless named) ends "
      "there. netrevive-sim's machines keep the program at " +
      std::string(simulated_pc::kDefaultSelfPath) + "; this guide's at " + kProgramPath +
      ", where README.TXT has the caller put it, and the screens differ only in that path:");
  md += "\n```sh\n";
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

namespace {}  // namespace

}  // namespace netrevive::support_kit
