#!/usr/bin/env python3
"""netrevive.exe end to end under Wine: one whole repair per scenario,
restarts included.

  e2e_harness.py --work DIR --standins DIR --exe NETREVIVE.EXE SCENARIO
  e2e_harness.py ... --template-only      prepare the template prefix only
  e2e_harness.py ... --write SCENARIO     write the expected files instead (as does
                                          NETREVIVE_UPDATE_TRANSCRIPTS=1, like every test)
  e2e_harness.py --list                   the scenarios
  e2e_harness.py --names                  their names, one a line (CMake reads them)

A scenario's machine is a Wine prefix of its own, DIR/prefixes/SCENARIO,
made afresh each time as a copy (hard links, real copies of the registry
files) of DIR/template, which is prepared once with wineboot. Into it go the
scenario's registry (REGEDIT4 files in machines/), the stand-ins for
rundll32.exe, rundll.exe and dunsetup.exe, plain files for the libraries they
run (system\\setupx.dll and system\\rnasetup.dll, which the program looks for
but never loads), system.dat, user.dat, inf\\rna.inf and netrevive.exe itself.

One persistent wineserver holds the prefix for the whole scenario. Wine runs
(and deletes) the RunOnce values itself whenever a wineserver starts in a
prefix, and would play the restarts behind the harness's back; with one
server from start to end, the only restarts are the harness's own.

A scenario then plays a user's sessions, each on a console of its own (a
pseudo-terminal), with session.exe (tests/wine/standins/session.cc):
  1. session.exe start: the user starts netrevive.exe with the scenario's
     command line, from its folder.
  2. When that run asked for a restart (RnaReboot ran) or ended the session
     (ExitWindowsEx was called), the next session begins: session.exe
     runonce does what Windows does at start-up, taking each RunOnce value,
     deleting it and starting its command line with CreateProcessA (which
     splits it as Windows does), and waiting for it.
  3. Step 2 again, until a run asks for no restart or RunOnce is empty.

Pauses: a key is pressed at each of the program's pauses. The pauses are
found as wine_harness.py finds them: Wine traces MSVCRT's _getch (the
program's only key read) on standard error, and the harness marks the pause
and sends one key only when the trace shows the program inside _getch, with
all its earlier output already in the pipe. No timing is involved.

The program's Winsock is WS2_32.DLL's stand-in (tests/wine/standins/ws2_32.cc),
put beside netrevive.exe and loaded by Wine in place of its own (which lists
TCP/IP whatever the registry says), so that the Check's verdict comes from
the machine's Winsock 2 catalogue as on Windows 98.

What is compared, byte for byte, with tests/transcripts/SCENARIO.txt (the
file the simulator's transcript of the same path is compared with): the transcript
of every run, with <key> at each pause, framed by lines naming how each run
was started and how it ended:
  <start: COMMAND LINE>            the user's start of the program
  <RunOnce "NAME": COMMAND LINE>   a start by Windows from RunOnce
  <exit N>                         written right after the run's last byte
  <restart requested>              RnaReboot ran during the run
  <session ended>                  the run called ExitWindowsEx
  <RunOnce empty>                  a restart found nothing to run
  <window closed>                  the user closed the window at this pause
                                   (the run's <exit N> is then left out)

And with expected/SCENARIO.log: every line the stand-ins and session.exe
wrote (their command lines, working directories, what they did and the
registry and marker as each found and left them), then the machine at the
end and the state of the backup copies. Beside the two files the harness
checks the properties the repair rests on (see check_properties).
"""

import argparse
import contextlib
import ctypes
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # nothing of the test run goes into the source tree
sys.path.insert(0, os.path.dirname(HERE))
from wine_harness import CLOSE_MARK, WineError, WinePrefix, show  # noqa: E402

MACHINES = os.path.join(HERE, "machines")
EXPECTED = os.path.join(HERE, "expected")
# The transcripts, one per repair path, shared with the simulator's tests
# (tests/sim/netrevive_sim_transcript_test.cc compares netrevive-sim's
# transcript of the same path with the same file).
TRANSCRIPTS = os.path.join(os.path.dirname(os.path.dirname(HERE)), "transcripts")

# The template prefix's settings, after wineboot: the relay trace of _getch
# (the pauses), of ExitWindowsEx (the end of a session) and of CopyFileA and
# SetFileAttributesA (the backups), no display.
TEMPLATE_SETTINGS = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Debug]
"RelayInclude"="msvcrt._getch;user32.ExitWindowsEx;kernel32.CopyFileA;kernel32.SetFileAttributesA"

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="null"
"""
# netrevive.exe takes WS2_32.DLL from its own folder (the stand-in), never
# Wine's builtin one: without the stand-in it finds none.
WINSOCK_STANDIN_SETTINGS = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\AppDefaults\netrevive.exe\DllOverrides]
"ws2_32"="native"
"""
# The registry the program reads, compared before and after a run that must
# change nothing, and the files of the Windows directory and the program's
# folder (standin.log, written by the stand-ins, left out).
WATCHED_KEYS = (
    r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services",
    r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion",
    r"HKEY_CLASSES_ROOT\dunfile",
)
# Bumped when the template's making changes, so that older ones are rebuilt.
TEMPLATE_FORMAT = "netrevive-e2e-template 2"
EXIT_WINDOWS_CALL = re.compile(rb"^[0-9a-f]+:Call user32\.ExitWindowsEx\(", re.M)
BACKUP_CALL = re.compile(
    rb'^[0-9a-f]+:Call KERNEL32\.(CopyFileA|SetFileAttributesA)\([0-9a-f]+ "([^"]*)",'
    rb'(?:[0-9a-f]+ "([^"]*)",([0-9a-f]+)|([0-9a-f]+))', re.M)

# Files of the registry and of drive_c\windows itself that Wine may rewrite in
# place; a copied prefix gets real copies of them, everything else is linked.
PRIVATE_FILES = ("system.reg", "user.reg", "userdef.reg")

# Files of the template that its copies must not have: Debian's Wine names
# the private folder of a prefix's wineserver in "wineserver"; a copy makes
# its own. The rest are the template's own notes.
TEMPLATE_ONLY_FILES = ("wineserver", "netrevive-e2e-template", "netrevive-import.reg")

# The processes Wine keeps running for a prefix while its server lives; a
# session has settled when no other process of the prefix is left.
WINE_SYSTEM_PROCESSES = (
    "services.exe", "winedevice.exe", "plugplay.exe", "svchost.exe", "rpcss.exe",
    "explorer.exe", "conhost.exe",
)

SYSTEM_DAT = b"CREG\x00\x00\x01\x00system registry of the test PC\r\n"
USER_DAT = b"CREG\x00\x00\x01\x00user registry of the test PC\r\n"
# Windows ME keeps HKEY_CLASSES_ROOT in a third file, backed up as classes.tom.
CLASSES_DAT = b"CREG\x00\x00\x01\x00classes registry of the test PC\r\n"


