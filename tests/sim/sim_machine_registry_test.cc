// Registry semantics of the simulated machine, checked against what the
// Win32 registry functions of Windows 98 return.

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/regedit4.h"

namespace netrevive::simulated_pc {
namespace {

using rehearsal::ExportRegFile;
using rehearsal::ImportRegFile;
using rehearsal::RegFile;
using rehearsal::RegFileKey;
using rehearsal::RegFileValue;

constexpr const char kServices[] = "HKLM\\System\\CurrentControlSet\\Services";

class SimRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.CreateKey(std::string(kServices) + "\\Winsock2\\Parameters\\Protocol_Catalog9");
    machine_.CreateKey(std::string(kServices) + "\\Winsock2\\Parameters\\NameSpace_Catalog5");
    machine_.CreateKey(std::string(kServices) + "\\VxD");
    machine_.CreateKey(std::string(kServices) + "\\Winsock");
    machine_.SetString(std::string(kServices) + "\\Winsock", "Name", "Winsock 1.1");
  }

  RegKey Open(RegKey parent, const char* subkey) {
    RegKey key = 0;
    EXPECT_EQ(machine_.RegOpenKeyExA(parent, subkey, kKeyAllAccess, &key), 0) << subkey;
    return key;
  }

  SimMachine machine_;
};

