#!/usr/bin/env bash
# Builds the Debian package from the release build and tries it as a user
# gets it. By default it is unpacked into a scratch root, which changes
# nothing on this machine; with --system (CI, whose machine is thrown away)
# it is installed with dpkg, run from the installed files, and removed.
#   scripts/package-test.sh [--system]
set -euo pipefail
cd "$(dirname "$0")/.."
system=false
[[ "${1:-}" == "--system" ]] && system=true

fail() {
  echo "package: $*" >&2
  exit 1
}

deb=$(cd build/release && timeout 300 cpack | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p')
[[ -f "$deb" ]] || fail "cpack made no package"
echo "package: $(basename "$deb")"

scratch=$(mktemp -d)
installed=false
# A failed check still takes the package off again.
trap 'rm -rf "$scratch"; if $installed; then timeout 120 dpkg -r ovu >/dev/null || true; fi' EXIT
if $system; then
  [[ "$(dpkg-query -W -f='${Status}' ovu 2>/dev/null || true)" != "install ok installed" ]] ||
    fail "ovu is installed already; not touching it"
  installed=true
  timeout 120 dpkg -i "$deb" >/dev/null
  root=""
else
  dpkg-deb -x "$deb" "$scratch"
  root=$scratch
fi

for bitmap in CHRMWARP.bmp vo.bmp vomask.bmp; do
  cmp -s "build/release/$bitmap" "$root/usr/share/ovu/$bitmap" || fail "$bitmap differs from the build's"
done

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

# From a directory without bitmaps: it finds the installed ones by itself.
(cd "$scratch" && timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$root/usr/bin/ovu" --frames 5 --windowed 320x240) ||
  fail "the installed ovu did not run"

if $system; then
  mapfile -t files < <(dpkg -L ovu)
  timeout 120 dpkg -r ovu >/dev/null
  installed=false
  [[ "$(dpkg-query -W -f='${Status}' ovu 2>/dev/null || true)" != "install ok installed" ]] || fail "ovu is still installed"
  for file in "${files[@]}"; do
    [[ -d "$file" || ! -e "$file" ]] || fail "$file is left after removal"
  done
  [[ ! -e /usr/share/ovu ]] || fail "/usr/share/ovu is left after removal"
fi
echo "package: ok ($($system && echo "installed, run and removed" || echo "unpacked and run"))"
