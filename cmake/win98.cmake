# Cross build of netrevive.exe for Windows 98, 98 SE and ME, and its checks.
#
# Debian's MinGW-w64 start-up code, libgcc and libstdc++ are compiled for the
# Pentium Pro (they use CMOV), so the executable links none of them: it is
# built for the i486 with its own start-up code (src/driver/main_win32.cc) and
# language support (src/platform/win32/runtime_support.cc), and imports only
# from KERNEL32, ADVAPI32, USER32 and MSVCRT as Windows 98 ships them. The
# tests registered here check the finished file for all of that.

enable_language(RC)
enable_language(ASM)

# Code generation for the i486 and nothing the executable cannot carry:
# no exception or unwind tables, no thread-safe statics (they call libstdc++),
# no stack protector (libssp). The assembler is told the i486 too, so that an
# instruction of a later processor is refused at assembly time and alignment
# padding uses only i486 instructions. Windows aligns the stack to 4 bytes;
# nothing here needs more.
set(NETREVIVE_WIN98_CODEGEN_OPTIONS
  -march=i486 -Wa,-march=i486 -mpreferred-stack-boundary=2
  -fno-exceptions -fno-rtti -fno-threadsafe-statics
  -fno-asynchronous-unwind-tables -fno-unwind-tables
  -fno-stack-protector -fno-ident)
set(NETREVIVE_WIN98_CODE_OPTIONS ${NETREVIVE_WIN98_CODEGEN_OPTIONS} -ffunction-sections -fdata-sections)

# Only the import libraries named on the target; no default Windows libraries.
set(CMAKE_CXX_STANDARD_LIBRARIES "")

target_compile_options(netrevive_core PRIVATE ${NETREVIVE_WIN98_CODE_OPTIONS})

configure_file(${PROJECT_SOURCE_DIR}/src/platform/win32/netrevive.rc.in
  ${CMAKE_CURRENT_BINARY_DIR}/netrevive.rc @ONLY)

