# Sourced by the scripts that start the program in the background as $ovu:
# `await COMMAND` until it succeeds, failing with the reason once the program
# has ended or a minute has passed; `shown` sets $id to its visible window.
await() {
  for _ in $(seq 600); do
    "$@" && return
    kill -0 "$ovu" 2>/dev/null || { echo "ended before: $*" >&2; return 1; }
    sleep 0.1
  done
  echo "not within a minute: $*" >&2
  return 1
}
shown() { id=$(xdotool search --onlyvisible --name '^ovu$' | head -n 1) && [ -n "$id" ]; }
