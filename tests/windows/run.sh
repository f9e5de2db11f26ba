#!/usr/bin/env bash
# run.sh <linux qarvel-results>: the Windows stage of the tests.
#   1. the Windows toolchain (scripts/windows/toolchain.sh: built once, about
#      25 minutes, when its cache folder is missing; reused after);
#   2. the `windows` preset's build and its packages (scripts/windows/package.sh);
#   3. the engine, results and key-message tests under Wine (unit.sh);
#   4. the MSI installed, an exam taken and its record verified by the Linux
#      qarvel-results, the MSI removed (msi-exam.sh, under Xvfb with fcitx5).
# Screenshots in build/windows/artifacts.
set -euo pipefail
linux_results=$(realpath "${1:?usage: run.sh <linux qarvel-results>}")
cd "$(dirname "$0")/../.."
started=$SECONDS

echo "== Windows: toolchain =="
QARVEL_WINDOWS_QT=$(bash scripts/windows/toolchain.sh)
export QARVEL_WINDOWS_QT
echo "$QARVEL_WINDOWS_QT"

echo "== Windows: build =="
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)"

echo "== Windows: MSI and zip =="
bash scripts/windows/package.sh build/windows build/windows/package

echo "== Windows: unit tests under Wine =="
bash tests/windows/unit.sh build/windows

echo "== Windows: the MSI under Wine =="
bash tests/e2e/with-fcitx5.sh tests/windows/msi-exam.sh build/windows/package/qarvel-*-windows-x64.msi \
    "$linux_results" build/windows/artifacts

echo "Windows stage: $((SECONDS - started)) s"
