#!/usr/bin/env bash
# What --record costs: frames per second with and without it at 640 x 480 and
# 1920 x 1080 (llvmpipe, under Xvfb and offscreen without a display), the
# cost per frame of reading back and converting, and how long ffmpeg takes
# to make the MP4 and the GIF of docs/recording.md from a record.
#   bench/record.sh        (after cmake --build build/release; needs ffmpeg)
# Not part of the tests: numbers depend on the machine and what else runs.
# Every run has --no-vsync, so that a display's refresh never caps a rate.
set -euo pipefail
cd "$(dirname "$0")/../build/release"

if [[ -z "${OVU_BENCH_INNER:-}" ]]; then
  OVU_BENCH_INNER=1 exec xvfb-run -a -s "-screen 0 2048x1536x24" "../../bench/$(basename "$0")" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rounds=3
median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
fps_of() { "$@" --fps 2>&1 >/dev/null | sed -n 's/^fps: .*: \([0-9.]*\) fps$/\1/p'; }
row() { printf '| %s | %s | %s | %s |\n' "$@"; }

echo "$(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg); $(date -u +%Y-%m-%d)"
echo
row "run" "fps without --record" "fps with --record FILE" "read-back + conversion + write per frame"
row "---" "---:" "---:" "---:"
for size in 640x480 1920x1080; do
  frames=300; [[ $size == 1920x1080 ]] && frames=60
  for where in xvfb offscreen; do
    env=(); [[ $where == offscreen ]] && env=(env -u DISPLAY -u WAYLAND_DISPLAY)
    : >"$work/plain"; : >"$work/rec"
    for ((r = 0; r < rounds; r++)); do
      # --screenshot makes both runs the kind that may draw offscreen.
      fps_of "${env[@]}" ./ovu --no-vsync --windowed "$size" --fixed-step 16 --frames "$frames" --screenshot "$work/s.png" >>"$work/plain"
      fps_of "${env[@]}" ./ovu --no-vsync --windowed "$size" --fixed-step 16 --frames "$frames" --record "$work/r.y4m" >>"$work/rec"
    done
    a=$(median <"$work/plain"); b=$(median <"$work/rec")
    row "${size/x/ x }, $where" "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.1f ms", 1000 / b - 1000 / a}')"
  done
done

# The documented encodes of a 600-frame 1280 x 720 record (10 s at 60 fps).
echo
./ovu --no-vsync --windowed 1280x720 --fixed-step 16 --frames 600 --record "$work/film.y4m" 2>/dev/null
seconds() { /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1; }
mp4=$(seconds ffmpeg -v error -y -i "$work/film.y4m" -vf scale=in_color_matrix=bt709:in_range=full:out_color_matrix=bt709:out_range=tv,format=yuv420p \
  -c:v libx264 -crf 18 -preset medium -colorspace bt709 -color_primaries bt709 -color_trc bt709 "$work/film.mp4")
gif=$(seconds ffmpeg -v error -y -i "$work/film.y4m" -filter_complex \
  "fps=25,scale=480:-1:flags=lanczos:in_color_matrix=bt709:in_range=full,split[a][b];[a]palettegen[p];[b][p]paletteuse" "$work/film.gif")
pipe=$(seconds bash -c "./ovu --no-vsync --windowed 1280x720 --fixed-step 16 --frames 600 --record - 2>/dev/null | ffmpeg -v error -y -i - \
  -vf scale=in_color_matrix=bt709:in_range=full:out_color_matrix=bt709:out_range=tv,format=yuv420p -c:v libx264 -crf 18 $work/pipe.mp4")
row "600 frames of 1280 x 720 (y4m $(( $(stat -c %s "$work/film.y4m") / 1048576 )) MiB)" "MP4 (x264 CRF 18): $mp4 s, $(( $(stat -c %s "$work/film.mp4") / 1024 )) KiB" \
  "GIF (480 wide, 25 fps): $gif s, $(( $(stat -c %s "$work/film.gif") / 1024 )) KiB" "ovu piped into ffmpeg: $pipe s"
