#!/usr/bin/env bash
# The Debian package, tried as a user would meet it: builds it with CPack from a finished build
# folder, checks it with lintian (any error or warning fails), installs it into this machine with
# dpkg, checks that the package, both executables, its AppStream release, its change log and
# CHANGES.md name the same version, validates the installed desktop entry and AppStream
# description, starts the installed program offscreen as a user who cannot write the
# program's folder (so its settings must go to that user's own configuration folder), and
# removes the package again, checking that none of its files is left. The package is removed and
# the throwaway user deleted even when a check fails.
# Needs root (skipped with a message otherwise). Usage: tests/package_test.sh <build folder>
set -euo pipefail

build="$(cd "${1:?usage: $0 <build folder>}" && pwd)"
pkg=branvik-configurator
user=branvik-pkgtest
program=/usr/bin/branvik-configurator
program_dir=/usr/lib/branvik-configurator
run_seconds=15

if [ "$(id -u)" -ne 0 ]; then
  echo "Package test skipped: installing a package needs root."
  exit 0
fi
installed() { dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; }
if installed; then
  echo "Package test: $pkg is installed on this machine already; remove it first (dpkg -r $pkg)." >&2
  exit 1
fi

work="$(mktemp -d)"
home="$(mktemp -d)"
we_installed=0
we_created_user=0
cleanup() {
  local rc=$?
  if [ "$we_installed" = 1 ] && installed; then
    dpkg -r "$pkg" >/dev/null 2>&1 || echo "Package test: dpkg -r $pkg failed" >&2
  fi
  if [ "$we_created_user" = 1 ]; then
    userdel "$user" 2>/dev/null || true
  fi
  rm -rf "$work" "$home"
  exit "$rc"
}
trap cleanup EXIT
fail() {
  echo "Package test FAILED: $*" >&2
  exit 1
}

echo "== Package test: building the package from $build"
if ! (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") \
     >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack -G DEB"
fi
deb="$(ls "$work"/out/*.deb)"
contents="$(dpkg-deb -c "$deb")"
for f in ./usr/bin/branvik-configurator ./usr/lib/branvik-configurator/branvik-configurator \
         ./usr/bin/branvik-config ./usr/lib/branvik-configurator/branvik-config \
         ./usr/lib/branvik-configurator/Setting/Pages.ini \
         ./usr/lib/branvik-configurator/example-gamedata/config/system.ltx \
         ./usr/share/applications/branvik-configurator.desktop \
         ./usr/share/icons/hicolor/256x256/apps/branvik-configurator.png \
         ./usr/share/metainfo/org.branvik.configurator.metainfo.xml \
         ./usr/share/doc/branvik-configurator/README.md \
         ./usr/share/doc/branvik-configurator/CHANGES.md \
         ./usr/share/doc/branvik-configurator/copyright \
         ./usr/share/doc/branvik-configurator/changelog.gz \
         ./usr/share/man/man1/branvik-configurator.1.gz ./usr/share/man/man1/branvik-config.1.gz; do
  grep -q " $f\( ->\|$\)" <<<"$contents" || fail "the package lacks $f"
done
! grep -q profile-driver <<<"$contents" || fail "the package holds the test tool profile-driver"
depends="$(dpkg-deb -f "$deb" Depends)"
grep -q libqt6widgets6 <<<"$depends" || fail "computed dependencies lack Qt Widgets: $depends"
echo "   $(basename "$deb"), depends on: $depends"

echo "== Package test: lintian"
# No tag is overridden: the package is made to pass as it is.
if ! lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1; then
  cat "$work/lintian.log"
  fail "lintian reports errors or warnings"
fi
grep -E '^[EW]: ' "$work/lintian.log" && fail "lintian reports errors or warnings"

echo "== Package test: installing it"
files_before="$work/files-before"
find /usr -xdev | sort >"$files_before"
we_installed=1
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
dpkg -L "$pkg" >"$work/package-files"

desktop-file-validate /usr/share/applications/branvik-configurator.desktop ||
  fail "desktop-file-validate"
grep -qx "Exec=\"$program\"" /usr/share/applications/branvik-configurator.desktop ||
  fail "the desktop entry does not start $program"
appstreamcli validate --no-net /usr/share/metainfo/org.branvik.configurator.metainfo.xml ||
  fail "appstreamcli validate"
[ -x "$program" ] || fail "$program is not executable"
[ -x /usr/bin/branvik-config ] || fail "/usr/bin/branvik-config is not executable"

# One version everywhere: CMake's project version is what the package, --version, the AppStream
# release, the package's change log and the newest released heading of CHANGES.md say.
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")"
[ -n "$version" ] || fail "no CPACK_PACKAGE_VERSION in $build/CPackConfig.cmake"
doc=/usr/share/doc/$pkg
declare -A said=(
  [package]="$(dpkg-query -W -f='${Version}' "$pkg")"
  [--version]="$(env -i "$program" --version | sed -n 's/^BRANVIK Configurator //p')"
  [branvik-config]="$(env -i /usr/bin/branvik-config --version | sed -n 's/^BRANVIK Configurator //p')"
  [AppStream]="$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
                   /usr/share/metainfo/org.branvik.configurator.metainfo.xml | head -n 1)"
  [changelog]="$(zcat "$doc/changelog.gz" | head -n 1 | sed -n 's/^[^ ]* (\([^)]*\)).*/\1/p')"
  [CHANGES.md]="$(sed -n 's/^## \([0-9][^ ]*\) (.*$/\1/p' "$doc/CHANGES.md" | head -n 1)"
)
for where in "${!said[@]}"; do
  [ "${said[$where]}" = "$version" ] ||
    fail "$where says version '${said[$where]}', the project is $version"
done
echo "   version $version in the package, --version of both executables, AppStream, changelog.gz and CHANGES.md"

echo "== Package test: starting it as a user who cannot write $program_dir"
if ! id -u "$user" >/dev/null 2>&1; then
  useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
  we_created_user=1
fi
mkdir -m 700 "$home/runtime"
chown -R "$user:" "$home"
as_user() { setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups -- "$@"; }
if as_user test -w "$program_dir" || as_user test -w "$program_dir/Setting"; then
  fail "$user can write $program_dir"
fi
# The first start waits for the user to choose the gamedata folder: the time limit ends it.
# Ending by itself earlier is a failure unless it ends well.
set +e
timeout -k 5 "$run_seconds" setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups -- \
  env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/runtime" LANG=C.UTF-8 \
  QT_QPA_PLATFORM=offscreen "$program" \
  >"$work/run.log" 2>&1
rc=$?
set -e
if [ "$rc" -ne 124 ] && [ "$rc" -ne 0 ]; then
  cat "$work/run.log"
  fail "the installed program ended with exit code $rc"
fi
settings="$(find "$home" -name Setting.ini -o -name Pages.ini)"
if [ -z "$settings" ]; then
  cat "$work/run.log"
  find "$home" >&2
  fail "the program wrote no settings or catalogue into the user's home ($home)"
fi
echo "   settings written to: $(tr '\n' ' ' <<<"${settings//"$home"/\~}")"
[ -z "$(find "$program_dir" -newer "$work/package-files")" ] || fail "files changed in $program_dir"

echo "== Package test: removing it"
dpkg -r "$pkg" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -r"; }
we_installed=0
while read -r f; do
  # Folders that other packages share (/usr/share/icons/...) existed before and stay.
  if { [ -e "$f" ] || [ -L "$f" ]; } && ! grep -qxF "$f" "$files_before"; then
    fail "left behind after dpkg -r: $f"
  fi
done <"$work/package-files"
echo "== Package test passed"
