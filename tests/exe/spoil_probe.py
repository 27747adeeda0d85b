#!/usr/bin/env python3
"""Writes into the bad probe what its linker cannot be asked for: a non-zero
Win32VersionValue, a TLS directory and a delay-import directory (each
pointing at the start of the first section; the probe is never run).

  spoil_probe.py EXE
"""

import struct
import sys


def main(path):
    with open(path, "r+b") as f:
        data = bytearray(f.read())
        (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
        opt = pe_offset + 4 + 20
        (optional_size,) = struct.unpack_from("<H", data, pe_offset + 4 + 16)
        first_section_rva = struct.unpack_from("<I", data, opt + optional_size + 12)[0]
        struct.pack_into("<I", data, opt + 52, 1)  # Win32VersionValue
        struct.pack_into("<II", data, opt + 96 + 8 * 9, first_section_rva, 24)  # TLS
        struct.pack_into("<II", data, opt + 96 + 8 * 13, first_section_rva, 32)  # delay import
        f.seek(0)
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
