#include "support_kit/guide_first.h"

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

std::string FirstScreen() {
  std::string md = "# Netrevive support guide\n\n";
  md += Wrap(std::string("**The one rule for the caller.** Whatever happened (the window closed, "
                         "the PC switched off or hung, a restart): restart the PC; if Netrevive "
                         "does not come back by itself, click Start, Run, type `") +
             kProgramPath +
             "`, OK. It finds the repair under way and carries it on, keeping the first "
             "backups.");
  md +=
      "\n**What the caller says**, each linked to its answer. In the HTML page, type it, or what "
      "the\nscreen says, into the box at the top.\n\n";
  // Raw HTML, so that the page's search finds the list.
  md += "<ul class=\"says\">\n";
  for (const CallerWords& says : CallersWords()) {
    md +=
        Wrap("<li><a href=\"#" + std::string(says.anchor) + "\">" + says.words + "</a></li>", "  ");
  }
  md += "</ul>\n\n";
  return md;
}

}  // namespace netrevive::support_kit
