#include "platform/windows_dir.h"
#include "steps/dun_upgrade.h"
#include "steps/repair_state.h"
#include "steps/resume.h"
#include "steps/setup_files.h"
#include "steps/steps.h"

namespace netrevive {

namespace {

// Labels are followed by blanks up to this column; values start after it.
constexpr size_t kLabelColumns = 26;

// Room for the TCP providers of a usual PC: each protocol has a handful at
// most. A PC with more (layered providers of firewalls and filters) is asked
// again with room for kManyProviderSlots.
constexpr size_t kProviderSlots = 16;
constexpr size_t kManyProviderSlots = 64;
constexpr int32_t kWsaNoBufferSpace = 10055;  // WSAENOBUFS

// The Net class's entries; the Dial-Up Adapter's has DeviceID *PNP8387 in
// its Ndi subkey, whatever its localised name says.
constexpr const char kNetClass[] = "System\\CurrentControlSet\\Services\\Class\\Net";
constexpr const char kDialUpAdapterId[] = "*PNP8387";
// No PC has more network entries than this; a list longer than that is
// taken as damaged and looked at no further.
constexpr uint32_t kMaxNetEntries = 1000;

// The report's lines, in its order.
enum Line { kVersion, kSettings, kTcpIp, kDun, kUpgrade, kUnderWay, kBackups, kSetupFiles };
constexpr const char* kLabels[] = {
    "Windows version:",     "Winsock 2 settings:", "Winsock 2 TCP/IP:", "Dial-Up Networking:",
    "DUN upgrade (MSDUN):", "Repair under way:",   "Registry backups:", "Windows setup files:",
};

// What Winsock itself says about TCP/IP, in the order of kTcpIpValues.
enum class TcpIp { kWorking, kNoProvider, kNotWorking, kLibraryMissing };
constexpr const char* kTcpIpValues[] = {"working", "NO TCP/IP PROVIDER", "NOT WORKING",
                                        "WS2_32.DLL MISSING"};

// A line's label and the blanks up to its value.
void Label(Console& console, Line line) {
  console.PrintText(kLabels[line]);
  for (size_t n = FixedText<1>::Length(kLabels[line]); n < kLabelColumns; ++n) {
    console.PrintText(" ");
  }
}

void Field(Console& console, Line line, const char* value) {
  Label(console, line);
  console.PrintLine(value);
}

// A value with the status that made it so: "unreadable (error 5)".
void ErrorField(Console& console, Line line, const char* value, int32_t status) {
  Label(console, line);
  console.PrintText(value);
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

// "Windows 98SE (4.10.2222 A)"; no, after naming it, for a system the
// repair refuses: Windows 95, or an NT-family system (or a version that
// cannot be read, which reads as one).
bool PrintWindowsVersion(Platform& os, Console& console) {
  OsVersion info = {};
  os.GetVersionExA(&info);
  const WindowsRelease release = FindWindowsRelease(info);
  if (release == WindowsRelease::kNtFamily) {
    Field(console, kVersion, WindowsReleaseName(release));
    return false;
  }
  const uint32_t build = info.build_number & 0xFFFFu;
  Label(console, kVersion);
  console.PrintText(WindowsReleaseName(release));
  console.PrintText(" (");
  // The minor version in two digits, as Windows writes it: 4.00, 4.10, 4.90.
  console.PrintCode(static_cast<int32_t>(info.major_version));
  console.PrintText(info.minor_version < 10 ? ".0" : ".");
  console.PrintCode(static_cast<int32_t>(info.minor_version));
  console.PrintText(".");
  console.PrintCode(static_cast<int32_t>(build));
  // The service text without its blanks, after one.
  char csd[sizeof info.csd_version + 1] = {' '};
  size_t length = 1;
  for (size_t i = 0; i + 1 < sizeof info.csd_version && info.csd_version[i] != '\0'; ++i) {
    if (info.csd_version[i] != ' ') csd[length++] = info.csd_version[i];
  }
  csd[length] = '\0';
  if (length > 1) console.PrintText(csd);
  console.PrintLine(")");
  return release != WindowsRelease::k95;
}

// Lists the TCP providers into slots entries; kWorking when one is for
// AF_INET, kNoProvider when none is, kNotWorking with *error when Winsock
// cannot list them.
TcpIp ListTcpProviders(Platform& os, ProtocolInfo* providers, size_t slots, int32_t* error) {
  const int32_t tcp[] = {kIpprotoTcp, 0};
  uint32_t length = static_cast<uint32_t>(slots * sizeof(ProtocolInfo));
  int32_t count = os.WSAEnumProtocolsA(tcp, providers, &length);
  if (count == kSocketError) {
    *error = os.WSAGetLastError();
    return TcpIp::kNotWorking;
  }
  TcpIp result = TcpIp::kNoProvider;
  for (int32_t i = 0; i < count && static_cast<size_t>(i) < slots; ++i) {
    if (providers[i].address_family == kAfInet && providers[i].protocol == kIpprotoTcp) {
      result = TcpIp::kWorking;
    }
  }
  return result;
}

// Asks Winsock itself for its TCP providers and opens a TCP socket through
// them; *error is the status of a call that failed.
TcpIp ProbeTcpIp(Platform& os, int32_t* error) {
  Handle ws2 = os.LoadWinsock();
  if (ws2 == kNoHandle) return TcpIp::kLibraryMissing;
  TcpIp result = TcpIp::kNotWorking;
  *error = os.WSAStartup(kWinsockVersion22);
  if (*error == 0) {
    ProtocolInfo providers[kProviderSlots];
    result = ListTcpProviders(os, providers, kProviderSlots, error);
    if (result == TcpIp::kNotWorking && *error == kWsaNoBufferSpace) {
      // More providers than a usual PC has: once more, with room for many.
      ProtocolInfo many[kManyProviderSlots];
      result = ListTcpProviders(os, many, kManyProviderSlots, error);
    }
    if (result == TcpIp::kWorking) {
      // A listed provider is not yet a working one: opening a socket loads
      // the provider's whole chain (and sends nothing).
      Socket opened = os.socket(kAfInet, kSockStream, kIpprotoTcp);
      if (opened == kInvalidSocket) {
        *error = os.WSAGetLastError();
        result = TcpIp::kNotWorking;
      } else {
        os.closesocket(opened);
      }
    }
    os.WSACleanup();
  }
  os.FreeWinsock(ws2);
  return result;
}

// Whether the upgrade is listed (looked up in lookup).
bool PrintDunUpgrade(Platform& os, Console& console, DunUpgradeLookup& lookup) {
  LookUpDunUpgrade(os, &lookup);
  if (lookup.result == UpgradeLookup::kNotFound) {
    Field(console, kUpgrade, "not installed");
  } else if (lookup.result == UpgradeLookup::kFound) {
    Field(console, kUpgrade, "installed");
    PrintQuoted(console, lookup.uninstall.readable ? lookup.uninstall.text
                                                   : "(its uninstall text cannot be read)");
  } else {
    ErrorField(console, kUpgrade, "unreadable", lookup.status);
  }
  return lookup.result == UpgradeLookup::kFound;
}

// Whether the Net class entry (its key name) is the Dial-Up Adapter.
bool IsDialUpAdapter(Platform& os, RegKey net, const char* entry) {
  FixedText<kPathSize> ndi;
  if (!(ndi.Append(entry) && ndi.Append("\\Ndi"))) return false;
  RegKey key = 0;
  if (os.RegOpenKeyExA(net, ndi.c_str(), kKeyRead, &key) != kErrorSuccess) return false;
  char id[32] = {};
  uint32_t type = 0;
  uint32_t size = sizeof id - 1;
  RegStatus status =
      os.RegQueryValueExA(key, "DeviceID", &type, reinterpret_cast<uint8_t*>(id), &size);
  os.RegCloseKey(key);
  id[sizeof id - 1] = '\0';
  return status == kErrorSuccess && type == kRegSz && TextEqualsNoCase(id, kDialUpAdapterId);
}

// Whether a Net class entry is the Dial-Up Adapter (DeviceID *PNP8387),
// which DUN needs to dial.
bool HasDialUpAdapter(Platform& os) {
  RegKey net = 0;
  if (os.RegOpenKeyExA(kHkeyLocalMachine, kNetClass, kKeyRead, &net) != kErrorSuccess) {
    return false;
  }
  bool found = false;
  for (uint32_t i = 0; i < kMaxNetEntries && !found; ++i) {
    char name[kPathSize];
    if (os.RegEnumKeyA(net, i, name, static_cast<uint32_t>(sizeof name)) != kErrorSuccess) break;
    name[sizeof name - 1] = '\0';
    found = IsDialUpAdapter(os, net, name);
  }
  os.RegCloseKey(net);
  return found;
}

// "Result: NOT WORKING: " and the line's label without its colon.
void PrintNotWorking(Console& console, Line line) {
  FixedText<kLabelColumns> what;
  what.Append(kLabels[line], FixedText<1>::Length(kLabels[line]) - 1);
  console.PrintText("Result: NOT WORKING: ");
  console.PrintText(what.c_str());
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

  RegKey key = 0;
  // The test the repair makes before its deletion: a key that answers 2 is
  // gone.
  RegStatus settings = os.RegOpenKeyExA(kHkeyLocalMachine, kWinsock2Key, kKeyRead, &key);
  if (settings == kErrorSuccess) {
    os.RegCloseKey(key);
    Field(console, kSettings, "present");
  } else if (settings == kErrorFileNotFound) {
    Field(console, kSettings, "MISSING");
  } else {
    ErrorField(console, kSettings, "unreadable", settings);
  }

  int32_t error = 0;
  TcpIp tcp_ip = ProbeTcpIp(os, &error);
  const char* tcp_ip_value = kTcpIpValues[static_cast<int>(tcp_ip)];
  if (tcp_ip == TcpIp::kNotWorking) {
    ErrorField(console, kTcpIp, tcp_ip_value, error);
  } else {
    Field(console, kTcpIp, tcp_ip_value);
  }

  // Installed means the .dun file type and the adapter it dials with.
  bool dun_files = !IsDunMissing(os);
  bool dun = dun_files && HasDialUpAdapter(os);
  Field(console, kDun, dun ? "installed" : dun_files ? "NO DIAL-UP ADAPTER" : "NOT INSTALLED");
  DunUpgradeLookup lookup;
  bool upgrade = PrintDunUpgrade(os, console, lookup);

  ResumeEntryText entry;
  bool pending = ReadResumeEntry(os, &entry);
  bool marker = !pending && MarkerExists(os);
  bool stopped = !pending && !marker && RepairUnderWay(os);
  Field(console, kUnderWay,
        pending   ? "restart pending"
        : marker  ? "reinstall authorised, not scheduled"
        : stopped ? "stopped part-way"
                  : "no");
  if (pending) PrintQuoted(console, entry.c_str());

  bool system = WindowsFileExists(os, "system.tom");
  bool user = WindowsFileExists(os, "user.tom");
  Field(console, kBackups,
        system && user ? "system.tom and user.tom"
        : system       ? "system.tom only"
        : user         ? "user.tom only"
                       : "none");

  // The first folder of Windows' setup files, looked for without asking
  // for a disc, and not on a network, which may be down after the restart.
  SetupFilesSearch search;
  FindSetupFiles(os, &search, SetupFilesLook::kLocalFolders);
  const bool found = search.found >= 0 && search.found < search.folder_count;
  Label(console, kSetupFiles);
  console.PrintText(found                      ? search.folders[search.found].c_str()
                    : search.source_on_network ? "not looked at (network drive)"
                                               : "NOT FOUND");
  // Windows' setup asks for its source path first: a folder found elsewhere
  // is the one to type into its "Copy files from:" box.
  if (found && search.has_source_path && search.found > 0) {
    console.PrintText(" (not the source path)");
  }
  console.PrintLine("");
  console.PrintLine("");

  if (pending) {
    console.PrintLine("Result: REPAIR UNDER WAY. Restart the computer and let Netrevive carry on.");
  } else if (marker || stopped) {
    // A path that cannot be resolved is shown as the program was started.
    SelfPath self;
    const char* self_path = ResolveSelfPathQuietly(os, argv0, &self);
    // An upgrade still listed in a repair under way: its uninstaller left
    // it, or never got to run; either way Add/Remove Programs removes it.
    if (!marker && upgrade) {
      console.PrintLine(
          "Result: REPAIR STOPPED. The Dial Up Networking Upgrade is still installed.");
      console.PrintLine("Please remove it with Add/Remove Programs, restart the computer, then");
      console.PrintLine("click Start, Run, type");
    } else {
      console.PrintLine("Result: REPAIR STOPPED. To finish it, click Start, Run, type");
    }
    PrintStartRunCommand(console, self_path, marker ? "ReinstallDUN" : nullptr);
    console.PrintLine("and press Enter.");
  } else if (settings != kErrorSuccess) {
    PrintNotWorking(console, kSettings);
  } else if (tcp_ip != TcpIp::kWorking) {
    PrintNotWorking(console, kTcpIp);
  } else if (!dun) {
    PrintNotWorking(console, kDun);
  } else {
    console.PrintLine("Result: REPAIRED. Dial-up networking is ready to use.");
  }
  console.PromptForKey("Press any key to close this window.");
}

}  // namespace netrevive
