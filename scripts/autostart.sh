#!/usr/bin/env bash
# Starts the clock screen when this account logs in, or stops doing so, with an XDG autostart
# entry of the account: ${XDG_CONFIG_HOME:-~/.config}/autostart/chronotally.desktop.
#
#   autostart.sh enable [--program PATH]   adds the entry (replacing an older one)
#   autostart.sh disable                   removes it
#
# The package installs this as chronotally-autostart. The entry starts the station beside this
# tool when there is one (the installed program folder), else build/program/chronotally of the
# source tree; --program names another.
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
entry="${XDG_CONFIG_HOME:-$HOME/.config}/autostart/chronotally.desktop"

usage() { echo "usage: $(basename "$0") enable [--program PATH] | disable" >&2; exit 2; }

# The program path as one argument of a desktop entry's Exec key: quoted when it has anything
# beyond plain path characters, with the entry's own escapes for backslashes and percent signs.
exec_argument() {
  local arg=$1
  if [[ $arg == *[!A-Za-z0-9/._+-]* ]]; then
    arg=${arg//\\/\\\\}
    arg=${arg//\"/\\\"}
    arg=${arg//\`/\\\`}
    arg=${arg//\$/\\\$}
    arg="\"$arg\""
  fi
  arg=${arg//\\/\\\\}
  printf '%s' "${arg//%/%%}"
}

[ $# -ge 1 ] || usage
command=$1
shift
case "$command" in
  enable)
    program=
    while [ $# -gt 0 ]; do
      case "$1" in
        --program) [ $# -ge 2 ] || usage; program=$2; shift ;;
        *) usage ;;
      esac
      shift
    done
    if [ -z "$program" ]; then
      program="$here/chronotally"
      [ -x "$program" ] || program="$here/../build/program/chronotally"
    fi
    [ -x "$program" ] && [ -f "$program" ] || { echo "no station at $program" >&2; exit 1; }
    program=$(readlink -f "$program")
    [[ $program != *$'\n'* ]] || { echo "a program path cannot hold a line break" >&2; exit 1; }
    mkdir -p "$(dirname "$entry")"
    cat > "$entry.new" <<EOF
[Desktop Entry]
Type=Application
Name=Chronotally
Comment=The clock screen, started when this account logs in
Exec=$(exec_argument "$program")
Icon=chronotally
Terminal=false
X-GNOME-Autostart-enabled=true
EOF
    mv "$entry.new" "$entry"
    echo "The clock screen starts at login: $entry"
    ;;
  disable)
    [ $# -eq 0 ] || usage
    rm -f "$entry"
    echo "The clock screen no longer starts at login"
    ;;
  *) usage ;;
esac
