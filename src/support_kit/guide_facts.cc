// The support guide's sentences about what was done to the PC, what is
// scheduled and whether the window may be closed: every section formats
// them from the facts of a stop (pause_probe.h), so no two places can say
// different things.

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

// An ending by its short name, linked, its title shown on pointing: a cell
// lists several.
std::string ShortEnding(const std::string& name) {
  if (FindEnding(name) == nullptr) return "<code>" + Html(name) + "</code>";
  return "<a class=\"ending\" href=\"#" + Anchor(name) + "\" title=\"" + Html(EndingTitle(name)) +
         "\">" + Html(name) + "</a>";
}

std::string DoneText(const PcFacts& done) {
  if (!done.changed) return "nothing changed";
  std::vector<std::string> parts;
  if (done.backups) parts.push_back("backups");
  if (done.winsock2_deleted) parts.push_back("Winsock2 key deleted");
  if (done.winsock2_missing && !done.winsock2_deleted) parts.push_back("no Winsock2 key");
  if (done.winsock2_written) parts.push_back("Winsock2 key rewritten");
  if (done.upgrade_removed) parts.push_back("upgrade removed");
  if (done.upgrade_left) parts.push_back("upgrade still there");
  if (done.dun_uninstalled) parts.push_back("DUN uninstalled");
  if (done.dun_missing && !done.dun_uninstalled) parts.push_back("DUN not installed");
  if (done.dun_reinstalled) parts.push_back("DUN reinstalled");
  if (!done.runonce.empty()) parts.push_back("scheduled: " + done.runonce);
  if (done.marker) parts.push_back("rundunreinst.QU");
  if (done.record) parts.push_back("netrevive.QU");
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

std::string ContinuationHtml(const Continuation& after) {
  std::string html;
  switch (after.start) {
    case Continuation::Start::kByItself:
      html = "Comes back by itself: ";
      break;
    case Continuation::Start::kCallerAgain:
      // The program where the caller put it goes without saying.
      html = after.again == kProgramPath ? std::string("Start it again: ")
                                         : "Start " + Html(after.again) + " again: ";
      break;
    case Continuation::Start::kNothingLeft:
      html = "Nothing left to do";
      break;
  }
  std::string endings;
  for (const std::string& name : after.endings) {
    endings += (endings.empty() ? "" : ", ") + ShortEnding(name);
  }
  const bool check_shown = !after.endings.empty() && after.endings.back() == after.check;
  if (!after.check.empty() && !check_shown) {
    endings += (endings.empty() ? "" : ", ") + ShortEnding(after.check);
  }
  if (after.start == Continuation::Start::kNothingLeft && !endings.empty()) {
    return html + " (" + endings + ")";
  }
  return html + endings;
}

std::string SafetyHtml(const Stop& stop) {
  // Started again, the program meets the PC as it was: the same screens.
  if (!stop.done.changed) return "Yes: nothing changed yet.";
  std::string html =
      (SafeToStop(stop) ? "Yes. " : "<b>NO.</b> ") + ContinuationHtml(stop.after_close);
  if (!(stop.after_power_off == stop.after_close)) {
    html += " Switched off: " + ContinuationHtml(stop.after_power_off);
  }
  return html;
}

std::string AfterKeyHtml(const Stop& stop) {
  if (stop.last) return "the run ends: " + ShortEnding(stop.ending);
  return stop.next_line.empty() ? "the program goes on to its next pause"
                                : "next: " + ScreenHtml(stop.next_line);
}

}  // namespace netrevive::support_kit
