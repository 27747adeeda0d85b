// The few pieces of language support that the compiler may call on its own.
// netrevive.exe links neither libgcc nor libstdc++ nor the MinGW start-up
// code (they are built for the Pentium Pro and later), so what it needs of
// them is here, written for the i486. The stack probe the compiler calls for
// large frames is in stack_probe.S.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Called through a pure virtual slot, which only a broken object can reach.
extern "C" void __cxa_pure_virtual() { ::ExitProcess(3); }

// No operator delete is needed: no class of the program has a virtual
// destructor, so the compiler emits no deleting destructor that would call it.
// Should one be added, the link fails on the missing operator delete; a
// do-nothing one here is then right, as the program never allocates with new.
