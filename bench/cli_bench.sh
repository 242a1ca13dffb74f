#!/usr/bin/env bash
# What the command line costs, as fresh processes (medians of RUNS, bench/process_cost):
#  1. one call on the example game folder: --version, --get and --set against a plain cat of the
#     file they read;
#  2. --set of one key in a large game-like file (bench/make_game_file: Windows-1251, CRLF, long
#     Russian comments; 50 and 200 MB) against a plain cp of the file, with the peak memory
#     against the file's size. The first --set into a file also makes its backup (a copy), so
#     it is shown apart; the others find the backup there.
# CPU is user + system time of the process; the machine's load is printed before and after, so
# compare ratios rather than absolute times.
#
#   bench/cli_bench.sh [BUILD_FOLDER]              (default: build-test)
#   BEFORE=/path/to/old/branvik-configurator bench/cli_bench.sh build-test
#
# Measures BUILD_FOLDER's branvik-config and branvik-configurator (its window's executable run
# with arguments), and the program named by BEFORE (another build) in the same run. RUNS
# (default 7), SIZES (default "50 200", in MB) and BENCH_DIR (the scratch folder's parent,
# default /tmp; the large files need about 3 x SIZES x programs of space) can be set. Not run by
# the tests.
set -euo pipefail

build=${1:-build-test}
runs=${RUNS:-7}
sizes=${SIZES:-"50 200"}
cost=$build/bench/process_cost
make=$build/bench/make_game_file
examples=$(cd "$(dirname "$0")/../examples" && pwd)

labels=(config window)
paths=("$build/branvik-config" "$build/branvik-configurator")
if [[ -n ${BEFORE:-} ]]; then
    labels+=(before)
    paths+=("$BEFORE")
fi
for f in "$cost" "$make" "${paths[@]}"; do
    [[ -x $f ]] || { echo "missing $f (build it first)" >&2; exit 1; }
done

work=$(mktemp -d "${BENCH_DIR:-/tmp}/branvik-cli-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "load average before: $(load) ($(nproc) cores); runs: $runs"

# One game folder and settings folder per program, so each makes its own backups and history.
folders() { # program index -> "--settings S --gamedata G"
    echo "--settings $work/p$1/set --gamedata $work/p$1/gd"
}
for i in "${!labels[@]}"; do
    mkdir -p "$work/p$i/set"
    cp -r "$examples/gamedata" "$work/p$i/gd"
    printf '[Setting]\r\nDouble=0\r\n' >"$work/p$i/set/Setting.ini"
done

measure() { # label command... -> one line of process_cost; one run first to warm the caches
    "$cost" 1 warm "${@:2}" >/dev/null
    "$cost" "$runs" "$@"
}

echo
echo "== One call (CPU ms median / least, wall ms median, peak KiB median, exit code)"
file='config\creatures\actor.ltx'
measure cat cat "$work/p0/gd/config/creatures/actor.ltx"
for i in "${!labels[@]}"; do
    p=${paths[$i]} l=${labels[$i]}
    # shellcheck disable=SC2046
    measure "$l:--version" "$p" --version
    # shellcheck disable=SC2046
    measure "$l:--get" "$p" $(folders "$i") --get "$file" actor run_coef
    # shellcheck disable=SC2046
    measure "$l:--set" "$p" $(folders "$i") --set "$file" actor run_coef '{alt}'
done

echo
echo "== --set of one key in a large file (same columns; ratio: CPU / cp's CPU, peak / file)"
for mb in $sizes; do
    "$make" "$work/game.ltx" "$mb"
    bytes=$(stat -c %s "$work/game.ltx")
    echo "-- $mb MB ($bytes bytes), load $(load)"
    base=$("$cost" 1 warm cp "$work/game.ltx" "$work/copy.ltx" >/dev/null &&
           "$cost" "$runs" cp cp "$work/game.ltx" "$work/copy.ltx")
    echo "$base"
    rm -f "$work/copy.ltx"
    base_cpu=$(cut -d' ' -f2 <<<"$base")
    base_wall=$(cut -d' ' -f4 <<<"$base")
    for i in "${!labels[@]}"; do
        [[ ${labels[$i]} == window ]] && continue # the same core code as config, with Qt's GUI loaded
        p=${paths[$i]} l=${labels[$i]}
        cp "$work/game.ltx" "$work/p$i/gd/config/game.ltx"
        rm -f "$work/p$i/gd/config/game.ltx.bak"
        for what in first more; do
            n=$runs value='{alt}'
            [[ $what == first ]] && n=1 value=5
            # shellcheck disable=SC2046
            line=$("$cost" "$n" "$l:--set($what)" "$p" $(folders "$i") \
                   --set 'config\game.ltx' item_1 cost "$value")
            awk -v b="$bytes" -v c="$base_cpu" -v w="$base_wall" '{
                printf "%s   cpu %.1fx cp, wall %.1fx cp, peak %.2fx the file\n",
                       $0, $2 / c, $4 / w, $5 * 1024 / b }' <<<"$line"
        done
        rm -f "$work/p$i/gd/config/game.ltx" "$work/p$i/gd/config/game.ltx.bak"
    done
    rm -f "$work/game.ltx"
done
echo
echo "load average after: $(load)"
