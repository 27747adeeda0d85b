#include "platform/simulated_pc/sim_machine_parts.h"

#include <stdio.h>

#include <vector>

#include "platform/simulated_pc/sim_protocol_catalog.h"

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

// LibraryPath (260 bytes) followed by a WSAPROTOCOL_INFOW (628 bytes), as
// UnpackCatalogItem reads it.
std::vector<uint8_t> PackedCatalogItem(const Provider& provider, uint32_t entry_id) {
  std::vector<uint8_t> item(kCatalogLibraryPathBytes, 0);
  std::string library = provider.library;
  for (size_t i = 0; i < library.size() && i + 1 < kCatalogLibraryPathBytes; ++i) {
    item[i] = static_cast<uint8_t>(library[i]);
  }
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
  const std::string parameters = std::string("HKLM\\") + kWinsockParametersKey;
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
    machine->SetBinary(
        std::string("HKLM\\") + kCatalogEntriesKey + "\\" + Catalog12(static_cast<int>(i) + 1),
        kPackedCatalogItem, PackedCatalogItem(kProviders[i], 1001 + i));
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
  const std::string entries = std::string("HKLM\\") + kCatalogEntriesKey;
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

void AddMeClassesFile(SimMachine* machine) {
  const std::string classes = machine->windows_dir() + "\\classes.dat";
  machine->PutFile(classes,
                   std::string("CREG\x00\x00\x01\x00", 8) + "classes registry of the simulated PC");
  machine->SetAttributes(classes,
                         kFileAttributeHidden | kFileAttributeSystem | kFileAttributeReadOnly);
}

}  // namespace netrevive::simulated_pc
