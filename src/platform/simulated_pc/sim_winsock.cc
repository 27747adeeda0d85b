#include "platform/simulated_pc/sim_winsock.h"

#include <string.h>

#include "platform/simulated_pc/sim_protocol_catalog.h"

namespace netrevive::simulated_pc {

std::vector<ProtocolInfo> SimWinsock::Providers(const SimRegistry& registry) {
  const std::string entries = std::string("HKLM\\") + kCatalogEntriesKey;
  std::vector<ProtocolInfo> providers;
  for (const std::string& entry : registry.ListKeys(entries)) {
    RegValue item;
    ProtocolInfo info;
    // Winsock skips an entry it cannot read or that is too short.
    if (registry.GetValue(entries + "\\" + entry, kPackedCatalogItem, &item) &&
        UnpackCatalogItem(item.data.data(), item.data.size(), &info)) {
      providers.push_back(info);
    }
  }
  return providers;
}

void SimWinsock::Load(Handle module, const std::string& path, uint64_t call) {
  modules_[module] = {path, call};
}

bool SimWinsock::Free(Handle module) { return modules_.erase(module) > 0; }

std::string SimWinsock::PathOf(Handle module) const {
  auto found = modules_.find(module);
  return found == modules_.end() ? "" : found->second.first;
}

RegStatus SimWinsock::Startup(bool settings_found, uint64_t call) {
  if (modules_.empty()) return kWsaNotInitialised;
  // Winsock 2 on Windows 9x reads its catalogues from the registry when it
  // starts and is not ready without them.
  if (!settings_found) return kWsaSysNotReady;
  startups_.push_back(call);
  return kErrorSuccess;
}

bool SimWinsock::EndStartup() {
  if (startups_.empty()) return false;
  startups_.pop_back();
  return true;
}

RegStatus SimWinsock::EnumProtocols(const std::vector<ProtocolInfo>& providers,
                                    const int32_t* protocols, ProtocolInfo* buffer,
                                    uint32_t* buffer_length, int32_t* count) {
  *count = 0;
  std::vector<ProtocolInfo> found;
  for (const ProtocolInfo& info : providers) {
    if (ServesProtocol(info, protocols)) found.push_back(info);
  }
  const uint32_t needed = static_cast<uint32_t>(found.size() * sizeof(ProtocolInfo));
  if (startups_.empty()) return kWsaNotInitialised;
  if (buffer_length == nullptr) return kWsaEfault;
  if (buffer == nullptr || *buffer_length < needed) {
    *buffer_length = needed;
    return kWsaEnobufs;
  }
  if (!found.empty()) memcpy(buffer, found.data(), needed);
  *count = static_cast<int32_t>(found.size());
  return kErrorSuccess;
}

RegStatus SimWinsock::OpenSocket(const std::vector<ProtocolInfo>& providers, int32_t family,
                                 int32_t type, int32_t protocol, uint64_t call, Socket* opened) {
  *opened = kInvalidSocket;
  if (startups_.empty()) return kWsaNotInitialised;
  RegStatus status = kWsaAfNoSupport;
  for (const ProtocolInfo& info : providers) {
    if (info.address_family != family) continue;
    const int32_t asked[] = {protocol, 0};
    if (info.socket_type == type && (protocol == 0 || ServesProtocol(info, asked))) {
      status = kErrorSuccess;
      break;
    }
    status = kWsaProtoNoSupport;
  }
  // The broken chain fails where the layered provider above TCP would be
  // loaded.
  if (status == kErrorSuccess && tcp_chain_broken_ && family == kAfInet &&
      protocol == kIpprotoTcp) {
    status = kWsaAfNoSupport;
  }
  if (status != kErrorSuccess) return status;
  *opened = next_socket_;
  next_socket_ += 4;
  sockets_[*opened] = call;
  return kErrorSuccess;
}

bool SimWinsock::CloseSocket(Socket opened) { return sockets_.erase(opened) > 0; }

void SimWinsock::ListHandles(std::vector<OpenHandleInfo>* out) const {
  for (const auto& [module, loaded] : modules_) {
    out->push_back(
        OpenHandleInfo{OpenHandleInfo::Kind::kModule, module, loaded.first, loaded.second});
  }
  for (uint64_t call : startups_) {
    out->push_back(OpenHandleInfo{OpenHandleInfo::Kind::kWinsock, 0, "WSAStartup", call});
  }
  for (const auto& [opened, call] : sockets_) {
    out->push_back(OpenHandleInfo{OpenHandleInfo::Kind::kSocket, opened, "socket", call});
  }
}

void SimWinsock::DropHandles() {
  modules_.clear();
  startups_.clear();
  sockets_.clear();
}

}  // namespace netrevive::simulated_pc
