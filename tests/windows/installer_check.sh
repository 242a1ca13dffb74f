#!/usr/bin/env bash
# Installs the Windows installer silently under Wine into a folder of its own, checks that every
# file of the zip is installed with a Start menu entry and an entry in the installed programs,
# starts the installed program, and uninstalls it: every installed file goes, and a file the user
# left in the program's folder stays.
#
#   tests/windows/installer_check.sh SETUP ZIP
set -uo pipefail
setup=$1
zip=$2
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run=$repo/tools/wine-run.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
windows_path() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }

unzip -q "$zip" -d "$work/zip"
root=$(find "$work/zip" -mindepth 1 -maxdepth 1 -type d)
target=$work/installed
# /D must come last and be unquoted.
"$wine_run" --timeout 300 "$setup" /S "/D=$(windows_path "$target")"
status=$?
[ $status -eq 0 ] || fail "the installer ended with $status"

(cd "$root" && find . -type f | sort) >"$work/zip.txt"
(cd "$target" && find . -type f ! -name uninstall.exe | sort) >"$work/installed.txt"
diff -u "$work/zip.txt" "$work/installed.txt" || fail "the installed files are not the zip's"
[ -f "$target/uninstall.exe" ] || fail "no uninstaller"
export WINEPREFIX=${BRANVIK_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/branvik-configurator/wine64}
menu=$(find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" \
       -maxdepth 1 -name 'BRANVIK Configurator.lnk' 2>/dev/null)
[ -n "$menu" ] || fail "no Start menu entry"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\BRANVIK Configurator'
"$wine_run" --timeout 60 "$WINEPREFIX/drive_c/windows/system32/reg.exe" query "$key" /v DisplayVersion \
  >"$work/reg.txt" 2>&1 || fail "no entry in the installed programs"

version=$("$wine_run" --timeout 60 "$target/branvik-configurator.exe" --version | tr -d '\r')
[[ "$version" == "BRANVIK Configurator "* ]] || fail "the installed program does not start: $version"
echo "Installed program: $version"

echo "notes" >"$target/my-notes.txt"
# _?= runs the uninstaller where it is, and waits for it.
"$wine_run" --timeout 300 "$target/uninstall.exe" /S "_?=$(windows_path "$target")"
rm -f "$target/uninstall.exe" # it cannot delete itself when run in place
left=$(cd "$target" && find . -mindepth 1 | sort)
[ "$left" = "./my-notes.txt" ] || fail "the uninstaller left: $left"
[ -z "$(find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" -maxdepth 1 \
        -name 'BRANVIK Configurator.lnk' 2>/dev/null)" ] || fail "the Start menu entry stayed"
if "$wine_run" --timeout 60 "$WINEPREFIX/drive_c/windows/system32/reg.exe" query "$key" >/dev/null 2>&1; then
  fail "the entry in the installed programs stayed"
fi
[ $failed -eq 0 ] && echo "Installed, started and uninstalled"
exit $failed