def registry_files(scenario):
    """The registry files of the scenario's Windows, with their first content."""
    files = [("system.dat", SYSTEM_DAT), ("user.dat", USER_DAT)]
    if scenario.version == "winme":
        files.append(("classes.dat", CLASSES_DAT))
    return [(name, data) for name, data in files if name not in scenario.missing_registry]
RNA_INF = (b'[Version]\r\nSignature="$CHICAGO$"\r\nClass=NetTrans\r\n\r\n'
           b"[RNA]\r\nAddReg=RNA.AddReg\r\n")
MSDUN_INF = (b'[Version]\r\nSignature="$CHICAGO$"\r\n\r\n'
             b"[DefaultUninstall]\r\nDelReg=MSDUN.DelReg\r\n")

OLD_SYSTEM_TOM = b"CREG\x00\x00\x01\x00the registry before the first run\r\n"
OLD_USER_TOM = b"CREG\x00\x00\x01\x00the user registry before the first run\r\n"
CAB = b"MSCF\x00\x00\x00\x00 a cabinet of Windows' setup files"
SETUP_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Setup"

DEFAULT_EXE = r"C:\NETREVIVE\NETREVIVE.EXE"
TEMP_EXE = r"C:\windows\temp\NETREVIVE.EXE"
BLANKS_EXE = r"C:\Program Files\Net Revive\netrevive.exe"
RNA_INF_PATH = ("inf", "rna.inf")
# The libraries the setup programs run, by name: where each goes in the
# Windows directory and what it holds. The stand-ins never load them; the
# program only looks that they are there.
LIBRARIES = {
    "setupx": (("system", "setupx.dll"), b"MZ setupx.dll of the test PC"),
    "rnasetup": (("system", "rnasetup.dll"), b"MZ rnasetup.dll of the test PC"),
}


class Scenario:
    def __init__(self, description, version="win98se", machine=("base",), exe=DEFAULT_EXE,
                 command=None, helpers=("rundll32", "rundll", "dunsetup"),
                 libraries=("setupx", "rnasetup"), delay=None,
                 expected=None, complete=True, touched=True, drives=None, rna_inf=True,
                 lose_after_first=(), detached=False, setup_files="cabs", temp=None,
                 flags=(), by_hand=None, old_backups=False, marker=False,
                 unchanged=False, close_at=None, uninstaller_runs=None,
                 missing_registry=()):
        self.description = description
        # Registry files left out of the Windows directory: their backup
        # copy fails, as on a full disk.
        self.missing_registry = missing_registry
        self.version = version  # a machines/version_*.reg
        self.machine = list(machine)  # machines/*.reg, imported in order
        self.exe = exe  # where netrevive.exe is put
        self.command = command if command is not None else exe  # the user's command line
        self.helpers = helpers  # the stand-ins put in place
        self.libraries = libraries  # the libraries of LIBRARIES put in place
        self.delay = delay  # NETREVIVE_STANDIN_DELAY
        self.expected = expected  # expected files shared with another scenario
        self.complete = complete  # the repair ends with DUN and a fresh Winsock2
        self.touched = touched  # False: the program must change nothing
        # Drives beside C:, by letter, with the type Wine gives them
        # (HKLM\Software\Wine\Drives: "floppy", "network", "cdrom", "hd").
        self.drives = drives or {}
        self.rna_inf = rna_inf  # whether C:\windows\inf\rna.inf is there at the start
        # Files of the Windows directory that are gone once the first session
        # has ended, as (folder, ..., name).
        self.lose_after_first = lose_after_first
        self.detached = detached  # started without any console
        # Windows' setup files: "cabs", SourcePath naming OPTIONS\CABS, which
        # holds a .CAB file (as on a PC whose maker copied them there);
        # "cabs_only", SourcePath naming a folder that is not there and the
        # .CAB file in OPTIONS\CABS; "none", that folder and no .CAB anywhere.
        self.setup_files = setup_files
        # The folder TEMP and TMP name (as AUTOEXEC.BAT sets them), None for
        # Wine's own.
        self.temp = temp
        self.flags = flags  # files of the Windows directory for the stand-ins
        # A command line the user starts by hand once Windows has nothing
        # more to run, as the screen told him.
        self.by_hand = by_hand
        # system.tom and user.tom of an earlier run are there at the start and
        # must be kept.
        self.old_backups = old_backups
        self.marker = marker  # rundunreinst.QU is in the Windows directory at the start
        # The run must leave the registry and the files exactly as they were.
        self.unchanged = unchanged
        # The pause, counted over the whole scenario (1 is the first), at
        # which the user closes the program's window instead of pressing a
        # key. Windows is restarted after it; where that restart runs
        # nothing, the user starts DEFAULT_EXE by hand once.
        self.close_at = close_at
        # How many times the upgrade's own uninstaller must run, when given.
        self.uninstaller_runs = uninstaller_runs


