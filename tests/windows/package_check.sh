#!/usr/bin/env bash
# Checks the Windows zip: every DLL that the program and its plugins import is in the zip or is
# one of Windows' own; the program carries its version information (the project's version), its
# manifest (asInvoker, long-path aware, per-monitor DPI aware) and its icon.
#
#   tests/windows/package_check.sh ZIP VERSION
set -euo pipefail
zip=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
root=$(find "$work" -mindepth 1 -maxdepth 1 -type d)
objdump=x86_64-w64-mingw32-objdump

# The DLLs every Windows 10 and 11 has (the program asks for nothing newer).
system_dlls=" advapi32.dll authz.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll d2d1.dll
  d3d11.dll d3d9.dll dwmapi.dll dwrite.dll dxgi.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll
  mpr.dll netapi32.dll ntdll.dll ole32.dll oleaut32.dll opengl32.dll rstrtmgr.dll secur32.dll
  setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll userenv.dll uxtheme.dll
  version.dll winmm.dll winspool.drv ws2_32.dll wtsapi32.dll "
system_dlls=$(echo " "$system_dlls" ") # one blank between names, none at a line's end

declare -A shipped=()
while IFS= read -r -d '' file; do
  name=$(basename "$file")
  shipped[${name,,}]=1
done < <(find "$root" -type f \( -iname '*.dll' -o -iname '*.exe' \) -print0)

failed=0
checked=0
while IFS= read -r -d '' file; do
  checked=$((checked + 1))
  while read -r dll; do
    lower=${dll,,}
    if [ -n "${shipped[$lower]:-}" ] || [[ "$system_dlls" == *" $lower "* ]] ||
       [[ "$lower" == api-ms-win-* ]]; then
      continue
    fi
    echo "FAIL: ${file#"$root"/} imports $dll, which is neither in the zip nor a Windows DLL"
    failed=1
  done < <("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
done < <(find "$root" -type f \( -iname '*.dll' -o -iname '*.exe' \) -print0)
echo "Imports of $checked programs and DLLs checked"

exe=$root/branvik-configurator.exe
for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qjpeg.dll \
              Setting/Pages.ini example-gamedata/config/system.ltx doc/README.md doc/CHANGES.md \
              libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  [ -f "$root/$plugin" ] || { echo "FAIL: $plugin is missing from the zip"; failed=1; }
done

# Version strings are UTF-16 in the resources (an ASCII text with a zero byte after each
# character); the manifest is UTF-8 text.
has() { LC_ALL=C grep -q -F -a -- "$1" "$exe"; }
has16() {
  local pattern="" i
  for ((i = 0; i < ${#1}; i++)); do
    pattern+=$(printf '\\x%02x\\x00' "'${1:i:1}")
  done
  LC_ALL=C grep -q -a -P -- "$pattern" "$exe"
}
for text in "ProductVersion" "FileVersion" "$version"; do
  has16 "$text" || { echo "FAIL: the version information lacks $text"; failed=1; }
done
for text in 'level="asInvoker"' '<longPathAware' '>true</longPathAware>' 'PerMonitorV2'; do
  has "$text" || { echo "FAIL: the manifest lacks $text"; failed=1; }
done
"$objdump" -h "$exe" | grep -q '\.rsrc' || { echo "FAIL: the program has no resources"; failed=1; }

exit $failed
