#!/usr/bin/env bash
# Installs, builds and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
# The printing tests use a PDF print queue; without one the test that needs it skips.
"$root/scripts/printers.sh" >/dev/null 2>&1 || true
cd "$root/build"
ctest --output-on-failure -j"$(nproc)" "$@"
