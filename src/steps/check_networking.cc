#include "platform/windows_dir.h"
#include "steps/dun_upgrade.h"
#include "steps/resume.h"
#include "steps/setup_files.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

constexpr const char kWinsockParameters[] =
    "System\\CurrentControlSet\\Services\\Winsock2\\Parameters";

// Labels are followed by blanks up to this column; values start after it.
constexpr size_t kLabelColumns = 26;

// Room for the TCP providers of any PC: each protocol has a handful at most.
constexpr size_t kProviderSlots = 16;

enum class Settings { kPresent, kMissing, kUnreadable };
enum class TcpIp { kWorking, kNoProvider, kNotWorking, kLibraryMissing };

void PrintLabel(Console& console, const char* label) {
  console.PrintText(label);
  for (size_t n = FixedText<1>::Length(label); n < kLabelColumns; ++n) console.PrintText(" ");
}

void PrintError(Console& console, const char* before, int32_t status) {
  console.PrintText(before);
  console.PrintText(" (error ");
  console.PrintCode(status);
  console.PrintLine(")");
}

// A registry text echoed on a line of its own, after a tab.
void PrintQuoted(Console& console, const char* text) {
  console.PrintText("\t");
  console.PrintText(text);
  console.PrintLine("");
}

// "Windows 98SE (4.10.2222 A)"; no for an NT-family system (or a version
// that cannot be read, which reads as one), after naming it so.
bool PrintWindowsVersion(Platform& os, Console& console) {
  OsVersion info = {};
  os.GetVersionExA(&info);
  PrintLabel(console, "Windows version:");
  if (info.platform_id != kPlatformWin32Windows) {
    console.PrintLine("Windows NT family");
    return false;
  }
  const uint32_t build = info.build_number & 0xFFFFu;
  const char* name = "Windows 9x";
  switch (info.minor_version) {
    case 0:
      name = "Windows 95";
      break;
    case 10:
      name = build != 1998 && info.csd_version[1] == 'A' ? "Windows 98SE" : "Windows 98";
      break;
    case 90:
      name = "Windows ME";
      break;
    default:
      break;
  }
  console.PrintText(name);
  console.PrintText(" (");
  // The minor version in two digits, as Windows writes it: 4.00, 4.10, 4.90.
  console.PrintCode(static_cast<int32_t>(info.major_version));
  console.PrintText(info.minor_version < 10 ? ".0" : ".");
  console.PrintCode(static_cast<int32_t>(info.minor_version));
  console.PrintText(".");
  console.PrintCode(static_cast<int32_t>(build));
  FixedText<sizeof info.csd_version> csd;
  for (size_t i = 0; i + 1 < sizeof info.csd_version && info.csd_version[i] != '\0'; ++i) {
    if (info.csd_version[i] != ' ') csd.Append(&info.csd_version[i], 1);
  }
  if (csd.size() > 0) {
    console.PrintText(" ");
    console.PrintText(csd.c_str());
  }
  console.PrintLine(")");
  return true;
}

Settings PrintWinsockSettings(Platform& os, Console& console) {
  RegKey key = 0;
  RegStatus status = os.RegOpenKeyExA(kHkeyLocalMachine, kWinsockParameters, kKeyRead, &key);
  PrintLabel(console, "Winsock 2 settings:");
  if (status == kErrorSuccess) {
    os.RegCloseKey(key);
    console.PrintLine("present");
    return Settings::kPresent;
  }
  if (status == kErrorFileNotFound) {
    console.PrintLine("MISSING");
    return Settings::kMissing;
  }
  PrintError(console, "unreadable", status);
  return Settings::kUnreadable;
}

// Asks Winsock itself for its TCP providers; *error is the status of a
// call that failed.
TcpIp ProbeTcpIp(Platform& os, int32_t* error) {
  Handle ws2 = os.LoadLibraryA("WS2_32.DLL");
  if (ws2 == kNoHandle) return TcpIp::kLibraryMissing;
  TcpIp result = TcpIp::kNotWorking;
  *error = os.WSAStartup(kWinsockVersion22);
  if (*error == 0) {
    ProtocolInfo providers[kProviderSlots];
    const int32_t tcp[] = {kIpprotoTcp, 0};
    uint32_t length = static_cast<uint32_t>(sizeof providers);
    int32_t count = os.WSAEnumProtocolsA(tcp, providers, &length);
    if (count == kSocketError) {
      *error = os.WSAGetLastError();
    } else {
      result = TcpIp::kNoProvider;
      for (int32_t i = 0; i < count && static_cast<size_t>(i) < kProviderSlots; ++i) {
        if (providers[i].address_family == kAfInet && providers[i].protocol == kIpprotoTcp) {
          result = TcpIp::kWorking;
        }
      }
    }
    os.WSACleanup();
  }
  os.FreeLibrary(ws2);
  return result;
}

TcpIp PrintTcpIp(Platform& os, Console& console) {
  int32_t error = 0;
  TcpIp result = ProbeTcpIp(os, &error);
  PrintLabel(console, "Winsock 2 TCP/IP:");
  switch (result) {
    case TcpIp::kWorking:
      console.PrintLine("working");
      break;
    case TcpIp::kNoProvider:
      console.PrintLine("NO TCP/IP PROVIDER");
      break;
    case TcpIp::kNotWorking:
      PrintError(console, "NOT WORKING", error);
      break;
    case TcpIp::kLibraryMissing:
      console.PrintLine("WS2_32.DLL MISSING");
      break;
  }
  return result;
}

