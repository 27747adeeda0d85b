// A probe executable that breaks, on purpose, every rule netrevive.exe is
// checked for: it is built for a later subsystem and OS version; imports a
// wide function, a function Windows 98 lacks, a user32 function nobody has
// vouched for, an MSVCRT function of a later MSVCRT and a DLL outside the four
// allowed; contains instructions of processors after the i486; has a global
// constructor; is larger than the size budget; and is linked at an image base
// below 4 MB without relocations, and given a Win32VersionValue, a TLS and a
// delay-import directory after the link (cmake/win98.cmake, spoil_probe.py). Each check of
// tests/exe/check_exe.py is run on it and must report those findings. It is
// never run.

#define WIN32_LEAN_AND_MEAN
#define _WIN32_WINNT 0x0600
#include <windows.h>
// windows.h first: the other two need its types.
#include <malloc.h>
#include <shellapi.h>

// Initialised data, so that it takes room in the file.
extern "C" volatile char probe_padding[40000];
volatile char probe_padding[40000] = {1};

// A global constructor, which netrevive.exe's start-up code would never run.
struct ProbeGlobal {
  ProbeGlobal() { probe_padding[1] = 2; }
};
ProbeGlobal probe_global;

// One instruction of each kind the i486 lacks; never executed.
asm(R"(
  .text
  .globl _ProbeInstructions
_ProbeInstructions:
  cmovne %eax, %ebx
  fcmovb %st(1), %st
  fcomi %st(1), %st
  fucomip %st(1), %st
  rdtsc
  rdpmc
  cpuid
  sysenter
  cmpxchg8b (%eax)
  ud2
  emms
  movd %eax, %mm0
  pxor %xmm0, %xmm0
  nopl 0(%eax)
  ret
)");

extern "C" void ProbeInstructions();

extern "C" void ProbeStart() {
  if (probe_padding[0] == 2) ProbeInstructions();
  BYTE keys[256];
  GetKeyboardState(keys);
  HANDLE file = CreateFileW(L"probe", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  void* block = _aligned_malloc(16, 16);
  ShellExecuteA(nullptr, "open", "probe", nullptr, nullptr, SW_SHOW);
  ExitProcess(static_cast<UINT>(GetTickCount64()) + (file != nullptr) + (block != nullptr));
}
