# Runs "$@" recording 64 x 48 frames to a.y4m, lowers its window alone for
# two frames, then grows it to 96 x 64: each size is fitted to the first, the
# lowered one padded (a picture read past its end would show under the
# sanitizers) and the grown one cut.
. "$(dirname "$0")/await.sh"
frames() { echo $(($(stat -c %s a.y4m.ovu-tmp-* 2>/dev/null || echo 0) / (6 + 3 * 64 * 48))); }
later() { [ "$(frames)" -ge "$1" ]; }
"$@" & ovu=$!
await shown && xdotool windowsize "$id" 64 32 && await later $(($(frames) + 2)) && xdotool windowsize "$id" 96 64
wait $ovu
