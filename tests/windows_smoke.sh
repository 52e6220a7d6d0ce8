#!/usr/bin/env bash
# End-to-end checks of the Windows ovu.exe under wine, on the X server that
# xvfb-run gives ctest: a screenshot run whose water dump must equal the
# native build's, the runtime-error line of a real failure, and the zip
# package unpacked into a fresh folder and run from there.
# Usage: windows_smoke.sh WINDOWS_BUILD_DIR NATIVE_OVU
set -uo pipefail

build=$1
native=${2:-}
run=("$(cd "$(dirname "$0")" && pwd)/wine_run.sh" "$build/wine/prefix")
work=$(mktemp -d)
failures=0
trap 'rm -rf "$work"' EXIT
fail() {
  echo "windows_smoke: FAIL: $*" >&2
  failures=$((failures + 1))
}

# The exit code, and stdout the runtime-error line of that code exactly (CR LF, no zero byte) or, for 0, nothing.
expect() {  # expect WHAT CODE COMMAND...
  local what=$1 code=$2 got line=""
  shift 2
  (cd "$build" && OVU_WINE_TIMEOUT=90 "$@") >"$work/out" 2>"$work/err"
  got=$?
  ((code == 0)) || printf -v line 'Runtime error %3d at ' "$code"
  [[ $got -eq $code && $(wc -c <"$work/out") -eq $((code ? 31 : 0)) && $(cat "$work/out") =~ ^"$line"([0-9A-F]{8}$'\r')?$ ]] ||
    fail "$what: exited $got, stdout '$(cat -A "$work/out")', stderr: $(cat "$work/err")"
}
mkdir "$work/none"
expect "screenshot" 0 "${run[@]}" ./ovu.exe --frames 120 --fixed-step 16 --screenshot "$work/shot.png" --dump-water "$work/windows.dump"
expect "missing bitmaps" 2 "${run[@]}" ./ovu.exe --data-dir "$work/none" --frames 1
# Mesa finds no driver in an empty folder, so wine has no GL to offer.
expect "no GL driver" 1 env LIBGL_DRIVERS_PATH="$work/none" "${run[@]}" ./ovu.exe --frames 1

# The top band is sky: the fog and clear colour (0.5, 0.5, 0.7).
/usr/bin/python3 -c 'import sys; from PIL import Image; image = Image.open(sys.argv[1]).convert("RGB")
sys.exit(any(abs(a - b) > 1 for x in (5, 640) for a, b in zip(image.getpixel((x, 2)), (128, 128, 178))))' \
  "$work/shot.png" || fail "the screenshot's sky is not the fog colour"
(cd "$(dirname "$native")" && timeout 90 "$native" --frames 120 --fixed-step 16 --dump-water "$work/native.dump") &&
  cmp "$work/windows.dump" "$work/native.dump" || fail "no native ovu at '$native' or its water dump differs"

(cd "$build" && cpack -G ZIP -B "$work/package" >/dev/null) || fail "cpack failed"
(mkdir "$work/unpacked" && cd "$work/unpacked" && cmake -E tar xf "$work"/package/ovu-*-win*.zip) ||
  fail "cannot unpack the zip"
folder=$(echo "$work"/unpacked/ovu-*)
[[ $(cd "$folder" && LC_ALL=C ls | tr '\n' ' ') == "CHRMWARP.bmp README.txt ovu.exe ovu.scr vo.bmp vomask.bmp " ]] ||
  fail "the zip holds: $(ls -R "$work/unpacked")"
(cd "$folder" && OVU_WINE_TIMEOUT=60 "${run[@]}" ./ovu.exe --frames 5) >"$work/out" 2>&1 ||
  fail "the unpacked ovu.exe exited $?: $(cat "$work/out")"
OVU_WINE_TIMEOUT=60 "${run[@]}" "$folder/ovu.scr" /c >/dev/null 2>&1 &
pid=$!
# Its settings: a box captioned ovu, which Enter dismisses.
box=$(timeout 30 xdotool search --sync --onlyvisible --name '^ovu$' 2>/dev/null | head -n 1)
[[ -n "$box" ]] && xdotool windowfocus --sync "$box" key Return 2>/dev/null || fail "ovu.scr /c showed no box captioned ovu"
wait "$pid" || fail "the unpacked ovu.scr /c exited $?"

((failures == 0)) || { echo "windows_smoke: $failures check(s) failed" >&2; exit 1; }
echo "windows_smoke: all checks passed"
