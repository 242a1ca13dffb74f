#!/usr/bin/env bash
# Starts the zip's program under Wine as a user would: in a window (the "windows" platform on an
# X display) with the example catalogue and game folder, and from the command line (--get, --set,
# --apply-tweak, --changes, --undo-last) on a copy of the example game folder. With the Linux
# build's program given, it runs the same commands there and every output, exit code and byte of
# the game folder must be the same; without it, the results are checked against what the example
# files hold.
#
#   tests/windows/smoke_test.sh ZIP [LINUX_PROGRAM]
set -uo pipefail
zip=$1
linux=${2:-}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run=$repo/tools/wine-run.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

unzip -q "$zip" -d "$work/zip" || { echo "FAIL: the zip does not unpack"; exit 1; }
program=$(find "$work/zip" -maxdepth 2 -name branvik-configurator.exe)
[ -f "$program" ] || { echo "FAIL: no branvik-configurator.exe in the zip"; exit 1; }
unpacked=$(dirname "$program")
windows_path() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }

# --- The command line ---
tweak='; Ускорение
;> config\creatures\actor.ltx
[actor]
walk_accel             = 20.0          ; быстрее
;- jump_speed
'
printf '%s' "$tweak" | sed 's/$/\r/' | iconv -f UTF-8 -t CP1251 >"$work/fast.ltx"
commands=(
  "--get|config\\creatures\\actor.ltx|actor|run_coef"
  "--get|config\\creatures\\actor.ltx|actor|run_coef|--line"
  "--get|config\\arsenal.ltx|wpn_ak74u|fire_modes"
  "--set|config\\creatures\\actor.ltx|actor|run_coef|2.5"
  "--set|config\\creatures\\actor.ltx|actor|no_such_key|1"
  "--apply-tweak|TWEAK|--dry-run"
  "--apply-tweak|TWEAK"
  "--get|config\\creatures\\actor.ltx|actor|walk_accel|--line"
  "--changes"
  "--undo-last"
  "--changes"
)

# Runs the commands with one program on its own copy of the example game folder: each command's
# output and exit code into SIDE/out.txt.
run_side() {
  local side=$1 tweak_path=$2 gamedata=$3 settings=$4
  shift 4
  mkdir -p "$work/$side/game" "$work/$side/settings"
  cp -r "$unpacked/example-gamedata/." "$work/$side/game/"
  : >"$work/$side/raw.txt"
  local command args i
  for command in "${commands[@]}"; do
    IFS='|' read -r -a args <<<"$command"
    for i in "${!args[@]}"; do
      [ "${args[$i]}" = TWEAK ] && args[$i]=$tweak_path
    done
    # Standard output and error apart: how the two interleave in one file depends on buffering.
    local status=0
    "$@" --gamedata "$gamedata" --settings "$settings" "${args[@]}" >"$work/$side/stdout" \
      2>"$work/$side/stderr" || status=$?
    {
      echo "\$ ${command//|/ }"
      cat "$work/$side/stdout"
      echo "(standard error)"
      cat "$work/$side/stderr"
      echo "exit $status"
    } >>"$work/$side/raw.txt"
  done
  # Line ends as LF, the run's own folders by name and the time of a write as HH:MM (the two
  # sides may run in different minutes), so that both sides read alike.
  local quoted_game quoted_settings
  quoted_game=$(printf '%s' "$gamedata" | sed 's/[\\#.]/\\&/g')
  quoted_settings=$(printf '%s' "$settings" | sed 's/[\\#.]/\\&/g')
  sed -e 's/\r$//' -e "s#$quoted_game#GAME#g" -e "s#$quoted_settings#SETTINGS#g" \
      -e 's/от [0-9][0-9]:[0-9][0-9] /от HH:MM /' \
      "$work/$side/raw.txt" >"$work/$side/out.txt"
}

# Each side's tweak file has the same name: the undo's message names it.
mkdir -p "$work/windows-tweak" "$work/linux-tweak"
cp "$work/fast.ltx" "$work/windows-tweak/fast.ltx"
run_side windows "$(windows_path "$work/windows-tweak/fast.ltx")" "$(windows_path "$work/windows/game")" \
  "$(windows_path "$work/windows/settings")" "$wine_run" --timeout 120 "$program"

