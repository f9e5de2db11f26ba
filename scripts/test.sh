#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test:
# the format check, the dev build's tests (engine, platform, results, windows,
# program body, end-to-end under Xvfb), the Debian package (built, checked,
# installed, used and removed again), the unit tests of every layer (engine,
# identity, platform, results, windows, program body) under AddressSanitizer +
# UBSan, and a short fuzzing run. The dev and asan builds treat warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

jobs=$(nproc)

echo "== format =="
bash scripts/check-format.sh

echo "== dev build =="
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$jobs"
ctest --preset dev -j"$jobs"

echo "== Debian package: build, lintian, apt install, run, remove =="
status=0
bash tests/package/check-package.sh build/dev build/dev/artifacts || status=$?
if [ $status -eq 77 ]; then
    echo "(skipped: needs root or sudo, and the packaging tools)"
elif [ $status -ne 0 ]; then
    exit $status
fi

echo "== every unit test under AddressSanitizer + UndefinedBehaviorSanitizer =="
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

echo "== short fuzzing run =="
bash scripts/fuzz.sh "${QARVEL_FUZZ_SECONDS:-20}"

echo "All tests passed."
