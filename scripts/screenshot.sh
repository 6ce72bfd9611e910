#!/usr/bin/env bash
# Starts the station under its own Xvfb, from a copy of the program folder and with a
# temporary settings folder, and writes a PNG of the screen.
#
#   scripts/screenshot.sh [options] [output.png]        (default: screenshot.png)
#     --spanish         "Spanish" on (two-language punch captions)
#     --one-icon        "Show One Icon for Clock in and Out" on
#     --keyboard        presses "Show Keyboard" before the picture is taken
#     --setting S/K=V   any other stored setting, e.g. --setting main/form5text8=Acme
#     --program DIR     the program folder to copy (default: build/program)
#     --size WxH        the screen size (default: 1024x768)
#
# Needs Xvfb, xdotool and imagemagick (scripts/install-deps.sh installs them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

program="$root/build/program"
out=screenshot.png
size=1024x768
keyboard=0
declare -a seeds=()
while [ $# -gt 0 ]; do
  case "$1" in
    --spanish) seeds+=("main/checkbox22=1") ;;
    --one-icon) seeds+=("main/checkbox3=1") ;;
    --keyboard) keyboard=1 ;;
    --setting) seeds+=("$2"); shift ;;
    --program) program="$2"; shift ;;
    --size) size="$2"; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) out="$1" ;;
  esac
  shift
done

[ -x "$program/chronotally" ] || { echo "no program at $program (run scripts/build.sh)" >&2; exit 1; }
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (run scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
station_pid=
cleanup() {
  [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cp -a "$program" "$work/program"
mkdir -p "$work/config/Chronotally"
{
  for seed in ${seeds[@]+"${seeds[@]}"}; do
    section=${seed%%/*}; entry=${seed#*/}
    printf '[%s]\n%s\n\n' "${section,,}" "${entry%%=*}=${entry#*=}"
  done
} > "$work/config/Chronotally/Chronotally.conf"

# A free display of our own.
display=
for n in $(seq 90 199); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$work/program/chronotally" >"$work/station.log" 2>&1 &
station_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name "Chronotally" | head -1) || {
  echo "the clock screen did not appear; its output:" >&2; cat "$work/station.log" >&2; exit 1; }
sleep 1

if [ "$keyboard" = 1 ]; then
  # "Show Keyboard" (Command8): panel at 120,120 twips, button at 0,3840, 3975 x 615.
  xdotool mousemove --window "$window" $(((120 + 3975 / 2) / 15)) $(((120 + 3840 + 615 / 2) / 15)) click 1
  sleep 1
fi

import -window root "$out"
echo "$out"