SCENARIOS = {
    "repair_98se": Scenario("the whole repair on Windows 98 SE, DUN installed, no upgrade"),
    "repair_me": Scenario("the whole repair on Windows ME", version="winme"),
    "repair_98": Scenario("the whole repair on Windows 98 first edition", version="win98"),
    "upgrade_dunsetup": Scenario(
        "the DUN upgrade removed by dunsetup.exe /u, then UpgradeRemove and ReinstallDUN",
        machine=("base", "upgrade_dunsetup")),
    "upgrade_rundll": Scenario(
        "the DUN upgrade removed through rundll.exe, then a new fresh run",
        machine=("base", "upgrade_rundll")),
    "upgrade_rundll32": Scenario(
        "the DUN upgrade removed through rundll32.exe, then a new fresh run",
        machine=("base", "upgrade_rundll32")),
    "upgrade_unknown": Scenario(
        "a DUN upgrade with an uninstall text the program does not know: refused before any "
        "change, nothing touched",
        machine=("base", "upgrade_unknown"), complete=False, touched=False),
    "refusal_nt": Scenario("Windows XP: refused, nothing touched", version="winxp",
                           complete=False, touched=False),
    "refusal_95": Scenario("Windows 95: refused, nothing touched", version="win95",
                           complete=False, touched=False),
    "usage": Scenario("a command line with an unknown word: usage, nothing touched",
                      command=DEFAULT_EXE + " Fix", complete=False, touched=False),
    "dun_missing": Scenario("no DUN: installed at once in the fresh run",
                            machine=("base", "no_dun")),
    "helper_missing": Scenario("rundll32.exe missing: refused before any change, nothing touched",
                               helpers=("rundll", "dunsetup"), complete=False, touched=False),
    "winsock2_missing": Scenario(
        "no Winsock2 key and no backups: counted as deleted, the repair completes and makes "
        "its backups", machine=("base", "no_winsock2")),
    # The RunOnce entry holds the path's short form, without blanks: the
    # session player hands the command line over unchanged, as Windows 98
    # does, and the ReinstallDUN run still gets its mode word.
    "path_with_blanks": Scenario(
        "the program in C:\\Program Files\\Net Revive, started quoted as Explorer does",
        exe=BLANKS_EXE, command='"%s"' % BLANKS_EXE),
    # Started from a floppy disk or a network drive, the program refuses: it
    # could not be found again after the restart.
    "floppy_start": Scenario("started from A:\\, a floppy disk drive: refused, nothing touched",
                             exe=r"A:\NETREVIVE.EXE", drives={"a": "floppy"}, complete=False,
                             touched=False),
    "network_start": Scenario("started from N:\\, a network drive: refused, nothing touched",
                              exe=r"N:\TOOLS\NETREVIVE.EXE", drives={"n": "network"},
                              complete=False, touched=False),
    # Started by name from a prompt in its folder, the program resumes from
    # its own full path.
    "relative_start": Scenario("started as \"netrevive\" from its folder: the whole repair",
                               command="netrevive"),
    "rna_inf_missing": Scenario("no inf\\rna.inf: the fresh run refuses, nothing touched",
                                rna_inf=False, complete=False, touched=False),
    "rna_inf_lost": Scenario(
        "inf\\rna.inf gone before the ReinstallDUN run: reported as a reinstall that cannot start",
        lose_after_first=(RNA_INF_PATH,), complete=False),
    "no_console": Scenario("started without a console: nothing at all, nothing touched",
                           detached=True, complete=False, touched=False),
    # The same repair as repair_98se, with the same transcript and log, but
    # UninstallUpgrade takes 3 s (the program must wait, without using the
    # processor) and RnaReboot 1 s (the program must not wait: it ends first).
    "slow_helper": Scenario(
        "the repair on Windows 98 SE with an UninstallUpgrade of 3 s, an RnaReboot of 1 s",
        delay="UninstallUpgrade=3000,RnaReboot=1000", expected="repair_98se"),
    "rundll_missing": Scenario("rundll.exe missing: refused before any change, nothing touched",
                               helpers=("rundll32", "dunsetup"), complete=False, touched=False),
    "dunsetup_missing": Scenario(
        "the DUN upgrade's dunsetup.exe missing: refused before any change, nothing touched",
        machine=("base", "upgrade_dunsetup"), helpers=("rundll32", "rundll"), complete=False,
        touched=False),
    # setupx.dll is needed on every PC; rnasetup.dll comes with DUN and is
    # needed only where DUN is installed.
    "setupx_missing": Scenario(
        "system\\setupx.dll missing: refused before any change, nothing touched",
        libraries=("rnasetup",), complete=False, touched=False),
    "rnasetup_missing": Scenario(
        "system\\rnasetup.dll missing with DUN installed: refused before any change, "
        "nothing touched", libraries=("setupx",), complete=False, touched=False),
    "rnasetup_missing_no_dun": Scenario(
        "no DUN and no system\\rnasetup.dll: DUN installed at once in the fresh run",
        machine=("base", "no_dun"), libraries=("setupx",), expected="dun_missing"),
    "setup_files_missing": Scenario(
        "Windows' setup files nowhere: refused before any change, nothing touched",
        setup_files="none", complete=False, touched=False),
    "setup_files_in_cabs": Scenario(
        "SourcePath names a folder that is gone, the setup files are in OPTIONS\\CABS: "
        "the whole repair", setup_files="cabs_only"),
    "temp_start": Scenario("started from the temporary folder: refused, nothing touched",
                           exe=TEMP_EXE, temp=r"C:\windows\temp", complete=False,
                           touched=False),
    # AUTOEXEC.BAT's TEMP=C:\ makes GetTempPathA answer the drive root, which
    # holds every folder of the drive: no temporary-folder start.
    # A backup copy that fails stops the repair before its first change:
    # the copy made before it is taken back, and nothing else is touched.
    "backup_copy_fails": Scenario(
        "user.dat cannot be copied: refused before any change, nothing changed",
        missing_registry=("user.dat",), complete=False, touched=False, unchanged=True),
    "temp_is_drive_root": Scenario(
        "TEMP and TMP set to C:\\, started from C:\\NETREVIVE: the whole repair",
        temp="C:\\", expected="repair_98se"),
    # InstallHinfSection installs nothing the first time (its request for the
    # CD cancelled): no success, the marker back; the ReinstallDUN run the
    # screen names, started by hand, completes the repair.
    "setup_installs_nothing": Scenario(
        "Windows' setup of DUN installs nothing once; ReinstallDUN started by hand then completes",
        flags=("standin-setup-cancel",), by_hand=DEFAULT_EXE + " ReinstallDUN"),
    # The upgrade's INF uninstall that leaves Winsock2 out: the fresh run
    # after it finds the key already gone and carries on to the end.
    "upgrade_rundll32_no_winsock2": Scenario(
        "the DUN upgrade removed through rundll32.exe without a Winsock2 tree put back: the "
        "repair completes by itself", machine=("base", "upgrade_rundll32"),
        flags=("standin-upgrade-no-winsock2",), uninstaller_runs=1),
    # An uninstaller that never removes the upgrade runs once: the run after
    # it stops and starts nothing again by itself.
    "upgrade_rundll32_stays": Scenario(
        "the DUN upgrade's rundll32.exe uninstaller leaves it installed: run once, then the "
        "repair stops", machine=("base", "upgrade_rundll32"),
        flags=("standin-upgrade-always-stays",), complete=False, uninstaller_runs=1),
    "upgrade_left": Scenario(
        "the upgrade's uninstaller leaves MSDUN: the UpgradeRemove run stops, DUN stays",
        machine=("base", "upgrade_dunsetup"), flags=("standin-upgrade-stays",), complete=False),
    # The Check, run by the caller: it reports and changes nothing.
    "check_no_winsock2": Scenario(
        "Check without Winsock2\\Parameters: MISSING and NOT WORKING, nothing changed",
        machine=("base", "no_winsock2"), command=DEFAULT_EXE + " Check", complete=False,
        unchanged=True),
    "check_pending": Scenario(
        "Check with the ReinstallDUN entry pending: REPAIR UNDER WAY, nothing changed",
        machine=("base", "no_winsock2", "no_dun", "runonce_reinstall"), marker=True,
        command=DEFAULT_EXE + " Check", complete=False, unchanged=True),
    "check_stopped": Scenario(
        "Check with only the marker: REPAIR STOPPED, nothing changed",
        machine=("base", "no_winsock2", "no_dun"), marker=True, command=DEFAULT_EXE + " Check",
        complete=False, unchanged=True),
    # The window closed at each pause of a repair's runs in turn (the
    # Check's own pause aside), then Windows restarted: the repair carries
    # on, from RunOnce or from one start by hand, and ends repaired with the
    # first run's backups.
    **{"window_closed_98se_%d" % pause: Scenario(
        "the repair on Windows 98 SE with the window closed at pause %d of 5, then a restart"
        % pause, close_at=pause) for pause in range(1, 6)},
    **{"window_closed_dunsetup_%d" % pause: Scenario(
        "the dunsetup.exe /u upgrade's repair with the window closed at pause %d of 6, then a "
        "restart" % pause, machine=("base", "upgrade_dunsetup"), close_at=pause)
       for pause in range(1, 7)},
}
# The command lines of the helpers that do not depend on the machine.
FIXED_HELPER_COMMANDS = {
    "UninstallUpgrade": r"C:\windows\rundll32.exe rnasetup.dll,UninstallUpgrade",
    "RnaReboot": r"C:\windows\rundll32.exe rnasetup.dll,RnaReboot",
    "InstallDefaultDrv": r"C:\windows\rundll32.exe rnasetup.dll,InstallDefaultDrv",
    "InstallHinfSection":
        r"C:\windows\rundll.exe setupx.dll,InstallHinfSection RNA 128 C:\windows\inf\rna.inf",
}
SLOW_ACTION = "UninstallUpgrade"
SLOW_SECONDS = 3.0
CPU_LIMIT_SECONDS = 0.2
MAX_SESSIONS = 8


