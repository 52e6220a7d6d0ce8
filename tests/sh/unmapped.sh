# Runs "$@" (the plain demo), unmaps its window for 3 s and maps it again:
# its CPU time (clock ticks, user + system) while unmapped in run.cpu, then
# SIGTERM. It must draw before and after: its CPU time grows, within a
# bound, else it is killed.
. "$(dirname "$0")/await.sh"
cpu() { awk '{ print $14 + $15 }' "/proc/$ovu/stat"; }
grown() { [ "$(cpu)" -ge "$1" ]; }
draws() { await grown $(($(cpu) + 10)); }
"$@" & ovu=$!
await shown && draws || kill -KILL $ovu
xdotool windowunmap "$id"
before=$(cpu)
sleep 3
echo $(($(cpu) - before)) >run.cpu
xdotool windowmap "$id"
draws || kill -KILL $ovu
kill -TERM $ovu
wait $ovu
