#!/usr/bin/env bash
# Whole-program start-up: starts the real program on an X server (Xvfb) with generated
# catalogues of 1,000, 5,000, 20,000 and 50,000 entries (bench/make_catalogue: pages of 10
# sub-tabs x 25 entries over 100 game files) and reports, as the median of RUNS fresh processes:
#   ready:  from the process start to the loading window's close (the window usable), with the
#           processor time used and the peak memory (RSS) by then;
#   values: the same once every row has its value (the program reads the rows not on screen on
#           another core after the window is shown; a build without that reports nothing here).
# Then a least-squares fit (fixed + per entry) of the processor time and the memory at ready, and
# the ratios 20k/1k and 50k/20k.
#
#   bench/whole_startup.sh [BUILD_FOLDER]        (default: build-test)
#   PROGRAMS="before=/tmp/old/branvik-configurator after=build-test/branvik-configurator" \
#       RUNS=7 bench/whole_startup.sh build-test
#   SIZES="1000 20000" bench/whole_startup.sh
#
# PROGRAMS names the builds to compare (name=path, default: the BUILD_FOLDER's program); their
# runs alternate, so a load that changes meanwhile weighs on each alike. A program must honour
# BRANVIK_STARTUP_REPORT (one line "epoch-ms peak-KiB kB cpu-ms" when ready, a second when every
# value is read). The catalogue generator always comes from BUILD_FOLDER. Needs Xvfb (Debian:
# xvfb); run as root, the script installs it with apt-get when it is missing. Not run by the
# tests.
set -euo pipefail

build=${1:-build-test}
generator=$build/bench/make_catalogue
runs=${RUNS:-5}
read -r -a sizes <<<"${SIZES:-1000 5000 20000 50000}"
read -r -a programs <<<"${PROGRAMS:-program=$build/branvik-configurator}"

for f in "$generator" "${programs[@]#*=}"; do
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

median() { sort -n | awk '{v[NR]=$1} END {if (NR) print v[int((NR+1)/2)]; else print "-"}'; }

results=$work/results
: >"$results"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for n in "${sizes[@]}"; do
    root=$work/c$n
    "$generator" "$root" "$n"
    for p in "${programs[@]}"; do
        mkdir -p "$root/${p%%=*}"
        cp -r "$root/program/Setting" "$root/${p%%=*}/"
        # The program finds Setting/ beside its executable.
        cp "${p#*=}" "$root/${p%%=*}/"
    done
    for _ in $(seq "$runs"); do
        for p in "${programs[@]}"; do
            name=${p%%=*}
            rm -rf "$work/config" "$work/report"
            start=$(date +%s%3N)
            DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$work/config \
                BRANVIK_STARTUP_REPORT=$work/report "$root/$name/$(basename "${p#*=}")" \
                >/dev/null 2>&1 || true
            # ready: time kib kB cpu; values (optional): the same
            {
                read -r end kib _ cpu || true
                line2=$(cat)
            } <"$work/report"
            read -r vend vkib _ vcpu <<<"${line2:-- - - -}"
            printf '%s %d %d %d %d %s %s %s\n' "$name" "$n" $((end - start)) "${cpu:-0}" \
                $((kib / 1024)) "$([[ $vend == - ]] && echo - || echo $((vend - start)))" \
                "${vcpu:--}" "$([[ $vkib == - ]] && echo - || echo $((vkib / 1024)))" >>"$results"
        done
    done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

printf '\n%-8s %8s | %8s %8s %6s | %8s %8s %6s\n' program entries "ready ms" "cpu ms" MiB \
    "all ms" "cpu ms" MiB
for p in "${programs[@]}"; do
    name=${p%%=*}
    for n in "${sizes[@]}"; do
        col() { awk -v p="$name" -v n="$n" -v c="$1" '$1==p && $2==n && $c!="-" {print $c}' \
            "$results" | median; }
        printf '%-8s %8d | %8s %8s %6s | %8s %8s %6s\n' "$name" "$n" "$(col 3)" "$(col 4)" \
            "$(col 5)" "$(col 6)" "$(col 7)" "$(col 8)"
    done
done | tee "$work/table"

echo
awk '
    { key=$1; n=$2; name[key]=1
      cpu[key, n]=$5; mib[key, n]=$6; wall[key, n]=$4 }
    END {
        for (k in name) {
            s=0; sn=0; st=0; sm=0; snn=0; snt=0; snm=0
            for (i in cpu) { split(i, a, SUBSEP); if (a[1] != k) continue
                x=a[2]; t=cpu[i]; m=mib[i]
                s++; sn+=x; st+=t; sm+=m; snn+=x*x; snt+=x*t; snm+=x*m }
            d=s*snn-sn*sn
            if (d == 0) continue
            bt=(s*snt-sn*st)/d; at=(st-bt*sn)/s
            bm=(s*snm-sn*sm)/d; am=(sm-bm*sn)/s
            printf "%s fit at ready: cpu %.0f ms + %.2f us per entry; memory %.1f MiB + %.2f KiB per entry\n",
                k, at, bt*1000, am, bm*1024
            if (cpu[k, 1000] > 0 && cpu[k, 20000] > 0)
                printf "%s ratios: cpu 20k/1k %.2f, wall 20k/1k %.2f", k, cpu[k, 20000]/cpu[k, 1000],
                    wall[k, 20000]/wall[k, 1000]
            if (cpu[k, 20000] > 0 && cpu[k, 50000] > 0)
                printf ", cpu 50k/20k %.2f, wall 50k/20k %.2f", cpu[k, 50000]/cpu[k, 20000],
                    wall[k, 50000]/wall[k, 20000]
            printf "\n"
        }
    }' "$work/table"
