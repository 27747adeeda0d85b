#include "steps/setup_files.h"

namespace netrevive {

namespace {

constexpr const char* kSetupKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup";

// Reads "SourcePath" into folder without its trailing backslashes. No when
// the value is missing, not a text, empty or longer than a path.
bool ReadSourcePath(Platform& os, FixedText<kPathSize>* folder) {
  RegKey key = 0;
  if (os.RegOpenKeyExA(kHkeyLocalMachine, kSetupKey, kKeyRead, &key) != kErrorSuccess) return false;
  char value[kPathSize];
  for (char& c : value) c = '\0';
  uint32_t type = 0;
  uint32_t size = kPathSize;
  RegStatus status =
      os.RegQueryValueExA(key, "SourcePath", &type, reinterpret_cast<uint8_t*>(value), &size);
  os.RegCloseKey(key);
  // A value of the full buffer size has no room for its terminator.
  if (status != kErrorSuccess || type != kRegSz || size >= kPathSize) return false;
  value[kPathSize - 1] = '\0';
  size_t length = FixedText<kPathSize>::Length(value);
  while (length > 0 && value[length - 1] == '\\') --length;
  if (length == 0) return false;
  return folder->Append(value, length);
}

// Whether the folder holds a file matching *.CAB. A folder whose pattern
// does not fit a path holds none that can be found.
bool HoldsCabinet(Platform& os, const char* folder) {
  FixedText<kPathSize> pattern;
  if (!(pattern.Append(folder) && pattern.Append("\\*.CAB"))) return false;
  Handle search = os.FindFirstFileA(pattern.c_str());
  if (search == kNoHandle) return false;
  os.FindClose(search);
  return true;
}

// Whether the folder is on a network: a "\\server\share" path, or one on
// a drive Windows reports as remote. GetDriveTypeA does not touch the drive.
bool OnNetwork(Platform& os, const char* folder) {
  if (folder[0] == '\\' && folder[1] == '\\') return true;
  if (folder[0] == '\0' || folder[1] != ':') return false;
  const char root[] = {folder[0], ':', '\\', '\0'};
  return os.GetDriveTypeA(root) == kDriveRemote;
}

}  // namespace

BuildStatus FindSetupFiles(Platform& os, SetupFilesSearch* search, SetupFilesLook look) {
  search->folder_count = 0;
  search->has_source_path = false;
  search->source_on_network = false;
  search->found = -1;
  for (FixedText<kPathSize>& folder : search->folders) folder.Clear();

  if (ReadSourcePath(os, &search->folders[0])) {
    search->has_source_path = true;
    search->folder_count = 1;
    search->source_on_network =
        look == SetupFilesLook::kLocalFolders && OnNetwork(os, search->folders[0].c_str());
  } else {
    search->folders[0].Clear();
  }
  FixedText<kPathSize> windows_dir;
  BuildStatus status = ReadWindowsDir(os, &windows_dir);
  if (status == BuildStatus::kOk) {
    // The buffers hold any Windows directory with either tail.
    static const char* const kTails[] = {"\\OPTIONS\\CABS", "\\OPTIONS\\INSTALL"};
    for (const char* tail : kTails) {
      FixedText<kPathSize>& folder = search->folders[search->folder_count++];
      folder.Append(windows_dir.c_str());
      folder.Append(tail);
    }
  }
  for (int i = search->source_on_network ? 1 : 0; i < search->folder_count; ++i) {
    if (HoldsCabinet(os, search->folders[i].c_str())) {
      search->found = i;
      break;
    }
  }
  return status;
}

char SourceCdDrive(Platform& os, const SetupFilesSearch& search) {
  if (!search.has_source_path) return '\0';
  const char* source = search.folders[0].c_str();
  char letter = UpperAscii(source[0]);
  if (letter < 'A' || letter > 'Z' || source[1] != ':') return '\0';
  const char root[] = {letter, ':', '\\', '\0'};
  return os.GetDriveTypeA(root) == kDriveCdrom ? letter : '\0';
}

void PrintSetupFilesLine(Platform& os, Console& console) {
  SetupFilesSearch search;
  FindSetupFiles(os, &search);
  console.PrintText("Windows setup files: ");
  if (search.found >= 0 && search.found < search.folder_count) {
    console.PrintLine(search.folders[search.found].c_str());
    return;
  }
  char drive = SourceCdDrive(os, search);
  // The type of a drive is known without looking at its disc.
  for (char letter = 'D'; drive == '\0' && letter <= 'Z'; ++letter) {
    const char root[] = {letter, ':', '\\', '\0'};
    if (os.GetDriveTypeA(root) == kDriveCdrom) drive = letter;
  }
  if (drive == '\0') {
    console.PrintLine("NOT FOUND, put the Windows CD in its drive");
    return;
  }
  const char tail[] = {'d', 'r', 'i', 'v', 'e', ' ', drive, ':', '\0'};
  console.PrintText("NOT FOUND, put the Windows CD in ");
  console.PrintLine(tail);
}

}  // namespace netrevive
