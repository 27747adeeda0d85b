#!/usr/bin/env python3
"""Checks the release kit that cmake/make_release.py writes.

  check_release.py kit --zip Z --image I --sums SHA256SUMS --label L
      --mdir MDIR --mcopy MCOPY --extract DIR NAME=FILE...
        the zip and the floppy image hold exactly the files NAME, in that
        order, equal to FILE; the image is a 1.44 MB FAT12 floppy labelled L;
        SHA256SUMS gives both their right sums. The files read back are
        written to DIR/zip/ and DIR/image/.
  check_release.py readme --version V FILE
        ASCII, CRLF line ends only, at most 76 columns, no tabs, the version
        named and no placeholder left
  check_release.py version --version V EXE
        the VERSIONINFO resource gives version V
  check_release.py same --cmake CMAKE --source-dir S --reference DIR
      --build-dir B --toolchain T --build-type BT --generator G
        builds the release again from scratch in B (another folder, later,
        another time zone and umask) and compares release/ and release-files/
        byte for byte with those of the build folder DIR

Output and exit status as in tests/exe/check_exe.py: one line per finding,
exit 1 when there is any; --expect-findings PATTERN... -- turns it round.
"""

import argparse
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "exe"))
import check_exe  # noqa: E402  (the findings and exit status the executable checks use)

FLOPPY_SIZE = 1474560
MAX_COLUMNS = 76


def read(path):
    with open(path, "rb") as f:
        return f.read()


def expected_files(pairs):
    files = []
    for pair in pairs:
        name, _, path = pair.partition("=")
        files.append((name, path, read(path)))
    return files


def compare_listing(where, names, files):
    want = [name for name, _, _ in files]
    if names == want:
        return []
    return ["%s holds %s, expected %s" % (where, ", ".join(names) or "nothing", ", ".join(want))]


def save(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def check_kit(args, say):
    files = expected_files(args.files)
    findings = []

    with zipfile.ZipFile(args.zip) as z:
        names = z.namelist()
        say("zip %s: %s" % (os.path.basename(args.zip), ", ".join(names)))
        findings += compare_listing("the zip", names, files)
        for name, path, data in files:
            if name in names:
                got = z.read(name)  # checks the CRC too
                if got != data:
                    findings.append("%s in the zip differs from %s" % (name, path))
                save(os.path.join(args.extract, "zip"), name, got)

    image = read(args.image)
    fs_type, label = image[54:62], image[43:54]
    say("image %s: %d bytes, %r, label %r" % (os.path.basename(args.image), len(image), fs_type, label))
    if len(image) != FLOPPY_SIZE or fs_type != b"FAT12   ":
        findings.append("the image is no 1.44 MB FAT12 floppy")
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1")

    def run(*words):
        return subprocess.run(words, env=env, capture_output=True, text=True, check=True).stdout

    listing = run(args.mdir, "-a", "-i", args.image, "::/")
    if "Volume in drive : is %s " % args.label not in listing or label != args.label.ljust(11).encode():
        findings.append("the image's volume label is not %s" % args.label)
    names = [line[len("::/") :] for line in run(args.mdir, "-b", "-a", "-i", args.image, "::/").split()]
    say("image files: %s" % ", ".join(names))
    findings += compare_listing("the image", names, files)
    out = os.path.join(args.extract, "image")
    os.makedirs(out, exist_ok=True)
    for name, path, data in files:
        if name in names:
            target = os.path.join(out, name)
            run(args.mcopy, "-n", "-i", args.image, "::/" + name, target)
            if read(target) != data:
                findings.append("%s on the image differs from %s" % (name, path))

    sums = {}
    for line in read(args.sums).decode("latin-1").splitlines():
        written = re.fullmatch(r"([0-9a-f]{64})  (\S+)", line)
        if not written:
            findings.append("SHA256SUMS is not in sha256sum's format: %r" % line)
            break
        sums[written.group(2)] = written.group(1)
    for path in (args.zip, args.image):
        name = os.path.basename(path)
        if sums.pop(name, None) != hashlib.sha256(read(path)).hexdigest():
            findings.append("SHA256SUMS has no right sum for %s" % name)
    findings += ["SHA256SUMS names %s too" % name for name in sums]
    return findings


def check_readme(args, say):
    data = read(args.file)
    findings = []
    if any(b > 0x7E or (b < 0x20 and b not in (0x0D, 0x0A)) for b in data):
        findings.append("not ASCII: a byte outside the printable characters (or a tab)")
    if re.search(rb"(?<!\r)\n", data):
        findings.append("a bare LF line end")
    if re.search(rb"\r(?!\n)", data):
        findings.append("a bare CR")
    if not data.endswith(b"\r\n"):
        findings.append("the last line has no line end")
    lines = data.split(b"\r\n")
    for number, line in enumerate(lines, 1):
        if len(line) > MAX_COLUMNS:
            findings.append("line %d has %d columns" % (number, len(line)))
    if re.search(rb"@[A-Z_]+@", data):
        findings.append("a placeholder left unfilled")
    if ("version %s" % args.version).encode() not in data:
        findings.append("the version %s is not named" % args.version)
    say("%s: %d bytes, %d lines" % (os.path.basename(args.file), len(data), len(lines) - 1))
    return findings


def check_version(args, say):
    data = read(args.exe)
    numbers = [int(n) for n in args.version.split(".")] + [0]
    findings = []
    # VS_FIXEDFILEINFO: signature, structure version, then file and product
    # versions as major<<16|minor, patch<<16|build.
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return ["no VERSIONINFO resource"]
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", data, at + 8)
    say("fixed file info: file %08x %08x, product %08x %08x" % (file_ms, file_ls, product_ms, product_ls))
    want = (numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3])
    if (file_ms, file_ls) != want or (product_ms, product_ls) != want:
        findings.append("the fixed file and product versions are not %s" % args.version)
    for key in ("FileVersion", "ProductVersion"):
        entry = (key + "\0").encode("utf-16-le")
        # A String entry: length, value length in characters, type, the key,
        # then the value on the next 4-byte boundary of the entry.
        start = data.find(entry) - 6
        if start < 0:
            findings.append("no %s string" % key)
            continue
        (characters,) = struct.unpack_from("<H", data, start + 2)
        at = start + (6 + len(entry) + 3) // 4 * 4
        value = data[at : at + 2 * characters].decode("utf-16-le").rstrip("\0")
        say("%s %r" % (key, value))
        if value != args.version:
            findings.append("%s is %r, not %s" % (key, value, args.version))
    return findings


