#ifndef NETREVIVE_SUPPORT_KIT_RESTORE_PROCEDURE_H_
#define NETREVIVE_SUPPORT_KIT_RESTORE_PROCEDURE_H_

// How the caller puts the registry backups system.tom and user.tom back from
// an MS-DOS prompt. The text is written once, in release/restore-procedure.txt:
// README.TXT holds it, and the support guide quotes it word for word.

#include <string>
#include <vector>

namespace netrevive::support_kit {

// The whole text, ASCII with LF line ends, at most 76 columns a line.
const char* RestoreProcedureText();

// The lines the caller types at the prompt, in order: the text's lines
// indented by seven blanks or more, without the blanks.
std::vector<std::string> RestoreProcedureCommands(const std::string& text);

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_RESTORE_PROCEDURE_H_
