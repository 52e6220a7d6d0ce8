#!/usr/bin/env bash
# Prints the performance table of docs/performance.md: the core's per-frame work
# against read+write floors (Google Benchmark), ovu's frame rate under Xvfb
# against two floors measured in the same run (clear-and-swap alone, and
# gl_floor: ovu's GL stream for a frozen field), the share of our own work in
# a frame, what llvmpipe's knobs change, start-up time, peak memory, and the
# resident memory over a long real run.
#   bench/run.sh [--rss-minutes N]    N defaults to 10; 0 leaves that run out
# Not part of the tests: numbers depend on the machine and what else runs.
# Every run has --no-vsync, so that a display's refresh never caps a rate.
set -euo pipefail
cd "$(dirname "$0")/.."

rss_minutes=10
if [[ "${1:-}" == "--rss-minutes" ]]; then rss_minutes=$2; fi

if [[ -z "${OVU_BENCH_INNER:-}" ]]; then
  scripts/deps.sh
  cmake --preset release >/dev/null
  cmake --build build/release -j"$(nproc)" --target ovu gl_floor core_bench >/dev/null
  # One X server for every frame-rate run, so all share backend and screen.
  OVU_BENCH_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

cd build/release
rounds=3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

row() { printf '| %s | %s | %s | %s | %s |\n' "$@"; }
median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
# The frames-per-second figure of a --fps line: "fps: N frames in S s: F fps".
fps_of() { "$@" --fps 2>&1 >/dev/null | sed -n 's/^fps: .*: \([0-9.]*\) fps$/\1/p'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf (b > 0 ? "%.3f" : "-"), a / b }'; }

# The machine.
renderer=$(./ovu --no-vsync --windowed 64x48 --frames 1 --verbose 2>&1 | sed -n 's/^gl: \(.*, GL .*\)$/\1/p')
cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
echo "Machine: $cpu, $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo);"
echo "kernel $(uname -r); $renderer; Xvfb 1280x1024x24; $(date -u +%Y-%m-%d);"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine skews absolute figures)."
echo
row "measurement" "ovu" "floor" "ovu / floor" "note"
row "---" "---:" "---:" "---:" "---"

# Core work against its floors: medians of five repetitions, CPU time.
bench/core_bench --benchmark_format=csv --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  2>/dev/null | awk -F, '$1 ~ /_median"?$/ {gsub(/"/, "", $1); sub(/_median$/, "", $1); print $1, $4, $5}' \
  >"$work/core.txt"
core_us() { awk -v n="$1" '$1 == n {f = ($3 == "ns") ? 1e-3 : ($3 == "us") ? 1 : 1e3; printf "%.2f", $2 * f}' "$work/core.txt"; }
for pair in "water update, Step 1.6|BM_WaterUpdate/16|BM_FloorField/1" \
            "water update, Step 50 (25 sub-steps)|BM_WaterUpdate/500|BM_FloorField/25" \
            "drop (15 x 15 cells)|BM_Drop|BM_FloorDrop" \
            "normals pass|BM_NormalsPass|BM_FloorNormals" \
            "title grid (1,800 vertices, 64 sin/cos)|BM_IntroGrid|BM_FloorIntroGrid" \
            "bitmap decode: BGR to RGB, 512 x 512|BM_BgrToRgb|BM_FloorBgrToRgb" \
            "bitmap decode: colour + mask to RGBA|BM_AssembleRgba|BM_FloorAssembleRgba"; do
  IFS='|' read -r label name floor <<<"$pair"
  a=$(core_us "$name"); b=$(core_us "$floor")
  row "$label" "$a µs" "$b µs" "$(ratio "$a" "$b")" "floor: one read+write pass over its bytes"
done
own_with=$(awk -v u="$(core_us BM_WaterUpdate/16)" -v n="$(core_us BM_NormalsPass)" -v d="$(core_us BM_Drop)" \
  -v t="$(core_us BM_IntroGrid)" 'BEGIN {printf "%.1f", u + n + d / 10 + t}')
own_after=$(awk -v u="$(core_us BM_WaterUpdate/16)" -v n="$(core_us BM_NormalsPass)" -v d="$(core_us BM_Drop)" \
  'BEGIN {printf "%.1f", u + n + d / 10}')

# Frame rates, interleaved rounds, medians. With the title: 16 ms virtual
# frames, all inside its ten seconds; after it: the same without the title,
# whose frames send exactly what ovu sends from ten seconds on.
for size in 640x480 1280x1024; do
  frames=400; [[ $size == 1280x1024 ]] && frames=120
  for mode in title after; do
    flag=(); [[ $mode == after ]] && flag=(--no-intro)
    : >"$work/ovu" ; : >"$work/floor"; : >"$work/clear"
    for ((r = 0; r < rounds; r++)); do
      fps_of ./ovu --no-vsync --windowed "$size" --fixed-step 16 --frames "$frames" "${flag[@]}" >>"$work/ovu"
      fps_of ./gl_floor --no-vsync --windowed "$size" --frames "$frames" "${flag[@]}" >>"$work/floor"
      fps_of ./gl_floor --no-vsync --clear-only --windowed "$size" --frames $((frames * 10)) >>"$work/clear"
    done
    o=$(median <"$work/ovu"); f=$(median <"$work/floor"); c=$(median <"$work/clear")
    label="${size/x/ x }, $([[ $mode == title ]] && echo "with the title" || echo "after the title")"
    row "$label: fps" "$o" "$f" "$(ratio "$o" "$f")" "floor (b): gl_floor, ovu's GL stream for a frozen field"
    row "$label: fps" "$o" "$c" "$(ratio "$o" "$c")" "floor (a): clear and swap alone"
    own=$own_with; [[ $mode == after ]] && own=$own_after
    frame_us=$(awk -v o="$o" 'BEGIN {printf "%.0f", 1e6 / o}')
    row "$label: our own work per frame" "$own µs" "$frame_us µs" "$(awk -v a="$own" -v b="$frame_us" \
      'BEGIN {printf "%.2f %%", 100 * a / b}')" "drop / 10 + update + normals$([[ $mode == title ]] && echo " + title grid")"
  done
