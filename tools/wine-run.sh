#!/usr/bin/env bash
# Runs a Windows program under Wine, as a test runner or CMAKE_CROSSCOMPILING_EMULATOR would:
#
#   tools/wine-run.sh [--timeout SECONDS] [--dll-dir DIR]... [--] PROGRAM.exe [ARGUMENTS...]
#
# The program finds the Qt for Windows DLLs (the tree tools/build-qt-win64.sh reports, or
# $BRANVIK_QT_WIN64), the MinGW runtime DLLs and those in each --dll-dir. It runs in a Wine
# prefix of its own ($BRANVIK_WINEPREFIX, default ~/.cache/branvik-configurator/wine64), set up
# once, with no crash dialog and no menu entries. Wine needs an X display even for Qt's
# offscreen platform: DISPLAY is used when set, otherwise an Xvfb started by an earlier run is
# reused, or one is started and left running for the next runs.
#
# QT_* variables reach the program (Wine itself would drop them); Qt's messages go to stderr.
# The program's output is passed on when it ends, not while it runs.
# The exit code is the program's, cut to its low 8 bits as Wine passes it on (a crash with an
# access violation, 0xC0000005, ends with 5); 124 when the time limit (default 300 s, or
# $WINE_RUN_TIMEOUT) ran out; 70 when Wine reported a crash but the exit code was 0.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/branvik-configurator
limit=${WINE_RUN_TIMEOUT:-300}
dll_dirs=()

while [ $# -gt 0 ]; do
  case $1 in
    --timeout) limit=$2; shift 2 ;;
    --dll-dir) dll_dirs+=("$2"); shift 2 ;;
    --) shift; break ;;
    -*) echo "wine-run: unknown option: $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ $# -eq 0 ]; then
  echo "usage: wine-run.sh [--timeout SECONDS] [--dll-dir DIR]... [--] PROGRAM.exe [ARGUMENTS...]" >&2
  exit 2
fi
program=$1
shift
if [ ! -f "$program" ]; then
  echo "wine-run: no such program: $program" >&2
  exit 2
fi

# The Qt tree: as tools/build-qt-win64.sh looks for it, but never builds one. A program that
# needs no Qt runs without.
stamp=.branvik-qt-win64-complete
for qt in "${BRANVIK_QT_WIN64:-}" "$(cd "$repo_root/.." && pwd)/shared/toolchains/qt-6.4.2-win64" \
          "$cache/qt-6.4.2-win64"; do
  if [ -n "$qt" ] && [ -f "$qt/$stamp" ]; then
    dll_dirs+=("$qt/bin")
    break
  fi
done
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  path=$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")
  [ -f "$path" ] && dll_dirs+=("$(dirname "$path")")
done

# Wine's drive Z: is the Unix root; WINEPATH takes Windows paths.
winepath=
for dir in "${dll_dirs[@]}"; do
  dir=$(realpath -m "$dir")
  winepath+="Z:${dir//\//\\};"
done
export WINEPATH="${winepath}${WINEPATH:-}"

export WINEPREFIX=${BRANVIK_WINEPREFIX:-$cache/wine64}
export WINEARCH=win64
# Debian's wine script prefers a 32-bit loader and complains on every run that there is none.
if [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
  export WINELOADER=${WINELOADER:-$wine}
else
  wine=$(command -v wine64 || command -v wine)
fi
# No menu entries or file associations on the host; no download prompts for Mono and Gecko.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEDEBUG=${WINEDEBUG:-fixme-all}

# Wine keeps the Unix QT_* variables from Windows programs and passes WINEQT_* on as QT_*
# instead. Pass on the caller's, except those holding Unix paths and platforms that a Windows
# Qt lacks (a Wayland desktop sets QT_QPA_PLATFORM=wayland).
for name in $(compgen -e); do
  case $name in
    QT_*) ;;
    *) continue ;;
  esac
  case $name in
    QT_PLUGIN_PATH|QT_QPA_PLATFORM_PLUGIN_PATH) continue ;;
    QT_QPA_FONTDIR) export WINEQT_QPA_FONTDIR="Z:${QT_QPA_FONTDIR//\//\\}"; continue ;;
    QT_QPA_PLATFORM)
      case ${QT_QPA_PLATFORM%%:*} in
        windows|offscreen|minimal) ;;
        *) echo "wine-run: ignoring QT_QPA_PLATFORM=$QT_QPA_PLATFORM (no such platform on Windows)" >&2
           continue ;;
      esac ;;
  esac
  export "WINE$name=${!name}"
