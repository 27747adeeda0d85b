#ifndef NETREVIVE_TESTS_SUPPORT_SCRIPTED_TERMINAL_H_
#define NETREVIVE_TESTS_SUPPORT_SCRIPTED_TERMINAL_H_

#include <string>
#include <vector>

#include "console/console.h"

namespace netrevive::testing {

// The mark a transcript shows where the program waited for a key.
inline constexpr const char* kKeyMark = "== [key]\n";

// A console device for tests: records what was written and flushed, and
// answers every key wait at once, marking its place in the transcript.
// Bytes written but not yet flushed when a key is awaited show up after the
// mark, so a prompt left unflushed is visible in the transcript.
class ScriptedTerminal final : public netrevive::Terminal {
 public:
  void Write(const char* data, size_t size) override { unflushed_.append(data, size); }
  void Flush() override {
    transcript_ += unflushed_;
    unflushed_.clear();
  }
  void WaitForKey() override {
    transcript_ += kKeyMark;
    ++keys_;
    unflushed_at_pause_.push_back(!unflushed_.empty());
  }

  // Everything flushed so far with the key marks, then what is still pending.
  std::string Transcript() const { return transcript_ + unflushed_; }
  int keys() const { return keys_; }
  // True when some pause found output that had not been flushed.
  bool AnyUnflushedPause() const {
    for (bool b : unflushed_at_pause_) {
      if (b) return true;
    }
    return false;
  }

 private:
  std::string transcript_;
  std::string unflushed_;
  std::vector<bool> unflushed_at_pause_;
  int keys_ = 0;
};

}  // namespace netrevive::testing

#endif  // NETREVIVE_TESTS_SUPPORT_SCRIPTED_TERMINAL_H_
