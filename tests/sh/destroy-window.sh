# Runs "$@" and destroys its window from outside once it draws (it has said
# so), on an X server of the row's own.
. "$(dirname "$0")/await.sh"
"$@" --verbose 2>err & ovu=$!
await grep -q '^window:' err && await shown && xdotool windowclose "$id" || kill -KILL $ovu
wait $ovu
code=$?
cat err >&2
exit $code
