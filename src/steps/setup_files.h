#ifndef NETREVIVE_STEPS_SETUP_FILES_H_
#define NETREVIVE_STEPS_SETUP_FILES_H_

#include "console/console.h"
#include "platform/fixed_text.h"
#include "platform/platform.h"
#include "platform/windows_dir.h"

namespace netrevive {

// Where Windows' setup files (its .CAB files) were looked for. Nothing is
// changed and nobody is asked.
struct SetupFilesSearch {
  static constexpr int kMaxFolders = 3;
  // The folders looked at, in order, each without a trailing backslash.
  FixedText<kPathSize> folders[kMaxFolders];
  int folder_count = 0;
  // Whether folders[0] is Windows' own source path (the value "SourcePath"),
  // the folder it installed from.
  bool has_source_path = false;
  // The index of the first folder holding a .CAB file; -1 for none.
  int found = -1;
  // Whether the source path was left out because it is on a network drive.
  bool source_on_network = false;
};

// Which folders a search may look in.
enum class SetupFilesLook {
  kEveryFolder,
  // Not the source path when it is on a network drive (a "\\server" path
  // or a drive of type 4): the network may be down, and a look there can
  // wait long or ask for a password.
  kLocalFolders,
};

// Looks, in order, in the value "SourcePath" of
// HKLM\Software\Microsoft\Windows\CurrentVersion\Setup (when it is a text
// that fits a path), WindowsDir\OPTIONS\CABS and WindowsDir\OPTIONS\INSTALL
// for a file matching *.CAB, and stops at the first folder that holds one.
// kNoWindowsDir when the Windows directory cannot be read: only SourcePath
// was then looked at.
BuildStatus FindSetupFiles(Platform& os, SetupFilesSearch* search,
                           SetupFilesLook look = SetupFilesLook::kEveryFolder);

// The upper-case letter of the CD-ROM drive the source path is on; '\0'
// when it is not on one.
char SourceCdDrive(Platform& os, const SetupFilesSearch& search);

// Looks for the setup files again and prints, for Windows' "Copy files
// from:" box, "Windows setup files: <folder>", or that they were not found
// and the Windows CD goes in the CD-ROM drive (the source path's, else the
// first one). Asks for nothing.
void PrintSetupFilesLine(Platform& os, Console& console);

}  // namespace netrevive

#endif  // NETREVIVE_STEPS_SETUP_FILES_H_
