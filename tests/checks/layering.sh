#!/bin/sh
# Only the Win32 platform and the Windows entry point may see Windows itself:
# everywhere else in src/ the code runs on the simulated machine as well, so a
# windows.h include or a _WIN32 test there is a layering fault.
#   layering.sh REPO_ROOT
root=${1:?usage: layering.sh REPO_ROOT}
cd "$root" || exit 2
[ -d src ] || { echo "no src/ under $root" >&2; exit 2; }
hits=$(grep -rn -I -E '[Ww][Ii][Nn][Dd][Oo][Ww][Ss]\.[Hh]|_WIN32' src \
  | grep -v -E '^src/platform/win32/|^src/driver/main_win32\.cc:')
if [ -n "$hits" ]; then
  echo "windows.h or _WIN32 outside src/platform/win32/ and src/driver/main_win32.cc:"
  echo "$hits"
  exit 1
fi
echo "layering: Windows is seen only in src/platform/win32/ and src/driver/main_win32.cc"
