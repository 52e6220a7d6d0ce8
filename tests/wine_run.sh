#!/usr/bin/env bash
# Runs one program of the Windows build under wine, with the loader of its
# architecture: the cross build's test emulator.
# Usage: wine_run.sh PREFIX PROGRAM.exe [ARGS...]
# The wine prefix is made on first use, under a lock so parallel tests wait
# for it. Every run has a time limit, so a hung program fails its test.
set -euo pipefail

prefix=$1 program=$2
shift

# Each loader by its own name: /usr/bin/wine prefers the 32-bit one, which
# starts a 64-bit program as a child of its own, so signals and the exit code
# would reach that child only second-hand. Without wine32, wine64 starts a
# 32-bit program that ends at once with 0, which would pass for success.
case $(file -b "$program") in
  "PE32+ "*) loader=$(command -v wine64 || echo /usr/lib/wine/wine64) arch=win64 ;;
  "PE32 "*) loader=/usr/lib/wine/wine arch=win32 ;;
  *) loader="" ;;
esac
[[ -x "$loader" ]] ||
  { echo "wine_run: no wine loader for $program ($(file -b "$program"); a 32-bit one needs wine32:i386)" >&2; exit 125; }

export WINEPREFIX=$prefix WINEARCH=$arch WINELOADER=$loader WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [[ ! -e "$prefix/.ovu-ready" ]]; then
    rm -rf "$prefix"
    timeout 300 "$loader" wineboot -i >/dev/null 2>&1
    # Unmanaged windows get their full size and the keyboard under a bare X server.
    timeout 60 "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    timeout 60 wineserver -w
    touch "$prefix/.ovu-ready"
  fi
) 9>"$prefix.lock"

# One server for a whole test run: started anew for every program, wine
# would spend seconds on each. It leaves 20 s after the last program ends.
wineserver -p20 </dev/null >/dev/null 2>&1 || true

# The server, wine's services and its desktop process outlive the program
# that started them and keep its output open, and ctest waits for that to
# close. So the program writes to files, and they are copied out at its end.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
timeout -k 5 "${OVU_WINE_TIMEOUT:-120}" "$loader" "$@" >"$out" 2>"$err" &
child=$!
trap 'kill "$child" 2>/dev/null' TERM INT
code=0
wait "$child" || code=$?
cat "$out"
cat "$err" >&2
exit "$code"
