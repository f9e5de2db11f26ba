#!/usr/bin/env bash
# check-format.sh [--fix]: every C++ file of the repository formatted as
# .clang-format says; the files that differ are named and it fails.
# --fix formats them in place instead. The style is pinned to Debian 12's
# clang-format (14); another version may format a few constructs otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

format=${CLANG_FORMAT:-clang-format}
if ! command -v "$format" >/dev/null 2>&1; then
    echo "clang-format is not installed (bash scripts/install-deps.sh test)" >&2
    exit 1
fi
version=$("$format" --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
[ "$version" = 14 ] || echo "note: clang-format $version; the style is checked with 14" >&2

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
    mapfile -t files < <(find src tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
fi

if [ "${1:-}" = --fix ]; then
    "$format" -i -- "${files[@]}"
    exit 0
fi
# One run over all files; its messages start with the file's name.
status=0
output=$("$format" --dry-run -Werror -- "${files[@]}" 2>&1) || status=$?
mapfile -t differ < <(printf '%s\n' "$output" |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ ${#differ[@]} -gt 0 ]; then
    echo "not formatted as .clang-format says (bash scripts/check-format.sh --fix):" >&2
    printf '  %s\n' "${differ[@]}" >&2
    exit 1
fi
if [ $status -ne 0 ]; then
    printf '%s\n' "$output" >&2
    exit $status
fi
echo "format: ${#files[@]} files as .clang-format says"
