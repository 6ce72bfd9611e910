#!/usr/bin/env bash
# Installs, builds and starts the station from its program folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
exec "$root/build/program/chronotally" "$@"
