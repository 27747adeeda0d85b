// The parts of a Windows session that the end-to-end harness plays under
// Wine, run as session.exe on the console of the test:
//
//   session.exe start     starts the command line in NETREVIVE_SESSION_COMMAND
//                         in the folder NETREVIVE_SESSION_CWD (the Windows
//                         directory when unset), as the user does from
//                         Explorer or the MS-DOS prompt, and waits for it.
//   session.exe runonce   what Windows does at start-up with
//                         HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce:
//                         takes each value there, deletes it, starts its
//                         command line in the Windows directory and waits.
//                         The exit status is the number of values started.
//   session.exe state     prints the machine's state line (machine_state.h).
//
// Programs are started as Windows 98 starts them: the program is found from
// the command line (a quoted path as it is; an unquoted one up to each blank
// in turn, ".exe" added to a file name without one, a bare name in the
// folder, then the system and Windows directories) and named to
// CreateProcessA, which then hands the command line to the program unchanged
// (given no program name, Wine would quote a path with blanks again). They
// run on this console with its standard handles, or with
// NETREVIVE_SESSION_DETACHED=1 (start only) without any console. Each start and end goes into
// WindowsDir\standin.log
// ("start"/"runonce" with command line and folder, then "exit" with the exit
// status, or "failed" with the error), in order with the stand-ins' lines.

#define WIN32_LEAN_AND_MEAN
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "machine_state.h"

namespace {

const char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::string Environment(const char* name) {
  char value[2048];
  DWORD size = GetEnvironmentVariableA(name, value, sizeof value);
  return size > 0 && size < sizeof value ? std::string(value, size) : std::string();
}

bool IsFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The program Windows 98 would start for command_line, "" when none is found.
std::string FindProgram(const std::string& command_line, const std::string& folder) {
  std::vector<std::string> candidates;
  if (!command_line.empty() && command_line[0] == '"') {
    candidates.push_back(command_line.substr(1, command_line.find('"', 1) - 1));
  } else {
    for (size_t at = 0; at <= command_line.size(); ++at) {
      if (at == command_line.size() || command_line[at] == ' ' || command_line[at] == '\t') {
        if (at > 0) candidates.push_back(command_line.substr(0, at));
      }
    }
  }
  for (std::string candidate : candidates) {
    size_t name = candidate.find_last_of("\\:");
    name = name == std::string::npos ? 0 : name + 1;
    if (candidate.find('.', name) == std::string::npos) candidate += ".exe";
    std::vector<std::string> places = {candidate};
    if (name == 0) {
      places = {folder + "\\" + candidate, standin::WindowsDir() + "\\system\\" + candidate,
                standin::WindowsDir() + "\\" + candidate};
    }
    for (const std::string& place : places) {
      if (IsFile(place)) return place;
    }
  }
  return "";
}

// Starts command_line in folder on this console and waits for it; false when
// it could not be started.
bool StartAndWait(const std::string& command_line, const std::string& folder,
                  bool detached = false) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  std::string line = command_line;  // CreateProcessA may write to it
  const std::string program = FindProgram(command_line, folder);
  if (program.empty()) {
    standin::AppendLog("failed\terror=" + std::to_string(ERROR_FILE_NOT_FOUND));
    return false;
  }
  if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, TRUE,
                      detached ? DETACHED_PROCESS : 0, nullptr, folder.c_str(), &startup,
                      &process)) {
    standin::AppendLog("failed\terror=" + std::to_string(GetLastError()));
    return false;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  standin::AppendLog("exit\tcode=" + std::to_string(code));
  return true;
}

int Start() {
  const std::string command_line = Environment("NETREVIVE_SESSION_COMMAND");
  std::string folder = Environment("NETREVIVE_SESSION_CWD");
  if (folder.empty()) folder = standin::WindowsDir();
  standin::AppendLog("start\tcommand=" + standin::Escape(command_line) +
                     "\tcwd=" + standin::Escape(folder));
  return StartAndWait(command_line, folder, Environment("NETREVIVE_SESSION_DETACHED") == "1") ? 0
                                                                                              : 2;
}

// The values are read first and then run one by one, each deleted just
// before it starts: a value that a program writes while it runs is for the
// next start of Windows, not this one.
int RunOnce() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return 0;
  }
  std::vector<std::pair<std::string, std::string>> entries;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD name_size = sizeof name;
    char data[2048];
    DWORD data_size = sizeof data - 1;
    DWORD type = 0;
    if (RegEnumValueA(key, index, name, &name_size, nullptr, &type, reinterpret_cast<BYTE*>(data),
                      &data_size) != ERROR_SUCCESS) {
      break;
    }
    data[data_size] = '\0';
    entries.emplace_back(name, data);
  }
  int started = 0;
  for (const auto& entry : entries) {
    // The value goes before its program runs, so that it runs only once
    // even if the program never ends.
    if (RegDeleteValueA(key, entry.first.c_str()) != ERROR_SUCCESS) continue;
    standin::AppendLog("runonce\tname=" + standin::Escape(entry.first) +
                       "\tcommand=" + standin::Escape(entry.second) +
                       "\tcwd=" + standin::Escape(standin::WindowsDir()));
    StartAndWait(entry.second, standin::WindowsDir());
    ++started;
  }
  RegCloseKey(key);
  return started;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "start") == 0) return Start();
  if (argc == 2 && strcmp(argv[1], "runonce") == 0) return RunOnce();
  if (argc == 2 && strcmp(argv[1], "state") == 0) {
    printf("%s\n", standin::DescribeMachine().c_str());
    return 0;
  }
  fprintf(stderr, "usage: session.exe start|runonce|state\n");
  return 64;
}
