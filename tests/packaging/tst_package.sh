# The Debian package, read without installing it: its name, the files it holds (the staged
# install without the database), the packages it declares it needs, and Debian's own
# checks (lintian) without an error or a warning.
# Usage: tst_package.sh BUILD_DIR SOURCE_DIR
build=$1
source_dir=$2
. "$(dirname "$0")/check.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$work/chronotally_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work" >&2; fail "no $deb"; finish; }
[ "$(dpkg-deb --field "$deb" Package)" = chronotally ] || fail "package name"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "package version"

# The files: those of the program component installed under /usr, nothing else; so no
# database, which installing or upgrading would then replace.
DESTDIR=$work/root cmake --install "$build" --prefix /usr --component program >/dev/null
staged=$(cd "$work/root" && find . -mindepth 1 ! -type d | sort)
packed=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
[ "$staged" = "$packed" ] || fail "the package's files differ from the install: $(diff <(echo "$staged") <(echo "$packed") | grep '^[<>]' | tr '\n' ' ')"
[[ $packed != *Stampwell.mdb* && $packed != *./var/* ]] || fail "the package ships the database"

# The postinst sets up the data folder with a program the package holds.
dpkg-deb --control "$deb" "$work/control"
expect_mode "$work/control/postinst" 755
setup=$(grep -o "/usr/lib/chronotally/[a-z-]*" "$work/control/postinst")
[[ $packed == *".$setup"* ]] || fail "postinst runs $setup, which the package does not hold"

# Declared needs: each a package Debian has, and among them every library the programs link,
# every Qt SQL driver the sources open, and what is loaded or started at run time.
depends=$(dpkg-deb --field "$deb" Depends)
declared=$(echo "$depends, $(dpkg-deb --field "$deb" Recommends)" | tr ',|' '\n\n' | sed 's/(.*)//; s/ //g' | grep . | sort -u)
for package in $declared; do
  apt-cache show "$package" >/dev/null 2>&1 || fail "$package is not a Debian package"
done
# The package that holds a file, whichever spelling of a merged /usr it is listed under.
owner_of() {
  local real=$(readlink -f "$1") path
  for path in "$1" "$real" "/usr${1#/usr}" "${1#/usr}" "/usr${real#/usr}" "${real#/usr}"; do
    dpkg -S "$path" 2>/dev/null | sed -n '1s/:.*//p' | grep . && return
  done
  fail "no package holds $1"
}
needs() { [[ ", $depends," == *[\ \|]"$1"[\ ,]* ]] || fail "Depends lacks $1 ($2)"; }
for library in $(for program in "$work"/root/usr/lib/chronotally/*; do
                   objdump -p "$program" 2>/dev/null | awk '$1 == "NEEDED" {print $2}'
                 done | sort -u); do
  path=$(ldconfig -p | awk -v l="$library" '$1 == l && !found {print $NF; found = 1}')
  needs "$(owner_of "$path")" "the programs link $library"
done
for driver in $(grep -rhoE 'addDatabase\(QStringLiteral\("Q[A-Z0-9]+"\)' "$source_dir/src" | grep -oE '"Q[A-Z0-9]+"' | tr -d '"' | sort -u); do
  plugin=$(for f in /usr/lib/*/qt6/plugins/sqldrivers/*.so; do if strings -a "$f" | grep -x "$driver" >/dev/null; then echo "$f"; fi; done | sed -n 1p)
  [ -n "$plugin" ] || { fail "no Qt SQL driver $driver on this machine"; continue; }
  needs "$(owner_of "$plugin")" "the $driver driver"
done
needs libqt6sql6-psql "the PostgreSQL driver"
needs tdsodbc "the FreeTDS ODBC driver for SQL Server"
needs alsa-utils "aplay, which DOZ1 plays sounds with"
needs adduser "setup-data makes the chronotally group"

# The copyright file names the licence by Debian's copy of its text; LICENSE is that text.
cmp -s "$source_dir/LICENSE" /usr/share/common-licenses/GPL-3 || fail "LICENSE is not the text of the GPL version 3"
grep -qx 'License: GPL-3+' "$work/root/usr/share/doc/chronotally/copyright" || fail "the copyright file names no GPL-3+"

if command -v lintian >/dev/null; then
  lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
    fail "lintian: $(grep -E '^[EW]: ' "$work/lintian.log" | tr '\n' ' ')"
else
  echo "SKIP: lintian is not installed here (scripts/install-deps.sh installs it): the package's lintian check did not run" >&2
fi

finish
