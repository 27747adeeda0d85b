#!/usr/bin/env python3
"""Opens the support guide's HTML page in a real browser and searches it.

  guide_browser.py CHROMIUM PAGE

Each query goes into the page's address (support-guide.html#q=...), as an
agent's bookmark or link would carry it; headless Chromium loads the page,
runs its script and dumps the DOM it rendered. The result under the search
box must name the endings the query's screen line belongs to, and only
those, and link the section that answers what the caller says or reads:
their own words, a message that wraps over two screen lines typed as one
sentence, a path on a line of its own, a progress line (its stop), a line
no simulated run prints. Every link in the result must lead to a place in
the page. The page must also stand alone: nothing in it may load another
file or the network.
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
# (query, links the result under the box must hold): what the caller says
# or reads in each situation, and the section that answers it.
ANSWERS = [
    # The caller's own words lead to the call that answers them.
    ("I+closed+it", {"#call-closed"}),
    ("it+never+restarted", {"#call-never-restarted"}),
    ("I+clicked+Cancel", {"#call-cd"}),
    ("I+ran+it+again", {"#call-ran-twice"}),
    ("undo+it", {"#call-undo"}),
    ("system+restore", {"#call-undo"}),
    ("I+switched+it+off", {"#call-closed"}),
    ("still+no+connection", {"#call-no-connection"}),
    ("recovery+CD", {"#call-recovery-cd"}),
    ("I+ran+it+last+month", {"#call-old-backups"}),
    ("asks+for+the+Windows+CD", {"#call-cd-before", "#call-cd"}),
    # The Windows-CD prompt before the first change.
    ("Please+put+the+Windows+CD+in+drive+D:", {"#ending-refused-no-setup-files"}),
    # A message over two screen lines, typed as one sentence.
    ("Reinstallation+of+RNA+has+failed.+Please+contact+the+MERX",
     {"#ending-dun-not-installed-by-setup", "#ending-reinstall-cannot-start"}),
    # A path on a line of its own: the missing upgrade uninstaller.
    ("C:%5CWINDOWS%5CSYSTEM%5CDUNSETUP.EXE",
     {"#ending-refused-program-missing", "#call-upgrade-uninstaller-missing"}),
    # A progress line leads to the stop it is on the screen at.
    ("Removing+all+Winsock2+information+from+the+registry", {"#stop-98se-1-1"}),
    # Lines only the index's own reaches, or no simulated run, print.
    ("This+could+indicate+a+problem.+Please+report+error+code:",
     {"#ending-refused-upgrade-check-failed"}),
    ("There+has+been+an+error+while+uninstalling+Dial+Up+Networking.",
     {"#ending-dun-uninstall-failed"}),
    ("If+you+reboot+the+machine+and+reinstall+DUN+everything+will+be+fine.",
     {"#ending-runonce-failed-after-dun-uninstall"}),
    ("too+long+to+schedule+its+next+run", {"#ending-reinstall-not-scheduled"}),
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


def result_links(dom):
    m = re.search(r'<div id="search-result"[^>]* data-links="([^"]*)"', dom)
    return None if m is None else set(m.group(1).split())


def check_targets(query, links, ids, findings):
    """Each link of the result leads to a place in the page. The where-table's
    rows are "stop-..." places; a page whose table has none yet is named."""
    rows_anchored = any(i.startswith("stop-") for i in ids)
    for link in sorted(links):
        if link[1:] in ids:
            continue
        if link.startswith("#stop-") and not rows_anchored:
            print("#q=%s: %s: the where-table's rows have no anchors yet" % (query, link))
            continue
        findings.append("#q=%s: the result links %s, which is nowhere in the page" %
                        (query, link))


def main():
    chromium, page = sys.argv[1], sys.argv[2]
    findings = []
    with open(page, encoding="utf-8") as f:
        html = f.read()
    # Namespace names in the pictures are names, not addresses.
    for pattern in (r'<link\b', r'\bsrc\s*=', r'@import', r'url\(', r'(?<!xmlns=")(?<!xlink=")https?://'):
        for m in re.finditer(pattern, html):
            findings.append("the page loads something: %r" % html[m.start():m.start() + 60])
    ids = set(re.findall(r'\bid="([^"]+)"', html))
    for query, wanted in ANSWERS:
        status, dom = dump(chromium, page, query)
        links = result_links(dom)
        if status != 0 or links is None:
            findings.append("#q=%s: no search result in the rendered page (status %d)" %
                            (query, status))
            continue
        for link in sorted(wanted - links):
            findings.append("#q=%s: the result does not link %s (it links: %s)" %
                            (query, link, " ".join(sorted(links))))
        check_targets(query, links, ids, findings)
        print("#q=%s: %s" % (query, " ".join(sorted(links))))
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
