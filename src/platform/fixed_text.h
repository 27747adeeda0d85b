#ifndef NETREVIVE_PLATFORM_FIXED_TEXT_H_
#define NETREVIVE_PLATFORM_FIXED_TEXT_H_

#include <stddef.h>

namespace netrevive {

// Sizes of the buffers the program builds its texts in.
constexpr size_t kPathSize = 512;        // file and program paths
constexpr size_t kCommandSize = 728;     // helper command lines
constexpr size_t kValueSize = 1024;      // a registry value read back
constexpr size_t kMaxPath = 260;         // what GetWindowsDirectoryA may need (MAX_PATH)
constexpr size_t kBackupPathSize = 272;  // kMaxPath plus the longest backup file name

// A NUL-terminated text in a buffer of N bytes. Every append either fits as a
// whole or leaves the text as it was and marks it as overflowed; once
// overflowed, the text refuses every further append, so a caller can append
// several pieces and test the outcome once.
template <size_t N>
class FixedText {
 public:
  static_assert(N > 0, "a text needs room for its terminator");
  static constexpr size_t kCapacity = N;

  FixedText() { buf_[0] = '\0'; }

  bool Append(const char* text) { return Append(text, Length(text)); }

  bool Append(const char* text, size_t count) {
    if (overflowed_ || count > N - 1 - len_) {
      overflowed_ = true;
      return false;
    }
    for (size_t i = 0; i < count; ++i) buf_[len_ + i] = text[i];
    len_ += count;
    buf_[len_] = '\0';
    return true;
  }

  // Gives the raw buffer for an operation that fills it itself; the caller
  // must pass the length the operation produced to SetLength.
  char* Buffer() { return buf_; }
  void SetLength(size_t len) {
    len_ = len < N ? len : N - 1;
    buf_[len_] = '\0';
  }

  void Clear() {
    len_ = 0;
    overflowed_ = false;
    buf_[0] = '\0';
  }

  bool ok() const { return !overflowed_; }
  const char* c_str() const { return buf_; }
  size_t size() const { return len_; }

  static size_t Length(const char* text) {
    size_t n = 0;
    while (text[n] != '\0') ++n;
    return n;
  }

 private:
  char buf_[N];
  size_t len_ = 0;
  bool overflowed_ = false;
};

// Byte-wise comparisons of NUL-terminated texts, case-sensitive.
inline bool TextEquals(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

inline bool TextStartsWith(const char* text, const char* prefix) {
  while (*prefix != '\0') {
    if (*text != *prefix) return false;
    ++text;
    ++prefix;
  }
  return true;
}

// ASCII letters upper-cased, every other byte as it is: Windows compares
// file names and registry texts this way.
inline char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// TextEquals without regard to ASCII case.
inline bool TextEqualsNoCase(const char* a, const char* b) {
  while (*a != '\0' && UpperAscii(*a) == UpperAscii(*b)) {
    ++a;
    ++b;
  }
  return UpperAscii(*a) == UpperAscii(*b);
}

// TextStartsWith without regard to ASCII case.
inline bool TextStartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (UpperAscii(*text) != UpperAscii(*prefix)) return false;
  }
  return true;
}

}  // namespace netrevive

#endif  // NETREVIVE_PLATFORM_FIXED_TEXT_H_
