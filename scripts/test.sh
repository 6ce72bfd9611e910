#!/usr/bin/env bash
# Installs, builds and runs every test, with a throwaway PostgreSQL server of the tests' own
# for the tests that run on PostgreSQL as well (they skip when it cannot be started).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
# The printing tests use a PDF print queue; without one the test that needs it skips.
"$root/scripts/printers.sh" >/dev/null 2>&1 || true
if pg_env=$("$root/scripts/pgtest.sh" start); then
  trap '"$root/scripts/pgtest.sh" stop' EXIT
  eval "$pg_env"
else
  echo "PostgreSQL could not be started: its tests are skipped" >&2
fi
cd "$root/build"
ctest --output-on-failure -j"$(nproc)" "$@"
