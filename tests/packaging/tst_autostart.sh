# scripts/autostart.sh: the account's XDG autostart entry for the clock screen.
# Usage: tst_autostart.sh BUILD_DIR SOURCE_DIR
source_dir=$2
. "$(dirname "$0")/check.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home
unset XDG_CONFIG_HOME
entry=$HOME/.config/autostart/chronotally.desktop
tool=$source_dir/scripts/autostart.sh

# An installed program folder: the tool beside the station, reached through a link on the PATH.
mkdir -p "$work/lib/chronotally" "$work/bin" "$HOME"
printf '#!/bin/sh\n' > "$work/lib/chronotally/chronotally"
cp "$tool" "$work/lib/chronotally/chronotally-autostart"
chmod 755 "$work/lib/chronotally/chronotally" "$work/lib/chronotally/chronotally-autostart"
ln -s ../lib/chronotally/chronotally-autostart "$work/bin/chronotally-autostart"

"$work/bin/chronotally-autostart" enable >/dev/null
check "the entry is valid" desktop-file-validate "$entry"
[ "$(sed -n 's/^Exec=//p' "$entry")" = "$work/lib/chronotally/chronotally" ] || fail "Exec of the installed tool: $(grep Exec "$entry")"

# A station whose path needs quoting, named by --program: quoted by the entry's rules
# ("…" around the argument, \" \$ \` \\ inside it, then every \ and % doubled for the file).
odd="$work/Program Files/\$clock \"100%\" \\station"
mkdir -p "$(dirname "$odd")"
cp "$work/lib/chronotally/chronotally" "$odd"
"$tool" enable --program "$odd" >/dev/null
check "the entry with a quoted path is valid" desktop-file-validate "$entry"
expected="\"$work/Program Files/\\\\\$clock \\\\\"100%%\\\\\" \\\\\\\\station\""
[ "$(sed -n 's/^Exec=//p' "$entry")" = "$expected" ] || fail "Exec $(sed -n 's/^Exec=//p' "$entry"), not $expected"
[ "$(ls -A "$(dirname "$entry")")" = chronotally.desktop ] || fail "enabling again left $(ls -A "$(dirname "$entry")")"

# Refused without a station to start; the entry there stays as it was.
before=$(cat "$entry")
"$tool" enable --program "$work/nothing" 2>/dev/null && fail "enabled a missing station"
[ "$(cat "$entry")" = "$before" ] || fail "a refused enable changed the entry"

# Disabling removes this entry only, and is quiet when there is none.
touch "$HOME/.config/autostart/other.desktop"
"$tool" disable >/dev/null
[ ! -e "$entry" ] || fail "disable left the entry"
[ -e "$HOME/.config/autostart/other.desktop" ] || fail "disable removed another entry"
"$tool" disable >/dev/null || fail "disabling twice failed"

# XDG_CONFIG_HOME is the account's configuration folder when set.
XDG_CONFIG_HOME=$work/config "$work/bin/chronotally-autostart" enable >/dev/null
[ -f "$work/config/autostart/chronotally.desktop" ] || fail "XDG_CONFIG_HOME not used"

finish
