# Runs "${@:2}" recording to out, sends signal $1 while the film's temporary
# file exists, and gives it at most 10 s more.
. "$(dirname "$0")/await.sh"
signal=$1
shift
"$@" --record out & ovu=$!
await compgen -G 'out.ovu-tmp-*' >/dev/null && kill "-$signal" $ovu
for _ in $(seq 100); do kill -0 $ovu 2>/dev/null && sleep 0.1; done
kill -KILL $ovu
wait $ovu
