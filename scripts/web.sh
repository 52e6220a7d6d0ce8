#!/usr/bin/env bash
# Installs what is missing, builds the web page (the `web` preset) and serves
# it on 127.0.0.1, printing its address; Ctrl+C stops the server.
#   scripts/web.sh [PORT]   (default 8080)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --with-web
command -v em++ >/dev/null || { echo "web: Emscripten (em++) is not installed" >&2; exit 1; }
cmake --preset web >/dev/null
cmake --build build/web -j"$(nproc)"
port=${1:-8080}
echo "ovu: http://127.0.0.1:$port/ovu.html"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web
