#ifndef NETREVIVE_SUPPORT_KIT_GUIDE_TEXT_H_
#define NETREVIVE_SUPPORT_KIT_GUIDE_TEXT_H_

// The support guide's own words: what the program's runs cannot say by
// themselves. Everything else in the guide is generated from the runs.

#include <string>
#include <vector>

namespace netrevive::support_kit {

// The heading of an ending in words, the title its row of the endings table
// (rehearsal/endings.h) gives it; "Ending: NAME" for a name that table does
// not know.
std::string EndingTitle(const std::string& name);

// The anchor of the where-table's row for a stop: "stop-<preset>-<run>-<pause>",
// such as "stop-98se-1-2" for the second pause of the first run on a 98 SE PC.
std::string StopAnchor(const std::string& preset, int run, int pause);

// The call script's three parts, Markdown; the generated pieces (the screen
// after a restart, the last window) go between them.
extern const char kCallScriptBefore[];
extern const char kCallScriptDuring[];
extern const char kCallScriptAfter[];

// A call the guide answers: what the caller says, what to ask, the Check to
// run, what to do. Markdown with links into the guide.
struct GuideCall {
  const char* anchor;
  const char* title;
  const char* ask;
  const char* check;
  const char* action;
};
const std::vector<GuideCall>& GuideCalls();

// What callers say in their own words, and the anchor of the call or
// section that answers it; the guide's first screen lists them.
struct CallerWords {
  const char* words;
  const char* anchor;
};
const std::vector<CallerWords>& CallersWords();

// Lines the program can print that no simulated run reaches, with the
// ending they belong to and when the program prints them. The index lists
// them with the lines the runs print.
struct UnreachedLine {
  const char* line;     // as the screen shows it
  const char* endings;  // the endings' names, blank-separated; "" for a line of the Check
  const char* when;     // when the program prints it, and why no simulated run does
};
const std::vector<UnreachedLine>& UnreachedLines();

// Advice the program prints that stops being true once the repair has gone
// past a point, and what to do instead.
struct StaleAdvice {
  const char* screen;      // the words on the screen
  const char* holds_when;  // the condition under which it is still right
  const char* instead;     // what to do instead, Markdown
};
const std::vector<StaleAdvice>& StaleAdvices();

// The recipes the endings' advice spells out in full, each given once in the
// guide (under the anchor) and linked from the advice.
struct Recipe {
  const char* text;    // as the advice spells it
  const char* anchor;  // where the guide gives it
  const char* link;    // the words that link to it instead
};
const std::vector<Recipe>& Recipes();

// What an error code means, and what it asks of the agent; "" for an
// unknown code.
const char* CodeMeaning(int code);
const char* CodeAction(int code);

// The screens' misspellings and their right spelling, for the search box.
struct Misspelling {
  const char* screen;
  const char* right;
};
const std::vector<Misspelling>& Misspellings();

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_GUIDE_TEXT_H_
