#ifndef NETREVIVE_SIMULATOR_ENDINGS_H_
#define NETREVIVE_SIMULATOR_ENDINGS_H_

// Every way one run of the repair program can end, named for the support
// agent on the phone, who cannot see the caller's screen: the text on the
// screen that tells the ending apart, what it means for the PC and what the
// caller does next. The program's own messages stay as they are; this table
// reads them.

#include <string>
#include <vector>

namespace netrevive::rehearsal {

// One way to recognise an ending in what a run printed (the program's own
// output, without the simulator's lines or key marks).
struct ScreenRule {
  const char* text;         // must appear; with at_end, the output must end with it
  bool at_end = false;      // trailing blanks and line ends are ignored
  const char* also = "";    // when not empty, must appear too
  const char* unless = "";  // when not empty, must not appear
  const char* nor = "";     // when not empty, must not appear either
};

// What the run leaves the repair at.
enum class EndingKind {
  kGoesOn,    // Windows goes on with the repair by itself after the restart or log-off
  kRepaired,  // the repair is complete
  kRefused,   // nothing was changed on the PC
  kStopped,   // the repair stopped part way: the caller has to act
};

struct Ending {
  const char* name;
  // The heading the support guide gives it, its kind first ("Stopped: the
  // Winsock2 key could not be deleted").
  const char* title;
  EndingKind kind;
  std::vector<ScreenRule> screen;  // any one of them identifies the ending
  const char* meaning;             // what was changed so far, what is scheduled
  const char* advice;              // what the caller does next, in plain words
  // netrevive-sim arguments (besides --keys auto) that reach the ending on
  // a built-in machine, in the run numbered reach_run.
  std::vector<std::string> reach;
  int reach_run;
};

// The table, in the order the guide lists it.
const std::vector<Ending>& Endings();

// The endings whose screen rules match the output; exactly one for every
// run the program can make.
std::vector<const Ending*> MatchEndings(const std::string& output);

// The output without the registry data the program echoes (the upgrade's
// uninstall text, in the report of an unknown one and of an uninstaller that
// cannot start), which could hold any text at all: the screen rules and the
// tests' checks of what a run claims read this.
std::string WithoutEchoedData(const std::string& output);

// The name to show for a run: the ending's, "unknown" for none, or the
// names joined with "+" when several match.
std::string EndingName(const std::string& output);

const Ending* FindEnding(const std::string& name);

// The sentence that closes the advice of every ending after which the caller
// has to act on a PC that may have had a DUN upgrade (blank first).
extern const char kUpgradeLaterAdvice[];
// The advice to restart and start the program again, which carries the
// repair on: the support guide says it once and links it.
extern const char kStartAgainAdvice[];

// "goes on", "repaired", "refused", "stopped".
const char* KindName(EndingKind kind);

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_ENDINGS_H_
