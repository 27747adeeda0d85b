#!/bin/sh
# The layering of src/, checked on the source tree:
# - Only the Win32 platform and the Windows entry point may see Windows
#   itself: everywhere else the code runs on the simulated machine as well,
#   so a windows.h include or a _WIN32 test there is a layering fault.
# - The platform layer is below the dialogue and the repair steps: nothing in
#   src/platform/ includes a header from src/console/ or src/steps/.
# - The simulated PC (src/platform/simulated_pc/) is below the program that plays it
#   (src/rehearsal/) and the support kit (src/support_kit/), and the rehearsal program
#   is below the support kit: only its main.cc, which offers the kit's modes,
#   includes from src/support_kit/.
#   layering.sh REPO_ROOT     checks the tree under REPO_ROOT
#   layering.sh --self-test   checks that each rule finds a planted fault
if [ "$1" = "--self-test" ]; then
  tmp=$(mktemp -d) || exit 2
  trap 'rm -rf "$tmp"' EXIT
  status=0
  # plant FILE LINE: a tree whose only source is FILE holding LINE must fail.
  plant() {
    rm -rf "$tmp/src" && mkdir -p "$tmp/src/$(dirname "$1")" && echo "$2" >"$tmp/src/$1"
    if "$0" "$tmp" >/dev/null; then
      echo "self-test: '$2' in src/$1 was not found"
      status=1
    fi
  }
  plant steps/step.cc '#include <windows.h>'
  plant console/console.cc '#if defined(_WIN32)'
  plant platform/simulated_pc/machine.cc '#include "console/console.h"'
  plant platform/fixed_text.h '  #  include "steps/resume.h"'
  plant platform/win32/terminal.h '#include <steps/steps.h>'
  plant platform/simulated_pc/sim_machine.cc '#include "rehearsal/endings.h"'
  plant platform/simulated_pc/sim_presets.h '#include "support_kit/guide.h"'
  plant rehearsal/session_player.cc '#include "support_kit/prediction.h"'
  rm -rf "$tmp/src" && mkdir -p "$tmp/src/platform/win32" "$tmp/src/steps"
  echo '#include <windows.h>' >"$tmp/src/platform/win32/ok.cc"
  echo '#include "console/console.h"' >"$tmp/src/steps/ok.cc"
  mkdir -p "$tmp/src/rehearsal" "$tmp/src/support_kit"
  echo '#include "support_kit/guide.h"' >"$tmp/src/rehearsal/main.cc"
  echo '#include "rehearsal/endings.h"' >"$tmp/src/support_kit/ok.cc"
  "$0" "$tmp" >/dev/null || { echo "self-test: a tree keeping the rules was refused"; status=1; }
  [ $status -eq 0 ] && echo "layering self-test: every planted fault was found"
  exit $status
fi
root=${1:?usage: layering.sh REPO_ROOT | --self-test}
cd "$root" || exit 2
[ -d src ] || { echo "no src/ under $root" >&2; exit 2; }
status=0
hits=$(grep -rn -I -E '[Ww][Ii][Nn][Dd][Oo][Ww][Ss]\.[Hh]|_WIN32' src \
  | grep -v -E '^src/platform/win32/|^src/driver/main_win32\.cc:')
if [ -n "$hits" ]; then
  echo "windows.h or _WIN32 outside src/platform/win32/ and src/driver/main_win32.cc:"
  echo "$hits"
  status=1
fi
hits=$(grep -rn -I -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<](console|steps)/' src \
  | grep -E '^src/platform/')
if [ -n "$hits" ]; then
  echo "src/platform/ includes from src/console/ or src/steps/:"
  echo "$hits"
  status=1
fi
hits=$(grep -rn -I -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<](rehearsal|support_kit)/' src \
  | grep -E '^src/platform/')
if [ -n "$hits" ]; then
  echo "src/platform/ includes from src/rehearsal/ or src/support_kit/:"
  echo "$hits"
  status=1
fi
hits=$(grep -rn -I -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]support_kit/' src \
  | grep -E '^src/rehearsal/' | grep -v -E '^src/rehearsal/main\.cc:')
if [ -n "$hits" ]; then
  echo "src/rehearsal/ (its main.cc aside) includes from src/support_kit/:"
  echo "$hits"
  status=1
fi
[ $status -eq 0 ] && echo "layering: Windows only in src/platform/win32/ and src/driver/main_win32.cc;" \
  "src/platform/ below console/, steps/, rehearsal/ and support_kit/; rehearsal/ below support_kit/"
exit $status
