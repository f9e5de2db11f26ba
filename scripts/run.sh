#!/usr/bin/env bash
# Installs what the program needs, builds it, and starts it from the
# repository, whose vexo/2.txt is the sample source text.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev >/dev/null
if cmake --build --preset dev -j"$(nproc)" --target qarvel >/dev/null 2>&1; then
    exec build/dev/src/app/qarvel "$@"
fi
# Without the windows, look at the source text in the console.
cmake --build --preset dev -j"$(nproc)" --target qarvel-source >/dev/null
exec build/dev/src/console/qarvel-source "$@"
