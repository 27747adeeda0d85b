#include "platform/simulated_pc/sim_presets.h"

#include <utility>

namespace netrevive::simulated_pc {

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
