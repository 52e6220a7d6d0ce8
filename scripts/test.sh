#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the release
# build and the AddressSanitizer + UndefinedBehaviorSanitizer build, each
# under a virtual X server so the end-to-end tests have a real GL.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

jobs=$(nproc)
for preset in release asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" -j"$jobs"
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset" -j"$jobs"
done
