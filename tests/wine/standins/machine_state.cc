#include "machine_state.h"

#define WIN32_LEAN_AND_MEAN
#include <stdio.h>
#include <windows.h>

#include <vector>

namespace standin {

namespace {

const char kWinsock2[] = "System\\CurrentControlSet\\Services\\Winsock2";
const char kProtocolCatalog[] =
    "System\\CurrentControlSet\\Services\\Winsock2\\Parameters\\Protocol_Catalog9";
const char kNameSpaceCatalog[] =
    "System\\CurrentControlSet\\Services\\Winsock2\\Parameters\\NameSpace_Catalog5";
const char kRemoteAccess[] = "System\\CurrentControlSet\\Services\\RemoteAccess";
const char kDialUpAdapter[] = "System\\CurrentControlSet\\Services\\Class\\Net\\0000";
const char kRnaComponent[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\OptionalComponents\\RNA";
const char kMsdun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MSDUN";
const char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kDunFile[] = "dunfile";

bool KeyExists(HKEY root, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool ReadValue(HKEY root, const char* path, const char* name, std::vector<BYTE>* data,
               DWORD* type) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG status = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    data->resize(size);
    status = RegQueryValueExA(key, name, nullptr, type, data->data(), &size);
    data->resize(size);
  }
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool ReadString(HKEY root, const char* path, const char* name, std::string* out) {
  std::vector<BYTE> data;
  DWORD type = 0;
  if (!ReadValue(root, path, name, &data, &type) || (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  out->assign(data.begin(), data.end());
  while (!out->empty() && out->back() == '\0') out->pop_back();
  return true;
}

bool ReadDword(HKEY root, const char* path, const char* name, DWORD* out) {
  std::vector<BYTE> data;
  DWORD type = 0;
  if (!ReadValue(root, path, name, &data, &type) || type != REG_DWORD || data.size() != 4) {
    return false;
  }
  *out = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24);
  return true;
}

void SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const void* data,
              DWORD size) {
  HKEY key;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void SetString(HKEY root, const std::string& path, const char* name, const std::string& text) {
  SetValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetDword(HKEY root, const std::string& path, const char* name, DWORD value) {
  SetValue(root, path, name, REG_DWORD, &value, sizeof value);
}

// Children first, each found again at index 0, as deleting renumbers them.
bool DeleteTree(HKEY parent, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  for (;;) {
    char name[260];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    if (!DeleteTree(key, name)) break;
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, path) == ERROR_SUCCESS;
}

std::string Presence(bool present) { return present ? "present" : "absent"; }

std::string ReadFileText(const std::string& path, bool* found) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  *found = file != INVALID_HANDLE_VALUE;
  if (!*found) return "";
  std::string text;
  char buffer[512];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

}  // namespace

std::string WindowsDir() {
  char dir[MAX_PATH];
  UINT size = GetWindowsDirectoryA(dir, sizeof dir);
  return size > 0 && size < sizeof dir ? std::string(dir, size) : std::string("C:\\windows");
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Lower(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void AppendLog(const std::string& line) {
  // The stand-ins of one session share the log; a named mutex keeps one
  // writer at a time between the seek to the end and the write.
  HANDLE lock = CreateMutexA(nullptr, FALSE, "netrevive-standin-log");
  if (lock) WaitForSingleObject(lock, 10000);
  const std::string path = WindowsDir() + "\\standin.log";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    SetFilePointer(file, 0, nullptr, FILE_END);
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
  }
  if (lock) {
    ReleaseMutex(lock);
    CloseHandle(lock);
  }
}

std::string DescribeMachine() {
  std::string out = "winsock2=";
  DWORD entries = 0;
  if (!KeyExists(HKEY_LOCAL_MACHINE, kWinsock2)) {
    out += "absent";
  } else if (ReadDword(HKEY_LOCAL_MACHINE, kProtocolCatalog, "Num_Catalog_Entries", &entries)) {
    out += "entries=" + std::to_string(entries);
  } else {
    out += "entries=?";
  }
  out += "\tdunfile=" + Presence(KeyExists(HKEY_CLASSES_ROOT, kDunFile));
  out += "\tremoteaccess=" + Presence(KeyExists(HKEY_LOCAL_MACHINE, kRemoteAccess));
  out += "\tadapter=" + Presence(KeyExists(HKEY_LOCAL_MACHINE, kDialUpAdapter));
  std::string text;
  out += "\trna=" +
         (ReadString(HKEY_LOCAL_MACHINE, kRnaComponent, "Installed", &text) ? text : "absent");
  out += "\tmsdun=" + Presence(KeyExists(HKEY_LOCAL_MACHINE, kMsdun));
  out +=
      "\trunonce=" +
      (ReadString(HKEY_LOCAL_MACHINE, kRunOnce, "QU Netrevive", &text) ? Escape(text) : "absent");
  bool found = false;
  text = ReadFileText(WindowsDir() + "\\rundunreinst.QU", &found);
  out += "\tmarker=" + (found ? Escape(text) : "absent");
  return out;
}

void RemoveDun() {
  DeleteTree(HKEY_CLASSES_ROOT, kDunFile);
  DeleteTree(HKEY_LOCAL_MACHINE, kRemoteAccess);
  DeleteTree(HKEY_LOCAL_MACHINE, kDialUpAdapter);
  if (KeyExists(HKEY_LOCAL_MACHINE, kRnaComponent)) {
    SetString(HKEY_LOCAL_MACHINE, kRnaComponent, "Installed", "0");
  }
}

void InstallDun() {
  SetString(HKEY_CLASSES_ROOT, kDunFile, "", "Dial-Up Networking Exported File");
  SetDword(HKEY_CLASSES_ROOT, kDunFile, "EditFlags", 0x00010000);
  SetString(HKEY_CLASSES_ROOT, std::string(kDunFile) + "\\shell\\open\\command", "",
            "rundll32.exe rnaui.dll,RnaRunImport %1");
  SetString(HKEY_LOCAL_MACHINE, kRemoteAccess, "DisplayName", "Dial-Up Networking");
  SetString(HKEY_LOCAL_MACHINE, std::string(kRemoteAccess) + "\\Parameters", "Enable", "1");
  SetString(HKEY_LOCAL_MACHINE, kRnaComponent, "INF", "rna.inf");
  SetString(HKEY_LOCAL_MACHINE, kRnaComponent, "Section", "RNA");
  SetString(HKEY_LOCAL_MACHINE, kRnaComponent, "Installed", "1");
}

bool InstallDialUpAdapter() {
  if (KeyExists(HKEY_LOCAL_MACHINE, kDialUpAdapter)) return false;
  SetString(HKEY_LOCAL_MACHINE, kDialUpAdapter, "DriverDesc", "Dial-Up Adapter");
  SetString(HKEY_LOCAL_MACHINE, kDialUpAdapter, "DeviceVxDs", "pppmac.vxd");
  SetString(HKEY_LOCAL_MACHINE, kDialUpAdapter, "InfPath", "NETTRANS.INF");
  SetString(HKEY_LOCAL_MACHINE, std::string(kDialUpAdapter) + "\\Ndi", "DeviceID", "*PNP8387");
  return true;
}

bool RestoreDefaultWinsock2() {
  if (KeyExists(HKEY_LOCAL_MACHINE, kWinsock2)) return false;
  const std::string parameters = std::string(kWinsock2) + "\\Parameters";
  SetString(HKEY_LOCAL_MACHINE, parameters, "Current_Protocol_Catalog", "Protocol_Catalog9");
  SetString(HKEY_LOCAL_MACHINE, parameters, "Current_NameSpace_Catalog", "NameSpace_Catalog5");

  // Windows' own three providers: TCP, UDP and IPX, each a packed catalog
  // item whose head is the provider's library path.
  const char* const protocols[] = {"MSAFD Tcpip [TCP/IP]", "MSAFD Tcpip [UDP/IP]",
                                   "MSAFD nwlnkipx [IPX]"};
  const int count = sizeof protocols / sizeof protocols[0];
  const std::string catalog = kProtocolCatalog;
  SetDword(HKEY_LOCAL_MACHINE, catalog, "Serial_Access_Num", 1);
  SetDword(HKEY_LOCAL_MACHINE, catalog, "Next_Catalog_Entry_ID", 1001 + count);
  SetDword(HKEY_LOCAL_MACHINE, catalog, "Num_Catalog_Entries", count);
  for (int i = 0; i < count; ++i) {
    std::vector<BYTE> item(260, 0);
    const std::string library = "%windir%\\system\\mswsock.dll";
    for (size_t j = 0; j < library.size(); ++j) item[j] = static_cast<BYTE>(library[j]);
    for (const char* p = protocols[i]; *p; ++p) item.push_back(static_cast<BYTE>(*p));
    item.push_back(0);
    char entry[16];
    snprintf(entry, sizeof entry, "%012d", i + 1);
    SetValue(HKEY_LOCAL_MACHINE, catalog + "\\Catalog_Entries\\" + entry, "PackedCatalogItem",
             REG_BINARY, item.data(), static_cast<DWORD>(item.size()));
  }

  const std::string names = kNameSpaceCatalog;
  SetDword(HKEY_LOCAL_MACHINE, names, "Serial_Access_Num", 1);
  SetDword(HKEY_LOCAL_MACHINE, names, "Num_Catalog_Entries", 1);
  const std::string entry = names + "\\Catalog_Entries\\000000000001";
  SetString(HKEY_LOCAL_MACHINE, entry, "LibraryPath", "%windir%\\system\\mswsock.dll");
  SetString(HKEY_LOCAL_MACHINE, entry, "DisplayString", "Tcpip");
  SetDword(HKEY_LOCAL_MACHINE, entry, "SupportedNameSpace", 12);
  SetDword(HKEY_LOCAL_MACHINE, entry, "Enabled", 1);
  return true;
}

bool RemoveUpgrade() { return DeleteTree(HKEY_LOCAL_MACHINE, kMsdun); }

std::string UpgradeUninstallString() {
  std::string text;
  return ReadString(HKEY_LOCAL_MACHINE, kMsdun, "UninstallString", &text) ? text : "";
}

}  // namespace standin
