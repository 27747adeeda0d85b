#include "console/console.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "support/scripted_terminal.h"

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

TEST(ConsoleTest, TextIsHeldUntilPrintLineFlushesIt) {
  ScriptedTerminal terminal;
  Console console(terminal);
  console.PrintText("Error code: ");
  console.PrintCode(5);
  console.PauseForKey();  // nothing flushed yet: the mark comes first
  console.PrintLine("");
  EXPECT_EQ(terminal.Transcript(), "== [key]\nError code: 5\n");
  EXPECT_TRUE(terminal.AnyUnflushedPause());
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