done
# The offscreen platform reads font files from a folder, by default one the Qt tree lacks.
if [ -z "${WINEQT_QPA_FONTDIR:-}" ] && [ -d /usr/share/fonts/truetype/dejavu ]; then
  export WINEQT_QPA_FONTDIR='Z:\usr\share\fonts\truetype\dejavu'
fi
# Without a console window Qt would send its messages to the debugger channel only.
export WINEQT_FORCE_STDERR_LOGGING=${WINEQT_FORCE_STDERR_LOGGING:-1}

# An X display: the caller's, else an Xvfb of an earlier run, else a new one left running.
if [ -z "${DISPLAY:-}" ]; then
  mkdir -p "$cache"
  exec 8>"$cache/xvfb.lock"
  flock 8
  display_file=$cache/xvfb.display
  if [ -f "$display_file" ]; then
    read -r number pid <"$display_file" || true
    if [ -n "${pid:-}" ] && kill -0 "$pid" 2>/dev/null && [ -S "/tmp/.X11-unix/X$number" ]; then
      export DISPLAY=:$number
    fi
  fi
  if [ -z "${DISPLAY:-}" ]; then
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # -displayfd picks a free display number and writes it once the server is ready.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" 8>&- </dev/null >/dev/null 2>&1 &
    pid=$!
    read -r -t 30 number <"$fifo" || number=
    rm -f "$fifo"
    if [ -z "$number" ]; then
      echo "wine-run: Xvfb did not start" >&2
      kill "$pid" 2>/dev/null || true
      exit 1
    fi
    echo "$number $pid" >"$display_file"
    export DISPLAY=:$number
  fi
  flock -u 8
  exec 8>&-
fi

# The prefix is made once; a crash prints a backtrace instead of waiting at a dialog.
# Delete the prefix folder to have it made anew.
if [ ! -f "$WINEPREFIX/.branvik-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 7>"$WINEPREFIX.lock"
  flock 7
  if [ ! -f "$WINEPREFIX/.branvik-ready" ]; then
    if ! { timeout 300 "$wine" wineboot -i &&
           timeout 60 "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
           timeout 60 wineserver -w; } >/dev/null 2>&1; then
      echo "wine-run: could not set up the Wine prefix $WINEPREFIX" >&2
      exit 1
    fi
    # Disabled above, it would still be started, and fail noisily, with each new wineserver.
    timeout 60 "$wine" reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunServices' \
      /v winemenubuilder /f >/dev/null 2>&1 || true
    timeout 60 wineserver -w || true
    touch "$WINEPREFIX/.branvik-ready"
  fi
  flock -u 7
  exec 7>&-
fi

# A Wine server that stays a minute after its last program ends: a start of a program then costs
# about a second instead of several (the test suites start many). The first program of a new
# server starts Wine's helper processes (services, device drivers), which keep its standard error
# for as long as the server lives; started by the program under test, they would hold the test
# runner's output pipe open for that minute, and ctest waits for it. So a new server's helpers
# are started here, by wineboot, with no output to hold. `wineserver -k0` fails when none runs.
exec 6>"$WINEPREFIX.server.lock"
flock 6
if ! wineserver -k0 >/dev/null 2>&1; then
  wineserver -p 60 </dev/null >/dev/null 2>&1 || true
  timeout 60 "$wine" wineboot </dev/null >/dev/null 2>&1 || true
fi
flock -u 6
exec 6>&-

# Helpers that the program itself starts later (the console host for a console program, the
# desktop process for the first window) inherit its standard output and error and live on with
# the server, so a pipe given to the program would stay open after it ends. The program writes
# into files instead, passed on once it has ended; a helper that keeps them open holds nothing.
# Stopped by a signal, the run still passes on what the program wrote until then.
out=$(mktemp)
err=$(mktemp)
trap 'cat "$out"; cat "$err" >&2; rm -f "$out" "$err"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
status=0
timeout --kill-after=10 "$limit" "$wine" "$program" "$@" >"$out" 2>"$err" || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "wine-run: $program did not finish within $limit s" >&2
fi
# A crash while the program ends (a thread's end after main returned) can leave the exit code 0.
if [ "$status" -eq 0 ] && grep -q '^wine: Unhandled ' "$err"; then
  echo "wine-run: $program crashed (exit code 0 notwithstanding)" >&2
  status=70
fi
exit "$status"
