#!/usr/bin/env bash
# Builds Qt 6.4.2 (Core, Gui, Widgets, Test) for 64-bit Windows from Debian's own qt6-base
# source package, the same version as the Linux Qt that serves as host Qt (moc, rcc, uic).
#
#   tools/build-qt-win64.sh [--keep-sources]
#
# Prints the path of the finished tree on stdout (everything else goes to stderr), so that
#   qt=$(tools/build-qt-win64.sh)
# works. Where the tree goes, first match wins:
#   $BRANVIK_QT_WIN64, if set (built there when missing);
#   ../shared/toolchains/qt-6.4.2-win64 beside the repository, if a complete tree is there;
#   ${XDG_CACHE_HOME:-~/.cache}/branvik-configurator/qt-6.4.2-win64 (built there when missing).
# A tree counts as complete when its stamp file exists; the stamp is written last. An
# interrupted build resumes where it stopped. The sources and the build folder are removed
# after a successful install, unless --keep-sources (or BRANVIK_QT_KEEP_SOURCES=1) is given.
# Needs the packages of tools/install-win-deps.sh; about 40 minutes on two cores.
set -euo pipefail

qt_version=6.4.2
deb_version=6.4.2+dfsg-10
stamp_name=.branvik-qt-win64-complete

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
toolchain=$repo_root/cmake/mingw-w64.cmake
keep_sources=${BRANVIK_QT_KEEP_SOURCES:-0}
jobs=${BRANVIK_QT_JOBS:-2}

for arg in "$@"; do
  case $arg in
    --keep-sources) keep_sources=1 ;;
    -h|--help) sed -n '2,17p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "build-qt-win64: unknown argument: $arg" >&2; exit 2 ;;
  esac
done

log() { echo "build-qt-win64: $*" >&2; }

shared_tree=$(cd "$repo_root/.." && pwd)/shared/toolchains/qt-$qt_version-win64
if [ -n "${BRANVIK_QT_WIN64:-}" ]; then
  prefix=$BRANVIK_QT_WIN64
elif [ -f "$shared_tree/$stamp_name" ]; then
  prefix=$shared_tree
else
  prefix=${XDG_CACHE_HOME:-$HOME/.cache}/branvik-configurator/qt-$qt_version-win64
fi
prefix=$(realpath -m "$prefix")

if [ -f "$prefix/$stamp_name" ]; then
  log "using the Qt for Windows tree in $prefix"
  echo "$prefix"
  exit 0
fi

# Everything below builds; check the tools first rather than fail half an hour in.
missing=()
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres cmake ninja perl python3 \
            apt-get dpkg-source flock; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
for file in /usr/lib/qt6/libexec/moc /usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo \
            /usr/lib/x86_64-linux-gnu/cmake/Qt6CoreTools /usr/lib/x86_64-linux-gnu/cmake/Qt6WidgetsTools; do
  [ -e "$file" ] || missing+=("$file")