class ScenarioPrefix(WinePrefix):
    """A WinePrefix whose programs get extra environment variables."""

    def __init__(self, path):
        super().__init__(path)
        self.extra_env = {}

    def env(self, debug="-all"):
        env = super().env(debug)
        env.update(self.extra_env)
        return env

    def unix_path(self, windows_path):
        """The Unix path of an X:\\ path (drive_c, or the drive_x of a scenario's
        other drives; case as given)."""
        assert windows_path[1:3] == ":\\", windows_path
        return os.path.join(self.path, "drive_" + windows_path[0].lower(),
                            *windows_path[3:].split("\\"))

    def add_drives(self, drives):
        """Drives beside C:, each a folder drive_x of the prefix with the type
        given. Wine reads the types when its server starts, so the server is
        stopped afterwards."""
        lines = ["REGEDIT4", "", r"[HKEY_LOCAL_MACHINE\Software\Wine\Drives]"]
        for letter, kind in sorted(drives.items()):
            os.makedirs(os.path.join(self.path, "drive_" + letter), exist_ok=True)
            link = os.path.join(self.path, "dosdevices", letter + ":")
            if os.path.lexists(link):
                os.unlink(link)
            os.symlink("../drive_" + letter, link)
            lines.append('"%s:"="%s"' % (letter, kind))
        self.reg_import("\n".join(lines) + "\n")
        self.stop()


# ------------------------------------------------------------------ prefixes


