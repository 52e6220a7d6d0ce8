#!/usr/bin/env bash
# End-to-end checks of the Windows ovu.exe under wine, on the X server that
# xvfb-run gives ctest: a screenshot run whose water dump must equal the
# native build's, a run without GL, the zip package unpacked into a fresh
# folder and run from there, the resources of its two programs, the
# screensaver's settings (its dialog, and what /s and /p apply), and the
# screensaver run over two monitors at 144 DPI.
# Usage: windows_smoke.sh WINDOWS_BUILD_DIR NATIVE_OVU
set -uo pipefail

build=$1
native=${2:-}
run=("$(cd "$(dirname "$0")" && pwd)/wine_run.sh" "$build/wine/prefix")
work=$(mktemp -d)
xvfb=""
copies=0
trap '[[ -z $xvfb ]] || kill "$xvfb"; for copy in "$work"/prefix*/; do WINEPREFIX=$copy wineserver -k; done 2>/dev/null
  rm -rf "$work"' EXIT
fail() { echo "windows_smoke: FAIL: $*" >&2; exit 1; }
# The build's prefix copied, for runs that store settings or change the system's: nothing reaches another run.
# Its user.reg gains these lines (joined by '|') under the settings' key; none: no key.
use_prefix_copy() {
  run[1]=$work/prefix$((++copies))
  cp -al "$build/wine/prefix" "${run[1]}" && rm "${run[1]}"/*.reg && cp "$build"/wine/prefix/*.reg "${run[1]}" &&
    { [[ -z $1 ]] || printf '[Software\\\\ovu]\n%s\n' "${1//|/$'\n'}" >>"${run[1]}/user.reg"; } || fail "cannot copy the prefix"
}
# The first visible window captioned ovu, polled for up to a minute: a search with --sync can fail at once (an X
# error, it seems) when a window goes away while it looks, as wine's do while a program starts.
saver_window() {
  for ((i = 0; i < 600; i++)); do xdotool search --onlyvisible --name '^ovu$' 2>/dev/null | sed -n 1p | grep . && return; sleep 0.1; done; false
}
# Nudges the pointer at X Y back and forth until the screensaver run PID ends; its exit code.
end_by_pointer() {
  for ((i = 0; i < 100; i++)); do kill -0 "$1" 2>/dev/null && xdotool mousemove $(($2 + i % 2 * 60)) "$3" sleep 0.1 || break; done
  wait "$1"
}
# ovu.scr /s: it must say that it applied SETTINGS and end normally; with
# yes or no after them, whether the title shows in its first 7 s of drawing
# (red above 200: brighter than anything in the scene without it).
check_saver_run() {
  OVU_VERBOSE=1 "${run[@]}" ./ovu.scr /s >"$work/out" 2>&1 &
  local pid=$! shown="" && saver_window >/dev/null || fail "ovu.scr /s, $1 expected, showed no window: $(cat "$work/out")"
  [[ -z ${2:-} ]] || shown=$(/usr/bin/python3 -c 'import sys, time; from PIL import ImageGrab
start, drawn, shown = time.time(), None, "no"
while shown == "no" and time.time() - start < 60 and (drawn is None or time.time() - drawn < 7):
  image = ImageGrab.grab(xdisplay=sys.argv[1]).convert("RGB").resize((160, 128))
  if drawn is None and image.getpixel((80, 2)) != (0, 0, 0): drawn = time.time()
  shown = "yes" if sum(p[0] > 200 for p in image.getdata()) > 100 else "no"
print(shown)' "$DISPLAY")
  end_by_pointer "$pid" 100 100 || fail "ovu.scr /s, $1 expected: exit $?: $(cat "$work/out")"
  [[ $shown == "${2:-}" ]] && tr -d '\r' <"$work/out" | grep -qx "screensaver: $1" ||
    fail "ovu.scr /s, $1 expected: title shown: $shown: $(cat "$work/out")"
}

cd "$build" || exit 1
export OVU_WINE_TIMEOUT=90
"${run[@]}" ./ovu.exe --frames 120 --fixed-step 16 --screenshot "$work/shot.png" --dump-water "$work/windows.dump" \
  >"$work/out" 2>&1 || fail "the screenshot run exited $?: $(cat "$work/out")"
# Mesa finds no driver in an empty folder, so wine has no GL to offer and the window no context.
mkdir "$work/none"
LIBGL_DRIVERS_PATH="$work/none" "${run[@]}" ./ovu.exe --frames 1 >"$work/out" 2>&1
(($? == 1)) || fail "without a GL driver: $(cat "$work/out")"
# A film on standard output is binary: no CR is added before a LF.
"${run[@]}" ./ovu.exe --windowed 160x120 --frames 2 --record - >"$work/film" 2>"$work/out" &&
  (($(stat -c %s "$work/film") == $(head -n 1 "$work/film" | wc -c) + 2 * (6 + 3 * 160 * 120))) ||
  fail "ovu.exe --record - wrote $(stat -c %s "$work/film") bytes: $(cat "$work/out")"
# A click drops into the water of an interactive run, and the journal says so.
"${run[@]}" ./ovu.exe --windowed 160x120 --interactive --frames 200 --max-fps 20 --record-input "$work/j.txt" >"$work/out" 2>&1 &
window=$(saver_window) && xdotool mousemove --window "$window" 80 100 click 1
wait $! && (($(wc -l <"$work/j.txt") > 1)) || fail "ovu.exe --interactive dropped nothing for a click: $(cat "$work/out")"

# The top band is sky: the fog and clear colour (0.5, 0.5, 0.7).
/usr/bin/python3 -c 'import sys; from PIL import Image; image = Image.open(sys.argv[1]).convert("RGB")
sys.exit(any(abs(a - b) > 1 for x in (5, 640) for a, b in zip(image.getpixel((x, 2)), (128, 128, 178))))' \
  "$work/shot.png" || fail "the screenshot's sky is not the fog colour"
(cd "$(dirname "$native")" && timeout 90 "$native" --frames 120 --fixed-step 16 --dump-water "$work/native.dump") &&
  cmp "$work/windows.dump" "$work/native.dump" || fail "no native ovu at '$native' or its water dump differs"

(cpack -G ZIP -B "$work/package" >/dev/null && mkdir "$work/unpacked" && cd "$work/unpacked" &&
  cmake -E tar xf "$work"/package/ovu-*-win*.zip) || fail "cannot pack or unpack the zip"
folder=$(echo "$work"/unpacked/ovu-*)
[[ $(cd "$folder" && LC_ALL=C ls | tr '\n' ' ') == "CHRMWARP.bmp LICENSE.txt NOTICES.txt README.txt ovu.exe ovu.ico ovu.scr vo.bmp vomask.bmp " ]] ||
  fail "the zip holds: $(ls -R "$work/unpacked")"
(cd "$folder" && "${run[@]}" ./ovu.exe --frames 5) >"$work/out" 2>&1 ||
  fail "the unpacked ovu.exe exited $?: $(cat "$work/out")"
# The host's generator drew them: the native build's bytes, redrawn when it changes.
for bmp in CHRMWARP.bmp vo.bmp vomask.bmp; do cmp -s "$folder/$bmp" "${native%/*}/$bmp" || fail "the zip's $bmp differs"; done

# The settings dialog, driven by the test program as a host: rows of how it
# is closed with the controls set to fps, title and vsync; what it showed
# when opened; what the registry holds after. OK and Enter store, Cancel and Esc do not.
use_prefix_copy ""
while IFS=';' read -r how shown stored; do
  [[ $(cd tests && "${run[@]}" ./win32_platform_tests.exe host $how 2>&1 | tr -d '\r') == "$shown" &&
    $("${run[@]}" "${run[1]}/drive_c/windows/system32/reg.exe" query 'HKCU\Software\ovu' | tr -d '\r' | awk '/REG_DWORD/ {
      printf "%s%s=%s", sep, $1, $3; sep = " " }') == "$stored" ]] || fail "the settings dialog, closed by $how, failed, or showed or stored other settings"
done <<'ROWS'
enter 20 1 0;30 fps, title on, vsync on;MaxFps=0x14 Title=0x1 VSync=0x0
ok 15 0 1;20 fps, title on, vsync off;MaxFps=0xf Title=0x0 VSync=0x1
cancel 60 1 0;15 fps, title off, vsync on;MaxFps=0xf Title=0x0 VSync=0x1
escape 90 1 0;15 fps, title off, vsync on;MaxFps=0xf Title=0x0 VSync=0x1
ROWS
# What it stored is what /s and /p apply (the console program's /p says so before it finds no window 1); with
# the key deleted, the defaults.
check_saver_run "15 fps at most, title off, vsync on" no
OVU_VERBOSE=1 "${run[@]}" ./ovu.exe /p 1 >"$work/out" 2>&1
tr -d '\r' <"$work/out" | grep -qx "screensaver: 15 fps at most, title off, vsync on" || fail "ovu.exe /p: $(cat "$work/out")"
# The plain demo takes its options from its command line only.
OVU_VERBOSE=1 "${run[@]}" ./ovu.exe --frames 1 >"$work/out" 2>&1 && ! grep -q screensaver: "$work/out" ||
  fail "the plain ovu.exe: $(cat "$work/out")"
"${run[@]}" "${run[1]}/drive_c/windows/system32/reg.exe" delete 'HKCU\Software\ovu' /f >/dev/null || fail "cannot delete the key"
check_saver_run "30 fps at most, title on, vsync on" yes
# Stored data is never trusted: a number out of range is clamped, anything else is the default.
for row in '"MaxFps"="15"|"Title"=dword:00000000;30 fps at most, title off, vsync on' \
  '"MaxFps"=dword:00000000|"VSync"=hex(4):00,00;5 fps at most, title on, vsync on' \
  '"MaxFps"=dword:000186a0|"Title"=dword:00000002|"VSync"=dword:00000000;120 fps at most, title on, vsync off' \
  '"MaxFps"=dword:ffffffff|"Title"=hex:00,00,00,00;120 fps at most, title on, vsync on'; do
  use_prefix_copy "${row%;*}" && check_saver_run "${row#*;}"
done
run[1]=$build/wine/prefix

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
  # The screensaver list's name: string 1 of the first block of 16, each string its length and UTF-16 text.
  [[ $(wrestool -x --raw --type=6 --name=1 "$program" | /usr/bin/python3 -c 'import sys; b = sys.stdin.buffer.read()
i = 2 + 2 * int.from_bytes(b[:2], "little")
print(b[i + 2:i + 2 + 2 * int.from_bytes(b[i:i + 2], "little")].decode("utf-16-le"))') == ovu ]] ||
    fail "${entry%%:*}'s string 1 is not ovu"
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
use_prefix_copy ""
sed -i 's/^\[Control Panel\\\\Desktop\].*/&\n"LogPixels"=dword:00000090/' "${run[1]}/user.reg" || fail "cannot set 144 DPI"
for ((i = 0; i < 100; i++)); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
# The real pixels at 144 DPI: the maximised window fills a monitor (which
# of the two, both at 0,0, differs between wine's 64- and 32-bit builds).
"${run[@]}" ./ovu.exe --frames 2 --verbose >"$work/out" 2>&1
# By default it asks for a swap interval of 1 (and says what came of it).
tr -d '\r' <"$work/out" | grep -cxE 'window: (640 x 480|800 x 600)|gl: swap interval asked 1, .*(reports|refused).*' |
  grep -qx 2 || fail "ovu.exe at 144 DPI: $(cat "$work/out")"
xdotool mousemove 700 550  # on the second monitor only
"${run[@]}" "$folder/ovu.scr" /s >"$work/out" 2>&1 &
pid=$!
window=$(saver_window)
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
end_by_pointer "$pid" 700 580 || fail "ovu.scr /s, the pointer moved on the second monitor: exit $?: $(cat "$work/out")"
