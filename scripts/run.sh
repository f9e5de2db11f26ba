#!/usr/bin/env bash
# Installs what building and running the program need, builds it (without the
# tests), and starts it from the repository, whose vexo/2.txt is the sample
# source text. Arguments go to the program (qarvel --help lists them).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
cmake --preset run >/dev/null
cmake --build --preset run -j"$(nproc)" --target qarvel
exec build/run/src/app/qarvel "$@"