bool PrintDun(Platform& os, Console& console) {
  bool installed = !IsDunMissing(os);
  PrintLabel(console, "Dial-Up Networking:");
  console.PrintLine(installed ? "installed" : "NOT INSTALLED");
  return installed;
}

void PrintDunUpgrade(Platform& os, Console& console) {
  DunUpgradeLookup lookup;
  LookUpDunUpgrade(os, &lookup);
  PrintLabel(console, "DUN upgrade (MSDUN):");
  switch (lookup.result) {
    case UpgradeLookup::kNotFound:
      console.PrintLine("not installed");
      break;
    case UpgradeLookup::kFound:
      console.PrintLine("installed");
      PrintQuoted(console, lookup.uninstall.readable ? lookup.uninstall.text
                                                     : "(its uninstall text cannot be read)");
      break;
    case UpgradeLookup::kOpenFailed:
    case UpgradeLookup::kQueryFailed:
    case UpgradeLookup::kEnumFailed:
      PrintError(console, "unreadable", lookup.status);
      break;
  }
}

// The first folder of Windows' setup files, looked for without asking for
// a disc.
void PrintSetupFiles(Platform& os, Console& console) {
  SetupFilesSearch search;
  FindSetupFiles(os, &search);
  PrintLabel(console, "Windows setup files:");
  console.PrintLine(search.found >= 0 && search.found < search.folder_count
                        ? search.folders[search.found].c_str()
                        : "NOT FOUND");
}

// Whether WindowsDir\name is a file there.
bool WindowsFileExists(Platform& os, const char* name) {
  FixedText<kPathSize> path;
  if (ReadWindowsDir(os, &path) != BuildStatus::kOk || !path.Append("\\") || !path.Append(name)) {
    return false;
  }
  uint32_t attributes = os.GetFileAttributesA(path.c_str());
  return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) == 0;
}

void PrintBackups(Platform& os, Console& console) {
  bool system = WindowsFileExists(os, "system.tom");
  bool user = WindowsFileExists(os, "user.tom");
  PrintLabel(console, "Registry backups:");
  console.PrintLine(system && user ? "system.tom and user.tom"
                    : system       ? "system.tom only"
                    : user         ? "user.tom only"
                                   : "none");
}

void PrintStoppedRepair(Platform& os, Console& console, const char* argv0) {
  // A path that cannot be resolved is shown as the program was started.
  SelfPath self;
  const char* self_path = ResolveSelfPathQuietly(os, argv0, &self);
  console.PrintLine("Result: REPAIR STOPPED. To finish it, click Start, Run, type");
  console.PrintText("\t");
  console.PrintText(self_path);
  console.PrintLine(" ReinstallDUN");
  console.PrintLine("and press Enter.");
}

void PrintNotWorking(Console& console, const char* what) {
  console.PrintText("Result: NOT WORKING: ");
  console.PrintText(what);
  console.PrintLine(".");
  console.PrintLine("Please call the MERX at 555-555-0142 and read them the lines above.");
}

}  // namespace

void CheckNetworking(Platform& os, Console& console, const char* argv0) {
  console.PrintLine("Checking this computer's dial-up networking. Nothing will be changed.");
  console.PrintLine("");
  if (!PrintWindowsVersion(os, console)) {
    console.PrintLine("");
    console.PrintLine("Result: this check is for Windows 98 and ME only.");
    console.PromptForKey("Press any key to close this window.");
    return;
  }
  Settings settings = PrintWinsockSettings(os, console);
  TcpIp tcp_ip = PrintTcpIp(os, console);
  bool dun = PrintDun(os, console);
  PrintDunUpgrade(os, console);

  ResumeEntryText entry;
  bool pending = ReadResumeEntry(os, &entry);
  bool marker = !pending && MarkerExists(os);
  PrintLabel(console, "Repair under way:");
  if (pending) {
    console.PrintLine("restart pending");
    PrintQuoted(console, entry.c_str());
  } else {
    console.PrintLine(marker ? "reinstall authorised, not scheduled" : "no");
  }
  PrintBackups(os, console);
  PrintSetupFiles(os, console);
  console.PrintLine("");

  if (pending) {
    console.PrintLine("Result: REPAIR UNDER WAY. Restart the computer and let Netrevive carry on.");
  } else if (marker) {
    PrintStoppedRepair(os, console, argv0);
  } else if (settings != Settings::kPresent) {
    PrintNotWorking(console, "Winsock 2 settings");
  } else if (tcp_ip != TcpIp::kWorking) {
    PrintNotWorking(console, "Winsock 2 TCP/IP");
  } else if (!dun) {
    PrintNotWorking(console, "Dial-Up Networking");
  } else {
    console.PrintLine("Result: REPAIRED. Dial-up networking is ready to use.");
  }
  console.PromptForKey("Press any key to close this window.");
}

}  // namespace netrevive
