#include "console/console.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "support/test.h"

namespace netrevive {
namespace {

using testing::ScriptedTerminal;

TEST(ConsoleTest, PrintCodeWritesSignedDecimal) {
  struct Case {
    int32_t status;
    const char* text;
  };
  const Case cases[] = {{0, "0"},
                        {234, "234"},
                        {-1, "-1"},
                        {1011, "1011"},
                        {INT32_MAX, "2147483647"},
                        {INT32_MIN, "-2147483648"}};
  for (const Case& c : cases) {
    ScriptedTerminal terminal;
    Console console(terminal);
    console.PrintCode(c.status);
    console.Flush();
    EXPECT_EQ(terminal.Transcript(), c.text);
  }
}

// Whatever was collected before a prompt is on the screen, with the prompt,
// before the program waits.
TEST(ConsoleTest, PromptIsFlushedWithWhatCameBeforeItThenTheKeyIsAwaited) {
  ScriptedTerminal terminal;
  Console console(terminal);
  console.PrintText("Error code: ");
  console.PrintCode(5);
  console.PromptForKey("\nPress any key.");
  EXPECT_EQ(terminal.Transcript(), "Error code: 5\nPress any key.\n<key>");
  EXPECT_FALSE(terminal.out.unflushed_pause);
}

TEST(ConsoleTest, LongTextsPassThroughInOrder) {
  ScriptedTerminal terminal;
  Console console(terminal);
  std::string big(1000, 'a');
  big += "end";
  console.PrintText(big.c_str());
  console.PrintLine("!");
  EXPECT_EQ(terminal.Transcript(), big + "!\n");
}

}  // namespace
}  // namespace netrevive
