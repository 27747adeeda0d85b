// The Windows entry point of netrevive.exe. The executable has no C runtime
// start-up code of its own (see cmake/win98.cmake): this is where Windows
// starts it. The command line is split by MSVCRT, the program runs against the
// real machine and console, and the process ends with the driver's status.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "console/console.h"
#include "driver/driver.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_terminal.h"

namespace {

// MSVCRT's start-up information, passed to __getmainargs.
struct StartupInfo {
  int new_mode;
};

}  // namespace

// MSVCRT's own command-line splitter, the one its C programs' main receives
// its arguments from. Argument 0 is the program's invocation text as typed
// or as the caller gave it, without surrounding quotes.
extern "C" __declspec(dllimport) void __cdecl __getmainargs(int* argc, char*** argv, char*** envp,
                                                            int expand_wildcards,
                                                            StartupInfo* info);

extern "C" void mainCRTStartup() {
  // Every pause waits for a key on the console; with no console to read
  // from, the program would run the whole repair unattended. It does
  // nothing at all then.
  if (!netrevive::Win32Terminal::HasConsoleInput()) ::ExitProcess(0);

  int argc = 0;
  char** argv = nullptr;
  char** envp = nullptr;
  StartupInfo startup = {0};
  // No wildcard expansion: the arguments are mode words, never file names.
  __getmainargs(&argc, &argv, &envp, 0, &startup);

  netrevive::Win32Platform os;
  netrevive::Win32Terminal terminal;
  netrevive::Console console(terminal, &os);
  int status = netrevive::RunNetrevive(argc, argv, os, console);
  ::ExitProcess(static_cast<UINT>(status));
}
