#ifndef NETREVIVE_PLATFORM_WIN32_WIN32_PLATFORM_H_
#define NETREVIVE_PLATFORM_WIN32_WIN32_PLATFORM_H_

#include "platform/platform.h"

namespace netrevive {

// The platform of the real machine: each operation calls the Win32 ANSI
// function of the same name, with the arguments the program uses, and hands
// back its result unchanged. The one exception is RegDeleteKeyA, which walks
// the tree itself when the one call fails (see the .cc file). Winsock's
// functions are called through the entry points LoadWinsock found in
// WS2_32.DLL, which the executable does not import: it starts where that
// library is damaged or missing.
class Win32Platform final : public Platform {
 public:
  RegStatus RegOpenKeyExA(RegKey parent, const char* subkey, uint32_t access,
                          RegKey* result) override;
  RegStatus RegCreateKeyExA(RegKey parent, const char* subkey, uint32_t access,
                            RegKey* result) override;
  RegStatus RegQueryInfoKeyA(RegKey key, uint32_t* subkey_count) override;
  RegStatus RegEnumKeyA(RegKey key, uint32_t index, char* name, uint32_t name_size) override;
  RegStatus RegQueryValueExA(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                             uint32_t* data_size) override;
  RegStatus RegSetValueExA(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                           uint32_t data_size) override;
  RegStatus RegDeleteKeyA(RegKey key, const char* subkey) override;
  RegStatus RegDeleteValueA(RegKey key, const char* name) override;
  RegStatus RegFlushKey(RegKey key) override;
  RegStatus RegCloseKey(RegKey key) override;

  Handle OpenFileForRead(const char* path) override;
  Handle OpenFileForWrite(const char* path) override;
  bool ReadFile(Handle file, char* buffer, uint32_t size, uint32_t* read) override;
  bool WriteFile(Handle file, const char* data, uint32_t size) override;
  bool CloseFile(Handle file) override;
  bool CopyFileA(const char* from, const char* to, bool fail_if_exists) override;
  bool MoveFileA(const char* from, const char* to) override;
  bool DeleteFileA(const char* path) override;
  uint32_t GetFileAttributesA(const char* path) override;
  bool SetFileAttributesA(const char* path, uint32_t attributes) override;
  Handle FindFirstFileA(const char* pattern) override;
  bool FindClose(Handle search) override;
  uint32_t GetShortPathNameA(const char* long_path, char* buffer, uint32_t size) override;
  uint32_t GetLongPathNameA(const char* short_path, char* buffer, uint32_t size) override;
  uint32_t GetDriveTypeA(const char* root) override;

  bool CreateProcessA(const char* program, char* command_line, const char* working_directory,
                      ProcessInfo* info) override;
  uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) override;
  bool CloseHandle(Handle object) override;
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;

  bool SetConsoleCtrlHandler() override;
  bool FlushConsoleInputBuffer() override;

  Handle LoadWinsock() override;
  int32_t WSAStartup(uint16_t version) override;
  int32_t WSAEnumProtocolsA(const int32_t* protocols, ProtocolInfo* buffer,
                            uint32_t* buffer_length) override;
  int32_t WSACleanup() override;
  int32_t WSAGetLastError() override;
  Socket socket(int32_t family, int32_t type, int32_t protocol) override;
  int32_t closesocket(Socket opened) override;
  bool FreeWinsock(Handle winsock) override;

  uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) override;
  bool GetVersionExA(OsVersion* info) override;
  uint32_t GetModuleFileNameA(char* buffer, uint32_t size) override;
  uint32_t GetTempPathA(char* buffer, uint32_t size) override;
  uint32_t GetEnvironmentVariableA(const char* name, char* buffer, uint32_t size) override;
  uint32_t SetErrorMode(uint32_t mode) override;

 private:
  // The entry points of the library LoadWinsock loaded last; null when
  // none is loaded.
  enum {
    kStartup,
    kEnumProtocols,
    kCleanup,
    kGetLastError,
    kSocket,
    kCloseSocket,
    kWinsockEntryPoints
  };
  void* winsock_[kWinsockEntryPoints] = {};
};

}  // namespace netrevive

#endif  // NETREVIVE_PLATFORM_WIN32_WIN32_PLATFORM_H_
