#!/usr/bin/env bash
# The command line alone (branvik-config) must load QtCore and none of Qt's GUI libraries, nor
# libgsf and GLib, which only the spreadsheet import calls: each is time that every call would
# pay at its start. Lists what the loader maps for it (ldd). Usage: cli_libraries_check.sh FILE
set -uo pipefail
program=${1:?usage: $0 branvik-config}
libraries=$(ldd "$program") || { echo "ldd $program failed"; exit 2; }
grep -q 'libQt6Core\.so' <<<"$libraries" || { echo "QtCore is not linked:"; echo "$libraries"; exit 1; }
unwanted=$(grep -E 'libQt6(Gui|Widgets|DBus|XcbQpa)|libgsf|libgobject|libgio|libX11|libxcb|libGL' <<<"$libraries")
if [ -n "$unwanted" ]; then
  echo "$program loads libraries it does not use:"
  echo "$unwanted"
  exit 1
fi
echo "$program loads $(wc -l <<<"$libraries") libraries, none of the window's"
