#ifndef NETREVIVE_SUPPORT_KIT_GUIDE_H_
#define NETREVIVE_SUPPORT_KIT_GUIDE_H_

// The support guide: a tool for the agent on a call. A one-page call script,
// where the caller is at every stop, every line the program prints with its
// endings, the error codes, the calls it answers, one walk-through and only
// the differences for other PCs, every ending with its meaning and advice,
// the restore procedure and the exports for a prediction. All of it comes
// from running the real program on the simulated machines, so the guide
// cannot drift from the program; the tests regenerate it and compare.

#include <string>
#include <vector>

#include "rehearsal/session_player.h"

namespace netrevive::support_kit {

// A whole simulation on a built-in machine, kept in memory.
struct GuideRun {
  rehearsal::SessionReport report;
};

// Runs netrevive-sim's arguments (presets, --inject, --start; --keys auto is
// implied) in memory. False with a message for arguments it does not take.
bool SimulateInMemory(const std::vector<std::string>& args, GuideRun* run, std::string* error);

// The arguments as a shell command line: "netrevive-sim --keys auto ...".
std::string CommandLineOf(const std::vector<std::string>& args);

// Writes dir/support-guide.md, its picture dir/walkthrough-98se.svg
// (Graphviz's dot draws it) and dir/support-guide.html (cmark-gfm makes it).
// False with a message when a reach of the endings table does not reach its
// ending, dot or cmark-gfm fails, or a file cannot be written.
bool WriteSupportGuide(const std::string& dir, std::string* error);

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_GUIDE_H_
