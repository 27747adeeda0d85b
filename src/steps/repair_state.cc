#include "steps/repair_state.h"

#include "platform/fixed_text.h"
#include "platform/windows_dir.h"

namespace netrevive {

namespace {

// The file holds "REPAIR UNDER WAY", a line end, "TRIES " and a digit per
// setup step.
constexpr const char kHeading[] = "REPAIR UNDER WAY\r\nTRIES ";
constexpr size_t kHeadingLength = sizeof kHeading - 1;
constexpr size_t kStateSize = kHeadingLength + kSetupStepCount + 2;

bool BuildStatePath(Platform& os, FixedText<kPathSize>* path) {
  return ReadWindowsDir(os, path) == BuildStatus::kOk && path->Append("\\netrevive.QU");
}

}  // namespace

void ReadRepairState(Platform& os, RepairState* state) {
  *state = RepairState{};
  FixedText<kPathSize> path;
  if (!BuildStatePath(os, &path)) return;
  Handle file = os.OpenFileForRead(path.c_str());
  if (file == kNoHandle) {
    // A file that is there but cannot be opened still tells of a repair.
    state->under_way = IsPlainFile(os, path.c_str());
    return;
  }
  state->under_way = true;
  char text[kStateSize + 1] = {};
  uint32_t read = 0;
  bool ok = os.ReadFile(file, text, kStateSize, &read);
  os.CloseFile(file);
  if (!ok || read < kHeadingLength + kSetupStepCount) return;
  for (size_t i = 0; i < kHeadingLength; ++i) {
    if (text[i] != kHeading[i]) return;
  }
  for (int step = 0; step < kSetupStepCount; ++step) {
    char digit = text[kHeadingLength + step];
    if (digit >= '0' && digit <= '9') state->tries[step] = digit - '0';
  }
}

bool WriteRepairState(Platform& os, const RepairState& state) {
  FixedText<kPathSize> path;
  if (!BuildStatePath(os, &path)) return false;
  char text[kStateSize];
  for (size_t i = 0; i < kHeadingLength; ++i) text[i] = kHeading[i];
  for (int step = 0; step < kSetupStepCount; ++step) {
    int tries = state.tries[step];
    text[kHeadingLength + step] = static_cast<char>('0' + (tries < 0 ? 0 : tries > 9 ? 9 : tries));
  }
  text[kStateSize - 2] = '\r';
  text[kStateSize - 1] = '\n';
  Handle file = os.OpenFileForWrite(path.c_str());
  if (file == kNoHandle) return false;
  bool written = os.WriteFile(file, text, static_cast<uint32_t>(kStateSize));
  bool closed = os.CloseFile(file);
  return written && closed;
}

bool RepairUnderWay(Platform& os) { return WindowsFileExists(os, "netrevive.QU"); }

bool EndRepairState(Platform& os) {
  FixedText<kPathSize> path;
  if (!BuildStatePath(os, &path)) return false;
  return os.DeleteFileA(path.c_str()) || !IsPlainFile(os, path.c_str());
}

bool CountSetupTry(Platform& os, SetupStep step) {
  RepairState state;
  ReadRepairState(os, &state);
  int& tries = state.tries[static_cast<int>(step)];
  if (tries < kMaxSetupTries) {
    // A count that cannot be written does not stop the repair: it only
    // takes away one limit on tries.
    ++tries;
    WriteRepairState(os, state);
    return true;
  }
  tries = 0;
  WriteRepairState(os, state);
  return false;
}

void ReportSetupTriesUsedUp(Console& console, const char* self_path) {
  console.PrintLine("Windows' setup has been started twice for this step, and the repair has");
  console.PrintLine("not got past it. Restart the computer, then click Start, Run, type");
  PrintStartRunCommand(console, self_path, nullptr);
  console.PrintLine("and press Enter to try once more.");
  console.PromptForKey("Press any key to terminate the program.");
}

void ForgetSetupTries(Platform& os, SetupStep step) {
  RepairState state;
  ReadRepairState(os, &state);
  if (!state.under_way || state.tries[static_cast<int>(step)] == 0) return;
  state.tries[static_cast<int>(step)] = 0;
  WriteRepairState(os, state);
}

void PrintWhatWasChanged(Platform& os, Console& console) {
  if (!RepairUnderWay(os)) {
    console.PrintLine("Nothing has been changed on this computer.");
    return;
  }
  console.PrintLine("A repair of this computer is under way: its registry files are backed up,");
  console.PrintLine("and its Winsock 2 settings and Dial-Up Networking may already be removed.");
}

bool EndRefusal(Platform& os, Console& console, SupportNumber number) {
  PrintWhatWasChanged(os, console);
  if (number == SupportNumber::kGiven)
    console.PrintLine("Please contact the MERX at 555-555-0142.");
  console.PromptForKey("Press any key to terminate the program.");
  return false;
}

void PrintStartRunCommand(Console& console, const char* self_path, const char* mode_word) {
  console.PrintText("\t");
  console.PrintText(self_path);
  if (mode_word != nullptr) {
    console.PrintText(" ");
    console.PrintText(mode_word);
  }
  console.PrintLine("");
}

}  // namespace netrevive
