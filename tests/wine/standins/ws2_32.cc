// A stand-in for Winsock 2's WS2_32.DLL, for running netrevive.exe end to
// end under Wine. Wine's own ws2_32 lists its TCP/IP providers whatever the
// registry holds; Windows 98's reads them from the Winsock 2 catalogue, and
// the program's verdict must come from that. The harness puts this library
// beside netrevive.exe and has Wine load it instead of its own.
//
// It answers the calls the program makes, from the registry as Windows 98
// does:
//   WSAStartup          10091 (WSASYSNOTREADY) when
//                       HKLM\System\CurrentControlSet\Services\Winsock2\Parameters
//                       cannot be opened, else 0
//   WSAEnumProtocolsA   the providers of the catalogue's entries, read as
//                       the simulated PC reads them
//                       (platform/simulated_pc/sim_protocol_catalog.h):
//                       the library path in 260 bytes, then the provider's
//                       WSAPROTOCOL_INFOW; the test machines' shorter items
//                       carry only the provider's name, and a name with
//                       "TCP" in it is a TCP/IP provider (AF_INET,
//                       IPPROTO_TCP), "UDP" a UDP one. Filtered by the
//                       protocols asked for; 10055 when the buffer is short.
//   WSACleanup, WSAGetLastError
//   socket, closesocket  a socket after WSAStartup (10093 before it), and
//                       its closing; the test machines' chains all work
// Each call appends a line "winsock" to WindowsDir\standin.log, so that a
// test sees the answer came from here and not from Wine.

#define WIN32_LEAN_AND_MEAN
#include <stddef.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "machine_state.h"
#include "platform/simulated_pc/sim_protocol_catalog.h"

namespace {

using netrevive::ProtocolInfo;
using netrevive::simulated_pc::kCatalogEntriesKey;
using netrevive::simulated_pc::kCatalogLibraryPathBytes;
using netrevive::simulated_pc::kPackedCatalogItem;
using netrevive::simulated_pc::kWinsockParametersKey;

constexpr int kSocketError = -1;
constexpr int kWsaEfault = 10014;
constexpr int kWsaEnobufs = 10055;
constexpr int kWsaSysNotReady = 10091;
constexpr int kWsaNotInitialised = 10093;

int g_last_error = 0;
int g_startups = 0;
UINT_PTR g_next_socket = 0x100;

void Log(const std::string& action, const std::string& result) {
  standin::AppendLog("winsock\taction=" + action + "\tresult=" + result);
}

bool ReadItem(HKEY entries, const char* name, std::vector<BYTE>* item) {
  HKEY entry;
  if (RegOpenKeyExA(entries, name, 0, KEY_READ, &entry) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG status = RegQueryValueExA(entry, kPackedCatalogItem, nullptr, nullptr, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    item->assign(size, 0);
    status = RegQueryValueExA(entry, kPackedCatalogItem, nullptr, nullptr,
                              size == 0 ? nullptr : item->data(), &size);
    item->resize(size);
  }
  RegCloseKey(entry);
  return status == ERROR_SUCCESS;
}

// A whole item as Winsock reads it; the test machines' shorter items by
// the provider's name alone.
ProtocolInfo FromItem(const std::vector<BYTE>& item) {
  ProtocolInfo info;
  if (netrevive::simulated_pc::UnpackCatalogItem(item.data(), item.size(), &info)) return info;
  memset(&info, 0, sizeof info);
  std::string name;
  for (size_t i = kCatalogLibraryPathBytes; i < item.size() && item[i] != 0; ++i) {
    name += static_cast<char>(item[i]);
  }
  strncpy(info.protocol_name, name.c_str(), sizeof info.protocol_name - 1);
  info.version = 2;
  if (name.find("TCP") != std::string::npos) {
    info.address_family = 2;
    info.socket_type = 1;
    info.protocol = 6;
  } else if (name.find("UDP") != std::string::npos) {
    info.address_family = 2;
    info.socket_type = 2;
    info.protocol = 17;
  }
  return info;
}

std::vector<ProtocolInfo> Providers() {
  std::vector<ProtocolInfo> out;
  HKEY entries;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCatalogEntriesKey, 0, KEY_READ, &entries) !=
      ERROR_SUCCESS) {
    return out;
  }
  char name[MAX_PATH];
  for (DWORD index = 0; RegEnumKeyA(entries, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
    std::vector<BYTE> item;
    // Winsock skips an entry it cannot read or that is too short.
    if (ReadItem(entries, name, &item) && item.size() > kCatalogLibraryPathBytes) {
      out.push_back(FromItem(item));
    }
  }
  RegCloseKey(entries);
  return out;
}

}  // namespace

extern "C" {

__declspec(dllexport) int WINAPI WSAStartup(WORD version, void* data) {
  HKEY key;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinsockParametersKey, 0, KEY_READ, &key);
  if (status == ERROR_SUCCESS) RegCloseKey(key);
  int result = status == ERROR_SUCCESS ? 0 : kWsaSysNotReady;
  if (result == 0) {
    ++g_startups;
    if (data != nullptr) {
      WORD versions[2] = {version, 0x0202};
      memcpy(data, versions, sizeof versions);
    }
  }
  Log("WSAStartup", std::to_string(result));
  return result;
}

__declspec(dllexport) int WINAPI WSAEnumProtocolsA(int* protocols, void* buffer, DWORD* length) {
  int result = kSocketError;
  if (g_startups == 0) {
    g_last_error = kWsaNotInitialised;
  } else if (length == nullptr) {
    g_last_error = kWsaEfault;
  } else {
    std::vector<ProtocolInfo> found;
    for (const ProtocolInfo& info : Providers()) {
      if (netrevive::simulated_pc::ServesProtocol(info, protocols)) found.push_back(info);
    }
    const DWORD needed = static_cast<DWORD>(found.size() * sizeof(ProtocolInfo));
    if (buffer == nullptr || *length < needed) {
      *length = needed;
      g_last_error = kWsaEnobufs;
    } else {
      if (!found.empty()) memcpy(buffer, found.data(), needed);
      result = static_cast<int>(found.size());
    }
  }
  Log("WSAEnumProtocolsA",
      result == kSocketError ? "error " + std::to_string(g_last_error) : std::to_string(result));
  return result;
}

__declspec(dllexport) int WINAPI WSACleanup() {
  int result = 0;
  if (g_startups == 0) {
    g_last_error = kWsaNotInitialised;
    result = kSocketError;
  } else {
    --g_startups;
  }
  Log("WSACleanup", std::to_string(result));
  return result;
}

__declspec(dllexport) int WINAPI WSAGetLastError() { return g_last_error; }

__declspec(dllexport) UINT_PTR WINAPI socket(int family, int type, int protocol) {
  UINT_PTR result = ~static_cast<UINT_PTR>(0);  // INVALID_SOCKET
  if (g_startups == 0) {
    g_last_error = kWsaNotInitialised;
  } else {
    result = g_next_socket;
    g_next_socket += 4;
  }
  Log("socket", g_startups == 0 ? "error " + std::to_string(g_last_error)
                                : std::to_string(family) + "," + std::to_string(type) + "," +
                                      std::to_string(protocol));
  return result;
}

__declspec(dllexport) int WINAPI closesocket(UINT_PTR) {
  Log("closesocket", "0");
  return 0;
}

}  // extern "C"
