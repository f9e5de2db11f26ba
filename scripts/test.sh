#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test:
# the dev build's tests (engine, widgets, platform, end-to-end under Xvfb),
# the Debian package (built, checked, installed, used and removed again),
# the engine tests under AddressSanitizer + UBSan, and a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

jobs=$(nproc)

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

echo "== engine tests under AddressSanitizer + UndefinedBehaviorSanitizer =="
cmake --preset asan -DQARVEL_BUILD_GUI=OFF >/dev/null
cmake --build --preset asan -j"$jobs" --target exam_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/asan -L engine -j"$jobs" --output-on-failure

echo "== short fuzzing run =="
bash scripts/fuzz.sh "${QARVEL_FUZZ_SECONDS:-20}"

echo "All tests passed."
