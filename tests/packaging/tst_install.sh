# `cmake --install` into a staging folder (DESTDIR, prefix /usr), as the package lays it out:
# the program folder, the commands, the menu entry with its icon, the database made once;
# and into a prefix of one's own.
# Usage: tst_install.sh BUILD_DIR SOURCE_DIR
build=$1
. "$(dirname "$0")/check.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/root
install_all() { DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; exit 1; }; }
install_all

# The program folder: every program of the build's program folder, and the installed tools.
program=$stage/usr/lib/chronotally
built=$(find "$build/program" -maxdepth 1 -type f -perm -u+x -printf '%f\n')
expected=$(printf '%s\nmkdb\nsetup-data\nchronotally-autostart\n' "$built" | sort)
installed=$(ls "$program" | sort)
[ "$installed" = "$expected" ] || fail "program folder holds $(echo $installed), not $(echo $expected)"
for file in "$program"/*; do expect_mode "$file" 755; done
expect_mode "$program" 755

# The commands on the PATH lead into the program folder.
for command in chronotally chronotally-autostart chronotally-report; do
  link=$stage/usr/bin/$command
  [ -L "$link" ] && [[ $(readlink "$link") != /* ]] || fail "$command is not a relative link"
  [ "$(readlink -f "$link")" = "$program/$command" ] || fail "$command leads to $(readlink -f "$link")"
done

# The menu entry: valid, named Chronotally, starting a command that is installed, with its icon.
entry=$stage/usr/share/applications/chronotally.desktop
expect_mode "$entry" 644
check "the menu entry is valid" desktop-file-validate "$entry"
key() { sed -n "s/^$1=//p" "$entry"; }
[ "$(key Name)" = Chronotally ] || fail "Name is $(key Name)"
[[ ";$(key Categories)" == *";Office;"* ]] || fail "Categories $(key Categories) lack Office"
[ -x "$stage/usr/bin/$(key Exec)" ] || fail "Exec $(key Exec) is not an installed command"
icons=$stage/usr/share/icons/hicolor
icon=$(key Icon)
expect_mode "$icons/scalable/apps/$icon.svg" 644
for png in "$icons"/*x*/apps/"$icon".png; do
  size=${png#"$icons"/}; size=${size%%/*}
  # width and height are the first two numbers of the PNG's header chunk
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "${width}x${height}" = "$size" ] || fail "$png is ${width}x${height}"
  expect_mode "$png" 644
done
[ -f "$icons/48x48/apps/$icon.png" ] || fail "no 48x48 icon, the size every desktop looks for"

# The database: made in the data folder, not in the program folder, and never replaced.
database=$stage/var/lib/chronotally/Stampwell.mdb
tables=$(sqlite3 "$database" .tables 2>&1) || fail "no database: $tables"
[[ $tables == *ClockTable* && $tables == *UserTable* ]] || fail "the database holds $tables"
sqlite3 "$database" "insert into UserTable (UserIDLogin) values ('kept')"
install_all
[ "$(sqlite3 "$database" "select count(*) from UserTable where UserIDLogin = 'kept'")" = 1 ] ||
  fail "installing again replaced the database"

# Installed into a prefix of one's own (not the build's configured one), the program folder
# holds its own database, as the build's program folder does, and nothing is made elsewhere.
own=$work/own
cmake --install "$build" --prefix "$own" >"$work/own.log" 2>&1 || { cat "$work/own.log" >&2; exit 1; }
tables=$(sqlite3 "$own/lib/chronotally/Stampwell.mdb" .tables 2>&1) || fail "no database in the own program folder: $tables"
[ "$(ls "$own")" = "$(printf 'bin\nlib\nshare')" ] || fail "the own install made $(ls "$own")"

finish
