#ifndef NETREVIVE_CONSOLE_CONSOLE_H_
#define NETREVIVE_CONSOLE_CONSOLE_H_

#include <stddef.h>
#include <stdint.h>

#include "platform/platform.h"
#include "platform/terminal.h"

namespace netrevive {

// The program's whole dialogue with the user. Texts are collected until a
// PrintLine, which writes them with a line end and flushes.
class Console {
 public:
  // With input, each pause first discards the keys pressed before it
  // (FlushConsoleInputBuffer).
  explicit Console(Terminal& terminal, Platform* input = nullptr)
      : terminal_(terminal), input_(input) {}

  // Writes the text unchanged, without a line end.
  void PrintText(const char* text);
  // Writes the text and a line end, then flushes.
  void PrintLine(const char* text);
  // Writes a status as its signed decimal text.
  void PrintCode(int32_t status);
  // Writes the prompt and a line end, flushes, then waits for one key press:
  // the user always sees what he is asked before the program waits. A key
  // pressed before the prompt was shown (while a helper ran, say) is
  // discarded first, so that it does not answer a question unread.
  void PromptForKey(const char* prompt);
  // Writes out whatever is still collected (at the end of the program).
  void Flush();

  // How many bytes are collected before they are written out unasked.
  static constexpr size_t kCollectedSize = 256;

 private:
  void Put(const char* data, size_t size);

  Terminal& terminal_;
  Platform* input_;
  char pending_[kCollectedSize];
  size_t pending_size_ = 0;
};

}  // namespace netrevive

#endif  // NETREVIVE_CONSOLE_CONSOLE_H_
