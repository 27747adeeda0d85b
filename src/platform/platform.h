#ifndef NETREVIVE_PLATFORM_PLATFORM_H_
#define NETREVIVE_PLATFORM_PLATFORM_H_

#include <stdint.h>

namespace netrevive {

// A registry status as the Win32 registry functions return it (a LONG).
using RegStatus = int32_t;
// An open registry key, or one of the predefined roots below.
using RegKey = uintptr_t;
// A kernel object handle (file, process, thread); kNoHandle when there is none.
using Handle = uintptr_t;

constexpr RegKey kHkeyClassesRoot = 0x80000000u;
constexpr RegKey kHkeyLocalMachine = 0x80000002u;
constexpr RegKey kHkeyUsers = 0x80000003u;

constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;

constexpr RegStatus kErrorSuccess = 0;
constexpr RegStatus kErrorFileNotFound = 2;
constexpr RegStatus kErrorAccessDenied = 5;
constexpr RegStatus kErrorMoreData = 234;

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

constexpr uint32_t kPlatformWin32Windows = 1;

// GetDriveTypeA results the program tells apart.
constexpr uint32_t kDriveRemovable = 2;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kDriveRemote = 4;
constexpr uint32_t kDriveCdrom = 5;

// File attributes, and GetFileAttributesA's answer for a missing file.
constexpr uint32_t kFileAttributeReadOnly = 0x01;
constexpr uint32_t kFileAttributeHidden = 0x02;
constexpr uint32_t kFileAttributeSystem = 0x04;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeArchive = 0x20;
constexpr uint32_t kFileAttributeNormal = 0x80;
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr uint32_t kStillActive = 259;

// SetErrorMode's flags: a call that touches a floppy or CD-ROM drive without
// a disc fails at once instead of showing Windows' "drive is not ready" box,
// and OpenFile shows no box for a missing file.
constexpr uint32_t kSemFailCriticalErrors = 0x0001;
constexpr uint32_t kSemNoOpenFileErrorBox = 0x8000;

constexpr Handle kNoHandle = 0;
constexpr uint32_t kInfinite = 0xFFFFFFFFu;
constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;

// The fields of OSVERSIONINFOA the program reads.
struct OsVersion {
  uint32_t major_version;
  uint32_t minor_version;
  uint32_t build_number;
  uint32_t platform_id;
  char csd_version[128];
};

// Winsock 2: the library LoadWinsock loads, what the program asks of it and
// how it answers.
constexpr char kWinsockLibrary[] = "WS2_32.DLL";
constexpr uint16_t kWinsockVersion22 = 0x0202;  // MAKEWORD(2, 2)
constexpr int32_t kSocketError = -1;            // SOCKET_ERROR
constexpr int32_t kAfInet = 2;                  // AF_INET
constexpr int32_t kIpprotoTcp = 6;              // IPPROTO_TCP
constexpr int32_t kSockStream = 1;              // SOCK_STREAM
// A Winsock socket (SOCKET); kInvalidSocket when socket() fails.
using Socket = uintptr_t;
constexpr Socket kInvalidSocket = ~static_cast<Socket>(0);  // INVALID_SOCKET

// WSAPROTOCOL_INFOA, field for field (372 bytes), as WSAEnumProtocolsA fills
// it in.
struct ProtocolInfo {
  uint32_t service_flags[4];
  uint32_t provider_flags;
  uint8_t provider_id[16];
  uint32_t catalog_entry_id;
  int32_t chain_length;
  uint32_t chain_entries[7];
  int32_t version;
  int32_t address_family;
  int32_t max_sockaddr;
  int32_t min_sockaddr;
  int32_t socket_type;
  int32_t protocol;
  int32_t protocol_max_offset;
  int32_t network_byte_order;
  int32_t security_scheme;
  uint32_t message_size;
  uint32_t provider_reserved;
  char protocol_name[256];
};

// What CreateProcessA hands back (PROCESS_INFORMATION).
struct ProcessInfo {
  Handle process;
  Handle thread;
  uint32_t process_id;
  uint32_t thread_id;
};

// Every contact the program has with the operating system. The operations keep
// their Win32 names and statuses; on Windows each is a direct pass-through,
// elsewhere a simulated Windows 9x machine answers them. They are grouped by
// what they concern: the registry, files, processes and the session, the
// console, Winsock, and the program's surroundings (Windows' version and
// folders, its own file, its environment).
class Platform {
 public:
  // ---- Registry (advapi32). Statuses are Win32 error numbers, 0 for success.
  virtual RegStatus RegOpenKeyExA(RegKey parent, const char* subkey, uint32_t access,
                                  RegKey* result) = 0;
  // Opens the key for access, creating it and any missing keys above it
  // (RegCreateKeyExA without a class, with default options).
  virtual RegStatus RegCreateKeyExA(RegKey parent, const char* subkey, uint32_t access,
                                    RegKey* result) = 0;
  // Only the number of subkeys is asked for.
  virtual RegStatus RegQueryInfoKeyA(RegKey key, uint32_t* subkey_count) = 0;
  virtual RegStatus RegEnumKeyA(RegKey key, uint32_t index, char* name, uint32_t name_size) = 0;
  // type may be null when the caller does not want it.
  virtual RegStatus RegQueryValueExA(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                                     uint32_t* data_size) = 0;
  virtual RegStatus RegSetValueExA(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                                   uint32_t data_size) = 0;
  // Removes the subkey with every key below it, as Windows 9x does.
  virtual RegStatus RegDeleteKeyA(RegKey key, const char* subkey) = 0;
  virtual RegStatus RegDeleteValueA(RegKey key, const char* name) = 0;
  // Writes the changes made below the key to the registry files now, rather
  // than when Windows gets round to it.
  virtual RegStatus RegFlushKey(RegKey key) = 0;
  virtual RegStatus RegCloseKey(RegKey key) = 0;

