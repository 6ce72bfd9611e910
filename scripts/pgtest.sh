#!/usr/bin/env bash
# The tests' own throwaway PostgreSQL server under build/pgtest.
#   scripts/pgtest.sh start   starts a fresh one and prints the CHRONOTALLY_PG_* exports
#   scripts/pgtest.sh stop    stops it and removes its folder
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build/pgtest"
case "${1:-}" in
  start)
    "$root/scripts/pgserver.sh" stop --dir "$dir" >/dev/null 2>&1 || true
    [ -f "$dir/elsewhere" ] && rm -rf "$(cat "$dir/elsewhere")"
    rm -rf "$dir"
    exec "$root/scripts/pgserver.sh" start --dir "$dir" --database chronotally_test --throwaway --env
    ;;
  stop)
    "$root/scripts/pgserver.sh" stop --dir "$dir"
    [ -f "$dir/elsewhere" ] && rm -rf "$(cat "$dir/elsewhere")"
    rm -rf "$dir"
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
