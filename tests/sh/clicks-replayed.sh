# Sends a click and a drag to "$@" with --interactive and without it; then
# replays the first run's journal, and runs without input, both without a
# display. The replay gives the same field and video, the clicks change
# nothing without --interactive, and there is at most one drop a frame (the
# drag moves twice at a time), the click's among them; moves without a
# button drop nothing.
. "$(dirname "$0")/await.sh"
send() {
  await shown || return
  xdotool mousemove --window "$id" 80 60 click 1 sleep 0.3 mousemove --window "$id" 20 100 mousedown 1 \
    $(for x in 40 80 120; do echo sleep 0.1 mousemove --window "$id" $x 90 mousemove --window "$id" $((x + 20)) 90; done) mouseup 1 \
    $(for x in 20 60 100 140; do echo sleep 0.1 mousemove --window "$id" $x 110; done)
}
"$@" --interactive --record-input live.txt --dump-water live.bin --record live.y4m & ovu=$!
send
wait $ovu || exit
"$@" --dump-water clicked.bin & ovu=$!
send
wait $ovu || exit
env -u DISPLAY "$@" --replay live.txt --dump-water replay.bin --record replay.y4m &&
  env -u DISPLAY "$@" --dump-water plain.bin || exit
cmp live.bin replay.bin && cmp live.y4m replay.y4m && cmp plain.bin clicked.bin && ! cmp -s live.bin plain.bin &&
  grep -q ' 5[01] 50$' live.txt &&
  awk 'NR > 1 { bad = bad || $1 <= last; last = $1; n++ } END { exit bad || n < 3 || n > 8 }' live.txt
