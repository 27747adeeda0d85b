#ifndef NETREVIVE_PLATFORM_SIM_SIM_PROTOCOL_CATALOG_H_
#define NETREVIVE_PLATFORM_SIM_SIM_PROTOCOL_CATALOG_H_

// Winsock 2's protocol catalogue as Windows 9x keeps it in the registry, as
// both simulated Winsocks read it: the simulated PC's (sim_winsock.h) and
// the stand-in WS2_32.DLL that the Wine tests put beside netrevive.exe.
// Each provider is a key below kCatalogEntriesKey whose binary value
// kPackedCatalogItem holds the path of the provider's library in 260 bytes,
// then its WSAPROTOCOL_INFOW.
//
// Header-only and without the C++ standard library: the stand-in is built
// by MinGW on its own.

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "platform/platform.h"

namespace netrevive::simulated_pc {

static_assert(sizeof(ProtocolInfo) == 372, "WSAPROTOCOL_INFOA's size");

// Below HKEY_LOCAL_MACHINE: Winsock 2's settings, without which Winsock is
// not ready, and the catalogue's entries.
inline constexpr char kWinsockParametersKey[] =
    "System\\CurrentControlSet\\Services\\Winsock2\\Parameters";
inline constexpr char kCatalogEntriesKey[] =
    "System\\CurrentControlSet\\Services\\Winsock2\\Parameters\\Protocol_Catalog9\\"
    "Catalog_Entries";
inline constexpr char kPackedCatalogItem[] = "PackedCatalogItem";

constexpr size_t kCatalogLibraryPathBytes = 260;
// WSAPROTOCOL_INFOW: the fields of ProtocolInfo up to the name, then the
// name in 256 UTF-16 units.
constexpr size_t kProtocolFixedBytes = offsetof(ProtocolInfo, protocol_name);
constexpr size_t kCatalogItemBytes = kCatalogLibraryPathBytes + kProtocolFixedBytes + 2 * 256;

// The provider an item of at least kCatalogItemBytes describes, its name
// narrowed to ASCII ('?' for any other character). False, *info untouched,
// for a shorter item, which Winsock skips as damaged.
inline bool UnpackCatalogItem(const uint8_t* item, size_t size, ProtocolInfo* info) {
  if (size < kCatalogItemBytes) return false;
  const uint8_t* fields = item + kCatalogLibraryPathBytes;
  memset(info, 0, sizeof *info);
  memcpy(info, fields, kProtocolFixedBytes);
  const uint8_t* name = fields + kProtocolFixedBytes;
  for (size_t i = 0; i + 1 < sizeof info->protocol_name; ++i) {
    const unsigned unit = name[2 * i] | name[2 * i + 1] << 8;
    if (unit == 0) break;
    info->protocol_name[i] = unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return true;
}

// Whether the provider serves one of the protocols (a 0-terminated list;
// null for every protocol), as WSAEnumProtocolsA filters them.
inline bool ServesProtocol(const ProtocolInfo& info, const int32_t* protocols) {
  if (protocols == nullptr) return true;
  for (; *protocols != 0; ++protocols) {
    if (*protocols >= info.protocol && *protocols <= info.protocol + info.protocol_max_offset) {
      return true;
    }
  }
  return false;
}

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_PROTOCOL_CATALOG_H_
