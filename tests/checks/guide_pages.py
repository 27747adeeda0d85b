#!/usr/bin/env python3
"""Prints the support guide's HTML page to A4 in headless Chromium and counts
its pages, with the page's own print stylesheet.

  guide_pages.py CHROMIUM PAGE

The whole guide must fit in MAX_PAGES. The sections an agent follows on a
call - the call script, the where-table and the calls - must fit in
MAX_ANSWER_PAGES together: each from the page its heading lands on to the
page the next section's heading lands on (a page two sections share counts
for both). Chromium's PDF names each link target with the page it lands on.
Exit status 1 with one line per finding.
"""

import os
import re
import subprocess
import sys
import tempfile
import zlib


def print_pdf(chromium, page):
    with tempfile.TemporaryDirectory() as tmp:
        pdf = os.path.join(tmp, "guide.pdf")
        result = subprocess.run(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + os.path.join(tmp, "profile"), "--no-pdf-header-footer",
             "--print-to-pdf=" + pdf, "file://" + os.path.abspath(page)],
            capture_output=True, text=True, timeout=300)
        if result.returncode != 0 or not os.path.exists(pdf):
            return None
        with open(pdf, "rb") as f:
            return f.read()


def objects(pdf):
    return {int(m.group(1)): m.group(2)
            for m in re.finditer(rb"(?m)^(\d+) 0 obj\s*(.*?)endobj", pdf, re.S)}


def page_order(objs, root):
    """The page objects in reading order, from the page tree under root."""
    body = objs[root]
    if re.search(rb"/Type\s*/Page\b(?!s)", body):
        return [root]
    kids = re.search(rb"/Kids\s*\[([^\]]*)\]", body)
    order = []
    for ref in re.findall(rb"(\d+) 0 R", kids.group(1) if kids else b""):
        order += page_order(objs, int(ref))
    return order


MAX_PAGES = 25
MAX_ANSWER_PAGES = 10
ANSWER_SECTIONS = ["call-script", "where-is-the-caller-now", "calls"]


def print_scale(pdf, objs, page):
    """The size a CSS pixel prints at on the page, in points: 0.75 at full
    size (96 pixels to the inch). Chromium shrinks every page of the print
    when anything is wider than the page, so the count alone would not
    tell a short guide from a small one."""
    contents = re.search(rb"/Contents\s+(\d+) 0 R", objs[page])
    if not contents:
        return None
    head = re.search(rb"(?m)^%d 0 obj\s*<<(.*?)>>\s*stream\r?\n" % int(contents.group(1)), pdf, re.S)
    length = re.search(rb"/Length (\d+)", head.group(1))
    data = pdf[head.end():head.end() + int(length.group(1))]
    if b"/FlateDecode" in head.group(1):
        data = zlib.decompress(data)
    scale = 1.0
    # The page's first two transforms: points to device units, then the
    # layout's pixels (with the shrink, if any) to device units.
    for m in list(re.finditer(rb"([-\d.]+) 0 0 ([-\d.]+) [-\d.]+ [-\d.]+ cm", data))[:2]:
        scale *= abs(float(m.group(1)))
    return scale


def main():
    chromium, page = sys.argv[1], sys.argv[2]
    pdf = print_pdf(chromium, page)
    if pdf is None:
        print("chromium did not print %s" % page)
        return 1
    objs = objects(pdf)
    catalog = re.search(rb"/Type\s*/Catalog.*?/Pages\s+(\d+) 0 R", pdf, re.S)
    dests = re.search(rb"/Type\s*/Catalog.*?/Dests\s+(\d+) 0 R", pdf, re.S)
    if not catalog or not dests:
        print("the printed guide has no page tree or no link targets")
        return 1
    pages = page_order(objs, int(catalog.group(1)))
    findings = []
    scales = sorted({round(print_scale(pdf, objs, p) or 0, 3) for p in pages})
    if scales != [0.75]:
        findings.append("printed at %s points a pixel, not 0.75: something is wider than the "
                        "page and Chromium shrank the print" % scales)
    with open(page, encoding="utf-8") as f:
        sections = re.findall(r'<a id="([^"]+)"></a></p>\s*<h2>', f.read())
    dest_list = objs[int(dests.group(1))]
    first_page = {}
    for name in sections:
        target = re.search(rb"/" + re.escape(name.encode()) + rb"\s*\[(\d+) 0 R", dest_list)
        if target is None or int(target.group(1)) not in pages:
            findings.append("the section #%s is on no page of the printed guide" % name)
            continue
        first_page[name] = pages.index(int(target.group(1))) + 1
    answer = 0
    for name in ANSWER_SECTIONS:
        if name not in first_page:
            findings.append("no section #%s in the guide" % name)
            continue
        following = [first_page[n] for n in sections[sections.index(name) + 1:] if n in first_page]
        end = following[0] if following else len(pages)
        answer += end - first_page[name] + 1
    print("%d A4 pages in all; %s: %d" % (len(pages), ", ".join(ANSWER_SECTIONS), answer))
    if len(pages) > MAX_PAGES:
        findings.append("%d pages: more than %d" % (len(pages), MAX_PAGES))
    if answer > MAX_ANSWER_PAGES:
        findings.append("%s: %d pages, more than %d" %
                        (", ".join(ANSWER_SECTIONS), answer, MAX_ANSWER_PAGES))
    for finding in findings:
        print(finding)
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