file(GLOB NETREVIVE_WIN32_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/platform/win32/*.cc ${PROJECT_SOURCE_DIR}/src/platform/win32/*.S)
add_executable(netrevive
  ${NETREVIVE_WIN32_SOURCES}
  ${PROJECT_SOURCE_DIR}/src/driver/main_win32.cc
  ${CMAKE_CURRENT_BINARY_DIR}/netrevive.rc)
target_compile_options(netrevive PRIVATE
  "$<$<COMPILE_LANGUAGE:CXX>:${NETREVIVE_WARNINGS};${NETREVIVE_WIN98_CODE_OPTIONS}>"
  $<$<COMPILE_LANGUAGE:ASM>:-Wa,-march=i486>)
# Windows 9x loads an executable only if it asks for subsystem and OS
# version 4.0 or lower. No relocations: an .exe is always loaded at its base.
set(NETREVIVE_WIN98_LINK_OPTIONS
  -nostdlib -s
  -Wl,--entry=_mainCRTStartup
  -Wl,--subsystem,console:4.0
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0
  -Wl,--gc-sections
  -Wl,--disable-dynamicbase -Wl,--disable-reloc-section
  -Wl,--no-insert-timestamp)
target_link_options(netrevive PRIVATE ${NETREVIVE_WIN98_LINK_OPTIONS})

# Link-time optimisation: the whole program is compiled as one unit at link
# time, so that code and texts only one caller needs are folded into it and
# equal texts of different files are stored once; it keeps the .exe within a
# floppy-friendly 40 KB. The code is generated at link time, so the link is
# given the same code generation options and size optimisation as the
# compiles (but not a section per function: the link already sees the whole
# program, and the extra sections only add padding).
set_property(TARGET netrevive_core netrevive PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
target_link_options(netrevive PRIVATE ${NETREVIVE_WIN98_CODEGEN_OPTIONS} -Os)
target_link_libraries(netrevive PRIVATE netrevive_core kernel32 advapi32 user32 msvcrt)

# The zip and floppy image handed out, built with the executable.
include(${PROJECT_SOURCE_DIR}/cmake/release.cmake)

# ---------------------------------------------------------------- checks
enable_testing()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(NETREVIVE_EXE_CHECK ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/exe/check_exe.py)
set(NETREVIVE_EXE_LISTS ${PROJECT_SOURCE_DIR}/tests/exe/win98-exports)
set(NETREVIVE_SIZE_BUDGET 40960)

add_test(NAME exe_pe_header COMMAND ${NETREVIVE_EXE_CHECK} header $<TARGET_FILE:netrevive>)
add_test(NAME exe_imports
  COMMAND ${NETREVIVE_EXE_CHECK} imports --lists ${NETREVIVE_EXE_LISTS} $<TARGET_FILE:netrevive>)
add_test(NAME exe_i486_instructions
  COMMAND ${NETREVIVE_EXE_CHECK} isa --objdump ${CMAKE_OBJDUMP} $<TARGET_FILE:netrevive>)
add_test(NAME exe_size
  COMMAND ${NETREVIVE_EXE_CHECK} size --budget ${NETREVIVE_SIZE_BUDGET} $<TARGET_FILE:netrevive>)

# The checks must also fail where they should: a probe executable that breaks
# every rule on purpose, each check run on it expecting its own findings.
add_executable(netrevive_bad_probe ${PROJECT_SOURCE_DIR}/tests/exe/bad_probe.cc)
target_compile_options(netrevive_bad_probe PRIVATE
  -march=pentiumpro -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)
target_link_options(netrevive_bad_probe PRIVATE
  -nostdlib -s -Wl,--entry=_ProbeStart
  -Wl,--subsystem,windows:5.1 -Wl,--major-os-version,5 -Wl,--minor-os-version,1
  -Wl,--image-base,0x10000 -Wl,--disable-dynamicbase -Wl,--disable-reloc-section)
target_link_libraries(netrevive_bad_probe PRIVATE kernel32 user32 shell32 msvcrt)
# What no linker option gives: a Win32VersionValue, a TLS and a delay-import
# directory.
add_custom_command(TARGET netrevive_bad_probe POST_BUILD
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/exe/spoil_probe.py
    $<TARGET_FILE:netrevive_bad_probe>)

set(NETREVIVE_BAD_PROBE $<TARGET_FILE:netrevive_bad_probe>)
add_test(NAME exe_checks_reject_header
  COMMAND ${NETREVIVE_EXE_CHECK} --expect-findings "subsystem: 2" "subsystem version: 5.1"
    "OS version: 5.1" "image base 0x10000: below" "relocations stripped with image base 0x10000"
    "Win32VersionValue: 1" "a TLS directory" "a delay-import directory"
    -- header ${NETREVIVE_BAD_PROBE})
add_test(NAME exe_checks_reject_imports
  COMMAND ${NETREVIVE_EXE_CHECK} --expect-findings "SHELL32.dll" "CreateFileW" "GetTickCount64"
    "GetKeyboardState" "_aligned_malloc" -- imports --lists ${NETREVIVE_EXE_LISTS}
    ${NETREVIVE_BAD_PROBE})
add_test(NAME exe_checks_reject_instructions
  COMMAND ${NETREVIVE_EXE_CHECK} --expect-findings cmovne fcmovb "fcomi " fucomip rdtsc rdpmc
    cpuid sysenter cmpxchg8b ud2 emms "movd +mm0" "pxor +xmm0" "nop +DWORD" "constructor" -- isa --objdump ${CMAKE_OBJDUMP}
    ${NETREVIVE_BAD_PROBE})
add_test(NAME exe_checks_reject_size
  COMMAND ${NETREVIVE_EXE_CHECK} --expect-findings "over the budget" -- size --budget
    ${NETREVIVE_SIZE_BUDGET} ${NETREVIVE_BAD_PROBE})

# Source-tree checks that do not depend on the build.
add_test(NAME layering_check
  COMMAND ${PROJECT_SOURCE_DIR}/tests/checks/layering.sh ${PROJECT_SOURCE_DIR})
add_test(NAME layering_check_finds_faults
  COMMAND ${PROJECT_SOURCE_DIR}/tests/checks/layering.sh --self-test)

include(${PROJECT_SOURCE_DIR}/tests/wine/wine_tests.cmake)
include(${PROJECT_SOURCE_DIR}/tests/wine/e2e/e2e_tests.cmake)
include(${PROJECT_SOURCE_DIR}/tests/release/release_tests.cmake)
