#!/usr/bin/env bash
# End-to-end checks of the Windows ovu.exe under wine, on the X server that
# xvfb-run gives ctest: a screenshot run, the water dump against the native
# build's, failing bitmaps, no GL, the keys that end it and those that do
# not, and the zip package unpacked on its own.
# Usage: windows_smoke.sh WINDOWS_BUILD_DIR NATIVE_OVU
set -uo pipefail

build=$1
native=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
prefix=$build/wine/prefix
work=$(mktemp -d)
failures=0
trap 'rm -rf "$work"' EXIT

fail() {
  echo "windows_smoke: FAIL: $*" >&2
  failures=$((failures + 1))
}

# ovu.exe from the build directory, where the bitmaps are; stdout and stderr to files.
ovu() {
  (cd "$build" && OVU_WINE_TIMEOUT=90 "$here/wine_run.sh" "$prefix" ./ovu.exe "$@") >"$work/out" 2>"$work/err"
}

# The RGB pixel at x, y of a PNG, as "r g b" (any filter, 8-bit RGB only).
png_pixel() {
  python3 - "$@" <<'EOF'
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
x, y = int(sys.argv[2]), int(sys.argv[3])
pos, idat = 8, b''
while pos < len(data):
    length, kind = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b'IHDR':
        width, height, depth, colour = struct.unpack('>IIBB', body[:10])
        assert depth == 8 and colour == 2, 'not 8-bit RGB'
    elif kind == b'IDAT':
        idat += body
    pos += 12 + length
raw, stride, prev = zlib.decompress(idat), width * 3, bytearray(width * 3)
for row in range(y + 1):
    line = bytearray(raw[row * (stride + 1) + 1:(row + 1) * (stride + 1)])
    kind = raw[row * (stride + 1)]
    for i in range(stride):
        a = line[i - 3] if i >= 3 else 0
        b, c = prev[i], prev[i - 3] if i >= 3 else 0
        if kind == 1: line[i] = (line[i] + a) & 255
        elif kind == 2: line[i] = (line[i] + b) & 255
        elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    prev = line
print(*prev[x * 3:x * 3 + 3])
EOF
}

near() {  # near "r g b" R G B: every channel within 1
  local -a got=($1) want=("$2" "$3" "$4")
  local i d
  for i in 0 1 2; do
    d=$((got[i] - want[i]))
    ((d >= -1 && d <= 1)) || return 1
  done
}

# The runtime-error line exactly: code right-aligned, eight hex digits, CR LF, no zero byte.
expect_error_line() {  # expect_error_line CODE WHAT
  local line
  printf -v line 'Runtime error %3d at ' "$1"
  local bytes
  bytes=$(od -An -c "$work/out" | tr -s ' ')
  if [[ $(head -c 21 "$work/out") != "$line" || $(wc -c <"$work/out") -ne 31 ||
        ! $(tail -c 10 "$work/out" | od -An -tx1 | tr -d ' \n') =~ ^(3[0-9]|4[1-6]){8}0d0a$ ]]; then
    fail "$2: stdout is not the line for $1: $bytes"
  fi
}

echo "== screenshot and water dump"
ovu --frames 120 --fixed-step 16 --screenshot "$work/shot.png" --dump-water "$work/windows.dump"
code=$?
[[ $code -eq 0 ]] || fail "screenshot run exited $code: $(cat "$work/err")"
[[ ! -s "$work/out" ]] || fail "screenshot run wrote to stdout: $(cat "$work/out")"
if [[ -s "$work/shot.png" ]]; then
  # The top band is sky: the fog and clear colour (0.5, 0.5, 0.7).
  for x in 5 640; do
    pixel=$(png_pixel "$work/shot.png" "$x" 2)
    near "$pixel" 128 128 178 || fail "pixel ($x, 2) is $pixel, not the fog colour 128 128 178"
  done
else
  fail "no screenshot written"
