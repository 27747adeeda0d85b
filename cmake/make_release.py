#!/usr/bin/env python3
"""Writes the release kit: what a PC without networking receives.

  make_release.py --source-dir DIR --version X.Y.Z --exe netrevive.exe
      --readme README.TXT.in --files-dir DIR --out-dir DIR
      --mformat PATH --mcopy PATH

writes NETREVIVE.EXE and README.TXT (the version filled in, CRLF line ends)
into --files-dir, and into --out-dir (emptied first):

  netrevive-X.Y.Z.zip   the two files
  netrevive-X.Y.Z.img   a 1.44 MB FAT12 floppy image, volume label NETREVIVE,
                        with the two files (made with mtools, no mount)
  SHA256SUMS            the SHA-256 of both, as sha256sum writes them

Two runs on the same commit give the same bytes: every time stored in the
zip and the image is the commit's time, the image's volume serial is made
from it too, and the zip entries have a fixed order and fixed attributes.
The time is the committer time of HEAD in the source folder; outside a git
checkout, SOURCE_DATE_EPOCH; without either, 1980-01-01 00:00:00 UTC, the
earliest time both formats can hold.
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import time
import zipfile

# The names on the zip and the floppy, in this order.
EXE_NAME = "NETREVIVE.EXE"
README_NAME = "README.TXT"
RESTORE_NAME = "restore-procedure.txt"
LABEL = "NETREVIVE"
EARLIEST = 315532800  # 1980-01-01 00:00:00 UTC


def release_time(source_dir):
    def git(*words):
        return subprocess.run(
            ["git", "-C", source_dir] + list(words), capture_output=True, text=True, check=True
        ).stdout.strip()

    try:
        # Only the source folder's own checkout counts, not one it was unpacked into.
        if os.path.realpath(git("rev-parse", "--show-toplevel")) == os.path.realpath(source_dir):
            return max(int(git("log", "-1", "--format=%ct", "HEAD")), EARLIEST), "the commit"
    except (OSError, subprocess.CalledProcessError, ValueError):
        pass
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if epoch.isdigit():
        return max(int(epoch), EARLIEST), "SOURCE_DATE_EPOCH"
    return EARLIEST, "no commit and no SOURCE_DATE_EPOCH"


def readme_text(template, version):
    # The restore procedure is written once, in restore-procedure.txt beside
    # the template; the support guide quotes the same file.
    with open(os.path.join(os.path.dirname(template), RESTORE_NAME), "r", encoding="ascii") as f:
        restore = f.read()
    with open(template, "r", encoding="ascii") as f:
        text = f.read().replace("@PROJECT_VERSION@", version)
    text = text.replace("@RESTORE_PROCEDURE@\n", restore)
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("ascii")


def write_zip(path, files, epoch):
    # Two-second steps, as the zip format stores them, in UTC.
    stamp = time.gmtime(epoch - epoch % 2)[:6]
    with zipfile.ZipFile(path, "w") as z:
        for name, data in files:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS, whatever system builds it
            info.external_attr = 0x20  # the archive attribute, as DOS sets it
            z.writestr(info, data, compresslevel=9)


def write_image(path, files_dir, names, epoch, mformat, mcopy):
    # mtools takes its times from SOURCE_DATE_EPOCH and stores them as local
    # time: UTC makes them the same on every build machine. The settings a
    # user's mtools configuration could change are fixed here too.
    env = dict(os.environ)
    env.update(
        SOURCE_DATE_EPOCH=str(epoch),
        TZ="UTC0",
        MTOOLS_NO_VFAT="0",
        MTOOLS_LOWER_CASE="0",
        MTOOLS_NAME_NUMERIC_TAIL="1",
    )
    serial = "%08X" % (epoch & 0xFFFFFFFF)
    subprocess.run(
        [mformat, "-i", path, "-C", "-f", "1440", "-v", LABEL, "-N", serial, "::"],
        env=env,
        check=True,
    )
    subprocess.run(
        [mcopy, "-i", path] + [os.path.join(files_dir, n) for n in names] + ["::/"],
        env=env,
        check=True,
    )


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for option in ("source-dir", "version", "exe", "readme", "files-dir", "out-dir"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--mformat", required=True)
    parser.add_argument("--mcopy", required=True)
    args = parser.parse_args(argv)

    epoch, origin = release_time(args.source_dir)
    print(
        "release %s, times %s (from %s)"
        % (args.version, time.strftime("%Y-%m-%d %H:%M:%S UTC", time.gmtime(epoch)), origin)
    )

    with open(args.exe, "rb") as f:
        exe = f.read()
    files = [(EXE_NAME, exe), (README_NAME, readme_text(args.readme, args.version))]
    os.makedirs(args.files_dir, exist_ok=True)
    for name, data in files:
        with open(os.path.join(args.files_dir, name), "wb") as f:
            f.write(data)

    shutil.rmtree(args.out_dir, ignore_errors=True)
    os.makedirs(args.out_dir)
    zip_name = "netrevive-%s.zip" % args.version
    image_name = "netrevive-%s.img" % args.version
    write_zip(os.path.join(args.out_dir, zip_name), files, epoch)
    write_image(
        os.path.join(args.out_dir, image_name),
        args.files_dir,
        [name for name, _ in files],
        epoch,
        args.mformat,
        args.mcopy,
    )

    sums = []
    for name in (zip_name, image_name):
        with open(os.path.join(args.out_dir, name), "rb") as f:
            sums.append("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), name))
    with open(os.path.join(args.out_dir, "SHA256SUMS"), "w", newline="\n") as f:
        f.writelines(sums)
    for line in sums:
        print(line, end="")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
