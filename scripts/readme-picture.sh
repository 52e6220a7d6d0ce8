#!/usr/bin/env bash
# Renders the README's picture, docs/ovu.png: frame 785 with a 16 ms virtual
# clock, where the camera has swung its full 30 degrees and the title is gone.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build build/release -j"$(nproc)" --target ovu >/dev/null
cd build/release
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ./ovu --windowed 800x450 --fixed-step 16 --frames 785 --screenshot ../../docs/ovu.png
echo "wrote docs/ovu.png"
