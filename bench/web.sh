#!/usr/bin/env bash
# Prints the web page's table of docs/performance.md: frames per second
# of the page in headless Chromium and of the native program under Xvfb, both
# at 640 x 480, with the title and after it (medians of three alternating
# rounds), and the core's per-frame work timed in a page; then the page's
# loading table (bench/web_load.py).
#   bench/web.sh
# Not part of the tests: numbers depend on the machine and what else runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --with-web
cmake --preset release >/dev/null
cmake --build build/release -j"$(nproc)" --target ovu >/dev/null
cmake --preset web >/dev/null
cmake --build build/web -j"$(nproc)" >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3 bench/web_bench.py build/web build/release/ovu
echo
exec xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3 bench/web_load.py build/web