  // ---- Files (kernel32).
  // Opens an existing file for reading; never creates it. kNoHandle on failure.
  virtual Handle OpenFileForRead(const char* path) = 0;
  // Creates the file or truncates it. kNoHandle on failure.
  virtual Handle OpenFileForWrite(const char* path) = 0;
  // Reads up to size bytes from where the last read of the handle ended;
  // *read is the count read, 0 at the end of the file.
  virtual bool ReadFile(Handle file, char* buffer, uint32_t size, uint32_t* read) = 0;
  virtual bool WriteFile(Handle file, const char* data, uint32_t size) = 0;
  virtual bool CloseFile(Handle file) = 0;
  virtual bool CopyFileA(const char* from, const char* to, bool fail_if_exists) = 0;
  // Renames a file; fails when the new name is taken (MoveFileA).
  virtual bool MoveFileA(const char* from, const char* to) = 0;
  virtual bool DeleteFileA(const char* path) = 0;
  // 0xFFFFFFFF (kInvalidFileAttributes) when the file cannot be found.
  virtual uint32_t GetFileAttributesA(const char* path) = 0;
  virtual bool SetFileAttributesA(const char* path, uint32_t attributes) = 0;
  // Looks for a file whose name matches the pattern's last component (with
  // * and ?). A search handle for FindClose when one matches; kNoHandle when
  // none does or the folder cannot be searched.
  virtual Handle FindFirstFileA(const char* pattern) = 0;
  virtual bool FindClose(Handle search) = 0;
  // Returns the length of the short (8.3) form written, the size needed
  // when the buffer is too small, or 0 on failure (the path does not exist).
  virtual uint32_t GetShortPathNameA(const char* long_path, char* buffer, uint32_t size) = 0;
  // The long form of an existing path; lengths as GetShortPathNameA.
  virtual uint32_t GetLongPathNameA(const char* short_path, char* buffer, uint32_t size) = 0;
  // The drive's type, given its root "X:\\".
  virtual uint32_t GetDriveTypeA(const char* root) = 0;

