#!/usr/bin/env python3
"""Checks that netrevive.exe can run on Windows 98 first edition.

  check_exe.py header EXE                      PE header: i386, console, versions 4.0, a base,
                                               directories and fields Windows 9x honours
  check_exe.py imports --lists DIR EXE         imports only from the Windows 98 DLLs' lists
  check_exe.py isa --objdump OBJDUMP EXE       no instruction beyond the i486 set
  check_exe.py size --budget BYTES EXE         file size within the budget

Each check prints what it measured and one line per finding, and exits 1 when
it found anything, 0 otherwise. With --expect-findings PATTERN... -- before the
check, the outcome is turned round: the check must find something, and every
PATTERN (a case-insensitive regular expression) must match one of its
findings; that is how the checks are tested against a probe that breaks every
rule. Exit status 77 means the check could not be made (a list folder that is
not there) and is reported as skipped.
"""

import argparse
import os
import re
import struct
import subprocess
import sys

SKIPPED = 77

# --------------------------------------------------------------------- PE file


class PeError(Exception):
    pass


class PeImage:
    """The parts of a 32-bit PE file the checks read."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise PeError("no MZ header")
        (pe_offset,) = struct.unpack_from("<I", d, 0x3C)
        if d[pe_offset : pe_offset + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        coff = pe_offset + 4
        (self.machine, section_count, _, _, _, optional_size, self.characteristics) = (
            struct.unpack_from("<HHIIIHH", d, coff)
        )
        opt = coff + 20
        (self.magic,) = struct.unpack_from("<H", d, opt)
        if self.magic != 0x10B:
            raise PeError("not a PE32 optional header (magic 0x%x)" % self.magic)
        (self.image_base, self.section_alignment, self.file_alignment) = struct.unpack_from(
            "<III", d, opt + 28
        )
        (
            self.os_major,
            self.os_minor,
            _image_major,
            _image_minor,
            self.subsystem_major,
            self.subsystem_minor,
        ) = struct.unpack_from("<HHHHHH", d, opt + 40)
        (self.win32_version_value, self.image_size) = struct.unpack_from("<II", d, opt + 52)
        (self.subsystem, self.dll_characteristics) = struct.unpack_from("<HH", d, opt + 68)
        (directory_count,) = struct.unpack_from("<I", d, opt + 92)
        self.directories = [
            struct.unpack_from("<II", d, opt + 96 + 8 * i) for i in range(directory_count)
        ]
        self.sections = []
        table = opt + optional_size
        for i in range(section_count):
            raw_name, vsize, rva, raw_size, raw_offset = struct.unpack_from(
                "<8sIIII", d, table + 40 * i
            )
            (flags,) = struct.unpack_from("<I", d, table + 40 * i + 36)
            name = raw_name.rstrip(b"\0").decode("latin-1")
            self.sections.append((name, rva, vsize, raw_offset, raw_size, flags))

    def offset_of(self, rva):
        for _, start, vsize, raw_offset, raw_size, _ in self.sections:
            if start <= rva < start + max(vsize, raw_size):
                return raw_offset + rva - start
        raise PeError("RVA 0x%x lies in no section" % rva)

    def c_string(self, rva):
        start = self.offset_of(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("latin-1")

    def imports(self):
        """[(dll, [name or '#ordinal', ...]), ...] from the import directory."""
        if len(self.directories) < 2 or self.directories[1][0] == 0:
            return []
        result = []
        pos = self.offset_of(self.directories[1][0])
        while True:
            lookup, _, _, name_rva, address_table = struct.unpack_from("<IIIII", self.data, pos)
            if lookup == 0 and name_rva == 0 and address_table == 0:
                return result
            dll = self.c_string(name_rva)
            names = []
            entry = self.offset_of(lookup or address_table)
            while True:
                (thunk,) = struct.unpack_from("<I", self.data, entry)
                if thunk == 0:
                    break
                if thunk & 0x80000000:
                    names.append("#%d" % (thunk & 0xFFFF))
                else:
                    names.append(self.c_string(thunk + 2))  # after the 2-byte hint
                entry += 4
            result.append((dll, names))
            pos += 20


# ----------------------------------------------------------------- the checks

IMAGE_FILE_MACHINE_I386 = 0x14C
IMAGE_SUBSYSTEM_WINDOWS_CUI = 3
IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMAGE_SCN_CNT_CODE = 0x20
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_DIRECTORY_ENTRY_TLS = 9
IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT = 13
# Windows 9x maps each program into its private arena, from 4 MB to 2 GB.
WIN9X_LOWEST_BASE = 0x400000
WIN9X_ARENA_END = 0x80000000


def check_header(args, report):
    pe = PeImage(args.exe)
    report(
        "machine 0x%x, subsystem %d %d.%d, OS version %d.%d, section alignment 0x%x, "
        "file alignment 0x%x"
        % (
            pe.machine,
            pe.subsystem,
            pe.subsystem_major,
            pe.subsystem_minor,
            pe.os_major,
            pe.os_minor,
            pe.section_alignment,
            pe.file_alignment,
        )
    )
    findings = []
    if pe.machine != IMAGE_FILE_MACHINE_I386:
        findings.append("machine: 0x%x, not i386 (0x14c)" % pe.machine)
    if pe.subsystem != IMAGE_SUBSYSTEM_WINDOWS_CUI:
        findings.append("subsystem: %d, not the console (3)" % pe.subsystem)
    # Windows 9x refuses to load an image that asks for a later version.
    if (pe.subsystem_major, pe.subsystem_minor) != (4, 0):
        findings.append(
            "subsystem version: %d.%d, not 4.0" % (pe.subsystem_major, pe.subsystem_minor)
        )
    if (pe.os_major, pe.os_minor) != (4, 0):
        findings.append("OS version: %d.%d, not 4.0" % (pe.os_major, pe.os_minor))
    # Windows 9x maps sections by whole pages, straight from the file.
    if pe.section_alignment != 0x1000:
        findings.append("section alignment: 0x%x, not 0x1000" % pe.section_alignment)
    if pe.file_alignment < 0x200 or pe.file_alignment > 0x1000:
        findings.append("file alignment: 0x%x, not 0x200 to 0x1000" % pe.file_alignment)
    if pe.image_base < WIN9X_LOWEST_BASE:
        findings.append("image base 0x%x: below 0x%x, where Windows 9x loads no program"
                        % (pe.image_base, WIN9X_LOWEST_BASE))
    if pe.characteristics & IMAGE_FILE_RELOCS_STRIPPED and (
            pe.image_base < WIN9X_LOWEST_BASE
            or pe.image_base + pe.image_size > WIN9X_ARENA_END):
        findings.append("relocations stripped with image base 0x%x and size 0x%x: Windows 9x "
                        "can neither load the image there nor move it"
                        % (pe.image_base, pe.image_size))
    # Windows 9x refuses an image whose Win32VersionValue is not 0.
    if pe.win32_version_value != 0:
        findings.append("Win32VersionValue: %d, not 0" % pe.win32_version_value)
    # Nothing of the program's own start-up code sets up thread-local storage
    # or resolves delay-loaded imports; Windows 98 handles neither for it.
    for index, name in ((IMAGE_DIRECTORY_ENTRY_TLS, "TLS directory"),
                        (IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, "delay-import directory")):
        if len(pe.directories) > index and pe.directories[index] != (0, 0):
            findings.append("a %s (RVA 0x%x, %d bytes)" % ((name,) + pe.directories[index]))
    report("image base 0x%x, image size 0x%x, characteristics 0x%x, Win32VersionValue %d"
           % (pe.image_base, pe.image_size, pe.characteristics, pe.win32_version_value))
    return findings


ALLOWED_DLLS = {
    "KERNEL32.DLL": "kernel32.txt",
    "ADVAPI32.DLL": "advapi32.txt",
    "USER32.DLL": "user32.txt",
    "MSVCRT.DLL": "msvcrt.txt",
}

# The user32 list holds only the functions a console tool is expected to use.
# Any other user32 import must be checked by hand against Windows 98 first
# edition and given its reason here, in the form "Name": "why it is safe".
USER32_VOUCHED = {}


def read_list(path):
    with open(path, encoding="latin-1") as f:
        return {line.strip() for line in f if line.strip() and not line.startswith("#")}


def check_imports(args, report):
    if not os.path.isdir(args.lists):
        report("no export lists at %s" % args.lists)
        return None
    lists = {dll: read_list(os.path.join(args.lists, name)) for dll, name in ALLOWED_DLLS.items()}
    findings = []
    for dll, names in PeImage(args.exe).imports():
        report("%s: %s" % (dll, " ".join(names)))
        key = dll.upper()
        allowed = lists.get(key)
        if allowed is None:
            findings.append("%s: a DLL outside %s" % (dll, ", ".join(ALLOWED_DLLS)))
            continue
        for name in names:
            if name.startswith("#"):
                findings.append("%s %s: imported by ordinal" % (dll, name))
            elif key != "MSVCRT.DLL" and name.endswith("W"):
                # Windows 9x has most wide functions only as stubs that fail.
                findings.append("%s %s: a wide (W) function; use the A one" % (dll, name))
            elif key == "USER32.DLL" and name not in allowed and name not in USER32_VOUCHED:
                findings.append(
                    "%s %s: not in the (partial) user32 list; check it against Windows 98 "
                    "and vouch for it in USER32_VOUCHED" % (dll, name)
                )
            elif name not in allowed and key != "USER32.DLL":
                findings.append("%s %s: not exported by Windows 98's %s" % (dll, name, dll))
    return findings


# The instruction set of the i486 (integer, system and x87), as objdump names
# it in Intel syntax. Anything else is a later processor's: CMOVcc, FCMOVcc,
# FCOMI/FUCOMI, RDTSC, RDPMC, RDMSR, CMPXCHG8B, SYSENTER, UD2, the multi-byte
# NOP, MMX, SSE and so on. CPUID is left out too: only the last 486 models
# have it, and the program has no use for it.
I486_MNEMONICS = set(
    """
    aaa aad aam aas adc add and arpl bound bsf bsr bswap bt btc btr bts call cbw cwde cdq cwd
    clc cld cli clts cmc cmp cmps cmpsb cmpsw cmpxchg daa das dec div enter hlt idiv imul in inc
    ins insb insw insd int int3 into invd invlpg iret iretd iretw lahf lar lds lea leave les lfs lgdt
    lgs lidt lldt lmsw lods lodsb lodsw lodsd loop loope loopne loopz loopnz lsl lss ltr mov movs
    movsb movsw movsx movzx mul neg nop not or out outs outsb outsw outsd pop popa popaw popad popf
    popfw popfd push pusha pushaw pushad pushf pushfw pushfd rcl rcr ret retf retw lret rol ror sahf
    sal sar sbb scas scasb scasw scasd sgdt shl shld shr shrd sidt sldt smsw stc std sti stos stosb
    stosw stosd str sub test verr verw wait fwait wbinvd xadd xchg xlat xor
    jmp ljmp lcall ja jae jb jbe jc je jg jge jl jle jna jnae jnb jnbe jnc jne jng jnge jnl jnle
    jno jnp jns jnz jo jp jpe jpo js jz jcxz jecxz
    seta setae setb setbe setc sete setg setge setl setle setna setnae setnb setnbe setnc setne
    setng setnge setnl setnle setno setnp setns setnz seto setp setpe setpo sets setz
    f2xm1 fabs fadd faddp fbld fbstp fchs fclex fnclex fcom fcomp fcompp fcos fdecstp fdiv fdivp
    fdivr fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp finit fninit fist fistp
    fisub fisubr fld fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz fmul fmulp fnop
    fpatan fprem fprem1 fptan frndint frstor fsave fnsave fscale fsin fsincos fsqrt fst fstcw
    fnstcw fstenv fnstenv fstp fstsw fnstsw fsub fsubp fsubr fsubrp ftst fucom fucomp fucompp fxam
    fxch fxtract fyl2x fyl2xp1
    """.split()
)
# Prefixes objdump prints as words of their own before the mnemonic.
I486_PREFIXES = set("rep repe repz repne repnz lock data16 data32 addr16 addr32 cs ds es fs gs ss".split())
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t([0-9a-f ]+)\t(.*)$")


# The linker ends .text with the lists of global constructors and destructors,
# each -1, its entries, 0. The program's own start-up code runs neither list,
# so both must be empty; then they are these 16 bytes of data, not code.
EMPTY_CONSTRUCTOR_LISTS = b"\xff\xff\xff\xff\0\0\0\0" * 2


def check_isa(args, report):
    pe = PeImage(args.exe)
    findings = []
    count = 0
    described = []
    for name, rva, vsize, raw_offset, raw_size, flags in pe.sections:
        if not flags & (IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_CNT_CODE):
            continue
        end = pe.image_base + rva + vsize
        if name == ".text":
            tail = pe.data[raw_offset + vsize - 16 : raw_offset + vsize]
            if vsize <= raw_size and tail == EMPTY_CONSTRUCTOR_LISTS:
                end -= 16
            else:
                findings.append(
                    ".text does not end with the empty constructor and destructor lists; "
                    "global constructors are never run by this program's start-up code"
                )
        command = [args.objdump, "-d", "-w", "-z", "-M", "intel", "-j", name]
        command.append("--stop-address=0x%x" % end)
        listing = subprocess.run(command + [args.exe], check=True, capture_output=True, text=True)
        section_count = 0
        for line in listing.stdout.splitlines():
            m = INSTRUCTION.match(line)
            if not m:
                continue
            text = m.group(3).split("#")[0].strip()
            if not text:
                continue  # the continuation of a long instruction's bytes
            section_count += 1
            words = text.split()
            while len(words) > 1 and words[0] in I486_PREFIXES:
                words.pop(0)
            mnemonic = words[0]
            operands = " ".join(words[1:])
            where = "%s: %s  (%s)" % (m.group(1), text, m.group(2).strip())
            if mnemonic == "(bad)" or mnemonic.startswith("."):
                findings.append("%s: bytes that decode to no instruction" % where)
            elif mnemonic not in I486_MNEMONICS:
                findings.append("%s: not an i486 instruction" % where)
            elif mnemonic == "nop" and operands:
                findings.append("%s: the multi-byte NOP (Pentium Pro and later)" % where)
        if section_count == 0:
            findings.append("section %s: executable, but objdump found no instruction" % name)
        count += section_count
        described.append("%s (%d bytes)" % (name, end - pe.image_base - rva))
    report(
        "%d instructions in %s checked against the i486 set"
        % (count, ", ".join(described) or "no code section")
    )
    return findings


def check_size(args, report):
    size = os.path.getsize(args.exe)
    pe = PeImage(args.exe)
    report(
        "%s: %d bytes of a %d-byte budget (%.0f%%); sections: %s"
        % (
            os.path.basename(args.exe),
            size,
            args.budget,
            100.0 * size / args.budget,
            ", ".join("%s %d" % (s[0], s[4]) for s in pe.sections),
        )
    )
    if size > args.budget:
        return ["%d bytes, %d over the budget of %d" % (size, size - args.budget, args.budget)]
    return []


# ------------------------------------------------------------------- the tool


def split_expected(argv):
    """Takes a leading "--expect-findings PATTERN... --" off argv.

    Returns the patterns (None when the findings are not expected) and the rest.
    """
    if not argv or argv[0] != "--expect-findings":
        return None, argv
    if "--" not in argv:
        sys.exit("--expect-findings PATTERN... must end with --")
    cut = argv.index("--")
    return argv[1:cut], argv[cut + 1 :]


def report(findings, expected):
    """Prints the findings; the exit status for them as the module docstring says."""
    if findings is None:
        print("skipped")
        return SKIPPED
    for finding in findings:
        print("FINDING " + finding)
    if expected is None:
        print("%d finding(s)" % len(findings))
        return 1 if findings else 0
    unmatched = [p for p in expected if not any(re.search(p, f, re.I) for f in findings)]
    for pattern in unmatched:
        print("EXPECTED a finding matching %r, got none" % pattern)
    if not findings:
        print("EXPECTED findings, got none")
    return 1 if unmatched or not findings else 0


def parse(argv):
    expected, argv = split_expected(argv)
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="check", required=True)
    p = sub.add_parser("header")
    p.add_argument("exe")
    p.set_defaults(run=check_header)
    p = sub.add_parser("imports")
    p.add_argument("--lists", required=True)
    p.add_argument("exe")
    p.set_defaults(run=check_imports)
    p = sub.add_parser("isa")
    p.add_argument("--objdump", required=True)
    p.add_argument("exe")
    p.set_defaults(run=check_isa)
    p = sub.add_parser("size")
    p.add_argument("--budget", type=int, required=True)
    p.add_argument("exe")
    p.set_defaults(run=check_size)
    return expected, parser.parse_args(argv)


def main(argv):
    expected, args = parse(argv)
    return report(args.run(args, print), expected)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