expect_line() {
  grep -qxF -- "$1" "$work/windows/out.txt" || fail "the command line did not print: $1"
}
if [ -n "$linux" ] && [ -x "$linux" ]; then
  cp "$work/fast.ltx" "$work/linux-tweak/fast.ltx"
  run_side linux "$work/linux-tweak/fast.ltx" "$work/linux/game" "$work/linux/settings" \
    env QT_QPA_PLATFORM=offscreen "$linux"
  if ! diff -u "$work/linux/out.txt" "$work/windows/out.txt"; then
    fail "the command line prints differently on Windows"
  fi
  if ! diff -r "$work/linux/game" "$work/windows/game"; then
    fail "the game folders differ after the same commands"
  fi
  echo "Command line: outputs, exit codes and game files the same as the Linux build's"
else
  echo "No Linux program given: the results are checked against the example files"
  expect_line "2.1"
  expect_line "run_coef               = 2.1"
  expect_line "walk_accel             = 20.0          ; быстрее"
  # The tweak's two lines are one group, undone together.
  grep -qE -- '^Отменена запись от HH:MM \(твик [^)]+\): 2 строки\.$' \
    "$work/windows/out.txt" || fail "the command line did not report the tweak's two lines undone"
  original=$unpacked/example-gamedata/config/creatures/actor.ltx
  changed=$work/windows/game/config/creatures/actor.ltx
  # After the undo of the tweak, only the --set line differs from the example. The undone
  # deletion comes back below the section's other keys, on Linux too: the lines are compared,
  # not their order (the comparison with the Linux build compares every byte).
  diff <(sed 's/^run_coef .*\r$/run_coef= 2.5\r/' "$original" | sort) <(sort "$changed") ||
    fail "actor.ltx is not the example with the one --set line"
  cmp -s "$original" "$changed.bak" || fail "the backup is not the example file"
fi
echo "--- command line on Windows:"
cat "$work/windows/out.txt"

# --- The window ---
# The example catalogue with the example game folder, as after the first start's question.
setting=$unpacked/Setting/Setting.ini
printf '[Setting]\r\nGamedata_Path=%s\\\r\n' "$(windows_path "$unpacked/example-gamedata")" >"$setting"
before=$(cd "$unpacked/example-gamedata" && find . -type f -exec md5sum {} + | sort)
# Up to two minutes for the window: Wine starts a Qt program slowly while the test suites run
# beside it on the same cores. The zip holds the "windows" platform only: the offscreen one
# that ctest's suites are given would leave the program without any.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -u
  setsid env -u QT_QPA_PLATFORM "$1" --timeout 180 "$2" >"$3/window.log" 2>&1 &
  group=$!
  shown=""
  for _ in $(seq 1 240); do
    sleep 0.5
    shown=$(xwininfo -root -tree 2>/dev/null | grep -o "\"B\.R\.A\.N\.V\.I\.K\.[^\"]*CONFIGURATOR[^\"]*\"" | head -n 1)
    [ -n "$shown" ] && break
    kill -0 "$group" 2>/dev/null || break
  done
  # Give it a moment to finish the start-up (rows, messages), then look at every window.
  [ -n "$shown" ] && sleep 3
  xwininfo -root -tree >"$3/windows.txt" 2>&1
  alive=no
  kill -0 "$group" 2>/dev/null && alive=yes
  kill -TERM -- "-$group" 2>/dev/null
  wait "$group" 2>/dev/null
  echo "$shown" >"$3/title.txt"
  echo "$alive" >"$3/alive.txt"
' smoke "$wine_run" "$program" "$work"
title=$(cat "$work/title.txt" 2>/dev/null)
if [ -z "$title" ]; then
  fail "no main window appeared"
  cat "$work/window.log"
else
  echo "Window shown: $title"
fi
[ "$(cat "$work/alive.txt" 2>/dev/null)" = yes ] || { fail "the program ended by itself"; cat "$work/window.log"; }
# A message box at the start would be a window titled like the program with no menu: the main
# window is the only top-level one of the program.
count=$(grep -c "\"B\.R\.A\.N\.V\.I\.K\." "$work/windows.txt" || true)
[ "${count:-0}" -le 1 ] || { fail "more than the main window opened at the start"; grep '"' "$work/windows.txt" | head -20; }
after=$(cd "$unpacked/example-gamedata" && find . -type f -exec md5sum {} + | sort)
[ "$before" = "$after" ] || fail "the start changed the example game folder"

exit $failed
