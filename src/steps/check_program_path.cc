#include "steps/resume.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

bool HoldsBlank(const char* text) {
  for (; *text != '\0'; ++text) {
    if (*text == ' ' || *text == '\t') return true;
  }
  return false;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "X:\..." or a network path "\\server\share\...".
bool IsFullPath(const char* path) {
  if (TextStartsWith(path, "\\\\")) return true;
  return IsLetter(path[0]) && path[1] == ':' && path[2] == '\\';
}

bool Refuse(Console& console, const char* first, const char* second) {
  console.PrintLine(first);
  console.PrintLine(second);
  console.PrintLine("Nothing has been changed on this computer.");
  console.PromptForKey("Press any key to terminate the program.");
  return false;
}

bool RefuseNotFullPath(Console& console) {
  return Refuse(console,
                "This program was not started by its full path, so it cannot restart itself.",
                "Please start it by its full path, such as C:\\NETREVIVE.EXE.");
}

bool RefuseBlanks(Console& console) {
  return Refuse(console,
                "The path this program was started from holds blanks, which Windows cannot",
                "hand back to it after a restart. Please copy it to C:\\ and run it from there.");
}

}  // namespace

SelfPathProblem FindSelfPath(Platform& os, const char* argv0, SelfPath* path) {
  path->Clear();
  // Windows runs a resume entry from its own directory, where a bare name or
  // a relative path finds nothing: the program's own file name is used.
  if (IsFullPath(argv0)) {
    path->Append(argv0);
  } else {
    uint32_t length = os.GetModuleFileNameA(path->Buffer(), static_cast<uint32_t>(kPathSize));
    if (length == 0 || length >= kPathSize) {
      path->Clear();
      return SelfPathProblem::kNotFullPath;
    }
    path->SetLength(length);
    if (!IsFullPath(path->c_str())) return SelfPathProblem::kNotFullPath;
  }
  // Windows hands a RunOnce command line over unchanged, and the C runtime
  // splits an unquoted path with blanks into several arguments: the short
  // form has none.
  if (path->ok() && HoldsBlank(path->c_str())) {
    SelfPath short_form;
    uint32_t length =
        os.GetShortPathNameA(path->c_str(), short_form.Buffer(), static_cast<uint32_t>(kPathSize));
    if (length == 0 || length >= kPathSize) return SelfPathProblem::kBlanks;
    short_form.SetLength(length);
    if (HoldsBlank(short_form.c_str())) return SelfPathProblem::kBlanks;
    path->Clear();
    path->Append(short_form.c_str());
  }
  // The later runs start from this path plus a mode word, in a buffer of the
  // same size: a path too long for that is refused before the repair changes
  // anything, so it never stops half-way for that reason.
  bool fits = path->ok();
  for (const ModeWord& word : kModeWords) {
    ResumeCommand command;
    fits = fits && BuildResumeCommand(path->c_str(), word.mode, &command);
  }
  return fits ? SelfPathProblem::kNone : SelfPathProblem::kTooLong;
}

bool ResolveSelfPath(Platform& os, Console& console, const char* argv0, SelfPath* path) {
  switch (FindSelfPath(os, argv0, path)) {
    case SelfPathProblem::kNone:
      return true;
    case SelfPathProblem::kNotFullPath:
      return RefuseNotFullPath(console);
    case SelfPathProblem::kBlanks:
      return RefuseBlanks(console);
    case SelfPathProblem::kTooLong:
      break;
  }
  return Refuse(console,
                "The path this program was started from is too long for it to restart itself.",
                "Please copy it to a shorter path, such as C:\\, and run it from there.");
}

bool CheckStartDrive(Platform& os, Console& console, const char* self_path) {
  bool away = TextStartsWith(self_path, "\\\\");
  if (!away) {
    const char root[] = {self_path[0], ':', '\\', '\0'};
    uint32_t type = os.GetDriveTypeA(root);
    away = type == kDriveRemovable || type == kDriveRemote;
  }
  if (!away) return true;
  // A floppy left in the drive stops the restart at the BIOS; taken out, or
  // with the network gone together with DUN, the program cannot be found.
  console.PrintLine("This program was started from a floppy disk or a network drive. It restarts");
  console.PrintLine("Windows during the repair and must be found again after each restart.");
  console.PrintLine("Please copy it to C:\\ and run it from there.");
  console.PrintLine("Nothing has been changed on this computer.");
  console.PromptForKey("Press any key to terminate the program.");
  return false;
}

}  // namespace netrevive
