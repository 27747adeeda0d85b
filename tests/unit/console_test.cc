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

// Texts around the size the console collects, whole or in two pieces that
// straddle it, arrive whole and in order: every byte differs from its
// neighbours, so a byte lost, doubled or moved at the boundary shows.
TEST(ConsoleTest, TextsAroundTheCollectedSizeArriveWholeAndInOrder) {
  const size_t n = Console::kCollectedSize;
  struct Case {
    size_t length;
    size_t split;  // the first piece's length; the rest is the second
  };
  const Case cases[] = {{n - 2, n - 2}, {n - 1, n - 1},    {n, n},     {n + 1, n + 1},
                        {n + 1, n - 1}, {n + 1, 1},        {2 * n, n}, {2 * n + 1, n},
                        {2 * n + 1, 0}, {5 * n + 3, n + 1}};
  for (const Case& c : cases) {
    std::string text;
    for (size_t i = 0; i < c.length; ++i) text += static_cast<char>('!' + i % 90);
    ScriptedTerminal terminal;
    Console console(terminal);
    console.PrintText(text.substr(0, c.split).c_str());
    console.PrintText(text.substr(c.split).c_str());
    console.PrintLine("");
    EXPECT_EQ(terminal.Transcript(), text + "\n") << c.length << " split at " << c.split;
  }
}

}  // namespace
}  // namespace netrevive