done
if [ ${#missing[@]} -gt 0 ]; then
  log "missing: ${missing[*]} (run tools/install-win-deps.sh)"
  exit 1
fi
host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
if [ "${host_qt%%+*}" != "$qt_version" ]; then
  log "the host Qt must be $qt_version (qt6-base-dev is '${host_qt:-not installed}')"
  exit 1
fi

work=$prefix.build
mkdir -p "$work"
exec 9>"$work/lock"
if ! flock -n 9; then
  log "another build is running in $work; waiting for it"
  flock 9
  if [ -f "$prefix/$stamp_name" ]; then
    echo "$prefix"
    exit 0
  fi
fi
log "building Qt $qt_version for Windows into $prefix (work folder $work)"

src=$work/qt6-base-$deb_version
if [ ! -f "$src/.unpacked" ]; then
  # apt-get source needs a deb-src entry. It goes into a throwaway apt configuration so the
  # machine's own sources and package lists stay as they are.
  apt_dir=$(mktemp -d)
  trap 'rm -rf "$apt_dir"' EXIT
  mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial"
  cat >"$apt_dir/parts/debian-src.sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  # The download runs as the calling user: apt's _apt user may not enter private folders.
  apt_opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/parts"
            -o "Dir::State::Lists=$apt_dir/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
            -o APT::Sandbox::User="$(id -un)")
  apt-get "${apt_opts[@]}" -q update >&2
  rm -rf "$work/download" "$src"
  mkdir -p "$work/download"
  (cd "$work/download" && apt-get "${apt_opts[@]}" -q source --download-only "qt6-base=$deb_version") >&2
  # Unpacking applies Debian's patches (security fixes among them), as in the Linux Qt. apt has
  # checked the files against the signed index already.
  dpkg-source --no-check -x "$work/download/qt6-base_$deb_version.dsc" "$src" >&2
  # dpkg-source leaves a copy of the upstream tarball beside the unpacked tree.
  rm -rf "$work/download" "$apt_dir" "$work"/qt6-base_*.tar.*
  trap - EXIT
  touch "$src/.unpacked"
fi

# 6.4.2's windows plugin takes the DirectWrite font database whenever DirectWrite 3 is there,
# but QtGui builds that database only together with Direct2D, which is off here.
integration=$src/src/plugins/platforms/windows/qwindowsintegration.cpp
if grep -q '^#if QT_CONFIG(directwrite3)$' "$integration"; then
  sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$integration"
fi

build=$work/build
configure_args=(
  -G Ninja
  -DCMAKE_TOOLCHAIN_FILE="$toolchain"
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix"
  -DBUILD_SHARED_LIBS=ON
  # Debian keeps moc, rcc and uic in /usr/lib/qt6/libexec and the cmake packages under the
  # multiarch folder, not in /usr/lib/cmake where a cross build would look by default.
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_pkg_config=OFF
  # Only what the program uses: Core, Gui, Widgets and Test.
  -DFEATURE_network=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_androiddeployqt=OFF
  -DFEATURE_testlib=ON
  # OpenGL stays on: 6.4.2's windows platform plugin does not compile without it.
  -DFEATURE_opengl=ON
  -DFEATURE_vulkan=OFF
  -DFEATURE_direct2d=OFF
  # The +dfsg source has no wintab.h, which tablet support needs.
  -DFEATURE_tabletevent=OFF
  -DFEATURE_jpeg=ON
  -DFEATURE_zstd=OFF
  -DFEATURE_icu=OFF
  # Bundled third-party libraries: the MinGW tree has none of them.
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_doubleconversion=OFF
)
args_file=$build/.branvik-configure-args
if [ ! -f "$build/build.ninja" ] || ! printf '%s\n' "${configure_args[@]}" | cmp -s - "$args_file"; then
  rm -rf "$build"
  mkdir -p "$build"
  nice -n 10 cmake -S "$src" -B "$build" "${configure_args[@]}" >&2
  printf '%s\n' "${configure_args[@]}" >"$args_file"
fi

start=$SECONDS
nice -n 10 cmake --build "$build" --parallel "$jobs" >&2
log "build took $(( (SECONDS - start) / 60 )) minutes"

# Installed into a staging folder and moved into place with its stamp, so the tree is either
# complete or absent.
stage=$work/stage
rm -rf "$stage"
DESTDIR=$stage cmake --install "$build" >&2
printf 'Qt %s for Windows x86_64 (MinGW-w64 posix), from Debian qt6-base %s\n' \
  "$qt_version" "$deb_version" >"$stage$prefix/$stamp_name"
if [ -e "$prefix" ]; then
  if [ -f "$prefix/bin/Qt6Core.dll" ] || [ -z "$(ls -A "$prefix")" ]; then
    rm -rf "$prefix"
  else
    log "$prefix exists and is not a Qt tree of this script; leaving it, the build is in $stage$prefix"
    exit 1
  fi
fi
mkdir -p "$(dirname "$prefix")"
mv "$stage$prefix" "$prefix"
rm -rf "$stage"

if [ "$keep_sources" = 1 ]; then
  log "kept the sources and the build folder in $work"
else
  rm -rf "$work"
fi
log "done: $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix"
