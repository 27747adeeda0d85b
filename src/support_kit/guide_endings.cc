// The support guide's endings, the backups and the exports for a prediction.

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

namespace {

// An ending's advice for a table cell, each recipe it spells out a link to
// where the guide gives it, and the advice to start the program again
// short, with a link to the call that spells it out.
std::string AdviceHtml(const std::string& advice) {
  std::string html = Html(advice);
  const std::string again = Html(rehearsal::kStartAgainAdvice);
  const size_t at = html.find(again);
  if (at != std::string::npos) {
    html.replace(at, again.size(),
                 "Restart the PC and start Netrevive again as before: it carries the repair on "
                 "(<a href=\"#call-closed\">I closed it</a>).");
  }
  for (const Recipe& recipe : Recipes()) {
    const std::string text = Html(recipe.text);
    const std::string link =
        "<a href=\"#" + std::string(recipe.anchor) + "\">" + recipe.link + "</a>";
    for (size_t at = 0; (at = html.find(text, at)) != std::string::npos; at += link.size()) {
      html.replace(at, text.size(), link);
    }
  }
  return html;
}

// A command line as the table shows it: the options after
// "netrevive-sim --keys auto", each long run of one character (a path too
// long for RunOnce) written as the shell command that makes it, so that the
// line still runs as it stands.
std::string ShownCommand(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    std::string quoted = ShellQuote(arg);
    const bool in_quotes = !quoted.empty() && quoted[0] == '\'';
    for (size_t at = 0; in_quotes && at < quoted.size(); ++at) {
      size_t end = at;
      while (end < quoted.size() && quoted[end] == quoted[at]) ++end;
      if (end - at >= 40 && isalnum(static_cast<unsigned char>(quoted[at]))) {
        const std::string made =
            "'\"$(printf '%" + std::to_string(end - at) + "s' '' | tr ' ' " + quoted[at] + ")\"'";
        quoted.replace(at, end - at, made);
        at += made.size();
      }
    }
    line += (line.empty() ? "" : " ") + quoted;
  }
  return line;
}

}  // namespace

std::string EndingsSection(const GuideRuns& runs) {
  std::string md = Heading("##", "endings", "Endings");
  md += Wrap(
      "Every run of the program ends in exactly one of these; `netrevive-sim` names it with a "
      "line `== ending: NAME`. *Goes on*: Windows carries on by itself. *Repaired*: the repair is "
      "complete. *Refused*: nothing was changed. *Stopped*: the caller has to act. Where the "
      "caller acts on a PC that had a Dial-Up Networking upgrade, the caller installs the upgrade "
      "again once the connection works (DUN 1.4); the rows do not repeat that. Each ending's last "
      "lines, what was done to the PC there and whether the window may be closed there are in "
      "its row of [where is the caller now](#where-is-the-caller-now). After the meaning, to "
      "reproduce the ending: the options after `netrevive-sim --keys auto` whose run, run 1 "
      "unless named, ends there.");
  md += "\n";
  std::vector<std::vector<std::string>> rows;
  for (const auto& [ending, sim] : runs.endings) {
    const std::string command = ShownCommand(ending->reach);
    const std::string meaning = Html(ending->meaning);
    std::string advice = ending->advice;
    const size_t later = advice.find(rehearsal::kUpgradeLaterAdvice);
    if (later != std::string::npos) advice.erase(later, strlen(rehearsal::kUpgradeLaterAdvice));
    // The anchor sits with the advice: the page's search shows the text
    // after an ending's anchor that begins "What the caller does.".
    // The kind: the title's head ("Check: REPAIRED"), else the kind's name.
    const std::string title = EndingTitle(ending->name);
    const size_t colon = title.find(": ");
    const std::string kind = colon != std::string::npos
                                 ? title.substr(0, colon)
                                 : std::string(rehearsal::KindName(ending->kind));
    rows.push_back({"<b>" + Html(ending->name) + "</b><br> " + Html(kind),
                    meaning + " <code>" + Html(command) + "</code>" +
                        (ending->reach_run > 1 ? " (run " + std::to_string(ending->reach_run) + ")"
                                               : std::string("")),
                    "<a id=\"" + Anchor(ending->name) +
                        "\"></a><span><b>What the caller does.</b> " + AdviceHtml(advice) +
                        "</span>"});
  }
  md += WideTable("endings", {13, 40, 47},
                  {"Ending", "What it means for the PC", "What the caller does"}, rows);
  md += "\n" + Heading("####", "reproduce-endings", "Reproducing the endings");
  md += Wrap("netrevive-sim's machines keep the program at " +
             std::string(simulated_pc::kDefaultSelfPath) + "; this guide's at " + kProgramPath +
             ", where README.TXT has the caller put it, and the screens differ only in that path.");
  return md + "\n";
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

}  // namespace netrevive::support_kit
