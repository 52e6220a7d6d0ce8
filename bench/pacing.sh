#!/usr/bin/env bash
# Prints the table of docs/performance-pacing.md: frames per second and CPU
# share of ovu at --max-fps 15, 30 and 60, by default (waiting for the
# display) and with --no-vsync, at 640 x 480 after the title, under Xvfb
# (llvmpipe), which has no vertical blank: there the default runs as fast as
# --no-vsync. CPU is user + system time over
# wall time from /usr/bin/time, in per cent of one core.
#   bench/pacing.sh [SECONDS]    each row runs for about SECONDS, then twice that (default 5)
# Not part of the tests: numbers depend on the machine and what else runs.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-5}
if [[ -z "${OVU_BENCH_INNER:-}" ]]; then
  cmake --preset release >/dev/null
  cmake --build build/release -j"$(nproc)" --target ovu >/dev/null
  OVU_BENCH_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
cd build/release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "$(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| run | fps | fps / cap | CPU, % of one core |"
echo "| --- | ---: | ---: | ---: |"
# The steady rate: the frames that a run twice as long adds, over the time
# it adds, so start-up (shader compilation, the first frame) cancels out.
seconds_of() { sed -n 's/^fps: [0-9]* frames in \([0-9.]*\) s.*/\1/p' "$work/err"; }
# A run: its label, the cap (0: none), then its options.
run() {
  local label=$1 cap=$2 frames; shift 2
  frames=$(( (cap ? cap : 100) * seconds ))
  ./ovu --windowed 640x480 --no-intro "$@" --frames "$frames" --fps 2>"$work/err"
  short=$(seconds_of)
  /usr/bin/time -o "$work/time" -f "%U %S %e" ./ovu --windowed 640x480 --no-intro "$@" \
    --frames $((2 * frames)) --fps 2>"$work/err"
  long=$(seconds_of)
  read -r user sys wall <"$work/time"
  awk -v l="$label" -v c="$cap" -v n="$frames" -v a="$short" -v b="$long" -v u="$user" -v s="$sys" -v w="$wall" 'BEGIN {
    f = n / (b - a)
    printf "| %s | %.1f | %s | %.0f %% |\n", l, f, (c ? sprintf("%.3f", f / c) : "-"), 100 * (u + s) / w }'
}
for cap in 15 30 60; do run "--max-fps $cap" "$cap" --max-fps "$cap"; done
run "default (waits for the display)" 0
run "--no-vsync" 0 --no-vsync
