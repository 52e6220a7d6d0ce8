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

# The tree as committed plus new files, without what builds left in it.
src=$scratch/ovu-$version
mkdir "$src"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do [[ -e $file ]] && printf '%s\0' "$file"; done |
  tar --null -T - -cf - | tar -xf - -C "$src" || fail "cannot copy the tree"
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
