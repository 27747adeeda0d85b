#!/usr/bin/env python3
"""Runs netrevive.exe under Wine the way a user at a console would.

A module for the Wine tests:

  prefix = WinePrefix("build/win98/wine/prefix")
  with prefix.session("win98"):
      prefix.reg("add", r"HKLM\\System\\...", "/f")
      result = prefix.run("netrevive.exe", [])
      ...

The transcript is everything the program wrote to standard output, with the
mark PAUSE_MARK inserted where it waited for a key and each line end CR LF
written as LF. The program must end every line with CR LF, as a text-mode C
stream does on Windows: a bare LF is counted (RunResult.bare_line_ends) and
fails the run.

How a pause is found: the program reads every key with MSVCRT's _getch. Wine
is told (registry value HKCU\\Software\\Wine\\Debug\\RelayInclude) to trace
that one function, so its standard error carries a line "Call msvcrt._getch()"
at the moment the program starts waiting. Standard output is a pipe, written
by the program's own thread with a plain write before it calls _getch, so all
output that precedes the pause is already in the pipe when that line appears:
the harness drains the pipe, writes the mark, and only then sends the key.
No timing is involved. The key must come from a real console, so standard
input is a pseudo-terminal, which Wine's console host reads keys from.
"""

import contextlib
import fcntl
import os
import pty
import re
import select
import shutil
import subprocess
import tempfile
import time

