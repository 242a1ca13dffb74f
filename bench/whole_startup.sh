#!/usr/bin/env bash
# Whole-program start-up: starts the real program on an X server (Xvfb) with generated
# catalogues of 1,000, 5,000 and 20,000 entries (bench/make_catalogue: pages of 10 sub-tabs x
# 25 entries over 100 game files) and reports the time from the process start to the loading
# window's close and the peak memory (RSS) by then, each as the median of RUNS fresh processes,
# with a least-squares fit: fixed + per entry.
#
#   bench/whole_startup.sh [BUILD_FOLDER]        (default: build-test)
#   PROGRAM=path/to/branvik-configurator RUNS=5 bench/whole_startup.sh build-test
#
# PROGRAM measures another build of the program (it must honour BRANVIK_STARTUP_REPORT); the
# catalogue generator always comes from BUILD_FOLDER. Needs Xvfb (Debian: xvfb); run as root,
# the script installs it with apt-get when it is missing. Not run by the tests.
set -euo pipefail

build=${1:-build-test}
program=${PROGRAM:-$build/branvik-configurator}
generator=$build/bench/make_catalogue
runs=${RUNS:-3}
sizes=(1000 5000 20000)

for f in "$program" "$generator"; do
    [[ -x $f ]] || { echo "missing $f (build it first)" >&2; exit 1; }
done
if ! command -v Xvfb >/dev/null; then
    if [[ $(id -u) == 0 ]]; then
        echo "Xvfb is missing: installing it (apt-get install -y xvfb)" >&2
        apt-get install -y xvfb >/dev/null
    else
        echo "Xvfb is missing: install the xvfb package" >&2
        exit 1
    fi
fi

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
for _ in $(seq 50); do [[ -S /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

printf '%8s %10s %10s\n' entries ms MiB
results=()
for n in "${sizes[@]}"; do
    root=$work/c$n
    "$generator" "$root" "$n"
    # The program finds Setting/ beside its executable.
    cp "$program" "$root/program/"
    times=() peaks=()
    for _ in $(seq "$runs"); do
        rm -rf "$work/config" "$work/report"
        start=$(date +%s%3N)
        DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$work/config \
            BRANVIK_STARTUP_REPORT=$work/report "$root/program/$(basename "$program")" \
            >/dev/null 2>&1 || true
        read -r end kib _ <"$work/report"
        times+=($((end - start)))
        peaks+=($((kib / 1024)))
    done
    ms=$(printf '%s\n' "${times[@]}" | median)
    mib=$(printf '%s\n' "${peaks[@]}" | median)
    printf '%8d %10d %10d\n' "$n" "$ms" "$mib"
    results+=("$n $ms $mib")
done

printf '%s\n' "${results[@]}" | awk '
    { n[NR]=$1; t[NR]=$2; m[NR]=$3; sn+=$1; st+=$2; sm+=$3; snn+=$1*$1; snt+=$1*$2; snm+=$1*$3 }
    END {
        k=NR; d=k*snn-sn*sn
        bt=(k*snt-sn*st)/d; at=(st-bt*sn)/k
        bm=(k*snm-sn*sm)/d; am=(sm-bm*sn)/k
        printf "fit: time %.0f ms + %.4f ms per entry; memory %.1f MiB + %.2f KiB per entry\n",
            at, bt, am, bm*1024
    }'
