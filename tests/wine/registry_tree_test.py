#!/usr/bin/env python3
"""netrevive.exe's removal of the Winsock2 key tree, under Wine in Windows 98
mode. Wine's own RegDeleteKeyA there gives up on a key with two or more
subkeys, half way through; the program deletes the tree itself, so the whole
tree goes and nothing beside it.

  registry_tree_test.py --prefix DIR EXE
"""

import argparse
import os
import sys
import unittest

from wine_harness import PAUSE_MARK, WinePrefix, show

SERVICES = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services"
WINSOCK2 = SERVICES + r"\Winsock2"
SIBLING = SERVICES + r"\NetreviveSibling"
CATALOG = WINSOCK2 + r"\Parameters\Protocol_Catalog9\Catalog_Entries"

# A tree with several subkeys on several levels, values on the way, and a
# sibling that must stay. Removing Winsock2 first makes each run start alike.
SEEDED_TREE = rf"""REGEDIT4

[-{WINSOCK2}]

[{WINSOCK2}\Parameters]
"Current_Protocol_Catalog"="Protocol_Catalog9"

[{CATALOG}\000000000001]
"PackedCatalogItem"=hex:01,02,03

[{CATALOG}\000000000002]
"PackedCatalogItem"=hex:04,05,06

[{CATALOG}\000000000003]

[{WINSOCK2}\Parameters\NameSpace_Catalog5\Catalog_Entries\000000000001]
"LibraryPath"="%SystemRoot%\\System32\\mswsock.dll"

[{WINSOCK2}\Setup Migration\Providers\Tcpip]

[{SIBLING}\Child]
"Kept"="yes"

[HKEY_CLASSES_ROOT\dunfile]
@="Dial-Up Networking"
"""

REMOVED = (
    b"Removing all Winsock2 information from the registry...\n\n"
    b"The Winsock 2 keys have been removed.\n"
)
MISSING = (
    b"Removing all Winsock2 information from the registry...\n\n"
    b"There was an error deleting the winsock2 key. \n"
    b"The error code is as follows: 2\n"
    b"We are unable to continue.\nPress any key to terminate the program.\n" + PAUSE_MARK
)

CLOSING = (
    b"An error occured while removing the registry keys.\n"
    b"Please contact the MERX at 555-555-0142 if you are\n"
    b"affilated with Quillmark University.\n"
)


class Winsock2TreeRemoval(unittest.TestCase):
    prefix = None
    exe = None

    def fresh_run(self):
        # A fresh run starts only where Windows' setup information for DUN,
        # the programs it starts and the libraries they run (stand-ins that
        # never run: the tests end before) and Windows' setup files are.
        windows = self.prefix.windows_dir
        for name, data in (("inf/rna.inf", b"[RNA]\r\n"), ("rundll32.exe", b"MZ"),
                           ("rundll.exe", b"MZ"), ("system/setupx.dll", b"MZ"),
                           ("system/rnasetup.dll", b"MZ"), ("OPTIONS/CABS/NET7.CAB", b"MSCF"),
                           ("system.dat", b"CREG system"), ("user.dat", b"CREG user")):
            path = os.path.join(windows, *name.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            if not os.path.exists(path):
                with open(path, "wb") as f:
                    f.write(data)
        # Each test is a new repair: none is under way from the one before.
        for name in ("netrevive.QU", "rundunreinst.QU"):
            path = os.path.join(windows, name)
            if os.path.exists(path):
                os.unlink(path)
        result = self.prefix.run(self.exe, [])
        self.assertFalse(result.timed_out, show(result.transcript))
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(result.bare_line_ends, 0, "lines must end with CR LF")
        return result.transcript

    def test_removes_a_tree_of_several_subkeys_and_nothing_beside_it(self):
        self.prefix.reg_import(SEEDED_TREE)
        self.assertTrue(self.prefix.key_exists(CATALOG + r"\000000000002"))
        transcript = self.fresh_run()
        self.assertIn(REMOVED, transcript, show(transcript))
        self.assertFalse(self.prefix.key_exists(WINSOCK2))
        self.assertTrue(self.prefix.key_exists(SIBLING + r"\Child"))
        self.assertTrue(self.prefix.key_exists(SERVICES))

    def test_a_missing_key_counts_as_deleted(self):
        self.prefix.reg_import(f"REGEDIT4\n\n[-{WINSOCK2}]\n")
        self.assertFalse(self.prefix.key_exists(WINSOCK2))
        transcript = self.fresh_run()
        self.assertIn(REMOVED, transcript, show(transcript))
        self.assertNotIn(MISSING, transcript, show(transcript))
        self.assertFalse(self.prefix.key_exists(WINSOCK2))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--prefix", required=True)
    parser.add_argument("exe")
    options, rest = parser.parse_known_args(argv)
    Winsock2TreeRemoval.prefix = WinePrefix(options.prefix)
    Winsock2TreeRemoval.exe = options.exe
    with Winsock2TreeRemoval.prefix.session("win98"):
        program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
