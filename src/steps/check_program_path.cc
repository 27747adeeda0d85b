#include "platform/windows_dir.h"
#include "steps/repair_state.h"
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

bool Refuse(Platform& os, Console& console, const char* first, const char* second) {
  console.PrintLine(first);
  console.PrintLine(second);
  return EndRefusal(os, console, SupportNumber::kLeftOut);
}

bool RefuseNotFullPath(Platform& os, Console& console) {
  return Refuse(os, console,
                "This program was not started by its full path, so it cannot restart itself.",
                "Please start it by its full path, such as C:\\NETREVIVE.EXE.");
}

bool RefuseBlanks(Platform& os, Console& console) {
  return Refuse(os, console,
                "The path this program was started from holds blanks, which Windows cannot",
                "hand back to it after a restart. Please copy it to C:\\ and run it from there.");
}

// Why a path could not be made into one the program restarts from.
enum class Resolution { kOk, kNotFullPath, kBlanks, kTooLong };

Resolution Resolve(Platform& os, const char* argv0, SelfPath* path) {
  path->Clear();
  // Windows runs a resume entry from its own directory, where a bare name or
  // a relative path finds nothing: the program's own file name is used.
  if (IsFullPath(argv0)) {
    path->Append(argv0);
  } else {
    uint32_t length = os.GetModuleFileNameA(path->Buffer(), static_cast<uint32_t>(kPathSize));
    if (length == 0 || length >= kPathSize) {
      path->Clear();
      return Resolution::kNotFullPath;
    }
    path->SetLength(length);
    if (!IsFullPath(path->c_str())) return Resolution::kNotFullPath;
  }
  // Windows hands a RunOnce command line over unchanged, and the C runtime
  // splits an unquoted path with blanks into several arguments: the short
  // form has none.
  if (path->ok() && HoldsBlank(path->c_str())) {
    SelfPath short_form;
    uint32_t length =
        os.GetShortPathNameA(path->c_str(), short_form.Buffer(), static_cast<uint32_t>(kPathSize));
    if (length == 0 || length >= kPathSize) return Resolution::kBlanks;
    short_form.SetLength(length);
    if (HoldsBlank(short_form.c_str())) return Resolution::kBlanks;
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
  return fits ? Resolution::kOk : Resolution::kTooLong;
}

bool RefuseTooLong(Platform& os, Console& console) {
  return Refuse(os, console,
                "The path this program was started from is too long for it to restart itself.",
                "Please copy it to a shorter path, such as C:\\, and run it from there.");
}

// The length of folder without its trailing backslashes.
size_t FolderLength(const char* folder) {
  size_t length = FixedText<kPathSize>::Length(folder);
  while (length > 0 && folder[length - 1] == '\\') --length;
  return length;
}

// Whether path lies inside folder (given with or without its trailing
// backslash).
bool IsInside(const char* path, const char* folder) {
  size_t length = FolderLength(folder);
  if (length == 0) return false;
  for (size_t i = 0; i < length; ++i) {
    if (UpperAscii(path[i]) != UpperAscii(folder[i])) return false;
  }
  return path[length] == '\\';
}

// Whether one of the folders of path is named "Temporary Internet Files".
bool IsInsideInternetCache(const char* path) {
  static const char kCache[] = "\\Temporary Internet Files\\";
  for (; *path != '\0'; ++path) {
    if (TextStartsWithNoCase(path, kCache)) return true;
  }
  return false;
}

// The other form of path (the long form when to_long, else the short one);
// no when Windows cannot give it.
bool OtherForm(Platform& os, const char* path, bool to_long, FixedText<kPathSize>* form) {
  form->Clear();
  uint32_t size = static_cast<uint32_t>(kPathSize);
  uint32_t length = to_long ? os.GetLongPathNameA(path, form->Buffer(), size)
                            : os.GetShortPathNameA(path, form->Buffer(), size);
  if (length == 0 || length >= kPathSize) {
    form->Clear();
    return false;
  }
  form->SetLength(length);
  return true;
}

// Whether the process has the environment variable, with any value.
bool IsVariableSet(Platform& os, const char* name) {
  FixedText<kPathSize> value;
  return os.GetEnvironmentVariableA(name, value.Buffer(), static_cast<uint32_t>(kPathSize)) != 0;
}

// Whether folder (with or without its trailing backslash) is a drive root or
// the Windows directory.
bool IsRootOrWindowsDir(const char* folder, const char* windows_dir) {
  size_t length = FolderLength(folder);
  if (length <= 2) return true;
  return FixedText<kPathSize>::Length(windows_dir) == length &&
         TextStartsWithNoCase(folder, windows_dir);
}

// Whether GetTempPathA's answer names a folder Windows empties. It gives the
// current directory when neither TMP nor TEMP is set, and AUTOEXEC.BAT on
// many PCs sets TEMP=C:\ (or the Windows directory): none of these is a
// temporary folder a zip program extracts into and later empties.
bool IsRealTemporaryFolder(Platform& os, const char* temp, const char* temp_long) {
  if (!IsVariableSet(os, "TMP") && !IsVariableSet(os, "TEMP")) return false;
  FixedText<kPathSize> windows_dir;
  const char* windows =
      ReadWindowsDir(os, &windows_dir) == BuildStatus::kOk ? windows_dir.c_str() : "";
  return !IsRootOrWindowsDir(temp, windows) &&
         (temp_long[0] == '\0' || !IsRootOrWindowsDir(temp_long, windows));
}

}  // namespace

