#include "console/console.h"

namespace netrevive {

void Console::Put(const char* data, size_t size) {
  while (size > 0) {
    if (pending_size_ == sizeof(pending_)) {
      terminal_.Write(pending_, pending_size_);
      pending_size_ = 0;
    }
    size_t room = sizeof(pending_) - pending_size_;
    size_t chunk = size < room ? size : room;
    for (size_t i = 0; i < chunk; ++i) pending_[pending_size_ + i] = data[i];
    pending_size_ += chunk;
    data += chunk;
    size -= chunk;
  }
}

void Console::PrintText(const char* text) {
  size_t n = 0;
  while (text[n] != '\0') ++n;
  Put(text, n);
}

void Console::PrintLine(const char* text) {
  PrintText(text);
  Put("\n", 1);
  Flush();
}

void Console::PrintCode(int32_t status) {
  // At most a sign and ten digits, plus the terminator.
  char digits[12];
  size_t pos = sizeof(digits) - 1;
  digits[pos] = '\0';
  // Work on the magnitude as unsigned so that INT32_MIN is handled too.
  uint32_t magnitude =
      status < 0 ? 0u - static_cast<uint32_t>(status) : static_cast<uint32_t>(status);
  do {
    digits[--pos] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (status < 0) digits[--pos] = '-';
  PrintText(digits + pos);
}

void Console::PromptForKey(const char* prompt) {
  PrintLine(prompt);
  if (input_ != nullptr) input_->FlushConsoleInputBuffer();
  terminal_.WaitForKey();
}

void Console::Flush() {
  if (pending_size_ > 0) {
    terminal_.Write(pending_, pending_size_);
    pending_size_ = 0;
  }
  terminal_.Flush();
}

}  // namespace netrevive
