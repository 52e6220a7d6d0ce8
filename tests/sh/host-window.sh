# Runs "${@:2}" in a host's window of the X11 helper's, of kind $1 ("" for a
# plain one), drawn into.
kind=$1
shift
exec 3< <("$X11_HELPER" host 64x48 $kind 2>/dev/null)
read -r id <&3
exec "$@" --window-id "$id"