fi
if [[ -x "$native" ]]; then
  (cd "$(dirname "$native")" && timeout 90 "$native" --frames 120 --fixed-step 16 --dump-water "$work/native.dump") \
    || fail "the native run for the reference dump failed"
  cmp -s "$work/windows.dump" "$work/native.dump" || fail "the water dump differs from the native build's"
else
  fail "no native ovu at '$native' to compare the water dump with (build the release preset first)"
fi

echo "== failing bitmaps"
mkdir -p "$work/missing" "$work/short" "$work/readonly"
ovu --data-dir "$work/missing" --frames 1
code=$?
[[ $code -eq 2 ]] || fail "missing bitmaps exited $code, not 2"
expect_error_line 2 "missing bitmaps"
cp "$build"/*.bmp "$work/short/"
truncate -s -1 "$work/short/CHRMWARP.bmp"
ovu --data-dir "$work/short" --frames 1
code=$?
[[ $code -eq 100 ]] || fail "a short bitmap exited $code, not 100"
expect_error_line 100 "a short bitmap"
cp "$build"/*.bmp "$work/readonly/"
chmod a-w "$work/readonly"/*.bmp
ovu --data-dir "$work/readonly" --frames 2
code=$?
[[ $code -eq 0 ]] || fail "read-only bitmaps exited $code, not 0: $(cat "$work/out")"

echo "== no GL driver"
# Mesa finds no driver in an empty folder, so wine has no GL to offer.
LIBGL_DRIVERS_PATH=$work/missing ovu --frames 1
code=$?
[[ $code -eq 1 ]] || fail "without a GL driver it exited $code, not 1"
expect_error_line 1 "no GL driver"

echo "== keys"
(cd "$build" && OVU_WINE_TIMEOUT=60 exec "$here/wine_run.sh" "$prefix" ./ovu.exe) >"$work/out" 2>"$work/err" &
pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^ovu$' 2>/dev/null | head -n 1)
if [[ -z "$window" ]]; then
  fail "no window named ovu appeared"
else
  sleep 1
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key alt+a
  sleep 2
  kill -0 "$pid" 2>/dev/null || fail "alt+a ended the program"
  xdotool key a
fi
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  fail "the key a did not end the program"
  kill "$pid"
fi
wait "$pid"
code=$?
[[ $code -eq 0 ]] || fail "the program ended by a key exited $code, not 0"
[[ ! -s "$work/out" ]] || fail "the program ended by a key wrote to stdout: $(cat "$work/out")"

echo "== the zip, unpacked on its own"
(cd "$build" && cpack -G ZIP -B "$work/package" >/dev/null) || fail "cpack failed"
(mkdir "$work/unpacked" && cd "$work/unpacked" && cmake -E tar xf "$work"/package/ovu-*-win*.zip) ||
  fail "cannot unpack the zip"
folder=$(echo "$work"/unpacked/ovu-*)
[[ $(cd "$folder" && LC_ALL=C ls | tr '\n' ' ') == "CHRMWARP.bmp README.txt ovu.exe ovu.scr vo.bmp vomask.bmp " ]] ||
  fail "the zip holds: $(ls -R "$work/unpacked")"
(cd "$folder" && OVU_WINE_TIMEOUT=60 "$here/wine_run.sh" "$prefix" ./ovu.exe --frames 5) >"$work/out" 2>&1 ||
  fail "the unpacked ovu.exe exited $?: $(cat "$work/out")"
OVU_WINE_TIMEOUT=60 "$here/wine_run.sh" "$prefix" "$folder/ovu.scr" /c >/dev/null 2>&1 &
pid=$!
# Its settings: a box captioned ovu, which Enter dismisses.
box=$(timeout 30 xdotool search --sync --onlyvisible --name '^ovu$' 2>/dev/null | head -n 1)
[[ -n "$box" ]] && xdotool windowfocus --sync "$box" key Return 2>/dev/null || fail "ovu.scr /c showed no box captioned ovu"
wait "$pid" || fail "the unpacked ovu.scr /c exited $?"

if ((failures > 0)); then
  echo "windows_smoke: $failures check(s) failed" >&2
  exit 1
fi
echo "windows_smoke: all checks passed"
