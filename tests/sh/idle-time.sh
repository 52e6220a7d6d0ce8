# Runs "$@" and follows the X server's idle time until it reaches 40 s or
# falls back; the last reading in host.idle. Then SIGTERM.
"$@" & ovu=$!
last=0
while idle=$(xprintidle) && [ "$idle" -ge $last ] && [ "$idle" -lt 40000 ]; do
  last=$idle
  sleep 0.5
done
echo "$idle" >host.idle
kill -TERM $ovu
wait $ovu
