#include "platform/simulated_pc/sim_presets.h"

#include <stdio.h>

#include <utility>

namespace netrevive::simulated_pc {
namespace {

void PutLe32(std::vector<uint8_t>* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A GUID's 16 bytes, derived from a seed so every provider has its own.
void PutGuid(std::vector<uint8_t>* out, uint32_t seed) {
  PutLe32(out, 0xE70F1AA0u + seed);
  PutLe32(out, 0x11D0AB8Cu);
  PutLe32(out, 0xA0000B8Cu);
  PutLe32(out, 0x4F3D0C91u ^ seed);
}

std::string Catalog12(int n) {
  char name[16];
  snprintf(name, sizeof name, "%012d", n);
  return name;
}

struct Provider {
  const char* library;
  const char* protocol;
  uint32_t address_family;
  uint32_t socket_type;
  uint32_t protocol_number;
  uint32_t max_sockaddr;
  uint32_t message_size;
};

// The transport providers of a Windows 98 SE PC with TCP/IP, NetBIOS over
// TCP/IP on two adapters and IPX.
const Provider kProviders[] = {
    {"%windir%\\system\\mswsock.dll", "MSAFD Tcpip [TCP/IP]", 2, 1, 6, 16, 0},
    {"%windir%\\system\\mswsock.dll", "MSAFD Tcpip [UDP/IP]", 2, 2, 17, 16, 65467},
    {"%windir%\\system\\rsvpsp.dll", "RSVP UDP Service Provider", 2, 2, 17, 16, 65467},
    {"%windir%\\system\\rsvpsp.dll", "RSVP TCP Service Provider", 2, 1, 6, 16, 0},
    {"%windir%\\system\\mswsock.dll", "MSAFD NetBIOS [\\Device\\NetBT_Tcpip_0] SEQPACKET 0", 17, 5,
     0, 20, 64000},
    {"%windir%\\system\\mswsock.dll", "MSAFD NetBIOS [\\Device\\NetBT_Tcpip_0] DATAGRAM 0", 17, 2,
     0, 20, 64000},
    {"%windir%\\system\\mswsock.dll", "MSAFD NetBIOS [\\Device\\NetBT_Tcpip_1] SEQPACKET 1", 17, 5,
     1, 20, 64000},
    {"%windir%\\system\\mswsock.dll", "MSAFD NetBIOS [\\Device\\NetBT_Tcpip_1] DATAGRAM 1", 17, 2,
     1, 20, 64000},
    {"%windir%\\system\\mswsock.dll", "MSAFD nwlnkipx [IPX]", 6, 2, 1000, 14, 576},
};

// LibraryPath (260 bytes) followed by a WSAPROTOCOL_INFOW (628 bytes).
std::vector<uint8_t> PackedCatalogItem(const Provider& provider, uint32_t entry_id) {
  std::vector<uint8_t> item(260, 0);
  std::string library = provider.library;
  for (size_t i = 0; i < library.size() && i < 259; ++i) item[i] = static_cast<uint8_t>(library[i]);
  PutLe32(&item, provider.socket_type == 1 ? 0x20066 : 0x20609);  // dwServiceFlags1
  PutLe32(&item, 0);                                              // dwServiceFlags2..4
  PutLe32(&item, 0);
  PutLe32(&item, 0);
  PutLe32(&item, 8);  // dwProviderFlags: PFL_MATCHES_PROTOCOL_ZERO
  PutGuid(&item, provider.address_family * 16 + provider.socket_type);
  PutLe32(&item, entry_id);  // dwCatalogEntryId
  PutLe32(&item, 1);         // ProtocolChain.ChainLen: a base provider
  for (int i = 0; i < 7; ++i) PutLe32(&item, 0);
  PutLe32(&item, 2);  // iVersion
  PutLe32(&item, provider.address_family);
  PutLe32(&item, provider.max_sockaddr);
  PutLe32(&item, provider.max_sockaddr);
  PutLe32(&item, provider.socket_type);
  PutLe32(&item, provider.protocol_number);
  PutLe32(&item, 0);  // iProtocolMaxOffset
  PutLe32(&item, 0);  // iNetworkByteOrder: big endian
  PutLe32(&item, 0);  // iSecurityScheme
  PutLe32(&item, provider.message_size);
  PutLe32(&item, 0);  // dwProviderReserved
  std::string protocol = provider.protocol;
  for (size_t i = 0; i < 256; ++i) {
    item.push_back(i < protocol.size() ? static_cast<uint8_t>(protocol[i]) : 0);
    item.push_back(0);
  }
  return item;
}

struct NameSpace {
  const char* display;
  const char* library;
  uint32_t name_space;
};

const NameSpace kNameSpaces[] = {
    {"Tcpip", "%windir%\\system\\mswsock.dll", 12},           // NS_DNS
    {"NetBIOS", "%windir%\\system\\mswsock.dll", 13},         // NS_NETBT
    {"SAP Name Space", "%windir%\\system\\nwprovau.dll", 1},  // NS_SAP
};

}  // namespace

void AddDefaultWinsock2Tree(SimMachine* machine) {
  const std::string parameters = std::string(kWinsock2Path) + "\\Parameters";
  const std::string protocols = parameters + "\\Protocol_Catalog9";
  const std::string name_spaces = parameters + "\\NameSpace_Catalog5";
  machine->CreateKey(kWinsock2Path);
  machine->SetString(parameters, "Current_Protocol_Catalog", "Protocol_Catalog9");
  machine->SetString(parameters, "Current_NameSpace_Catalog", "NameSpace_Catalog5");

  machine->SetDword(protocols, "Serial_Access_Num", 4);
  const uint32_t provider_count = sizeof kProviders / sizeof kProviders[0];
  machine->SetDword(protocols, "Next_Catalog_Entry_ID", 1001 + provider_count);
  machine->SetDword(protocols, "Num_Catalog_Entries", provider_count);
  for (uint32_t i = 0; i < provider_count; ++i) {
    machine->SetBinary(protocols + "\\Catalog_Entries\\" + Catalog12(static_cast<int>(i) + 1),
                       "PackedCatalogItem", PackedCatalogItem(kProviders[i], 1001 + i));
  }

  machine->SetDword(name_spaces, "Serial_Access_Num", 1);
  const uint32_t name_space_count = sizeof kNameSpaces / sizeof kNameSpaces[0];
  machine->SetDword(name_spaces, "Num_Catalog_Entries", name_space_count);
  for (uint32_t i = 0; i < name_space_count; ++i) {
    const NameSpace& ns = kNameSpaces[i];
    std::string entry = name_spaces + "\\Catalog_Entries\\" + Catalog12(static_cast<int>(i) + 1);
    machine->SetString(entry, "LibraryPath", ns.library);
    machine->SetString(entry, "DisplayString", ns.display);
    std::vector<uint8_t> guid;
    PutGuid(&guid, 0x100 + i);
    machine->SetBinary(entry, "ProviderId", guid);
    machine->SetDword(entry, "SupportedNameSpace", ns.name_space);
    machine->SetDword(entry, "Enabled", 1);
    machine->SetDword(entry, "Version", 1);
    machine->SetDword(entry, "StoresServiceClassInfo", 0);
  }
}

void RemoveTcpIpProviders(SimMachine* machine) {
  const std::string entries =
      std::string(kWinsock2Path) + "\\Parameters\\Protocol_Catalog9\\Catalog_Entries";
  const uint32_t provider_count = sizeof kProviders / sizeof kProviders[0];
  for (uint32_t i = 0; i < provider_count; ++i) {
    if (kProviders[i].address_family == 2 && kProviders[i].protocol_number == 6) {
      machine->DeleteKey(entries + "\\" + Catalog12(static_cast<int>(i) + 1));
    }
  }
}

void InstallDun(SimMachine* machine) {
  machine->SetString(kDunFilePath, "", "Dial-Up Networking Exported File");
  machine->SetDword(kDunFilePath, "EditFlags", 0x00010000);
  machine->SetString(std::string(kDunFilePath) + "\\shell\\open\\command", "",
                     "rundll32.exe rnaui.dll,RnaRunImport %1");
  machine->SetString(kRemoteAccessPath, "DisplayName", "Dial-Up Networking");
  machine->SetString(kRemoteAccessPath + std::string("\\Parameters"), "Enable", "1");
  machine->SetString(kRnaComponentPath, "INF", "rna.inf");
  machine->SetString(kRnaComponentPath, "Section", "RNA");
  machine->SetString(kRnaComponentPath, "Installed", "1");
}

void InstallDialUpAdapter(SimMachine* machine) {
  machine->SetString(kDialUpAdapterPath, "DriverDesc", "Dial-Up Adapter");
  machine->SetString(kDialUpAdapterPath, "DeviceVxDs", "pppmac.vxd");
  machine->SetString(kDialUpAdapterPath, "InfPath", "NETTRANS.INF");
  machine->SetString(kDialUpAdapterPath + std::string("\\Ndi"), "DeviceID", "*PNP8387");
}

void RemoveDun(SimMachine* machine) {
  machine->DeleteKey(kDunFilePath);
  machine->DeleteKey(kRemoteAccessPath);
  machine->DeleteKey(kDialUpAdapterPath);
  if (machine->KeyExists(kRnaComponentPath)) {
    machine->SetString(kRnaComponentPath, "Installed", "0");
  }
}

void AddDunUpgrade(SimMachine* machine, const std::string& uninstall_string) {
  machine->SetString(kMsdunPath, "DisplayName", "Dial-Up Networking 1.3 Upgrade");
  machine->SetString(kMsdunPath, "UninstallString", uninstall_string);
  if (uninstall_string.find("dunsetup.exe") != std::string::npos) {
    machine->PutFile(machine->windows_dir() + "\\system\\dunsetup.exe", "MZ dunsetup");
  }
}

bool DunInstalled(const SimMachine& machine) { return machine.KeyExists(kDunFilePath); }

SimMachine MakeDefaultMachine(const std::string& windows_dir) {
  SimMachine machine;
  machine.RemoveDirectory("C:\\WINDOWS");
  machine.set_windows_dir(windows_dir);
  machine.SetVersion(kPlatformWin32Windows, 4, 10, 0x040A08AE, " A ");
  machine.set_self_path(kDefaultSelfPath);
  machine.set_helper_model(DefaultHelperModel);

  // Registry: the parts of a Windows 98 SE registry the repair meets.
  machine.SetString("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion", "ProductName",
                    "Microsoft Windows 98");
  machine.SetString("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion", "VersionNumber",
                    "4.10.2222");
  machine.SetString("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion", "SystemRoot",
                    windows_dir);
  machine.CreateKey(kRunOncePath);
  machine.SetString("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "SystemTray",
                    "SysTray.Exe");
  const std::string uninstall = kUninstallPath;
  machine.SetString(uninstall + "\\AddressBook", "DisplayName", "Address Book");
  machine.SetString(uninstall + "\\IE40", "DisplayName", "Internet Explorer 5");
  machine.SetString(uninstall + "\\IE40", "UninstallString",
                    "RunDll32 setupwbv.dll,IE5Maintenance \"C:\\Program Files\\Internet "
                    "Explorer\\Setup\\SETUP.EXE\" /g \"" +
                        windows_dir + "\\IE Uninstall Log.Txt\"");
  machine.SetString(uninstall + "\\NetMeeting", "DisplayName", "NetMeeting 3.0");
  machine.SetString(uninstall + "\\DirectXDrivers", "DisplayName", "DirectX Drivers");

  const std::string services = kServicesPath;
  machine.SetString(services + "\\VxD\\MSTCP", "StaticVxD", "mstcp.sys");
  machine.SetString(services + "\\VxD\\MSTCP", "EnableDNS", "0");
  machine.SetString(services + "\\Winsock\\Parameters", "Transports", "MSTCP");
  machine.SetString(services + "\\Winsock\\Setup Migration\\Setup Version", "", "4.10.2222");
  machine.SetString(services + "\\Class\\NetTrans\\0000", "DriverDesc", "TCP/IP");
  AddDefaultWinsock2Tree(&machine);
  InstallDun(&machine);
  InstallDialUpAdapter(&machine);

  machine.SetString("HKCR\\.txt", "", "txtfile");
  machine.SetString("HKCR\\txtfile", "", "Text Document");
  machine.SetString("HKCR\\.dun", "", "dunfile");

  // Files.
  machine.PutFile(windows_dir + "\\system.dat",
                  std::string("CREG\x00\x00\x01\x00", 8) + "system registry of the simulated PC");
  machine.PutFile(windows_dir + "\\user.dat",
                  std::string("CREG\x00\x00\x01\x00", 8) + "user registry of the simulated PC");
  // Windows 98 keeps both registry files hidden, system and read-only.
  const uint32_t registry_file =
      kFileAttributeHidden | kFileAttributeSystem | kFileAttributeReadOnly;
  machine.SetAttributes(windows_dir + "\\system.dat", registry_file);
  machine.SetAttributes(windows_dir + "\\user.dat", registry_file);
  machine.PutFile(windows_dir + "\\rundll32.exe", "MZ rundll32");
  machine.PutFile(windows_dir + "\\rundll.exe", "MZ rundll");
  machine.PutFile(windows_dir + "\\system\\rnasetup.dll", "MZ rnasetup");
  machine.PutFile(windows_dir + "\\system\\setupx.dll", "MZ setupx");
  machine.PutFile(windows_dir + "\\system\\ws2_32.dll", "MZ ws2_32");
  machine.PutFile(windows_dir + "\\inf\\rna.inf",
                  "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=NetTrans\r\n\r\n"
                  "[RNA]\r\nAddReg=RNA.AddReg\r\n");
  machine.PutFile(kDefaultSelfPath, "MZ netrevive");
  // Windows' setup files, where the PC's maker copied them.
  machine.SetString(kSetupPath, "SourcePath", windows_dir + "\\OPTIONS\\CABS");
  machine.PutFile(windows_dir + "\\OPTIONS\\CABS\\NET7.CAB", "MSCF net7");
  machine.AddDirectory(windows_dir + "\\TEMP");
  // Windows 98 sets both when AUTOEXEC.BAT does not.
  machine.set_environment_variable("TMP", windows_dir + "\\TEMP");
  machine.set_environment_variable("TEMP", windows_dir + "\\TEMP");
  machine.set_drive_type('D', kDriveCdrom);
  return machine;
}

namespace {}  // namespace

void AddMeClassesFile(SimMachine* machine) {
  const std::string classes = machine->windows_dir() + "\\classes.dat";
  machine->PutFile(classes,
                   std::string("CREG\x00\x00\x01\x00", 8) + "classes registry of the simulated PC");
  machine->SetAttributes(classes,
                         kFileAttributeHidden | kFileAttributeSystem | kFileAttributeReadOnly);
}

namespace {

SimMachine WithVersion(uint32_t major, uint32_t minor, uint32_t build, const char* number) {
  SimMachine machine = MakeDefaultMachine();
  machine.SetVersion(kPlatformWin32Windows, major, minor, build, " ");
  machine.SetString("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion", "VersionNumber", number);
  return machine;
}

SimMachine WithUpgrade(const std::string& uninstall_string) {
  SimMachine machine = MakeDefaultMachine();
  AddDunUpgrade(&machine, uninstall_string);
  return machine;
}

// An upgrade removed through its INF file, by the text the program runs as
// WindowsDir + "\\" + the UninstallString.
SimMachine WithInfUpgrade(const std::string& uninstall_head, const std::string& uninstall_tail,
                          bool advpack) {
  SimMachine machine = MakeDefaultMachine();
  const std::string dir = machine.windows_dir();
  AddDunUpgrade(&machine, uninstall_head + dir + "\\INF\\MSDUN.INF" + uninstall_tail);
  machine.PutFile(dir + "\\INF\\MSDUN.INF", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n");
  if (advpack) machine.PutFile(dir + "\\system\\advpack.dll", "MZ advpack");
  return machine;
}

// The upgrade removed through rundll32.exe and advpack.dll's INF section.
SimMachine WithRundll32Upgrade() {
  return WithInfUpgrade("rundll32.exe advpack.dll,LaunchINFSection ", ",DefaultUninstall", true);
}

// Windows installed from its CD: SourcePath names the CD's folder, and no
// setup files were copied to the hard disk.
void FromCdOnly(SimMachine* machine) {
  machine->SetString(kSetupPath, "SourcePath", "D:\\WIN98\\");
  machine->RemoveFile(machine->windows_dir() + "\\OPTIONS\\CABS\\NET7.CAB");
}

SimMachine Without(void (*remove)(SimMachine*)) {
  SimMachine machine = MakeDefaultMachine();
  remove(&machine);
  return machine;
}

}  // namespace

const std::vector<PresetInfo>& PresetMachines() {
  static const std::vector<PresetInfo> kPresets = {
      {"98se", "Windows 98 SE (4.10.2222 A), DUN installed, no upgrade (the default)",
       [] { return MakeDefaultMachine(); }},
      {"98", "Windows 98 first edition (4.10.1998), DUN installed, no upgrade",
       [] { return WithVersion(4, 10, 0x040A07CE, "4.10.1998"); }},
      {"me", "Windows ME (4.90.3000), DUN installed, no upgrade",
       [] {
         SimMachine machine = WithVersion(4, 90, 0x045A0BB8, "4.90.3000");
         AddMeClassesFile(&machine);
         return machine;
       }},
      {"95", "Windows 95 (4.00.950), which the program refuses",
       [] { return WithVersion(4, 0, 0x040003B6, "4.00.950"); }},
      {"nt", "Windows 2000 (NT family, 5.0.2195), which the program refuses",
       [] {
         SimMachine machine = MakeDefaultMachine("C:\\WINNT");
         machine.SetVersion(2, 5, 0, 2195, "Service Pack 4");
         return machine;
       }},
      {"no-dun", "Windows 98 SE without Dial-Up Networking", [] { return Without(RemoveDun); }},
      {"upgrade-dunsetup", "Windows 98 SE with the DUN upgrade, uninstalled by \"dunsetup.exe /u\"",
       [] { return WithUpgrade("dunsetup.exe /u"); }},
      {"upgrade-rundll", "Windows 98 SE with the DUN upgrade, uninstalled through rundll.exe",
       [] {
         return WithInfUpgrade("rundll.exe setupx.dll,InstallHinfSection DefaultUninstall 132 ", "",
                               false);
       }},
      {"upgrade-rundll32", "Windows 98 SE with the DUN upgrade, uninstalled through rundll32.exe",
       [] { return WithRundll32Upgrade(); }},
      {"upgrade-rundll32-no-restore",
       "As upgrade-rundll32, but the uninstaller does not put the Winsock2 key back",
       [] {
         SimMachine machine = WithRundll32Upgrade();
         machine.set_upgrade_restores_winsock2(false);
         return machine;
       }},
      {"upgrade-rundll32-not-removed",
       "As upgrade-rundll32, but the uninstaller ends without removing the upgrade",
       [] {
         SimMachine machine = WithRundll32Upgrade();
         machine.set_upgrade_stays(true);
         return machine;
       }},
      {"upgrade-unknown", "Windows 98 SE with the DUN upgrade and an unrecognised uninstall text",
       [] { return WithUpgrade("C:\\PROGRA~1\\DUN13\\UNINSTAL.EXE -remove"); }},
      {"no-winsock2", "Windows 98 SE without the Winsock2 key",
       [] { return Without([](SimMachine* machine) { machine->DeleteKey(kWinsock2Path); }); }},
      {"uninstall-tried-twice",
       "Windows 98 SE, repair under way: Winsock2 gone, DUN's uninstaller hung twice",
       [] {
         return Without([](SimMachine* machine) {
           machine->DeleteKey(kWinsock2Path);
           machine->PutFile(machine->windows_dir() + "\\netrevive.QU",
                            "REPAIR UNDER WAY\r\nTRIES 0200\r\n");
         });
       }},
      {"no-rna-inf", "Windows 98 SE whose inf\\rna.inf is missing",
       [] {
         return Without([](SimMachine* machine) {
           machine->RemoveFile(machine->windows_dir() + "\\inf\\rna.inf");
         });
       }},
      {"no-helper", "Windows 98 SE whose rundll32.exe is missing",
       [] {
         return Without([](SimMachine* machine) {
           machine->RemoveFile(machine->windows_dir() + "\\rundll32.exe");
         });
       }},
      {"no-setup-files",
       "Windows 98 SE installed from its CD, which is not at hand: no setup files anywhere",
       [] { return Without([](SimMachine* machine) { FromCdOnly(machine); }); }},
      {"cd-not-in-drive",
       "Windows 98 SE installed from its CD, which the caller puts in when asked for it",
       [] {
         return Without([](SimMachine* machine) {
           FromCdOnly(machine);
           machine->HoldDiscReady({{"D:\\WIN98\\NET7.CAB", "MSCF net7"}});
         });
       }},
      {"setup-cancelled",
       "Windows 98 SE whose setup of DUN is cancelled once at its request for the CD",
       [] {
         SimMachine machine = MakeDefaultMachine();
         machine.set_setup_cancels(1);
         return machine;
       }},
      {"upgrade-not-removed",
       "Windows 98 SE with the DUN upgrade (dunsetup.exe /u), whose uninstaller leaves it",
       [] {
         SimMachine machine = WithUpgrade("dunsetup.exe /u");
         machine.set_upgrade_stays(true);
         return machine;
       }},
      {"no-tcpip", "Windows 98 SE whose Winsock 2 catalogue lists no TCP/IP provider",
       [] { return Without(RemoveTcpIpProviders); }},
      {"tcp-chain-broken",
       "Windows 98 SE whose TCP/IP provider chain is broken (no TCP socket opens)",
       [] {
         SimMachine machine = MakeDefaultMachine();
         machine.set_tcp_chain_broken(true);
         return machine;
       }},
      {"no-ws2-32", "Windows 98 SE whose system\\ws2_32.dll is missing",
       [] {
         return Without([](SimMachine* machine) {
           machine->RemoveFile(machine->windows_dir() + "\\system\\ws2_32.dll");
         });
       }},
  };
  return kPresets;
}

bool MakePresetMachine(const std::string& name, SimMachine* out) {
  for (const PresetInfo& preset : PresetMachines()) {
    if (preset.name == name) {
      *out = preset.build();
      return true;
    }
  }
  return false;
}

}  // namespace netrevive::simulated_pc
