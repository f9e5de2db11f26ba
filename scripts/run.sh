#!/usr/bin/env bash
# Installs what the program needs, builds it, and starts it from the
# repository, whose vexo/2.txt is the sample source text.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$(nproc)" --target qarvel
exec build/dev/src/app/qarvel "$@"