PAUSE_MARK = b"<key>"
# Where the window was closed instead of a key being pressed (see run).
CLOSE_MARK = b"<window closed>\n"
GETCH_CALL = re.compile(rb"^[0-9a-f]+:Call msvcrt\._getch\(")
# What a prefix is set up with once, after wineboot: the relay trace of _getch
# that shows the pauses, and no display driver.
PREFIX_SETTINGS = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Debug]
"RelayInclude"="msvcrt._getch"

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="null"
"""
# Bumped when PREFIX_SETTINGS changes, so that older prefixes are rebuilt.
PREFIX_FORMAT = "netrevive-prefix 1"


class WineError(Exception):
    pass


BARE_LF = re.compile(rb"(?<!\r)\n")


class RunResult:
    def __init__(self, transcript, stdout, exit_code, pauses, elapsed, wine_log, timed_out):
        # stdout with PAUSE_MARK at each pause, CR LF as LF
        self.transcript = transcript.replace(b"\r\n", b"\n")
        self.stdout = stdout  # stdout alone, as written
        self.bare_line_ends = len(BARE_LF.findall(stdout))
        self.exit_code = exit_code  # the Windows exit status, None on a timeout
        self.pauses = pauses  # keys pressed
        self.elapsed = elapsed  # seconds, start to exit
        self.wine_log = wine_log  # Wine's standard error, for diagnosis
        self.timed_out = timed_out


class WinePrefix:
    """A throwaway Wine prefix, used by one process at a time."""

    def __init__(self, path, wine="wine", wineserver="wineserver", wineboot="wineboot"):
        self.path = os.path.abspath(path)
        self.wine = wine
        self.wineserver = wineserver
        self.wineboot = wineboot
        self.timings = {}

    @property
    def windows_dir(self):
        """The Unix path of C:\\windows, for placing and checking files."""
        return os.path.join(self.path, "drive_c", "windows")

    def env(self, debug="-all"):
        env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY"):
            env.pop(name, None)  # headless: no window may open anywhere
        env.update(
            WINEPREFIX=self.path,
            WINEARCH="win32",
            WINEDEBUG=debug,
            # No Mono or Gecko installer, no desktop menu entries.
            WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
            LC_ALL="C",
        )
        return env

    def _call(self, args, timeout=300, check=True):
        """Runs a Wine tool; returns its standard output, or with check=False
        its exit status and standard output. Files, not pipes, take the
        output: the Wine processes a tool starts in the background inherit
        them and would keep a pipe open."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(
                args, env=self.env(), stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                timeout=timeout,
            ).returncode
            out.seek(0)
            err.seek(0)
            if not check:
                return code, out.read()
            if code != 0:
                raise WineError(
                    "%s failed (%d): %s"
                    % (" ".join(args), code, err.read().decode(errors="replace")[-2000:])
                )
            return out.read()

    @contextlib.contextmanager
    def session(self, windows_version):
        """Holds the prefix for this process, ready and set to windows_version;
        stops every Wine process of the prefix at the end, whatever happens."""
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        with open(self.path + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            try:
                self._make_ready()
                self.set_windows_version(windows_version)
                yield self
            finally:
                self.stop()

    def _make_ready(self):
        marker = os.path.join(self.path, "netrevive-prefix")
        try:
            with open(marker) as f:
                if f.read().strip() == PREFIX_FORMAT:
                    return
        except OSError:
            pass
        # Missing, half made or of an older format: start from nothing.
        self.stop()
        shutil.rmtree(self.path, ignore_errors=True)
        started = time.monotonic()
        self._call([self.wineboot, "-i"])
        settings = os.path.join(self.path, "netrevive-settings.reg")
        with open(settings, "w") as f:
            f.write(PREFIX_SETTINGS)
        self._call([self.wine, "reg", "import", settings])
        self.stop()  # writes the registry out
        with open(marker, "w") as f:
            f.write(PREFIX_FORMAT + "\n")
        self.timings["prefix created"] = time.monotonic() - started

    def set_windows_version(self, version):
        """Sets HKCU\\Software\\Wine Version (win98, winme, win95, winxp, ...)."""
        recorded = os.path.join(self.path, "netrevive-windows-version")
        try:
            with open(recorded) as f:
                if f.read().strip() == version:
                    return
        except OSError:
            pass
        self.reg("add", r"HKCU\Software\Wine", "/v", "Version", "/d", version, "/f")
        with open(recorded, "w") as f:
            f.write(version + "\n")

    def reg(self, *args):
        """Runs Wine's reg.exe with the arguments; returns its standard output."""
        return self._call([self.wine, "reg"] + list(args)).decode("latin-1")

    def reg_import(self, text):
        """Imports registry text (REGEDIT4 format) into the prefix."""
        path = os.path.join(self.path, "netrevive-import.reg")
        with open(path, "w") as f:
            f.write(text)
        self._call([self.wine, "reg", "import", path])

    def key_exists(self, key):
        """Whether a registry key such as HKLM\\Software exists."""
        return self._call([self.wine, "reg", "query", key], check=False)[0] == 0

    def windows_path(self, unix_path):
        return self._call([self.wine, "winepath", "-w", unix_path]).decode().strip()

    def stop(self):
        """Ends the prefix's wineserver and with it every Wine process."""
        for option in ("-k", "-w"):
            subprocess.run(
                [self.wineserver, option], env=self.env(), stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            )

    def run(self, exe, args, key=b"x", timeout=120, max_pauses=50, cwd=None, close_at=None,
            close=None):
        """Runs exe with args on a console, pressing key at each pause. At the
        pause numbered close_at (1 is the first) no key is pressed: close()
        ends the program there, as closing its window does, and CLOSE_MARK
        takes the place of PAUSE_MARK."""
        master, slave = pty.openpty()
        started = time.monotonic()
        process = subprocess.Popen(
            [self.wine, exe] + list(args),
            stdin=slave,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            env=self.env(debug="+relay"),
            cwd=cwd,
        )
        os.close(slave)
        out_fd, err_fd = process.stdout.fileno(), process.stderr.fileno()
        for fd in (out_fd, err_fd, master):
            os.set_blocking(fd, False)
        transcript, stdout, log, err_line = bytearray(), bytearray(), bytearray(), bytearray()
        pauses = 0
        timed_out = False

        def read(fd):
            try:
                return os.read(fd, 65536)
            except BlockingIOError:
                return None  # nothing there just now
            except OSError:  # EIO: the console has closed its side
                return b""

        def drain_stdout():
            while True:
                data = read(out_fd)
                if not data:
                    return
                stdout.extend(data)
                transcript.extend(data)

        watched = [out_fd, err_fd, master]
        try:
            while process.poll() is None:
                if time.monotonic() - started > timeout:
                    timed_out = True
                    break
                ready, _, _ = select.select(watched, [], [], 0.2)
                if out_fd in ready:
                    drain_stdout()
                # The console sends back only the echo of keys; it is read
                # so that it never fills up, and dropped.
                if master in ready and read(master) == b"":
                    watched.remove(master)
                if err_fd not in ready:
                    continue
                chunk = read(err_fd)
                if not chunk:
                    if chunk == b"":
                        watched.remove(err_fd)
                    continue
                log.extend(chunk)
                err_line.extend(chunk)
                *lines, rest = bytes(err_line).split(b"\n")
                err_line = bytearray(rest)
                for line in lines:
                    if not GETCH_CALL.match(line):
                        continue
                    drain_stdout()
                    pauses += 1
                    if pauses == close_at:
                        transcript.extend(CLOSE_MARK)
                        close()
                        continue
                    transcript.extend(PAUSE_MARK)
                    if pauses > max_pauses:
                        raise WineError("more than %d pauses" % max_pauses)
                    os.write(master, key)
            if timed_out:
                process.kill()
            process.wait()
            drain_stdout()
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
            os.close(master)
            process.stdout.close()
            process.stderr.close()
        return RunResult(
            bytes(transcript),
            bytes(stdout),
            None if timed_out else process.returncode,
            pauses,
            time.monotonic() - started,
            bytes(log),
            timed_out,
        )


def show(data):
    """Bytes as readable lines, with line ends and other controls escaped."""
    return "\n".join(repr(line)[2:-1] for line in data.splitlines(keepends=True))
