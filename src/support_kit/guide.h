#ifndef NETREVIVE_SUPPORT_KIT_GUIDE_H_
#define NETREVIVE_SUPPORT_KIT_GUIDE_H_

// The support guide: what the caller sees on every built-in machine, every
// ending with its meaning, advice and a command line that reaches it, the
// error codes the program prints, and a picture of each repair path. All of
// it comes from running the real program on the simulated machines, so the
// guide cannot drift from the program; the tests regenerate it and compare.

#include <string>
#include <vector>

#include "simulator/session_player.h"

namespace netrevive::support_kit {

// A whole simulation on a built-in machine, kept in memory.
struct GuideRun {
  std::vector<simulator::SimEvent> events;
  simulator::SessionReport report;
};

// Runs netrevive-sim's arguments (presets, --inject, --start; --keys auto is
// implied) in memory. False with a message for arguments it does not take.
bool SimulateInMemory(const std::vector<std::string>& args, GuideRun* run, std::string* error);

// The arguments as a shell command line: "netrevive-sim --keys auto ...".
std::string CommandLineOf(const std::vector<std::string>& args);

// Writes dir/support-guide.md and one dir/path-PRESET.svg per built-in
// machine (Graphviz's dot draws them). False with a message when a reach
// of the endings table does not reach its ending, dot fails, or a file
// cannot be written.
bool WriteSupportGuide(const std::string& dir, std::string* error);

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_GUIDE_H_
