#!/usr/bin/env bash
# Checks that every C++ file the repository tracks is formatted as
# .clang-format says; prints what differs and fails otherwise.
#   bash scripts/formato.sh        (clang-format -i FILE formats one)
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
