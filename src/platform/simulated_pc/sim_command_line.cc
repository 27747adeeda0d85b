#include "platform/simulated_pc/sim_command_line.h"

#include "platform/simulated_pc/sim_paths.h"

namespace netrevive::simulated_pc {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Adds ".exe" when the file name (after the last backslash or drive colon)
// has no extension, as the search for a program does.
std::string WithDefaultExtension(const std::string& path) {
  size_t start = path.find_last_of("\\:");
  start = start == std::string::npos ? 0 : start + 1;
  if (path.find('.', start) != std::string::npos) return path;
  return path + ".exe";
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  // The command line is a C string: anything after a NUL is not part of it.
  const std::string text = command_line.substr(0, command_line.find('\0'));
  const size_t n = text.size();
  std::vector<std::string> argv;
  size_t i = 0;

  // argv[0]: quoted up to the next quote, or up to the first blank.
  std::string program;
  if (n > 0 && text[0] == '"') {
    i = 1;
    while (i < n && text[i] != '"') program += text[i++];
    if (i < n) ++i;  // the closing quote
  } else {
    while (i < n && !IsBlank(text[i])) program += text[i++];
    if (i < n) ++i;  // the blank that ended it
  }
  argv.push_back(program);

  bool in_quote = false;
  for (;;) {
    while (i < n && IsBlank(text[i])) ++i;
    if (i >= n) break;
    std::string arg;
    for (;;) {
      bool copy = true;
      size_t slashes = 0;
      while (i < n && text[i] == '\\') {
        ++i;
        ++slashes;
      }
      if (i < n && text[i] == '"') {
        if (slashes % 2 == 0) {
          if (in_quote) {
            if (i + 1 < n && text[i + 1] == '"') {
              ++i;  // "" inside quotes: one literal quote, and the quote ends
            } else {
              copy = false;
            }
          } else {
            copy = false;
          }
          in_quote = !in_quote;
        }
        slashes /= 2;
      }
      arg.append(slashes, '\\');
      if (i >= n || (!in_quote && IsBlank(text[i]))) break;
      if (copy) arg += text[i];
      ++i;
    }
    argv.push_back(arg);
  }
  return argv;
}

std::vector<std::string> ProgramCandidates(const std::string& command_line) {
  const std::string text = command_line.substr(0, command_line.find('\0'));
  std::vector<std::string> candidates;
  if (!text.empty() && text[0] == '"') {
    size_t end = text.find('"', 1);
    std::string path = text.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    if (!path.empty()) candidates.push_back(WithDefaultExtension(path));
    return candidates;
  }
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  for (size_t i = start; i <= text.size(); ++i) {
    if (i < text.size() && !IsBlank(text[i])) continue;
    // A candidate ends at a blank that follows a non-blank, or at the end.
    if (i == start || IsBlank(text[i - 1])) continue;
    candidates.push_back(WithDefaultExtension(text.substr(start, i - start)));
  }
  return candidates;
}

ResolvedCommand ResolveCommandLine(const SimDrive& drive, const std::string& windows_dir,
                                   const std::string& command_line) {
  ResolvedCommand resolved;
  resolved.argv = SplitCommandLine(command_line);
  for (const std::string& candidate : ProgramCandidates(command_line)) {
    std::vector<std::string> places;
    if (candidate.find_first_of("\\:") == std::string::npos) {
      places.push_back(windows_dir + "\\SYSTEM\\" + candidate);
      places.push_back(windows_dir + "\\" + candidate);
    } else {
      places.push_back(candidate);
    }
    for (const std::string& place : places) {
      std::string program = place;
      if (!drive.FileExists(place)) {
        // Windows takes short (8.3) names for the long ones anywhere.
        std::string long_path = drive.LongPath(place);
        if (long_path.empty() || !drive.FileExists(long_path)) continue;
        for (const std::string& file : drive.ListFiles()) {
          if (NormalizeFilePath(file) == long_path) program = file;
        }
      }
      resolved.found = true;
      resolved.program = program;
      return resolved;
    }
  }
  return resolved;
}

}  // namespace netrevive::simulated_pc