bool ResolveSelfPath(Platform& os, Console& console, const char* argv0, SelfPath* path) {
  switch (Resolve(os, argv0, path)) {
    case Resolution::kOk:
      return true;
    case Resolution::kNotFullPath:
      return RefuseNotFullPath(os, console);
    case Resolution::kBlanks:
      return RefuseBlanks(os, console);
    case Resolution::kTooLong:
      break;
  }
  return RefuseTooLong(os, console);
}

const char* ResolveSelfPathQuietly(Platform& os, const char* argv0, SelfPath* path) {
  Resolution resolution = Resolve(os, argv0, path);
  bool usable = resolution == Resolution::kOk || resolution == Resolution::kTooLong;
  return usable && path->ok() ? path->c_str() : argv0;
}

bool CheckNotTemporary(Platform& os, Console& console, const char* self_path) {
  FixedText<kPathSize> self_long;
  FixedText<kPathSize> self_short;
  bool has_long = OtherForm(os, self_path, true, &self_long);
  bool has_short = OtherForm(os, self_path, false, &self_short);
  bool temporary =
      IsInsideInternetCache(self_path) || (has_long && IsInsideInternetCache(self_long.c_str()));

  FixedText<kPathSize> temp;
  uint32_t length = os.GetTempPathA(temp.Buffer(), static_cast<uint32_t>(kPathSize));
  if (!temporary && length != 0 && length < kPathSize) {
    temp.SetLength(length);
    FixedText<kPathSize> temp_long;
    FixedText<kPathSize> temp_short;
    bool temp_has_long = OtherForm(os, temp.c_str(), true, &temp_long);
    if (IsRealTemporaryFolder(os, temp.c_str(), temp_has_long ? temp_long.c_str() : "")) {
      bool temp_has_short = OtherForm(os, temp.c_str(), false, &temp_short);
      const char* selves[] = {self_path, has_long ? self_long.c_str() : "",
                              has_short ? self_short.c_str() : ""};
      const char* temps[] = {temp.c_str(), temp_has_long ? temp_long.c_str() : "",
                             temp_has_short ? temp_short.c_str() : ""};
      for (const char* self : selves) {
        for (const char* folder : temps) temporary = temporary || IsInside(self, folder);
      }
    }
  }
  if (!temporary) return true;
  console.PrintLine("This program was started from a temporary folder (from inside a zip file");
  console.PrintLine("or straight from a web page), which Windows empties. It restarts Windows");
  console.PrintLine("during the repair and must be found again after each restart.");
  console.PrintLine("Please copy it to C:\\ and run it from there.");
  return EndRefusal(os, console, SupportNumber::kLeftOut);
}

bool CheckResumeCommandLength(Platform& os, Console& console, const char* self_path) {
  // The shell of Windows 9x reads each RunOnce command into a buffer of
  // MAX_PATH characters.
  size_t longest = 0;
  for (const ModeWord& word : kModeWords) {
    size_t length = FixedText<kPathSize>::Length(word.word);
    if (length > longest) longest = length;
  }
  if (FixedText<kPathSize>::Length(self_path) + 1 + longest < kMaxPath) return true;
  return RefuseTooLong(os, console);
}

bool CheckStartDrive(Platform& os, Console& console, const char* self_path) {
  bool away = TextStartsWith(self_path, "\\\\");
  bool cd = false;
  if (!away) {
    const char root[] = {self_path[0], ':', '\\', '\0'};
    uint32_t type = os.GetDriveTypeA(root);
    away = type == kDriveRemovable || type == kDriveRemote;
    cd = type == kDriveCdrom;
  }
  if (cd) {
    // Windows' setup wants its own CD in that drive during the repair, and
    // the program must be found there again after each restart.
    console.PrintLine("This program was started from a CD. It restarts Windows during the repair");
    console.PrintLine("and must be found again after each restart, while Windows' setup may want");
    console.PrintLine(
        "the Windows CD in that drive. Please copy it to C:\\ and run it from there.");
  } else if (away) {
    // A floppy left in the drive stops the restart at the BIOS; taken out,
    // or with the network gone together with DUN, the program cannot be
    // found.
    console.PrintLine(
        "This program was started from a floppy disk or a network drive. It restarts");
    console.PrintLine("Windows during the repair and must be found again after each restart.");
    console.PrintLine("Please copy it to C:\\ and run it from there.");
  } else {
    return true;
  }
  return EndRefusal(os, console, SupportNumber::kLeftOut);
}

}  // namespace netrevive
