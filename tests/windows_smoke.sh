#!/usr/bin/env bash
# End-to-end checks of the Windows ovu.exe under wine, on the X server that
# xvfb-run gives ctest: a screenshot run whose water dump must equal the
# native build's, a run without GL, and the zip package unpacked into a
# fresh folder and run from there.
# Usage: windows_smoke.sh WINDOWS_BUILD_DIR NATIVE_OVU
set -uo pipefail

build=$1
native=${2:-}
run=("$(cd "$(dirname "$0")" && pwd)/wine_run.sh" "$build/wine/prefix")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "windows_smoke: FAIL: $*" >&2; exit 1; }

cd "$build" || exit 1
export OVU_WINE_TIMEOUT=90
"${run[@]}" ./ovu.exe --frames 120 --fixed-step 16 --screenshot "$work/shot.png" --dump-water "$work/windows.dump" \
  >"$work/out" 2>&1 || fail "the screenshot run exited $?: $(cat "$work/out")"
# Mesa finds no driver in an empty folder, so wine has no GL to offer and the window no context.
mkdir "$work/none"
LIBGL_DRIVERS_PATH="$work/none" "${run[@]}" ./ovu.exe --frames 1 >"$work/out" 2>&1
(($? == 1)) || fail "without a GL driver: $(cat "$work/out")"

# The top band is sky: the fog and clear colour (0.5, 0.5, 0.7).
/usr/bin/python3 -c 'import sys; from PIL import Image; image = Image.open(sys.argv[1]).convert("RGB")
sys.exit(any(abs(a - b) > 1 for x in (5, 640) for a, b in zip(image.getpixel((x, 2)), (128, 128, 178))))' \
  "$work/shot.png" || fail "the screenshot's sky is not the fog colour"
(cd "$(dirname "$native")" && timeout 90 "$native" --frames 120 --fixed-step 16 --dump-water "$work/native.dump") &&
  cmp "$work/windows.dump" "$work/native.dump" || fail "no native ovu at '$native' or its water dump differs"

(cpack -G ZIP -B "$work/package" >/dev/null && mkdir "$work/unpacked" && cd "$work/unpacked" &&
  cmake -E tar xf "$work"/package/ovu-*-win*.zip) || fail "cannot pack or unpack the zip"
folder=$(echo "$work"/unpacked/ovu-*)
[[ $(cd "$folder" && LC_ALL=C ls | tr '\n' ' ') == "CHRMWARP.bmp README.txt ovu.exe ovu.scr vo.bmp vomask.bmp " ]] ||
  fail "the zip holds: $(ls -R "$work/unpacked")"
(cd "$folder" && "${run[@]}" ./ovu.exe --frames 5) >"$work/out" 2>&1 ||
  fail "the unpacked ovu.exe exited $?: $(cat "$work/out")"
"${run[@]}" "$folder/ovu.scr" /c >/dev/null 2>&1 &
pid=$!
# Its settings: a box captioned ovu, which Enter dismisses.
box=$(timeout 30 xdotool search --sync --onlyvisible --name '^ovu$' 2>/dev/null | head -n 1)
[[ -n "$box" ]] && xdotool windowfocus --sync "$box" key Return 2>/dev/null || fail "ovu.scr /c showed no box captioned ovu"
wait "$pid" || fail "the unpacked ovu.scr /c exited $?"
