# Runs "$@" on a session bus of its own, watched: its traffic in host.bus,
# marked at both ends so that nothing it sent is missed.
dbus-monitor --session >host.bus 2>&1 & m=$!
mark() {
  for _ in $(seq 600); do
    grep -q "member=$1" host.bus && return
    dbus-send --session --type=signal / "ovu.Test.$1"
    sleep 0.1
  done
  echo "the bus monitor missed $1" >&2
  exit 1
}
mark Ready
"$@"
code=$?
mark End
kill $m
exit $code
