#include "support_kit/restore_procedure.h"

namespace netrevive::support_kit {

const char* RestoreProcedureText() {
  // Made by CMake from release/restore-procedure.txt.
  static const char kText[] =
#include "restore_procedure_text.inc"
      ;
  return kText;
}

std::vector<std::string> RestoreProcedureCommands(const std::string& text) {
  constexpr size_t kIndent = 7;
  std::vector<std::string> commands;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    const size_t first = line.find_first_not_of(' ');
    if (first != std::string::npos && first >= kIndent) commands.push_back(line.substr(first));
    at = end + 1;
  }
  return commands;
}

}  // namespace netrevive::support_kit
