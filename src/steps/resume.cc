#include "steps/resume.h"

#include "platform/windows_dir.h"

namespace netrevive {

namespace {

// The RunOnce value that makes Windows start the program again.
constexpr const char* kResumeValueName = "QU Netrevive";

// Writes the path of the file in WindowsDir that authorises one
// reinstallation of DUN into path; false when it cannot be built.
bool BuildMarkerPath(Platform& os, FixedText<kPathSize>* path) {
  return ReadWindowsDir(os, path) == BuildStatus::kOk && path->Append("\\rundunreinst.QU");
}

}  // namespace

bool BuildResumeCommand(const char* self_path, RunMode mode, ResumeCommand* command) {
  command->Clear();
  bool ok = command->Append(self_path);
  for (const ModeWord& word : kModeWords) {
    if (word.mode == mode) ok = ok && command->Append(" ") && command->Append(word.word);
  }
  return ok;
}

bool WriteResumeEntry(Platform& os, Console& console, const char* command) {
  RegKey key = 0;
  // Created where it is missing, as the check before the first change does.
  RegStatus status = os.RegCreateKeyExA(kHkeyLocalMachine, kRunOnceKey, kKeyWrite, &key);
  if (status != kErrorSuccess) {
    console.PrintText(
        "Unable to open the key: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce.\n");
    console.PrintText("Error code: ");
    console.PrintCode(status);
    console.PrintText("\n");
    console.PrintText("If you reboot the machine and reinstall DUN everything will be fine.\n");
    console.PrintText(
        "Please report the error code as their might be more things wrong then meets the "
        "eye.\n");
    console.PromptForKey("Press any key to terminate the program.");
    return false;
  }
  // The value holds the whole text with its terminating NUL.
  uint32_t size = static_cast<uint32_t>(ResumeCommand::Length(command) + 1);
  status = os.RegSetValueExA(key, kResumeValueName, kRegSz,
                             reinterpret_cast<const uint8_t*>(command), size);
  if (status != kErrorSuccess) {
    console.PrintText("We were unable to write data to the registry key:\n");
    console.PrintText("\tHKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\n");
    console.PrintText("The errorcode was: ");
    console.PrintCode(status);
    console.PrintText("\n");
    console.PrintLine("Please Reboot the machine and reinstall DUN. Report the Error Code.\n");
    console.PromptForKey("Press any key to terminate the program.");
    os.RegCloseKey(key);
    return false;
  }
  os.RegCloseKey(key);
  // Windows 9x writes registry changes to its files when it gets round to
  // it: until then a power cut would lose the way back into the repair.
  os.RegFlushKey(kHkeyLocalMachine);
  return true;
}

bool DeleteResumeEntry(Platform& os, Console& console) {
  RegKey key = 0;
  RegStatus status = os.RegOpenKeyExA(kHkeyLocalMachine, kRunOnceKey, kKeyWrite, &key);
  if (status == kErrorSuccess) {
    status = os.RegDeleteValueA(key, kResumeValueName);
    os.RegCloseKey(key);
  }
  if (status == kErrorSuccess || status == kErrorFileNotFound) return true;
  console.PrintText("Unable to remove the value \"QU Netrevive\" from the key:\n");
  console.PrintText("\tHKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\n");
  console.PrintText("Error code: ");
  console.PrintCode(status);
  console.PrintText("\n");
  console.PrintText("Please delete that value with regedit before you restart the computer.\n");
  console.PromptForKey("Press any key to terminate the program.");
  return false;
}

void ScheduleCheck(Platform& os, const char* self_path) {
  ResumeCommand command;
  if (self_path[0] == '\0' || !BuildResumeCommand(self_path, RunMode::kCheck, &command)) return;
  RegKey key = 0;
  if (os.RegOpenKeyExA(kHkeyLocalMachine, kRunOnceKey, kKeyWrite, &key) != kErrorSuccess) return;
  uint32_t size = static_cast<uint32_t>(command.size() + 1);
  os.RegSetValueExA(key, kResumeValueName, kRegSz,
                    reinterpret_cast<const uint8_t*>(command.c_str()), size);
  os.RegCloseKey(key);
  os.RegFlushKey(kHkeyLocalMachine);
}

bool ReadResumeEntry(Platform& os, ResumeEntryText* command) {
  command->Clear();
  RegKey key = 0;
  if (os.RegOpenKeyExA(kHkeyLocalMachine, kRunOnceKey, kKeyRead, &key) != kErrorSuccess) {
    return false;
  }
  // Room for a NUL after whatever the value holds.
  uint32_t size = static_cast<uint32_t>(ResumeEntryText::kCapacity - 1);
  RegStatus status = os.RegQueryValueExA(key, kResumeValueName, nullptr,
                                         reinterpret_cast<uint8_t*>(command->Buffer()), &size);
  os.RegCloseKey(key);
  if (status == kErrorMoreData) {
    command->Append("(a command too long to show)");
    return true;
  }
  if (status != kErrorSuccess) return false;
  // The value need not end with a NUL, nor stop at its first one.
  size_t length = 0;
  while (length < size && length < ResumeEntryText::kCapacity - 1 &&
         command->Buffer()[length] != '\0') {
    ++length;
  }
  command->SetLength(length);
  return true;
}

bool MarkerExists(Platform& os) { return WindowsFileExists(os, "rundunreinst.QU"); }

bool WriteMarker(Platform& os) {
  FixedText<kPathSize> path;
  if (!BuildMarkerPath(os, &path)) return false;
  Handle file = os.OpenFileForWrite(path.c_str());
  if (file == kNoHandle) return false;
  static const char kContent[] = "REINSTALL\n";
  bool written = os.WriteFile(file, kContent, sizeof(kContent) - 1);
  bool closed = os.CloseFile(file);
  if (written && closed) return true;
  os.DeleteFileA(path.c_str());
  return false;
}

MarkerState ConsumeMarker(Platform& os) {
  FixedText<kPathSize> path;
  if (!BuildMarkerPath(os, &path)) return MarkerState::kNoWindowsDir;
  Handle file = os.OpenFileForRead(path.c_str());
  if (file == kNoHandle) return MarkerState::kAbsent;
  os.CloseFile(file);
  return os.DeleteFileA(path.c_str()) ? MarkerState::kConsumed : MarkerState::kLeftBehind;
}

}  // namespace netrevive
