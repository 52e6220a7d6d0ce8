#!/usr/bin/env bash
# Builds the Debian package as a distribution does (dpkg-buildpackage from a
# clean copy of the tree, without the tests, which the suite runs), checks
# it with lintian and tries it as a user gets it. By default it is unpacked
# into a scratch root, which changes nothing on this machine; with --system
# (CI, whose machine is thrown away) it is installed with dpkg, run from the
# installed files, and removed. The package is left in build/package/.
#   scripts/package-test.sh [--system]
set -euo pipefail
cd "$(dirname "$0")/.."
system=false
[[ "${1:-}" == "--system" ]] && system=true

fail() {
  echo "package: $*" >&2
  exit 1
}

version=$(sed -n 's/^project(ovu VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
scratch=$(mktemp -d)
installed=false
# A failed check still takes the package off again.
trap 'rm -rf "$scratch"; if $installed; then timeout 120 dpkg -r ovu >/dev/null || true; fi' EXIT

src=$scratch/ovu-$version
scripts/copy-tree.sh "$src" || fail "cannot copy the tree"
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
(cd "$src" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" timeout 1200 dpkg-buildpackage -us -uc -b -Pnocheck) \
  >"$scratch/build.log" 2>&1 || { tail -n 40 "$scratch/build.log"; fail "dpkg-buildpackage failed"; }
deb=$scratch/ovu_${version}_$(dpkg --print-architecture).deb
[[ -f "$deb" ]] || fail "dpkg-buildpackage made no $(basename "$deb")"
mkdir -p build/package
cp "$deb" build/package/
echo "package: $(basename "$deb")"

# Informational tags shown too; those we keep are overridden with a reason.
lintian --display-info --fail-on error,warning "$deb" || fail "lintian found errors or warnings"

if $system; then
  [[ "$(dpkg-query -W -f='${Status}' ovu 2>/dev/null || true)" != "install ok installed" ]] ||
    fail "ovu is installed already; not touching it"
  installed=true
  timeout 120 dpkg -i "$deb" >/dev/null
  root=""
else
  dpkg-deb -x "$deb" "$scratch/root"
  root=$scratch/root
fi

for bitmap in CHRMWARP.bmp vo.bmp vomask.bmp; do
  cmp -s "$src"/obj-*/"$bitmap" "$root/usr/share/ovu/$bitmap" || fail "$bitmap differs from the build's"
done
[[ $("$root/usr/bin/ovu" --version) == "ovu $version" ]] || fail "the package's version is not the program's"

# What desktops and software centres read: both entries name the installed icon.
share=$root/usr/share
for entry in applications/ovu.desktop applications/screensavers/ovu.desktop; do
  desktop-file-validate "$share/$entry" && grep -qx 'Icon=ovu' "$share/$entry" || fail "$entry does not validate or names no icon"
done
for size in 48 64 128 256; do
  [[ $(file -b "$share/icons/hicolor/${size}x$size/apps/ovu.png") == "PNG image data, $size x $size,"* ]] ||
    fail "no $size x $size icon"
done
appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml >/dev/null || fail "the AppStream metainfo does not validate"
[[ -f $share/xscreensaver/config/ovu.xml && -f $share/man/man6/ovu.6.gz ]] || fail "no xscreensaver description or man page"

# Screensaver hosts list only entries not hidden from their menu tree and
# run only a bare name found in xscreensaver's directory of display modes.
hacks=$root/usr/libexec/xscreensaver
screensaver=$share/applications/screensavers/ovu.desktop
hack=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$screensaver")
[[ $hack != */* && -x $hacks/$hack ]] && ! grep -q '^NoDisplay=true' "$screensaver" ||
  fail "the screensaver entry is hidden or names '$hack', which is not in $hacks"
[[ -L $hacks/ovu && $(readlink -f "$hacks/ovu") == "$(readlink -f "$root/usr/bin/ovu")" ]] ||
  fail "$hacks/ovu is not a link to the installed program"

# From a directory without bitmaps: it finds the installed ones by itself,
# through the link too.
for program in "$root/usr/bin/ovu" "$hacks/ovu"; do
  (cd "$scratch" && timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" "$program" --frames 5 --windowed 320x240) ||
    fail "the installed $program did not run"
done

# mate-screensaver, as a user's desktop runs it: as an unprivileged user, on
# an X server and a session bus of its own, which gsettings and the host
# share (and so dconf). Only installed is the program in the host's directory.
if $system; then
  home=$scratch/home
  mkdir "$home" && chown 65534:65534 "$home" && chmod 755 "$scratch"
  cat >"$scratch/session.sh" <<'EOT'
set -uo pipefail
fail() { echo "package: mate-screensaver: $*" >&2; exit 1; }
gsettings set org.mate.screensaver lock-enabled false  # else deactivating asks for a password
gsettings set org.mate.screensaver mode single
gsettings set org.mate.screensaver themes "['screensavers-ovu']"
mate-screensaver --no-daemon >"$HOME/host.log" 2>&1 &
host=$!
for ((i = 0; i < 100; i++)); do mate-screensaver-command --query >/dev/null 2>&1 && break; sleep 0.1; done
mate-screensaver-command --activate >/dev/null || fail "cannot activate it"
ovu=""
for ((i = 0; i < 100; i++)); do ovu=$(pgrep -P "$host" -x ovu) && break; sleep 0.1; done
[[ -n $ovu && $(tr '\0' ' ' <"/proc/$ovu/cmdline") == "ovu --root "* ]] ||
  fail "it started no 'ovu --root': $(pgrep -a -P "$host")"
# The sky, the fog colour (0.5, 0.5, 0.7), across the top of the host's window.
window=$(tr '\0' '\n' <"/proc/$ovu/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
python3 -c 'import ctypes, sys, time
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 4 + [ctypes.c_ulong, ctypes.c_int]
x11.XGetPixel.argtypes, x11.XGetPixel.restype = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int], ctypes.c_ulong
display, window = x11.XOpenDisplay(None), int(sys.argv[1], 0)
def pixel(x, y):
  value = x11.XGetPixel(x11.XGetImage(display, window, x, y, 1, 1, 0xFFFFFFFF, 2), 0, 0)
  return value >> 16 & 255, value >> 8 & 255, value & 255
for _ in range(300):
  if all(abs(a - b) <= 1 for x in (5, 320, 630) for a, b in zip(pixel(x, 2), (128, 128, 178))): sys.exit(0)
  time.sleep(0.1)
sys.exit(1)' "$window" || fail "ovu does not draw into the host's window '$window'"
mate-screensaver-command --deactivate >/dev/null || fail "cannot deactivate it"
for ((i = 0; i < 100; i++)); do kill -0 "$ovu" 2>/dev/null || break; sleep 0.1; done
kill -0 "$ovu" 2>/dev/null && fail "ovu still runs once deactivated"
kill "$host"
EOT
  (cd "$home" && setpriv --reuid=65534 --regid=65534 --clear-groups env -i HOME="$home" PATH=/usr/bin:/bin \
    timeout 120 xvfb-run -a -s "-screen 0 640x480x24" dbus-run-session -- bash "$scratch/session.sh") \
    >"$scratch/session.log" 2>&1 || { cat "$scratch/session.log"; fail "mate-screensaver did not run ovu in its window"; }
  echo "package: mate-screensaver ran ovu and ended it"
fi

if $system; then
  mapfile -t files < <(dpkg -L ovu)
  timeout 120 dpkg -r ovu >/dev/null
  installed=false
  [[ "$(dpkg-query -W -f='${Status}' ovu 2>/dev/null || true)" != "install ok installed" ]] || fail "ovu is still installed"
  for file in "${files[@]}"; do
    [[ -d "$file" || ! -e "$file" && ! -L "$file" ]] || fail "$file is left after removal"
  done
  [[ ! -e /usr/share/ovu ]] || fail "/usr/share/ovu is left after removal"
fi
echo "package: ok ($($system && echo "installed, run and removed" || echo "unpacked and run"))"
