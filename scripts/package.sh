#!/usr/bin/env bash
# Installs what is missing, builds, and packs the Debian package into build/
# (chronotally_<version>_<architecture>.deb). Install it with
#   sudo apt-get install ./build/chronotally_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
cd "$root/build"
cpack -G DEB -B "$root/build" >cpack.log 2>&1 || { cat cpack.log >&2; exit 1; }
ls "$root"/build/chronotally_*.deb
