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
#     --guide DIR       instead of one picture, makes the README's pictures into DIR from a
#                       sample database: clock.png, mainmenu.png, report.png, summary.png
#                       and printed.png (the printed payroll summary; needs sqlite3 and pdftoppm)
#
# Needs Xvfb, xdotool and imagemagick (scripts/install-deps.sh installs them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

program="$root/build/program"
out=screenshot.png
size=1024x768
keyboard=0
guide=
declare -a seeds=()
while [ $# -gt 0 ]; do
  case "$1" in
    --spanish) seeds+=("main/checkbox22=1") ;;
    --one-icon) seeds+=("main/checkbox3=1") ;;
    --keyboard) keyboard=1 ;;
    --setting) seeds+=("$2"); shift ;;
    --program) program="$2"; shift ;;
    --size) size="$2"; shift ;;
    --guide) guide="$2"; shift ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) out="$1" ;;
  esac
  shift
done

[ -x "$program/chronotally" ] || { echo "no program at $program (run scripts/build.sh)" >&2; exit 1; }
tools="Xvfb xdotool import"
[ -n "$guide" ] && tools="$tools sqlite3 pdftoppm"
for tool in $tools; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (run scripts/install-deps.sh)" >&2; exit 1; }
done

# The guide's sample data: an administrator (ID 100, password "guide", stored in clear and
# hashed by the station at the first login), four employees with hourly rates and the week of
# Sunday 11/29/2026 to Saturday 12/5/2026, in which Chloe Nguyen works 50 hours.
seed_guide_database() {
  local db=$1
  {
    echo "insert into UserTable (FirstName, LastName, Title, AdminLevel, UserIDLogin, Disabled, Passwordf, HourlyRate) values"
    echo " ('Dana', 'Whitfield', 'Owner', '5-Administrator User', '100', 0, 'guide', ''),"
    echo " ('Ana', 'Morales', 'Cashier', '2-Standard User', '201', 0, '', '15.50'),"
    echo " ('Ben', 'Carter', 'Stock', '2-Standard User', '202', 0, '', '14.00'),"
    echo " ('Chloe', 'Nguyen', 'Baker', '3-Supervisor User', '203', 0, '', '18.25'),"
    echo " ('David', 'Okafor', 'Driver', '2-Standard User', '204', 0, '', '16.75');"
    local id_shift day date
    for id_shift in "201 1-5 08:00 16:00" "202 1-4 09:00 15:00" "203 1-5 06:00 16:00" "204 1-5 07:30 15:00"; do
      set -- $id_shift
      for day in $(seq "${2%-*}" "${2#*-}"); do
        date=$(date -d "2026-11-29 +$day day" +%F)
        echo "insert into ClockTable (ClockedIn, ClockedOut, RowDate, UserIDLogin)" \
             "values ('$date $3:00', '$date $4:00', '$date 00:00:00', '$1');"
      done
    done
  } | sqlite3 "$db"
}

# Clicks at X,Y inside window W; waits for the station to settle.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep "${4:-1}"; }
# Replaces the text of the field at X,Y inside window W.
retype() { click "$1" "$2" "$3" 0.2; xdotool key ctrl+a; xdotool type --delay 30 "$4"; }
wait_window() {
  timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -1 || {
    echo "the window \"$1\" did not appear; the station's output:" >&2; cat "$work/station.log" >&2; exit 1; }
}

# Walks through the screens of the README's guide and takes their pictures; the positions are
# those of the controls on the screens (the windows open at the corner, there being no
# window manager).
make_guide() {
  local clock=$1 menu report box
  import -window "$clock" "$guide/clock.png"

  click "$clock" 140 236                        # "Main Menu"
  menu=$(wait_window "Main Menu")
  xdotool windowfocus --sync "$menu"
  xdotool type --delay 30 100; xdotool key Tab; xdotool type --delay 30 guide
  click "$menu" 60 87 2                         # "OK"
  import -window "$menu" "$guide/mainmenu.png"

  click "$menu" 108 191 2                       # "Run Reports"
  report=$(wait_window "^Reports$")
  retype "$report" 165 485 11; retype "$report" 212 485 29; retype "$report" 267 485 2026
  retype "$report" 165 513 12; retype "$report" 212 513 05; retype "$report" 267 513 2026
  click "$report" 767 493 2                     # "Run Report"
  import -window "$report" "$guide/report.png"

  click "$report" 194 8                         # "Payroll"
  click "$report" 249 29 2                      # "Payroll Summary"
  click "$report" 900 453                       # a page to the right: overtime and gross pay
  import -window "$report" "$guide/summary.png"

  rm -f "$work/program/ktly.pdf"
  click "$report" 901 493 3                     # "Print Report": no printer, a PDF instead
  box=$(wait_window "^Chronotally$")
  xdotool windowfocus --sync "$box"; xdotool key Return
  [ -s "$work/program/ktly.pdf" ] || { echo "Print Report wrote no PDF" >&2; exit 1; }
  pdftoppm -png -r 80 -f 1 -l 1 -singlefile "$work/program/ktly.pdf" "$work/printed"
  convert "$work/printed.png" -bordercolor gray -border 1 "$guide/printed.png"   # the sheet's edge
  ls "$guide"/*.png
}

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
if [ -n "$guide" ]; then
  mkdir -p "$guide"; guide=$(cd "$guide" && pwd)
  seed_guide_database "$work/program/Stampwell.mdb"
  seeds+=("main/checkbox19=1" "main/form5text8=Corner Bakery")
  # The report shows the columns the guide talks about; the others are switched off.
  for column in Address1 Address2 City State Zipcode Phone1 Phone2 SSNumber Title Email Memo Notes \
                Adminlevel Disabled WorkedHours DisplayText; do
    seeds+=("reports/${column,,}=False")
  done
fi
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

# No print server: "Print Report" then saves its PDF in the program folder.
CUPS_SERVER="$work/no-cups" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$work/program/chronotally" >"$work/station.log" 2>&1 &
station_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name "Chronotally" | head -1) || {
  echo "the clock screen did not appear; its output:" >&2; cat "$work/station.log" >&2; exit 1; }
sleep 1

if [ -n "$guide" ]; then
  make_guide "$window"
  exit 0
fi

if [ "$keyboard" = 1 ]; then
  # "Show Keyboard" (Command8): panel at 120,120 twips, button at 0,3840, 3975 x 615.
  xdotool mousemove --window "$window" $(((120 + 3975 / 2) / 15)) $(((120 + 3840 + 615 / 2) / 15)) click 1
  sleep 1
fi

import -window root "$out"
echo "$out"
