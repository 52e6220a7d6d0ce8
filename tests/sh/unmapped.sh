# Runs "${@:2}" in a 64 x 48 window of its own ($1 own) or of a host's ($1
# host), unmaps the window once it draws and keeps it unmapped for 3 s: its
# CPU time (clock ticks, user + system) meanwhile in run.cpu. Its own window
# is then mapped again and must draw before SIGTERM; the host's gets SIGTERM
# while unmapped. Either must end within 10 s of it. It draws when a pixel of
# the water changes. Its standard error (with --fps) is also in run.err.
. "$(dirname "$0")/await.sh"
where=$1
shift
cpu() { awk '{ print $14 + $15 }' "/proc/$ovu/stat"; }
changed() { [ "$("$X11_HELPER" pixel "$id" 32 45)" != "$1" ]; }
draws() { await changed "$("$X11_HELPER" pixel "$id" 32 45)"; }
if [ "$where" = host ]; then
  exec 3< <("$X11_HELPER" host 64x48 2>/dev/null)
  read -r id <&3
  "$@" --window-id "$id" 2>run.err & ovu=$!
else
  "$@" --windowed 64x48 2>run.err & ovu=$!
  await shown
fi
draws && xdotool windowunmap "$id" || kill -KILL $ovu
before=$(cpu) && sleep 3 && echo $(($(cpu) - before)) >run.cpu
[ "$where" = host ] || { xdotool windowmap "$id" && draws; } || kill -KILL $ovu
kill -TERM $ovu
for _ in $(seq 100); do kill -0 $ovu 2>/dev/null && sleep 0.1; done
kill -KILL $ovu 2>/dev/null
wait $ovu
code=$?
cat run.err >&2
exit $code
