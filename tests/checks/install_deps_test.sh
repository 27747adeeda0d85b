#!/usr/bin/env bash
# scripts/install-deps against a stubbed apt: an update that fails on one index, a machine with
# no package lists, and an install that resolves only when the release's own suite is preferred.
#   install_deps_test.sh REPO_ROOT
set -uo pipefail
script="$1/scripts/install-deps"
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/bin"
printf 'VERSION_CODENAME=bookworm\n' >"$tmp/os-release"

# The stubs log every apt-get call to $tmp/log. STUB_INSTALLED=yes makes every package installed;
# STUB_UPDATE=fail fails the update; STUB_INSTALL=plain|suite|never says which installs succeed.
cat >"$tmp/bin/dpkg-query" <<'STUB'
#!/bin/sh
[ "$STUB_INSTALLED" = yes ] && printf 'install ok installed'
exit 0
STUB
cat >"$tmp/bin/dpkg" <<'STUB'
#!/bin/sh
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
STUB
printf '#!/bin/sh\necho 0\n' >"$tmp/bin/id"
cat >"$tmp/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$STUB_LOG"
case "$1" in
  update) [ "$STUB_UPDATE" = fail ] && { echo "E: File has unexpected size" >&2; exit 100; }; exit 0 ;;
  install)
    case "$STUB_INSTALL" in
      plain) exit 0 ;;
      suite) case "$*" in *"-t bookworm"*) exit 0 ;; esac; exit 100 ;;
      *) exit 100 ;;
    esac ;;
esac
exit 1
STUB
chmod +x "$tmp/bin/"*

failures=0
# run NAME LISTS(yes|no) INSTALLED UPDATE INSTALL EXPECTED_STATUS EXPECTED_LOG STDERR_PATTERN
run() {
  local name=$1 lists=$2 installed=$3 update=$4 install=$5 want_status=$6 want_log=$7 pattern=$8
  rm -rf "$tmp/lists" "$tmp/log" && mkdir -p "$tmp/lists" && : >"$tmp/log"
  [ "$lists" = yes ] && : >"$tmp/lists/deb.debian.org_debian_dists_bookworm_main_binary-amd64_Packages.lz4"
  PATH="$tmp/bin:$PATH" STUB_LOG="$tmp/log" STUB_INSTALLED=$installed STUB_UPDATE=$update \
    STUB_INSTALL=$install NETREVIVE_OS_RELEASE="$tmp/os-release" NETREVIVE_APT_LISTS="$tmp/lists" \
    "$script" >"$tmp/out" 2>&1
  local status=$?
  local log
  log=$(sed -e 's/ -y -q --no-install-recommends//' -e 's/ cmake .*//' "$tmp/log" | tr '\n' '|')
  if [ "$status" -ne "$want_status" ] || [ "$log" != "$want_log" ] || { [ -n "$pattern" ] && ! grep -q -- "$pattern" "$tmp/out"; }; then
    echo "FAIL $name: status $status (want $want_status), apt calls '$log' (want '$want_log')"
    sed 's/^/  | /' "$tmp/out"
    failures=$((failures + 1))
  fi
}
run "everything installed" yes yes ok plain 0 "" ""
run "clean install" yes no ok plain 0 "apt-get update -q|apt-get install|" ""
run "failed update, lists kept" yes no fail plain 0 "apt-get update -q|apt-get install|" \
  "warning: apt-get update failed"
run "failed update, no lists" no no fail plain 1 "apt-get update -q|" "no package lists"
run "resolved with the release's suite" yes no fail suite 0 \
  "apt-get update -q|apt-get install|apt-get install -t bookworm|" "preferring the release's own suite, bookworm"
run "unresolvable" yes no ok never 1 "apt-get update -q|apt-get install|apt-get install -t bookworm|" \
  "could not be installed"
[ "$failures" -eq 0 ] && echo "install-deps: all cases pass"
exit $((failures > 0))
