#!/usr/bin/env python3
"""Opens the support guide's HTML page in a real browser and searches it.

  guide_browser.py CHROMIUM PAGE

Each query goes into the page's address (support-guide.html#q=...), as an
agent's bookmark or link would carry it; headless Chromium loads the page,
runs its script and dumps the DOM it rendered. The search result must name
the endings the query's screen line belongs to, and only those. The page
must also stand alone: nothing in it may load another file or the network.
Exit status 1 with one line per finding.
"""

import os
import re
import subprocess
import sys
import tempfile

# (query as typed in the address, endings that must be named, endings that must not)
CASES = [
    # The screen's "occured" and the caller's "occurred"; words in any case.
    ("error+occurred+removing", {"repair-record-failed", "winsock2-delete-failed"}, {"repaired"}),
    ("An+Error+Occured+While+Removing", {"repair-record-failed", "winsock2-delete-failed"},
     {"repaired"}),
    # One blank where the screen has two.
    ("winsock+2+fix+has+been+successfully+applied", {"repaired"}, {"winsock2-delete-failed"}),
    ("avialable+windows+95", {"refused-95"}, set()),
    ("available+Windows+95", {"refused-95"}, set()),
    ("affiliated+with+quillmark+university", {"winsock2-delete-failed"}, {"repaired"}),
    ("preforms", {"usage"}, set()),
    ("Performs+the+winsock2+fix", {"usage"}, set()),
]
NOTHING = "xyzzy+plugh"  # matches no line: no ending, no line


def dump(chromium, page, query):
    with tempfile.TemporaryDirectory() as profile:
        url = "file://%s#q=%s" % (os.path.abspath(page), query)
        result = subprocess.run(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--user-data-dir=" + profile, "--dump-dom", url],
            capture_output=True, text=True, timeout=120)
    return result.returncode, result.stdout


def search_result(dom):
    m = re.search(r'<div id="search-result" data-endings="([^"]*)" data-lines="(\d+)"', dom)
    if not m:
        return None, None
    return set(m.group(1).split()), int(m.group(2))


def main():
    chromium, page = sys.argv[1], sys.argv[2]
    findings = []
    with open(page, encoding="utf-8") as f:
        html = f.read()
    # Namespace names in the pictures are names, not addresses.
    for pattern in (r'<link\b', r'\bsrc\s*=', r'@import', r'url\(', r'(?<!xmlns=")(?<!xlink=")https?://'):
        for m in re.finditer(pattern, html):
            findings.append("the page loads something: %r" % html[m.start():m.start() + 60])
    for query, wanted, unwanted in CASES + [(NOTHING, set(), set())]:
        status, dom = dump(chromium, page, query)
        endings, lines = search_result(dom)
        if status != 0 or endings is None:
            findings.append("#q=%s: no search result in the rendered page (status %d)" %
                            (query, status))
            continue
        if query == NOTHING:
            if endings or lines:
                findings.append("#q=%s: %d lines and endings %s match" % (query, lines, endings))
            continue
        if lines == 0:
            findings.append("#q=%s: no line matches" % query)
        for name in sorted(wanted - endings):
            findings.append("#q=%s: ending %s not named (named: %s)" %
                            (query, name, " ".join(sorted(endings))))
        for name in sorted(unwanted & endings):
            findings.append("#q=%s: ending %s named" % (query, name))
        print("#q=%s: %d lines; %s" % (query, lines, " ".join(sorted(endings))))
    for finding in findings:
        print(finding)
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
