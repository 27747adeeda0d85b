#!/bin/sh
# The support guide in docs/ is written by netrevive-sim from the program
# itself; it must be what the program writes today. Regenerates it into a
# temporary folder and compares.
#   guide_current.sh REPO_ROOT NETREVIVE_SIM
root=${1:?usage: guide_current.sh REPO_ROOT NETREVIVE_SIM}
sim=${2:?usage: guide_current.sh REPO_ROOT NETREVIVE_SIM}
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
"$sim" --guide "$tmp/docs" || { echo "netrevive-sim --guide failed"; exit 1; }
if ! diff -ru "$root/docs" "$tmp/docs"; then
  echo "docs/ is out of date: regenerate it with scripts/run-sim --guide docs/ and commit it"
  exit 1
fi
# Prose lines fit a printed page: at most 100 characters outside code
# blocks, except a line that is one quoted screen line (in brackets or not).
long=$(awk '/^```/ { code = !code; next }
  !code && length($0) > 100 && $0 !~ /^ *(\((after|then) )?<code>[^<]*<\/code>\)?(<br>)? *$/ { print FILENAME ":" FNR ": " $0 }' \
  "$root/docs/support-guide.md")
if [ -n "$long" ]; then
  echo "$long"
  echo "docs/support-guide.md has prose lines over 100 characters"
  exit 1
fi
echo "support guide: docs/ is current"
