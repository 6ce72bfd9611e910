# Helpers of the packaging tests: sourced, with the build folder in $build.
set -euo pipefail
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }
# mode of a file as octal digits, e.g. 755
mode_of() { stat -c %a "$1"; }
expect_mode() { [ -e "$1" ] || { fail "missing $1"; return; }; [ "$(mode_of "$1")" = "$2" ] || fail "$1 has mode $(mode_of "$1"), not $2"; }
finish() { [ "$failures" -eq 0 ] && echo "all checks passed" || { echo "$failures failed" >&2; exit 1; }; }
