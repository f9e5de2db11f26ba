#!/usr/bin/env bash
# unit.sh <windows build folder>: the engine, results and Windows key-message
# tests of the Windows build, run under Wine in a fresh Windows of their own
# with code page 936. Exits with the first failure's status.
set -uo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
qt=${QARVEL_WINDOWS_QT:?set QARVEL_WINDOWS_QT to the Windows toolchain folder}
. "$here/lib.sh"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qarvel-wine-unit.XXXXXX")
trap 'wine_end; rm -rf "$scratch"' EXIT
wine_begin "$scratch" || { echo "Wine did not start" >&2; exit 1; }
# No display: these tests open no window.
unset DISPLAY WAYLAND_DISPLAY
status=0
for test in tests/exam/exam_tests.exe tests/results/results_tests.exe \
    tests/platform/WindowsKeyLedgerTest.exe; do
    echo "-- $test"
    started=$SECONDS
    (cd "$build/$(dirname "$test")" && timeout 600 wine "./$(basename "$test")") \
        >"$scratch/out.log" 2>&1
    result=$?
    # GoogleTest's and Qt Test's summary lines.
    grep -aE '^\[  (PASSED|FAILED) +\]|^Totals:|^\[  FAILED  \] ' "$scratch/out.log" | tr -d '\r'
    if [ $result -ne 0 ]; then
        tail -n 40 "$scratch/out.log" | tr -d '\r' >&2
        echo "FAILED: $test (status $result)" >&2
        status=$result
    fi
    echo "   $((SECONDS - started)) s"
done
exit $status
