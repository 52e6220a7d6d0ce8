#!/usr/bin/env bash
# Installs what is missing, builds the release preset and runs the demo from
# the build directory, where the generated bitmaps are. Arguments go to ovu.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build build/release -j"$(nproc)"
cd build/release
exec ./ovu "$@"