done

# What llvmpipe allows without changing a pixel: its thread count, and
# Mesa's threaded dispatch. Each against the default, same run.
shot() { env "$@" ./ovu --no-vsync --windowed 640x480 --fixed-step 16 --frames 120 --no-intro --screenshot "$work/shot.png" \
  2>/dev/null && cksum <"$work/shot.png"; }
reference=$(shot X=1)
default_fps=$(for ((r = 0; r < rounds; r++)); do fps_of ./ovu --no-vsync --windowed 640x480 --fixed-step 16 --frames 400 --no-intro; done | median)
for setting in LP_NUM_THREADS=0 LP_NUM_THREADS=1 LP_NUM_THREADS=2 LP_NUM_THREADS=4 mesa_glthread=true; do
  s=$(for ((r = 0; r < rounds; r++)); do
    fps_of env "$setting" ./ovu --no-vsync --windowed 640x480 --fixed-step 16 --frames 400 --no-intro
  done | median)
  same=$([[ "$(shot "$setting")" == "$reference" ]] && echo "same pixels" || echo "PIXELS DIFFER")
  row "$setting, 640 x 480 after the title: fps" "$s" "$default_fps" "$(ratio "$s" "$default_fps")" \
    "floor: the default ($(nproc) rasteriser threads); $same"
done

# Start-up: exec to the first swapped frame and out again, bitmaps loaded
# and mipmapped, against the GL's own start-up (gl_floor --clear-only: the
# same window and context, one clear and swap). Mesa keeps the compiled
# shaders on disk; without that cache every start compiles them anew.
cold=(env MESA_SHADER_CACHE_DISABLE=true)
hyperfine -N --warmup 3 --runs 20 --export-json "$work/start.json" \
  "./ovu --no-vsync --windowed 640x480 --frames 1" "./gl_floor --no-vsync --clear-only --windowed 640x480 --frames 1" \
  "${cold[*]} ./ovu --no-vsync --windowed 640x480 --frames 1" "${cold[*]} ./gl_floor --no-vsync --clear-only --windowed 640x480 --frames 1" \
  "./ovu --version" >/dev/null 2>&1
start_ms() { awk -v k="$1" '/"mean"/ {n++; if (n == k) {gsub(/[",]/, "", $2); printf "%.0f", $2 * 1000}}' "$work/start.json"; }
start_sd() { awk -v k="$1" '/"stddev"/ {n++; if (n == k) {gsub(/[",]/, "", $2); printf "%.0f", $2 * 1000}}' "$work/start.json"; }
row "start-up to first frame swapped, 640 x 480, shader cache warm" "$(start_ms 1) ± $(start_sd 1) ms" \
  "$(start_ms 2) ± $(start_sd 2) ms" "$(ratio "$(start_ms 1)" "$(start_ms 2)")" "floor: gl_floor --clear-only; hyperfine, 20 runs, exit included"
row "start-up to first frame swapped, 640 x 480, no shader cache" "$(start_ms 3) ± $(start_sd 3) ms" \
  "$(start_ms 4) ± $(start_sd 4) ms" "$(ratio "$(start_ms 3)" "$(start_ms 4)")" "MESA_SHADER_CACHE_DISABLE=true"
row "exec and exit alone (ovu --version)" "$(start_ms 5) ± $(start_sd 5) ms" "" "" "the libraries' loading"

# Peak resident memory of a 300-frame run, and of the floor program.
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
p=$(peak ./ovu --no-vsync --windowed 640x480 --fixed-step 16 --frames 300)
q=$(peak ./gl_floor --no-vsync --windowed 640x480 --frames 300)
row "peak RSS, 300 frames at 640 x 480" "$((p / 1024)) MiB" "$((q / 1024)) MiB" "$(ratio "$p" "$q")" "floor: gl_floor"

# Resident memory over a long real-time run, sampled every 30 s, then the
# field it dumps at the end must hold only finite numbers.
if [[ "$rss_minutes" -gt 0 ]]; then
  ./ovu --no-vsync --windowed 640x480 --dump-water "$work/long.bin" --fps 2>"$work/long.err" &
  pid=$!
  : >"$work/rss"
  for ((t = 30; t <= rss_minutes * 60; t += 30)); do
    sleep 30
    awk '/VmRSS/ {print $2}' "/proc/$pid/status" >>"$work/rss"
  done
  kill -TERM "$pid"
  wait "$pid"
  first=$(head -1 "$work/rss"); last=$(tail -1 "$work/rss"); most=$(sort -n "$work/rss" | tail -1)
  frames=$(sed -n 's/^fps: \([0-9]*\) frames.*/\1/p' "$work/long.err")
  bad=$(od -An -v -f "$work/long.bin" | tr -s ' ' '\n' | grep -ciE 'nan|inf' || true)
  row "RSS over $rss_minutes min real time ($frames frames), 30 s samples" \
    "$((last / 1024)) MiB at the end, $((most / 1024)) MiB at most" "$((first / 1024)) MiB at 30 s" \
    "$(ratio "$last" "$first")" "dumped field: $bad non-finite values"
fi
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
