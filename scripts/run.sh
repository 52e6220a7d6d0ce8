#!/usr/bin/env bash
# Installs what the program needs and is missing, builds the program and its
# bitmaps (no tests) and runs the demo from the build directory, where the
# bitmaps are. Arguments go to ovu.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --program
cmake --preset program >/dev/null
cmake --build --preset program -j"$(nproc)"
cd build/program
exec ./ovu "$@"
