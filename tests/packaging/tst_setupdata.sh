# setup-data as installed: the data folder and the database only for the group, tightened on
# upgrade unless dpkg-statoverride says otherwise, and never a link followed.
# Usage: tst_setupdata.sh BUILD_DIR SOURCE_DIR
build=$1
. "$(dirname "$0")/check.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
DESTDIR=$work/root cmake --install "$build" --prefix /usr --component program >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; exit 1; }
# A group other than the files' own: root may give any, another account its own.
if [ "$(id -u)" = 0 ]; then group=users; else group=$(id -gn); fi
data=$work/data
database=$data/Stampwell.mdb
setup() { "$work/root/usr/lib/chronotally/setup-data" "$data" "$group" 2>"$work/err"; }
expect_group() { [ "$(stat -c %G "$1")" = "$group" ] || fail "$1 belongs to $(stat -c %G "$1"), not $group"; }

check "a fresh set-up succeeds" setup
expect_mode "$data" 2770; expect_group "$data"
expect_mode "$database" 660; expect_group "$database"
[[ $(sqlite3 "$database" .tables) == *AuditTable*ClockTable*UserTable* ]] || fail "the database holds $(sqlite3 "$database" .tables)"
[ "$(ls -A "$data")" = Stampwell.mdb ] || fail "the set-up left $(ls -A "$data")"
# SQLite gives its journal the database's mode, whatever the writer's umask.
(umask 022; sqlite3 "$database" "pragma journal_mode=persist; insert into UserTable (UserIDLogin) values ('kept')" >/dev/null)
expect_mode "$database-journal" 660

# An upgrade tightens what an earlier build made, and keeps the data.
chmod 2775 "$data"; chmod 664 "$database" "$database-journal"; chgrp "$(id -gn)" "$database-journal"
check "an upgrade succeeds" setup
expect_mode "$data" 2770; expect_mode "$database" 660; expect_mode "$database-journal" 660; expect_group "$database-journal"
[ "$(sqlite3 "$database" "select count(*) from UserTable")" = 1 ] || fail "the upgrade replaced the database"

# Modes an administrator set with dpkg-statoverride stay.
mkdir "$work/dpkg"
printf 'root %s 2750 %s\nroot %s 0640 %s\n' "$group" "$data" "$group" "$database" >"$work/dpkg/statoverride"
chmod 2750 "$data"; chmod 640 "$database"
DPKG_ADMINDIR=$work/dpkg check "a set-up with overrides succeeds" setup
expect_mode "$data" 2750; expect_mode "$database" 640
chmod 2770 "$data"

# A link planted in place of the database, to a file that exists and to one not there yet:
# left alone with a warning, the set-up succeeds, and nothing is made or changed through it.
mkdir "$work/etc"
printf 'kept\n' >"$work/etc/existing"; chmod 644 "$work/etc/existing"
for target in "$work/etc/existing" "$work/etc/missing"; do
  for name in Stampwell.mdb Stampwell.mdb-journal; do
    rm -f "$data/$name"; ln -s "$target" "$data/$name"
    check "the set-up with $name linked to $target succeeds" setup
    [ -L "$data/$name" ] || fail "the link $name was replaced"
    grep -q "$data/$name is a symbolic link" "$work/err" || fail "no warning for $name: $(cat "$work/err")"
  done
done
[ "$(ls "$work/etc")" = existing ] || fail "a file was made through a link: $(ls "$work/etc")"
expect_mode "$work/etc/existing" 644
[ "$(stat -c %G "$work/etc/existing")" = "$(id -gn)" ] || fail "the group of a linked file changed"
[ "$(cat "$work/etc/existing")" = kept ] || fail "a linked file was written"
[ "$(ls -A "$data")" = "$(printf 'Stampwell.mdb\nStampwell.mdb-journal')" ] || fail "the set-up left $(ls -A "$data")"

# A data folder that is a link is left alone too.
rm -rf "$data"; ln -s "$work/etc" "$data"; etc_mode=$(mode_of "$work/etc")
check "the set-up with a linked folder succeeds" setup
grep -q "is a symbolic link" "$work/err" || fail "no warning for the linked folder"
[ "$(mode_of "$work/etc")" = "$etc_mode" ] || fail "the mode of a linked folder changed"
[ "$(ls -A "$work/etc")" = existing ] || fail "a database was made in a linked folder"

finish
