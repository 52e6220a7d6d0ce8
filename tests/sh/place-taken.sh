# Runs "$@" and makes the place of its recording, out, a directory while it records.
. "$(dirname "$0")/await.sh"
"$@" & ovu=$!
await compgen -G 'out.ovu-tmp-*' >/dev/null && mkdir -p out/taken
wait $ovu