def prepare_template(work):
    """Makes DIR/template once (wineboot, then the settings); returns its path."""
    template = os.path.join(work, "template")
    os.makedirs(work, exist_ok=True)
    with open(template + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        marker = os.path.join(template, "netrevive-e2e-template")
        try:
            with open(marker) as f:
                if f.read().strip() == TEMPLATE_FORMAT:
                    return template
        except OSError:
            pass
        prefix = ScenarioPrefix(template)
        prefix.stop()
        shutil.rmtree(template, ignore_errors=True)
        started = time.monotonic()
        prefix._call([prefix.wineboot, "-i"])
        prefix.reg_import(TEMPLATE_SETTINGS)
        prefix.stop()  # the server writes the registry out as it ends
        with open(marker, "w") as f:
            f.write(TEMPLATE_FORMAT + "\n")
        print("template prefix made in %.1f s" % (time.monotonic() - started))
    return template


def copy_prefix(template, path):
    """Replaces path with a copy of template: directories made anew, files
    hard-linked, except the few that Wine rewrites in place."""
    old = ScenarioPrefix(path)
    if os.path.isdir(path):
        old.stop()
        shutil.rmtree(path)
    shutil.copytree(template, path, symlinks=True, copy_function=os.link,
                    ignore=lambda folder, names: [n for n in names if n in TEMPLATE_ONLY_FILES]
                    if folder == template else [])
    for name in PRIVATE_FILES:
        private_copy(os.path.join(path, name))
    windows = os.path.join(path, "drive_c", "windows")
    for name in os.listdir(windows):
        if os.path.isfile(os.path.join(windows, name)):
            private_copy(os.path.join(windows, name))


def private_copy(path):
    """Turns a hard link into a file of its own."""
    if not os.path.exists(path):
        return
    temporary = path + ".copy"
    shutil.copy2(path, temporary)
    os.replace(temporary, path)


def put_file(path, data=None, source=None):
    """Writes a file of the prefix as a file of its own (never through a link
    into the template)."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if os.path.lexists(path):
        os.unlink(path)
    if source is not None:
        shutil.copyfile(source, path)
    else:
        with open(path, "wb") as f:
            f.write(data)


def server_socket(prefix):
    """Where the prefix's wineserver listens (the file exists once it does).
    Wine's server directory is /tmp/.wine-UID; Debian's Wine makes a private
    one under /tmp instead and writes its name into the prefix's "wineserver"
    file as the server starts."""
    info = os.stat(prefix.path)
    base = "/tmp/.wine-%d" % os.getuid()
    try:
        with open(os.path.join(prefix.path, "wineserver")) as f:
            base = os.path.join("/tmp", f.read().strip())
    except FileNotFoundError:
        pass
    return os.path.join(base, "server-%x-%x" % (info.st_dev, info.st_ino), "socket")


def kill_prefix_processes(prefix):
    """SIGKILL to every process of the prefix, the wineserver included."""
    for pid in prefix_processes(prefix):
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass


def watchdog(prefix_path, parent):
    """The --watchdog mode: waits for the harness (pid parent) to die, then
    kills what is left of the prefix. Wine's processes do not end when their
    wineserver is killed, so a harness killed at a test's time-out would
    otherwise leave them running."""
    got_signal = []
    signal.signal(signal.SIGTERM, lambda signum, frame: got_signal.append(signum))
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_PDEATHSIG = 1
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)  # sent when the parent dies
    if os.getppid() == parent:
        while not got_signal:
            signal.pause()
    kill_prefix_processes(ScenarioPrefix(prefix_path))
    return 0


@contextlib.contextmanager
def watched(prefix):
    """Within the block, a watchdog kills the prefix's processes if the
    harness dies without cleaning up."""
    dog = subprocess.Popen(
        [sys.executable, os.path.abspath(__file__), "--watchdog", prefix.path, str(os.getpid())],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        yield
    finally:
        dog.kill()
        dog.wait()


@contextlib.contextmanager
def persistent_server(prefix, timeout=60):
    """One wineserver for the prefix from here to the end of the block;
    every Wine process of the prefix is gone when the block is left."""
    server = subprocess.Popen(
        [prefix.wineserver, "--foreground", "--persistent"], env=prefix.env(),
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + timeout
        while not os.path.exists(server_socket(prefix)):
            if server.poll() is not None:
                raise WineError("wineserver ended at once (status %s)" % server.returncode)
            if time.monotonic() > deadline:
                raise WineError("wineserver did not open %s" % server_socket(prefix))
            time.sleep(0.01)
        yield server
    finally:
        prefix.stop()  # wineserver -k, then -w
        try:
            server.wait(timeout=30)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


# ---------------------------------------------------------------- processes


def prefix_processes(prefix):
    """{pid: command line} of the live Unix processes that belong to the
    prefix (by WINEPREFIX in their environment)."""
    wanted = b"WINEPREFIX=" + os.fsencode(prefix.path)
    found = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name, "rb") as f:
                state = f.read().rsplit(b")", 1)[1].split()[0]
            if state in (b"Z", b"X"):
                continue
            with open("/proc/%s/environ" % name, "rb") as f:
                if wanted not in f.read().split(b"\0"):
                    continue
            with open("/proc/%s/cmdline" % name, "rb") as f:
                found[int(name)] = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
        except (OSError, IndexError):
            continue
    return found


def user_processes(prefix):
    """The prefix's processes other than the wineserver and Wine's own
    services, e.g. a helper still running or Wine's session-end wineboot."""
    left = {}
    for pid, command in prefix_processes(prefix).items():
        first = command.split(" ")[0].lower()
        name = first.replace("\\", "/").rsplit("/", 1)[-1]
        if name.startswith("wineserver") or name in WINE_SYSTEM_PROCESSES:
            continue
        left[pid] = command
    return left


def wait_until_settled(prefix, timeout=60):
    """Waits until every program the session started has ended: the session
    is over only when nothing of it runs any more (a real restart would end
    them all)."""
    deadline = time.monotonic() + timeout
    while True:
        left = user_processes(prefix)
        if not left:
            return
        if time.monotonic() > deadline:
            raise WineError("still running after the session: %s" % left)
        time.sleep(0.02)


def cpu_seconds(pid):
    """utime + stime of a process, in seconds."""
    with open("/proc/%d/stat" % pid, "rb") as f:
        fields = f.read().rsplit(b")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class WaitMeter(threading.Thread):
    """Measures the processor time netrevive.exe spends while a slow helper
    runs: samples the program's utime + stime every 20 ms and notes the
    samples at which the helper's "begin" and "end" lines appear in the log.
    (Sampling, not synchronisation: the harness waits on nothing here.)"""

    def __init__(self, prefix, log_path, action, server_pid):
        super().__init__(daemon=True)
        self.prefix = prefix
        self.server_pid = server_pid  # the wineserver's time is noted too
        self.log_path = log_path
        self.begin_mark = "begin\t"
        self.end_mark = "end\t"
        self.action = "\taction=%s\t" % action
        self.stopping = threading.Event()
        self.pid = None
        # (time, netrevive.exe's and the wineserver's processor seconds) at
        # the samples where the helper's begin and end lines were first seen.
        self.begin = None
        self.end = None
        self.error = None

    def _helper_lines(self):
        try:
            with open(self.log_path, encoding="latin-1") as f:
                lines = f.read().splitlines()
        except OSError:
            return False, False
        mine = [line for line in lines if self.action in line + "\t"]
        return (any(line.startswith(self.begin_mark) for line in mine),
                any(line.startswith(self.end_mark) for line in mine))

    def run(self):
        try:
            while not self.stopping.is_set() and self.end is None:
                if self.pid is None:
                    for pid, command in prefix_processes(self.prefix).items():
                        if "netrevive.exe" in command.lower():
                            self.pid = pid
                if self.pid is not None:
                    try:
                        cpu = cpu_seconds(self.pid)
                    except OSError:
                        cpu = None
                    began, ended = self._helper_lines()
                    now = time.monotonic()
                    if cpu is not None and began and self.begin is None:
                        self.begin = (now, cpu, cpu_seconds(self.server_pid))
                    if cpu is not None and ended and self.begin is not None:
                        self.end = (now, cpu, cpu_seconds(self.server_pid))
                time.sleep(0.02)
        except Exception as error:  # reported by the scenario
            self.error = error


# ----------------------------------------------------------------- sessions


class Session:
    """One run of the program on a console: how it was started, what it
    printed, how it ended."""

    def __init__(self, header, result, log_before, log_after, mode="start"):
        self.header = header
        self.mode = mode  # "start" (the user's) or "runonce" (Windows')
        self.result = result
        self.new_log = log_after[len(log_before):]
        self.restart = any(
            line.startswith("begin\t") and "\taction=RnaReboot\t" in line for line in self.new_log)
        self.session_end = bool(EXIT_WINDOWS_CALL.search(result.wine_log))
        self.closed = CLOSE_MARK in result.transcript

    def transcript(self):
        out = bytearray(self.header)
        out += self.result.transcript.replace(b"\r\n", b"\n")
        # A program whose window was closed has no exit status of its own
        # (Wine gives the killed process one); its transcript ends with the mark.
        exits = [line for line in self.new_log if line.startswith(("exit\t", "failed\t"))
                 and not self.closed]
        for line in exits:
            out += b"<%s>\n" % line.replace("\t", " ").replace("code=", "").encode("latin-1")
        if self.restart:
            out += b"<restart requested>\n"
        if self.session_end:
            out += b"<session ended>\n"
        return bytes(out)


def read_log(prefix):
    try:
        with open(os.path.join(prefix.windows_dir, "standin.log"), encoding="latin-1") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def close_program(prefix):
    """Ends netrevive.exe at once, as Windows does when its console window is
    closed: the program can neither refuse nor finish what it was doing."""
    for pid, command in prefix_processes(prefix).items():
        if "netrevive.exe" in command.lower():
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass


def registry_written_out(prefix, restarts):
    """Windows 9x writes system.dat and user.dat out as it shuts down (and
    keeps registry changes in memory till then): after a restart the files
    hold what the runs before it changed. The registry itself is Wine's, so
    the files get a new content of their own; a backup copy made after a
    restart then differs from the copy made before the first change."""
    for name, data in (("system.dat", SYSTEM_DAT), ("user.dat", USER_DAT),
                       ("classes.dat", CLASSES_DAT)):
        if name == "classes.dat" and not os.path.exists(os.path.join(prefix.windows_dir, name)):
            continue
        put_file(os.path.join(prefix.windows_dir, name),
                 data.rstrip(b"\r\n") + b", as written out at restart %d\r\n" % restarts)


def play(prefix, session_exe, scenario, meter=None):
    """Plays the user's start and every restart; returns the sessions."""
    sessions = []
    folder = scenario.exe.rsplit("\\", 1)[0]
    prefix.extra_env = {
        "NETREVIVE_SESSION_COMMAND": scenario.command,
        "NETREVIVE_SESSION_CWD": folder + "\\" if folder.endswith(":") else folder,
    }
    if scenario.detached:
        prefix.extra_env["NETREVIVE_SESSION_DETACHED"] = "1"
    if scenario.delay:
        prefix.extra_env["NETREVIVE_STANDIN_DELAY"] = scenario.delay
    mode = "start"
    trailer = b""
    by_hand = [scenario.by_hand] if scenario.by_hand else []
    after_close = []  # the start by hand where a restart after the close ran nothing
    pauses = 0  # of the sessions before this one
    restarts = 0
    while True:
        if len(sessions) >= MAX_SESSIONS:
            raise WineError("more than %d sessions" % MAX_SESSIONS)
        before = read_log(prefix)
        if meter is not None and mode == "start":
            meter.start()
        close_at = None
        if scenario.close_at is not None and scenario.close_at > pauses:
            close_at = scenario.close_at - pauses
        result = prefix.run(session_exe, [mode], timeout=120, close_at=close_at,
                            close=lambda: close_program(prefix))
        pauses += result.pauses
        if result.timed_out:
            raise WineError("session.exe %s timed out; output so far:\n%s\nWine's log (end):\n%s"
                            % (mode, show(result.transcript),
                               result.wine_log[-3000:].decode(errors="replace")))
        wait_until_settled(prefix)
        after = read_log(prefix)
        started = [line for line in after[len(before):]
                   if line.startswith(("start\t", "runonce\t"))]
        if mode == "runonce" and not started:
            trailer += b"<RunOnce empty>\n"
            if by_hand or after_close:
                prefix.extra_env["NETREVIVE_SESSION_COMMAND"] = (by_hand or after_close).pop(0)
                mode = "start"
                continue
            break
        if len(started) != 1:
            raise WineError("one program per session expected: %s" % started)
        fields = dict(part.split("=", 1) for part in started[0].split("\t")[1:])
        if mode == "start":
            header = b"<start: %s>\n" % fields["command"].encode("latin-1")
        else:
            header = b'<RunOnce "%s": %s>\n' % (fields["name"].encode("latin-1"),
                                                 fields["command"].encode("latin-1"))
        session = Session(trailer + header, result, before, after, mode)
        trailer = b""
        sessions.append(session)
        if session.closed:
            after_close.append(DEFAULT_EXE)
        if not (session.restart or session.session_end or session.closed):
            if by_hand:
                prefix.extra_env["NETREVIVE_SESSION_COMMAND"] = by_hand.pop(0)
                mode = "start"
                continue
            break
        if len(sessions) == 1:
            for path in scenario.lose_after_first:
                os.unlink(os.path.join(prefix.windows_dir, *path))
        prefix.extra_env.pop("NETREVIVE_SESSION_DETACHED", None)
        restarts += 1
        registry_written_out(prefix, restarts)
        mode = "runonce"
    return sessions, trailer


# ------------------------------------------------------------------- checks


def log_for_comparison(lines):
    """The log as compared: without process ids, which differ from run to
    run, and with each session's "exit" line after the lines of the helpers
    the session started. A helper that is not waited for (RnaReboot) may
    write its lines before or after the program's end; which one it is, is
    checked by the scenario made for it."""
    out, tail = [], []
    for line in lines:
        line = re.sub(r"\tpid=\d+", "", line)
        if line.startswith(("start\t", "runonce\t")):
            out += tail
            tail = []
        if line.startswith(("exit\t", "failed\t")):
            tail.append(line)
        else:
            out.append(line)
    return out + tail


def parse_state(line):
    return dict(part.split("=", 1) for part in line.split("\t"))


def events(lines):
    """(kind, fields) for each log line."""
    out = []
    for line in lines:
        kind, *parts = line.split("\t")
        out.append((kind, dict(part.split("=", 1) for part in parts if "=" in part)))
    return out


def sessions_of(evs):
    """The events split at each start of the program."""
    segments = []
    for kind, fields in evs:
        if kind in ("start", "runonce") or not segments:
            segments.append([])
        segments[-1].append((kind, fields))
    return segments


def check_properties(scenario, log, state, backups, failures):
    """The properties the repair rests on, checked on the log and the end
    state whatever the expected files say."""
    evs = events(log)
    windows = r"C:\windows"
    # Every helper the program waits for ends before anything else happens:
    # its "end" line follows its "begin" line directly.
    for i, (kind, fields) in enumerate(evs):
        if kind != "begin" or fields["action"] == "RnaReboot":
            continue
        nxt = evs[i + 1] if i + 1 < len(evs) else (None, {})
        if nxt[0] != "end" or nxt[1].get("action") != fields["action"]:
            failures.append("the program did not wait for %s: next came %s"
                            % (fields["action"], nxt))
    for kind, fields in evs:
        if kind != "begin":
            continue
        action = fields["action"]
        # The Winsock2 key is gone before DUN is uninstalled.
        if action == "UninstallUpgrade":
            if fields["winsock2"] != "absent" or fields["dunfile"] != "present":
                failures.append("UninstallUpgrade found winsock2=%s dunfile=%s"
                                % (fields["winsock2"], fields["dunfile"]))
        # A restart request comes after the entry and the marker are in place,
        # or, at the end of the reinstallation, with the marker used up and
        # the Check's entry in place.
        if action == "RnaReboot":
            scheduled = (fields["runonce"].endswith(" ReinstallDUN")
                         and fields["marker"] == "REINSTALL\\n")
            finished = fields["runonce"].endswith(" Check") and fields["marker"] == "absent"
            if not (scheduled or finished):
                failures.append("RnaReboot found runonce=%s marker=%s"
                                % (fields["runonce"], fields["marker"]))
        # Command lines and working directories of the helpers.
        expected_cwd = windows + "\\system" if fields["program"].lower().endswith(
            "dunsetup.exe") else windows
        if fields["cwd"] != expected_cwd:
            failures.append("%s ran in %s, not %s" % (action, fields["cwd"], expected_cwd))
        if not fields["command"].lower().startswith(fields["program"].lower()):
            failures.append("%s: the command line %s does not start with the program %s"
                            % (action, fields["command"], fields["program"]))
        want = FIXED_HELPER_COMMANDS.get(action)
        if want is not None and fields["command"] != want:
            failures.append("%s command line: %s, not %s" % (action, fields["command"], want))
        if action == "UpgradeUninstall" and fields["program"].lower().endswith("dunsetup.exe") \
                and fields["command"] != windows + r"\system\dunsetup.exe /u":
            failures.append("dunsetup.exe command line: %s" % fields["command"])

    # With RnaReboot made slow, the program's end comes before RnaReboot's:
    # the restart helper is started, not waited for.
    if scenario.delay and "RnaReboot=" in scenario.delay:
        for segment in sessions_of(evs):
            order = [kind if kind == "exit" else kind + " " + fields.get("action", "")
                     for kind, fields in segment]
            if "end RnaReboot" in order and (
                    "exit" not in order or order.index("exit") > order.index("end RnaReboot")):
                failures.append("the program waited for RnaReboot: %s" % order)

    if scenario.uninstaller_runs is not None:
        runs = sum(1 for kind, fields in evs
                   if kind == "begin" and fields["action"] == "UpgradeUninstall")
        if runs != scenario.uninstaller_runs:
            failures.append("the upgrade's uninstaller ran %d time(s), not %d"
                            % (runs, scenario.uninstaller_runs))
    if scenario.complete:
        for name, want in (("runonce", "absent"), ("marker", "absent"), ("dunfile", "present"),
                           ("remoteaccess", "present"), ("adapter", "present"), ("rna", "1"),
                           ("msdun", "absent")):
            if state[name] != want:
                failures.append("at the end %s=%s, expected %s" % (name, state[name], want))
        # Windows' own default tree, put back by the reinstallation.
        if state["winsock2"] != "entries=3":
            failures.append("at the end winsock2=%s, expected the default tree" % state["winsock2"])
    if not scenario.touched or scenario.unchanged:
        if any(kind in ("begin", "end") for kind, _ in evs):
            failures.append("a helper ran on a machine that must stay untouched")
        if not scenario.unchanged and (state["winsock2"] != "entries=9" or
                                       state["runonce"] != "absent" or
                                       state["marker"] != "absent"):
            failures.append("the machine was changed: %s" % state)
        if any(backups.values()):
            failures.append("backup copies were made: %s" % backups)
    elif scenario.old_backups:
        for name, old in (("system.tom", OLD_SYSTEM_TOM), ("user.tom", OLD_USER_TOM)):
            if backups[name] != old:
                failures.append("%s is %r, not the earlier run's backup" % (name, backups[name]))
    else:
        for dat, source in registry_files(scenario):
            name = dat[:-4] + ".tom"
            if backups.get(name) != source:
                failures.append("%s is %r, not a copy of %s" % (name, backups[name],
                                                                name[:-4] + ".dat"))


def compare(name, got, expected_path, failures):
    try:
        with open(expected_path, "rb") as f:
            expected = f.read().replace(b"\r\n", b"\n")
    except FileNotFoundError:
        failures.append("no expected file %s" % expected_path)
        print("--- got %s\n%s" % (name, show(got)))
        return
    if got != expected:
        failures.append("%s differs from %s" % (name, expected_path))
        print("--- expected %s\n%s" % (name, show(expected)))
        print("--- got %s\n%s" % (name, show(got)))


# ------------------------------------------------------------------ scenario


def set_up_machine(prefix, scenario, options):
    for name in ["version_" + scenario.version] + scenario.machine:
        prefix._call([prefix.wine, "reg", "import", os.path.join(MACHINES, name + ".reg")])
    windows = prefix.windows_dir
    for name, data in registry_files(scenario):
        put_file(os.path.join(windows, name), data)
    if scenario.rna_inf:
        put_file(os.path.join(windows, *RNA_INF_PATH), RNA_INF)
    put_file(os.path.join(windows, "inf", "MSDUN.INF"), MSDUN_INF)
    # The Windows directory of the prefix is C:\windows; SourcePath is spelled
    # as Windows 98 writes it.
    source = r"C:\WINDOWS\OPTIONS\CABS" if scenario.setup_files == "cabs" else r"C:\WIN98"
    setup = ["REGEDIT4", "", "[%s]" % SETUP_KEY,
             '"SourcePath"="%s"' % source.replace("\\", "\\\\")]
    if scenario.temp:
        folder = scenario.temp.replace("\\", "\\\\")
        setup += ["", r"[HKEY_CURRENT_USER\Environment]", '"TEMP"="%s"' % folder,
                  '"TMP"="%s"' % folder]
    prefix.reg_import("\n".join(setup) + "\n")
    if scenario.setup_files != "none":
        put_file(os.path.join(windows, "OPTIONS", "CABS", "NET7.CAB"), CAB)
    for flag in scenario.flags:
        put_file(os.path.join(windows, flag), b"")
    if scenario.old_backups:
        put_file(os.path.join(windows, "system.tom"), OLD_SYSTEM_TOM)
        put_file(os.path.join(windows, "user.tom"), OLD_USER_TOM)
    places = {"rundll32": ["rundll32.exe"], "rundll": ["rundll.exe"],
              "dunsetup": ["system", "dunsetup.exe"]}
    for helper, where in places.items():
        target = os.path.join(windows, *where)
        if helper in scenario.helpers:
            put_file(target, source=os.path.join(options.standins, helper + ".exe"))
        elif os.path.lexists(target):
            os.unlink(target)
    for library, (where, content) in LIBRARIES.items():
        target = os.path.join(windows, *where)
        if library in scenario.libraries:
            put_file(target, content)
        elif os.path.lexists(target):
            os.unlink(target)
    put_file(prefix.unix_path(scenario.exe), source=options.exe)
    put_file(os.path.join(os.path.dirname(prefix.unix_path(scenario.exe)), "ws2_32.dll"),
             source=os.path.join(options.standins, "ws2_32.dll"))
    prefix.reg_import(WINSOCK_STANDIN_SETTINGS)
    if scenario.marker:
        put_file(os.path.join(windows, "rundunreinst.QU"), b"REINSTALL\n")


def machine_snapshot(prefix, scenario):
    """The watched registry keys as exported, and every file of the Windows
    directory and the program's folder with its content."""
    snapshot = {}
    export = os.path.join(prefix.path, "netrevive-export.reg")
    for key in WATCHED_KEYS:
        code, _ = prefix._call([prefix.wine, "reg", "export", key, export, "/y"], check=False)
        if code != 0:
            snapshot[key] = None
            continue
        with open(export, "rb") as f:
            snapshot[key] = f.read()
        os.unlink(export)
    for top in (prefix.windows_dir, os.path.dirname(prefix.unix_path(scenario.exe))):
        for folder, _, names in os.walk(top):
            for name in names:
                path = os.path.join(folder, name)
                if name == "standin.log" or not os.path.isfile(path):
                    continue
                with open(path, "rb") as f:
                    snapshot[path] = f.read()
    return snapshot


def snapshot_changes(before, after):
    """What differs between two snapshots, one line each."""
    changes = []
    for name in sorted(set(before) | set(after)):
        if before.get(name) != after.get(name):
            changes.append("%s: %s" % (name, "added" if name not in before else
                                       "removed" if name not in after else "changed"))
    return changes


def run_scenario(name, options):
    scenario = SCENARIOS[name]
    timings = {}
    started = time.monotonic()
    template = prepare_template(options.work)
    timings["template"] = time.monotonic() - started
    prefix = ScenarioPrefix(os.path.join(options.work, "prefixes", name))
    copy_prefix(template, prefix.path)
    timings["copy"] = time.monotonic() - started - timings["template"]
    session_exe = os.path.join(options.standins, "session.exe")
    failures = []
    meter = None
    if scenario.drives:
        with watched(prefix):
            prefix.add_drives(scenario.drives)
    with watched(prefix), persistent_server(prefix) as server:
        mark = time.monotonic()
        set_up_machine(prefix, scenario, options)
        timings["machine"] = time.monotonic() - mark
        if scenario.delay:
            meter = WaitMeter(prefix, os.path.join(prefix.windows_dir, "standin.log"), SLOW_ACTION,
                              server.pid)
        before = machine_snapshot(prefix, scenario) if scenario.unchanged else None
        mark = time.monotonic()
        try:
            sessions, trailer = play(prefix, session_exe, scenario, meter)
        finally:
            if meter is not None:
                meter.stopping.set()
                if meter.is_alive():
                    meter.join()
        timings["sessions"] = time.monotonic() - mark
        if before is not None:
            for change in snapshot_changes(before, machine_snapshot(prefix, scenario)):
                failures.append("the run changed the machine: " + change)
        state_line = prefix._call([prefix.wine, session_exe, "state"]).decode("latin-1").strip()
        if scenario.temp:
            # The programs of the prefix got the scenario's TEMP and TMP.
            seen = prefix._call([prefix.wine, "cmd", "/c", "echo %TEMP%;%TMP%"])
            seen = seen.decode("latin-1").strip()
            if seen != "%s;%s" % (scenario.temp, scenario.temp):
                failures.append("TEMP;TMP in the prefix are %s, not %s" % (seen, scenario.temp))
    timings["total"] = time.monotonic() - started

    log = read_log(prefix)
    state = parse_state(state_line)
    backups = {}
    for backup in ("system.tom", "user.tom", "classes.tom"):
        try:
            with open(os.path.join(prefix.windows_dir, backup), "rb") as f:
                backups[backup] = f.read()
        except FileNotFoundError:
            backups[backup] = None

    transcript = b"".join(s.transcript() for s in sessions) + trailer
    # Windows 9x's CopyFileA gives the copy the source's attributes and will
    # not overwrite a read-only or hidden file; system.dat is both. Wine
    # overwrites it anyway, so each copy must come after its target's
    # attributes were cleared (SetFileAttributesA(target, 0x80)), unless the
    # copy is made only where there is none (bFailIfExists).
    for session in sessions:
        cleared = set()
        for call in BACKUP_CALL.finditer(session.result.wine_log):
            function, path, target, fail_if_exists, attributes = call.groups()
            if function == b"SetFileAttributesA" and attributes == b"00000080":
                cleared.add(path.lower())
            elif function == b"CopyFileA" and int(fail_if_exists, 16) == 0:
                if target.lower() not in cleared:
                    failures.append("CopyFileA onto %s without its attributes cleared first"
                                    % target.decode("latin-1"))
                cleared.discard(target.lower())
    # The Check's Winsock answers come from the stand-in, never from Wine.
    for session in sessions:
        if b" Check>" in session.header and not any(
                line.startswith("winsock\taction=WSAEnumProtocolsA\t") or
                line == "winsock\taction=WSAStartup\tresult=10091"
                for line in session.new_log):
            failures.append("the Check after %s was not answered by the WS2_32.DLL stand-in"
                            % session.header.decode("latin-1").strip())
    # A repair that completes ends with the Check's verdict, its record of a
    # repair under way gone.
    if scenario.complete:
        last = sessions[-1] if sessions else None
        if last is None or b" Check>" not in last.header or \
                b"\nResult: REPAIRED." not in last.result.transcript:
            failures.append("the last run is not a Check that says REPAIRED")
        if any(name.lower() == "netrevive.qu" for name in os.listdir(prefix.windows_dir)):
            failures.append("netrevive.QU is still in the Windows directory")
    for session in sessions:
        if session.result.bare_line_ends:
            failures.append("%d line end(s) without CR after %s"
                            % (session.result.bare_line_ends, session.header.decode("latin-1")))
    record = log_for_comparison(log)
    record.append("final\t" + state_line)
    for backup, source in (("system.tom", SYSTEM_DAT), ("user.tom", USER_DAT)):
        content = backups[backup]
        record.append("file\t%s=%s" % (backup, "absent" if content is None else
                                       "copy of " + backup[:-4] + ".dat" if content == source
                                       else "the earlier run's backup"
                                       if content in (OLD_SYSTEM_TOM, OLD_USER_TOM)
                                       else "other content"))
    record_bytes = ("\n".join(record) + "\n").encode("latin-1")

    expected = scenario.expected or name
    if options.write or os.environ.get("NETREVIVE_UPDATE_TRANSCRIPTS") == "1":
        with open(os.path.join(TRANSCRIPTS, expected + ".txt"), "wb") as f:
            f.write(transcript)
        with open(os.path.join(EXPECTED, expected + ".log"), "wb") as f:
            f.write(record_bytes)
        print("wrote transcripts/%s.txt and expected/%s.log:\n%s\n%s"
              % (expected, expected, show(transcript), record_bytes.decode("latin-1")))
    else:
        compare("transcript", transcript, os.path.join(TRANSCRIPTS, expected + ".txt"), failures)
        compare("log", record_bytes, os.path.join(EXPECTED, expected + ".log"), failures)
    # session.exe start ends with 0 once it has started the program,
    # session.exe runonce with the number of RunOnce values it started.
    for session in sessions:
        want = 0 if session.mode == "start" else 1
        if session.result.exit_code != want:
            failures.append("session.exe ended with %s, not %s"
                            % (session.result.exit_code, want))
    check_properties(scenario, log, state, backups, failures)

    if meter is not None:
        if meter.error is not None:
            failures.append("the wait could not be measured: %r" % meter.error)
        elif meter.begin is None or meter.end is None:
            failures.append("the slow helper was not seen running (pid %s)" % meter.pid)
        else:
            wall = meter.end[0] - meter.begin[0]
            cpu = meter.end[1] - meter.begin[1]
            print("waiting for %s: %.2f s, netrevive.exe (pid %d) used %.3f s of processor "
                  "time, the wineserver %.3f s" % (SLOW_ACTION, wall, meter.pid, cpu,
                                                   meter.end[2] - meter.begin[2]))
            if wall < SLOW_SECONDS - 0.5:
                failures.append("the helper's %.1f s were not waited for (%.2f s)"
                                % (SLOW_SECONDS, wall))
            if cpu >= CPU_LIMIT_SECONDS:
                failures.append("netrevive.exe used %.3f s of processor time while waiting, "
                                "limit %.1f s" % (cpu, CPU_LIMIT_SECONDS))

    print("%s: %s" % (name, scenario.description))
    print("timings: " + ", ".join("%s %.1f s" % item for item in timings.items()))
    print("%d session(s); pauses %s" % (len(sessions), [s.result.pauses for s in sessions]))
    if failures:
        print("FAILED:\n  " + "\n  ".join(failures))
        return 1
    print("passed")
    return 0


def stop_on_sigterm(signum, frame):
    raise SystemExit("stopped by signal %d" % signum)  # the finally blocks still run


def main(argv):
    signal.signal(signal.SIGTERM, stop_on_sigterm)
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--work", help="folder for the template and the scenario prefixes")
    parser.add_argument("--standins", help="folder with rundll32.exe, rundll.exe, dunsetup.exe, "
                        "session.exe")
    parser.add_argument("--exe", help="netrevive.exe")
    parser.add_argument("--template-only", action="store_true")
    parser.add_argument("--write", action="store_true", help="write the expected files")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--watchdog", nargs=2, metavar=("PREFIX", "PID"), help=argparse.SUPPRESS)
    parser.add_argument("--names", action="store_true")
    parser.add_argument("scenario", nargs="?")
    options = parser.parse_args(argv)
    if options.watchdog:
        return watchdog(options.watchdog[0], int(options.watchdog[1]))
    if options.list:
        for name, scenario in SCENARIOS.items():
            print("%-18s %s" % (name, scenario.description))
        return 0
    if options.names:
        print("\n".join(SCENARIOS))
        return 0
    if not (options.work and options.standins and options.exe):
        parser.error("--work, --standins and --exe are needed")
    if options.template_only:
        prepare_template(options.work)
        return 0
    if options.scenario not in SCENARIOS:
        parser.error("unknown scenario %r (see --list)" % options.scenario)
    return run_scenario(options.scenario, options)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