  // ---- Processes and session (kernel32, user32).
  // Starts the program detached, without handle inheritance, in the given
  // working directory. command_line may be modified by the call, as Win32 allows.
  virtual bool CreateProcessA(const char* program, char* command_line,
                              const char* working_directory, ProcessInfo* info) = 0;
  virtual uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) = 0;
  virtual bool CloseHandle(Handle object) = 0;
  virtual bool ExitWindowsEx(uint32_t flags, uint32_t reserved) = 0;

  // ---- Console (kernel32).
  // Adds the handler that takes Ctrl+C and Ctrl+Break as handled, so that
  // neither ends the program from then on.
  virtual bool SetConsoleCtrlHandler() = 0;
  // Discards the key presses waiting in the console's input.
  virtual bool FlushConsoleInputBuffer() = 0;

  // ---- Winsock 2 (ws2_32), loaded at run time so that the program still
  // starts on a PC whose Winsock is damaged or missing.
  // Loads kWinsockLibrary (LoadLibraryA) and finds WSAStartup,
  // WSAEnumProtocolsA, WSACleanup, WSAGetLastError, socket and closesocket
  // in it (GetProcAddress); kNoHandle when the library or one of them cannot
  // be found, and nothing then stays loaded. The calls below need Winsock
  // loaded that way.
  virtual Handle LoadWinsock() = 0;
  // Starts Winsock with the version asked for; 0 or the error it returns.
  virtual int32_t WSAStartup(uint16_t version) = 0;
  // The providers of the protocols listed (0-terminated; null for all) in
  // buffer; the count, or kSocketError with WSAGetLastError telling why (and
  // the size needed in *buffer_length when it was too small).
  virtual int32_t WSAEnumProtocolsA(const int32_t* protocols, ProtocolInfo* buffer,
                                    uint32_t* buffer_length) = 0;
  virtual int32_t WSACleanup() = 0;
  virtual int32_t WSAGetLastError() = 0;
  // Opens a socket through the provider chain Winsock has for it (nothing
  // is sent); kInvalidSocket with WSAGetLastError telling why.
  virtual Socket socket(int32_t family, int32_t type, int32_t protocol) = 0;
  // 0, or kSocketError with WSAGetLastError telling why.
  virtual int32_t closesocket(Socket opened) = 0;
  // Forgets the entry points LoadWinsock found and unloads the library
  // (FreeLibrary).
  virtual bool FreeWinsock(Handle winsock) = 0;

  // ---- The program's surroundings (kernel32).
  // Returns the length written (without NUL), the size needed when the
  // buffer is too small, or 0 on failure.
  virtual uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) = 0;
  virtual bool GetVersionExA(OsVersion* info) = 0;
  // The full path of the program's own file (GetModuleFileNameA for the
  // program itself). Returns the length written, 0 on failure; a result of
  // size means the path was cut short.
  virtual uint32_t GetModuleFileNameA(char* buffer, uint32_t size) = 0;
  // The temporary folder's path with its trailing backslash; lengths as
  // GetWindowsDirectoryA (0 on failure).
  virtual uint32_t GetTempPathA(char* buffer, uint32_t size) = 0;
  // The value of the process's environment variable; lengths as
  // GetWindowsDirectoryA, 0 when the variable is not set.
  virtual uint32_t GetEnvironmentVariableA(const char* name, char* buffer, uint32_t size) = 0;
  // Sets the process's error mode (kSem* flags) and returns the mode it
  // replaces. The programs the process starts inherit the mode.
  virtual uint32_t SetErrorMode(uint32_t mode) = 0;

 protected:
  ~Platform() = default;
};

// Whether path names a file that is there (not a folder), by its attributes.
inline bool IsPlainFile(Platform& os, const char* path) {
  uint32_t attributes = os.GetFileAttributesA(path);
  return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) == 0;
}

}  // namespace netrevive

#endif  // NETREVIVE_PLATFORM_PLATFORM_H_
