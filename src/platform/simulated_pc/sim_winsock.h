#ifndef NETREVIVE_PLATFORM_SIM_SIM_WINSOCK_H_
#define NETREVIVE_PLATFORM_SIM_SIM_WINSOCK_H_

// Winsock 2 of the simulated machine: the library loaded, the WSAStartups
// not yet cleaned up, the sockets open and Winsock's last error. The
// providers it lists are those of the protocol catalogue in the registry
// (sim_protocol_catalog.h), as Winsock 2 on Windows 9x reads them when it
// starts.

#include <stdint.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/simulated_pc/sim_common.h"
#include "platform/simulated_pc/sim_registry.h"

namespace netrevive::simulated_pc {

class SimWinsock {
 public:
  // The providers the catalogue lists (every protocol), in the order of its
  // entries.
  static std::vector<ProtocolInfo> Providers(const SimRegistry& registry);

  // ---- For the Platform operations ---------------------------------------
  // Those with a status return 0 or the status the call fails with (see
  // SimMachine). Load holds the library found at path as module.
  void Load(Handle module, const std::string& path, uint64_t call);
  // Gives the module up; false when it is not held.
  bool Free(Handle module);
  // The path of a module held, "" for anything else.
  std::string PathOf(Handle module) const;
  // 10093 without the library loaded, 10091 when Winsock's settings are
  // missing (settings_found false).
  RegStatus Startup(bool settings_found, uint64_t call);
  // Ends the last startup; false when there is none.
  bool EndStartup();
  // The providers of the protocols listed (null: all) into buffer, their
  // count in *count: 10093 before WSAStartup, 10014 without
  // buffer_length, 10055 with the size needed in *buffer_length when the
  // buffer is too small.
  RegStatus EnumProtocols(const std::vector<ProtocolInfo>& providers, const int32_t* protocols,
                          ProtocolInfo* buffer, uint32_t* buffer_length, int32_t* count);
  // A socket when a listed provider has the family, type and protocol
  // (0: any); 10093 before WSAStartup, 10047 without a provider for the
  // family, 10043 without one for the protocol; a broken TCP chain fails a
  // TCP socket with 10047.
  RegStatus OpenSocket(const std::vector<ProtocolInfo>& providers, int32_t family, int32_t type,
                       int32_t protocol, uint64_t call, Socket* opened);
  // Gives the socket up; false when it is not open.
  bool CloseSocket(Socket opened);
  // What WSAGetLastError answers: the status of the last call that failed.
  int32_t last_error() const { return last_error_; }
  void set_last_error(int32_t status) { last_error_ = status; }

  // Whether the TCP/IP provider chain is broken (SimMachine::tcp_chain_broken).
  bool tcp_chain_broken() const { return tcp_chain_broken_; }
  void set_tcp_chain_broken(bool broken) { tcp_chain_broken_ = broken; }

  // The library, startups and sockets held, as open handles.
  void ListHandles(std::vector<OpenHandleInfo>* out) const;
  // The session ended: nothing is held any more.
  void DropHandles();

 private:
  // Loaded libraries by handle: path and the call that loaded it.
  std::map<Handle, std::pair<std::string, uint64_t>> modules_;
  std::vector<uint64_t> startups_;      // the calls of the WSAStartups held
  std::map<Socket, uint64_t> sockets_;  // open sockets, by the call that opened each
  Socket next_socket_ = 0x100;
  int32_t last_error_ = 0;
  bool tcp_chain_broken_ = false;
};

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_WINSOCK_H_