TEST_F(SimRegistryTest, OpenFindsKeysWhateverTheirCaseAndKeepsTheCreatedCase) {
  struct Case {
    RegKey root;
    const char* subkey;
    RegStatus status;
  };
  const Case cases[] = {
      {kHkeyLocalMachine, "System\\CurrentControlSet\\Services", 0},
      {kHkeyLocalMachine, "SYSTEM\\currentcontrolset\\SERVICES\\winsock2", 0},
      {kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\Winsock3", kErrorFileNotFound},
      {kHkeyLocalMachine, "System\\CurrentControlSet\\Service", kErrorFileNotFound},
      {kHkeyClassesRoot, "System", kErrorFileNotFound},
      {kHkeyLocalMachine, "", 0},
      {0x1234, "System", kErrorInvalidHandle},
  };
  for (const Case& c : cases) {
    RegKey key = 0xDD;
    EXPECT_EQ(machine_.RegOpenKeyExA(c.root, c.subkey, kKeyRead, &key), c.status) << c.subkey;
    if (c.status != 0) {
      EXPECT_EQ(key, 0u) << c.subkey;
    } else {
      EXPECT_EQ(machine_.RegCloseKey(key), 0);
    }
  }
  EXPECT_EQ(machine_.KeyPath("hklm\\system\\currentcontrolset\\services\\WINSOCK2"),
            "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Winsock2");
  EXPECT_TRUE(machine_.OpenHandles().empty()) << machine_.DescribeOpenHandles();
}

TEST_F(SimRegistryTest, EnumeratesInCreationOrderWithMoreDataAndNoMoreItems) {
  RegKey services = Open(kHkeyLocalMachine, "System\\CurrentControlSet\\Services");
  uint32_t count = 0;
  ASSERT_EQ(machine_.RegQueryInfoKeyA(services, &count), 0);
  EXPECT_EQ(count, 3u);

  struct Case {
    uint32_t index;
    uint32_t size;
    RegStatus status;
    const char* name;  // expected text, or the untouched fill when not 0
  };
  const Case cases[] = {
      {0, 9, 0, "Winsock2"},  // 8 characters + NUL: fits exactly
      {0, 8, kErrorMoreData, "\xDD\xDD\xDD"},
      {0, 0, kErrorMoreData, "\xDD\xDD\xDD"},
      {1, 4, 0, "VxD"},
      {1, 3, kErrorMoreData, "\xDD\xDD\xDD"},
      {2, 64, 0, "Winsock"},
      {3, 64, kErrorNoMoreItems, "\xDD\xDD\xDD"},
      {4000000000u, 64, kErrorNoMoreItems, "\xDD\xDD\xDD"},
  };
  for (const Case& c : cases) {
    char name[80];
    memset(name, 0xDD, sizeof name);
    EXPECT_EQ(machine_.RegEnumKeyA(services, c.index, name, c.size), c.status)
        << c.index << "/" << c.size;
    EXPECT_EQ(machine_.calls().back().size, c.size);  // as the reliability rules read it
    if (c.status == 0) {
      EXPECT_STREQ(name, c.name);
      EXPECT_EQ(static_cast<uint8_t>(name[strlen(c.name) + 1]), 0xDD) << "wrote past the name";
    } else {
      EXPECT_EQ(static_cast<uint8_t>(name[0]), 0xDD) << "wrote on failure";
    }
  }
  EXPECT_EQ(machine_.RegEnumKeyA(services, 0, nullptr, 10), kErrorInvalidParameter);
  EXPECT_EQ(machine_.RegCloseKey(services), 0);
}

TEST_F(SimRegistryTest, QueryValueReportsSizesTheWin32Way) {
  RegKey key = Open(kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\Winsock");
  const uint32_t kSize = 12;  // "Winsock 1.1" + NUL
  struct Case {
    bool with_data;
    uint32_t size_in;
    bool with_type;
    RegStatus status;
    uint32_t size_out;
    bool copied;
  };
  const Case cases[] = {
      {false, 0, true, 0, kSize, false},  // size only
      {true, kSize - 1, true, kErrorMoreData, kSize, false},
      {true, 0, false, kErrorMoreData, kSize, false},
      {true, kSize, true, 0, kSize, true},
      {true, kSize + 1, false, 0, kSize, true},
      {true, 1024, true, 0, kSize, true},
  };
  for (const Case& c : cases) {
    uint8_t data[1100];
    memset(data, 0xDD, sizeof data);
    uint32_t size = c.size_in;
    uint32_t type = 0xDDDD;
    EXPECT_EQ(machine_.RegQueryValueExA(key, "NAME", c.with_type ? &type : nullptr,
                                        c.with_data ? data : nullptr, &size),
              c.status)
        << c.size_in;
    EXPECT_EQ(size, c.size_out) << c.size_in;
    if (c.with_type) {
      EXPECT_EQ(type, kRegSz);
    }
    if (c.copied) {
      EXPECT_EQ(memcmp(data, "Winsock 1.1", kSize), 0);
      EXPECT_EQ(data[kSize], 0xDD);
    } else {
      EXPECT_EQ(data[0], 0xDD) << c.size_in;
    }
  }
  uint32_t size = 10;
  uint8_t data[10];
  EXPECT_EQ(machine_.RegQueryValueExA(key, "Missing", nullptr, data, &size), kErrorFileNotFound);
  EXPECT_EQ(machine_.RegQueryValueExA(key, "Name", nullptr, data, nullptr), kErrorInvalidParameter);
  EXPECT_EQ(machine_.RegCloseKey(key), 0);
}

TEST_F(SimRegistryTest, SetValueStoresExactlyTheBytesGivenOfAnyType) {
  RegKey key = Open(kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\Winsock");
  const uint8_t text[] = "abc";  // with its NUL: 4 bytes
  const uint8_t binary[] = {0, 1, 2, 0, 0xFF};
  ASSERT_EQ(machine_.RegSetValueExA(key, "Text", kRegSz, text, 4), 0);
  ASSERT_EQ(machine_.RegSetValueExA(key, "Short", kRegSz, text, 2), 0);
  ASSERT_EQ(machine_.RegSetValueExA(key, "Bin", kRegBinary, binary, 5), 0);
  ASSERT_EQ(machine_.RegSetValueExA(key, "Odd", 0x4711, binary, 3), 0);
  ASSERT_EQ(machine_.RegSetValueExA(key, "", kRegSz, text, 4), 0);
  EXPECT_EQ(machine_.RegSetValueExA(key, "Null", kRegSz, nullptr, 4), kErrorInvalidParameter);

  const std::string path = std::string(kServices) + "\\Winsock";
  RegValue value;
  ASSERT_TRUE(machine_.GetValue(path, "text", &value));
  EXPECT_EQ(value.data, std::vector<uint8_t>({'a', 'b', 'c', 0}));
  ASSERT_TRUE(machine_.GetValue(path, "Short", &value));
  EXPECT_EQ(value.data, std::vector<uint8_t>({'a', 'b'}));
  ASSERT_TRUE(machine_.GetValue(path, "Bin", &value));
  EXPECT_EQ(value.data, std::vector<uint8_t>(binary, binary + 5));
  ASSERT_TRUE(machine_.GetValue(path, "Odd", &value));
  EXPECT_EQ(value.type, 0x4711u);
  ASSERT_TRUE(machine_.GetValue(path, "", &value));

  // Rewriting keeps the value's place and the first spelling of its name.
  ASSERT_EQ(machine_.RegSetValueExA(key, "NAME", kRegBinary, binary, 1), 0);
  std::vector<RegValue> values = machine_.ListValues(path);
  ASSERT_EQ(values.size(), 6u);
  EXPECT_EQ(values[0].name, "Name");
  EXPECT_EQ(values[0].type, kRegBinary);
  EXPECT_EQ(values[5].name, "");

  EXPECT_EQ(machine_.RegDeleteValueA(key, "bin"), 0);
  EXPECT_EQ(machine_.RegDeleteValueA(key, "bin"), kErrorFileNotFound);
  EXPECT_FALSE(machine_.ValueExists(path, "Bin"));
  EXPECT_EQ(machine_.RegCloseKey(key), 0);
}

TEST_F(SimRegistryTest, DeleteKeyRemovesTheWholeTreeAndInvalidatesHandlesBelow) {
  RegKey services = Open(kHkeyLocalMachine, "System\\CurrentControlSet\\Services");
  RegKey catalog = Open(services, "Winsock2\\Parameters\\Protocol_Catalog9");
  RegKey top = Open(services, "Winsock2");
  RegKey sibling = Open(services, "Winsock");

  EXPECT_EQ(machine_.RegDeleteKeyA(services, "WINSOCK2"), 0);
  EXPECT_FALSE(machine_.KeyExists(std::string(kServices) + "\\Winsock2"));
  EXPECT_FALSE(machine_.KeyExists(std::string(kServices) + "\\Winsock2\\Parameters"));
  EXPECT_TRUE(machine_.KeyExists(std::string(kServices) + "\\Winsock"));
  EXPECT_EQ(machine_.RegDeleteKeyA(services, "Winsock2"), kErrorFileNotFound);

  uint32_t count = 0;
  char name[32];
  const uint8_t byte = 1;
  EXPECT_EQ(machine_.RegQueryInfoKeyA(catalog, &count), kErrorKeyDeleted);
  EXPECT_EQ(machine_.RegEnumKeyA(top, 0, name, sizeof name), kErrorKeyDeleted);
  EXPECT_EQ(machine_.RegSetValueExA(catalog, "x", kRegBinary, &byte, 1), kErrorKeyDeleted);
  RegKey below = 0;
  EXPECT_EQ(machine_.RegOpenKeyExA(top, "Parameters", kKeyRead, &below), kErrorKeyDeleted);
  // A key of the same name created again is a new key: old handles stay dead.
  machine_.CreateKey(std::string(kServices) + "\\Winsock2");
  EXPECT_EQ(machine_.RegQueryInfoKeyA(top, &count), kErrorKeyDeleted);
  // The sibling whose name starts alike is untouched.
  EXPECT_EQ(machine_.RegQueryInfoKeyA(sibling, &count), 0);

  EXPECT_EQ(machine_.RegDeleteKeyA(services, ""), kErrorInvalidParameter);
  EXPECT_EQ(machine_.RegDeleteKeyA(services, nullptr), kErrorInvalidParameter);
  for (RegKey key : {catalog, top, sibling, services}) EXPECT_EQ(machine_.RegCloseKey(key), 0);
  EXPECT_TRUE(machine_.OpenHandles().empty());
}

TEST_F(SimRegistryTest, CloseKeyOfAnUnknownOrClosedHandleIsInvalidHandle) {
  RegKey key = Open(kHkeyLocalMachine, "System");
  EXPECT_EQ(machine_.RegCloseKey(key), 0);
  EXPECT_EQ(machine_.RegCloseKey(key), kErrorInvalidHandle);
  EXPECT_EQ(machine_.RegCloseKey(0x77), kErrorInvalidHandle);
  uint32_t count = 0;
  EXPECT_EQ(machine_.RegQueryInfoKeyA(key, &count), kErrorInvalidHandle);
  // The predefined roots close and stay usable.
  EXPECT_EQ(machine_.RegCloseKey(kHkeyLocalMachine), 0);
  EXPECT_EQ(machine_.RegQueryInfoKeyA(kHkeyLocalMachine, &count), 0);
  EXPECT_EQ(count, 1u);
}

TEST_F(SimRegistryTest, HelpersAcceptShortAndLongRootNames) {
  EXPECT_TRUE(machine_.SetString("HKEY_CLASSES_ROOT\\dunfile", "", "x"));
  EXPECT_TRUE(machine_.KeyExists("HKCR\\DUNFILE"));
  EXPECT_TRUE(machine_.KeyExists("HKEY_LOCAL_MACHINE\\system\\CURRENTCONTROLSET"));
  EXPECT_FALSE(machine_.CreateKey("HKCU\\Software"));
  EXPECT_FALSE(machine_.KeyExists("HKCU"));
  EXPECT_EQ(machine_.ListKeys("HKLM\\System\\CurrentControlSet\\Services"),
            std::vector<std::string>({"Winsock2", "VxD", "Winsock"}));
  EXPECT_TRUE(machine_.ListKeys("HKLM\\Nothing").empty());
}

TEST_F(SimRegistryTest, ImportAndExportKeepKeysValuesAndOrder) {
  RegFile file;
  RegFileKey add;
  add.path = "HKEY_LOCAL_MACHINE\\Software\\Test";
  add.values.push_back(RegFileValue{"A", kRegSz, {'x', 0}, false});
  add.values.push_back(RegFileValue{"B", kRegDword, {1, 0, 0, 0}, false});
  add.values.push_back(RegFileValue{"Name", kRegSz, {}, true});  // removes nothing
  file.keys.push_back(add);
  RegFileKey remove;
  remove.path = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Winsock2";
  remove.remove = true;
  file.keys.push_back(remove);
  RegFileKey drop_value;
  drop_value.path = "HKLM\\System\\CurrentControlSet\\Services\\Winsock";
  drop_value.values.push_back(RegFileValue{"name", kRegSz, {}, true});
  file.keys.push_back(drop_value);
  ASSERT_TRUE(ImportRegFile(file, &machine_));

  EXPECT_FALSE(machine_.KeyExists(std::string(kServices) + "\\Winsock2"));
  EXPECT_FALSE(machine_.ValueExists(std::string(kServices) + "\\Winsock", "Name"));
  std::string text;
  ASSERT_TRUE(machine_.GetString("HKLM\\Software\\Test", "A", &text));
  EXPECT_EQ(text, "x");

  RegFile out = ExportRegFile(machine_);
  std::vector<std::string> paths;
  for (const RegFileKey& key : out.keys) paths.push_back(key.path);
  EXPECT_EQ(paths, std::vector<std::string>({
                       "HKEY_LOCAL_MACHINE\\System",
                       "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet",
                       "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services",
                       "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD",
                       "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Winsock",
                       "HKEY_LOCAL_MACHINE\\Software",
                       "HKEY_LOCAL_MACHINE\\Software\\Test",
                   }));
  ASSERT_EQ(out.keys[6].values.size(), 2u);
  EXPECT_EQ(out.keys[6].values[1].data, std::vector<uint8_t>({1, 0, 0, 0}));

  // A machine built from the export is the same registry.
  SimMachine copy;
  ASSERT_TRUE(ImportRegFile(out, &copy));
  RegFile again = ExportRegFile(copy);
  ASSERT_EQ(again.keys.size(), out.keys.size());
  for (size_t i = 0; i < out.keys.size(); ++i) {
    EXPECT_EQ(again.keys[i].path, out.keys[i].path);
    EXPECT_EQ(again.keys[i].values.size(), out.keys[i].values.size());
  }

  RegFile bad;
  RegFileKey unknown;
  unknown.path = "HKEY_CURRENT_USER\\Software";
  bad.keys.push_back(unknown);
  std::string error;
  EXPECT_FALSE(ImportRegFile(bad, &machine_, &error));
  EXPECT_NE(error.find("HKEY_CURRENT_USER\\Software"), std::string::npos) << error;
}

// Winsock answers from the catalogue in the registry: every provider, or
// those of the protocols asked for; a short buffer gets 10055 and the size
// needed; nothing works before WSAStartup or after WSACleanup, and each
// library and startup is held until given back.
TEST(SimWinsockTest, ProvidersComeFromTheCatalogue) {
  SimMachine machine = MakeDefaultMachine();
  EXPECT_EQ(machine.WSAStartup(kWinsockVersion22), 10093);  // no library loaded
  Handle ws2 = machine.LoadWinsock();
  ASSERT_NE(ws2, kNoHandle);
  std::vector<ProtocolInfo> buffer(16);
  uint32_t length = static_cast<uint32_t>(buffer.size() * sizeof(ProtocolInfo));
  EXPECT_EQ(machine.WSAEnumProtocolsA(nullptr, buffer.data(), &length), kSocketError);
  EXPECT_EQ(machine.WSAGetLastError(), 10093);
  ASSERT_EQ(machine.WSAStartup(kWinsockVersion22), 0);

  length = 2 * sizeof(ProtocolInfo);
  EXPECT_EQ(machine.WSAEnumProtocolsA(nullptr, buffer.data(), &length), kSocketError);
  EXPECT_EQ(machine.WSAGetLastError(), 10055);
  EXPECT_EQ(length, 9 * sizeof(ProtocolInfo));
  EXPECT_EQ(machine.WSAEnumProtocolsA(nullptr, buffer.data(), &length), 9);
  EXPECT_STREQ(buffer[0].protocol_name, "MSAFD Tcpip [TCP/IP]");
  EXPECT_EQ(buffer[8].address_family, 6);  // IPX

  const int32_t tcp[] = {kIpprotoTcp, 0};
  length = static_cast<uint32_t>(buffer.size() * sizeof(ProtocolInfo));
  ASSERT_EQ(machine.WSAEnumProtocolsA(tcp, buffer.data(), &length), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(buffer[i].address_family, kAfInet);
    EXPECT_EQ(buffer[i].protocol, kIpprotoTcp);
  }
  // A TCP socket opens through a listed provider and is held until closed;
  // a broken chain keeps it from opening though its provider is listed.
  Socket opened = machine.socket(kAfInet, kSockStream, kIpprotoTcp);
  ASSERT_NE(opened, kInvalidSocket);
  EXPECT_NE(machine.DescribeOpenHandles().find("socket"), std::string::npos);
  EXPECT_EQ(machine.closesocket(opened), 0);
  EXPECT_EQ(machine.closesocket(opened), kSocketError);
  EXPECT_EQ(machine.WSAGetLastError(), 10038);
  EXPECT_EQ(machine.socket(23, kSockStream, kIpprotoTcp), kInvalidSocket);
  EXPECT_EQ(machine.WSAGetLastError(), 10047);
  machine.set_tcp_chain_broken(true);
  EXPECT_EQ(machine.socket(kAfInet, kSockStream, kIpprotoTcp), kInvalidSocket);
  EXPECT_EQ(machine.WSAGetLastError(), 10047);
  machine.set_tcp_chain_broken(false);
  RemoveTcpIpProviders(&machine);
  EXPECT_EQ(machine.WSAEnumProtocolsA(tcp, buffer.data(), &length), 0);
  EXPECT_EQ(machine.socket(kAfInet, kSockStream, kIpprotoTcp), kInvalidSocket);
  EXPECT_NE(machine.DescribeOpenHandles(), "");

  EXPECT_EQ(machine.WSACleanup(), 0);
  EXPECT_EQ(machine.WSACleanup(), kSocketError);
  EXPECT_EQ(machine.socket(kAfInet, kSockStream, kIpprotoTcp), kInvalidSocket);
  EXPECT_EQ(machine.WSAGetLastError(), 10093);
  EXPECT_TRUE(machine.FreeWinsock(ws2));
  EXPECT_EQ(machine.DescribeOpenHandles(), "");

  machine.DeleteKey(std::string(kServices) + "\\Winsock2\\Parameters");
  ws2 = machine.LoadWinsock();
  EXPECT_EQ(machine.WSAStartup(kWinsockVersion22), 10091);
  EXPECT_TRUE(machine.FreeWinsock(ws2));
  machine.RemoveFile("C:\\WINDOWS\\system\\ws2_32.dll");
  EXPECT_EQ(machine.LoadWinsock(), kNoHandle);
  EXPECT_EQ(machine.last_error(), 126);
}

}  // namespace
}  // namespace netrevive::simulated_pc