def check_same(args, say):
    shutil.rmtree(args.build_dir, ignore_errors=True)
    # Another folder, a later time, another time zone and umask: none of them
    # may show in the files.
    env = dict(os.environ, TZ="NZST-12NZDT")
    env.pop("SOURCE_DATE_EPOCH", None)
    os.umask(0o027)
    configure = [args.cmake, "-S", args.source_dir, "-B", args.build_dir, "-G", args.generator]
    configure += ["-DCMAKE_TOOLCHAIN_FILE=" + args.toolchain, "-DCMAKE_BUILD_TYPE=" + args.build_type]
    for command in (configure, [args.cmake, "--build", args.build_dir, "--target", "release", "-j2"]):
        done = subprocess.run(command, env=env, capture_output=True, text=True)
        if done.returncode != 0:
            print(done.stdout + done.stderr)
            return ["%s failed" % " ".join(command[:2])]
    findings = []
    for folder in ("release", "release-files"):
        names = sorted(os.listdir(os.path.join(args.reference, folder)))
        made = sorted(os.listdir(os.path.join(args.build_dir, folder)))
        if made != names:
            findings.append("the second build made %s in %s/" % (", ".join(made), folder))
        for name in names:
            first = read(os.path.join(args.reference, folder, name))
            second = os.path.join(args.build_dir, folder, name)
            same = os.path.exists(second) and read(second) == first
            say("%s/%s %s (%d bytes)" % (folder, name, "same" if same else "DIFFERS", len(first)))
            if not same:
                findings.append("%s/%s differs between the two builds" % (folder, name))
    if not findings:
        shutil.rmtree(args.build_dir, ignore_errors=True)
    return findings


def parse(argv):
    expected, argv = check_exe.split_expected(argv)
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="check", required=True)
    p = sub.add_parser("kit")
    for option in ("zip", "image", "sums", "label", "mdir", "mcopy", "extract"):
        p.add_argument("--" + option, required=True)
    p.add_argument("files", nargs="+", metavar="NAME=FILE")
    p.set_defaults(run=check_kit)
    p = sub.add_parser("readme")
    p.add_argument("--version", required=True)
    p.add_argument("file")
    p.set_defaults(run=check_readme)
    p = sub.add_parser("version")
    p.add_argument("--version", required=True)
    p.add_argument("exe")
    p.set_defaults(run=check_version)
    p = sub.add_parser("same")
    for option in ("cmake", "source-dir", "reference", "build-dir", "toolchain", "build-type", "generator"):
        p.add_argument("--" + option, required=True)
    p.set_defaults(run=check_same)
    return expected, parser.parse_args(argv)


def main(argv):
    expected, args = parse(argv)
    return check_exe.report(args.run(args, print), expected)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
