#!/usr/bin/env bash
# End-to-end checks of the Windows ovu.exe under wine, on the X server that
# xvfb-run gives ctest: a screenshot run whose water dump must equal the
# native build's, a run without GL, the zip package unpacked into a fresh
# folder and run from there, the resources of its two programs, and the
# screensaver run over two monitors at 144 DPI.
# Usage: windows_smoke.sh WINDOWS_BUILD_DIR NATIVE_OVU
set -uo pipefail

build=$1
native=${2:-}
run=("$(cd "$(dirname "$0")" && pwd)/wine_run.sh" "$build/wine/prefix")
work=$(mktemp -d)
xvfb=""
trap '[[ -z $xvfb ]] || kill "$xvfb"; WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
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
[[ $(cd "$folder" && LC_ALL=C ls | tr '\n' ' ') == "CHRMWARP.bmp LICENSE.txt README.txt ovu.exe ovu.ico ovu.scr vo.bmp vomask.bmp " ]] ||
  fail "the zip holds: $(ls -R "$work/unpacked")"
(cd "$folder" && "${run[@]}" ./ovu.exe --frames 5) >"$work/out" 2>&1 ||
  fail "the unpacked ovu.exe exited $?: $(cat "$work/out")"
"${run[@]}" "$folder/ovu.scr" /c >/dev/null 2>&1 &
pid=$!
# Its settings: a box captioned ovu, which Enter dismisses.
box=$(timeout 30 xdotool search --sync --onlyvisible --name '^ovu$' 2>/dev/null | head -n 1)
[[ -n "$box" ]] && xdotool windowfocus --sync "$box" key Return 2>/dev/null || fail "ovu.scr /c showed no box captioned ovu"
wait "$pid" || fail "the unpacked ovu.scr /c exited $?"

# The icon decodes at every size (the 256 one is a PNG, as the Linux icons are):
# clear in the corners, opaque in the middle.
/usr/bin/python3 -c 'import sys; from PIL import Image; icon = Image.open(sys.argv[1])
sizes = sorted(icon.ico.sizes())
images = [icon.ico.getimage(size).convert("RGBA") for size in sizes]
sys.exit(sizes != [(n, n) for n in (16, 24, 32, 48, 64, 256)] or
         any(i.getpixel((0, 0))[3] != 0 or i.getpixel((i.width // 2, i.height // 2))[3] != 255 for i in images))' \
  ovu.ico || fail "ovu.ico does not decode as the icon at all its sizes"
# Both programs carry the manifest, the version (the .scr's description is
# the screensaver list's name) and the icon the build drew.
version=${folder##*/ovu-}
version=${version%-win*}
for entry in "ovu.exe:ovu water demo" ovu.scr:ovu; do
  program=$folder/${entry%%:*}
  wrestool -x --raw --type=24 --name=1 "$program" | grep -q '>PerMonitorV2, PerMonitor<' ||
    fail "${entry%%:*} has no manifest declaring per-monitor DPI awareness"
  fields=$(wrestool -x --raw --type=16 "$program" | /usr/bin/python3 -c 'import re, sys
text = sys.stdin.buffer.read().decode("utf-16-le", "replace")
print(";".join("=".join(m) for m in re.findall("(FileDescription|ProductName|ProductVersion)\0+([ -~]+?)\0", text)))')
  [[ $fields == "FileDescription=${entry#*:};ProductName=ovu;ProductVersion=$version" ]] ||
    fail "${entry%%:*}'s version resource says '$fields'"
  wrestool -x --type=14 -o "$work/icon.ico" "$program" && cmp -s -n "$(stat -c %s ovu.ico)" ovu.ico "$work/icon.ico" ||
    fail "${entry%%:*} does not carry the build's icon"
done

# Two monitors under Xinerama, which wine reads only where RandR is absent.
# Xvfb puts both at 0,0, so they differ in size: the virtual screen is the
# second, the primary only its upper left 640 x 480. An X server of its own,
# as the pointer is moved, and a copy of the prefix set to 144 DPI: its wine
# server reads monitors and DPI when it starts.
Xvfb -displayfd 3 +xinerama -extension RANDR -noreset -nolisten tcp -screen 0 640x480x24 -screen 1 800x600x24 \
  3>"$work/display" 2>/dev/null &
xvfb=$!
cp -al "$build/wine/prefix" "$work/prefix" && rm "$work"/prefix/*.reg && cp "$build"/wine/prefix/*.reg "$work/prefix" &&
  sed -i 's/^\[Control Panel\\\\Desktop\].*/&\n"LogPixels"=dword:00000090/' "$work/prefix/user.reg" || fail "cannot copy the prefix"
run[1]=$work/prefix
for ((i = 0; i < 100; i++)); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
# The real pixels at 144 DPI: the maximised window fills a monitor (which
# of the two, both at 0,0, differs between wine's 64- and 32-bit builds).
"${run[@]}" ./ovu.exe --frames 2 --verbose >"$work/out" 2>&1
tr -d '\r' <"$work/out" | grep -qxE 'window: (640 x 480|800 x 600)' || fail "ovu.exe at 144 DPI: $(cat "$work/out")"
xdotool mousemove 700 550  # on the second monitor only
"${run[@]}" "$folder/ovu.scr" /s >"$work/out" 2>&1 &
pid=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^ovu$' 2>/dev/null | head -n 1)
[[ -n $window && $(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y|WIDTH|HEIGHT)=' | tr '\n' ' ') == \
  "X=0 Y=0 WIDTH=800 HEIGHT=600 " ]] || fail "ovu.scr /s does not cover the virtual screen"
# Nothing of the (black) desktop shows once it draws: sky above, water below, on both monitors.
/usr/bin/python3 -c 'import sys, time; from PIL import ImageGrab
for _ in range(300):
  image = ImageGrab.grab(xdisplay=sys.argv[1]).convert("RGB")
  if not any(image.getpixel((x, y)) == (0, 0, 0) for x in range(0, 800, 8) for y in range(0, 600, 8)): break
  time.sleep(0.1)
else: sys.exit(1)
image.save(sys.argv[2])' "$DISPLAY" "$build/two-monitors.png" || fail "ovu.scr /s leaves the desktop showing"
kill -0 "$pid" || fail "ovu.scr /s ended by itself: $(cat "$work/out")"
# More than four pixels on the second monitor ends it.
for ((i = 0; i < 100; i++)); do
  kill -0 "$pid" 2>/dev/null || break
  xdotool mousemove $((700 + i % 2 * 60)) 580 sleep 0.1
done
wait "$pid" || fail "ovu.scr /s, the pointer moved on the second monitor: exit $?: $(cat "$work/out")"
