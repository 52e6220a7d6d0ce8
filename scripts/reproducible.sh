#!/usr/bin/env bash
# Checks that the same sources give the same bytes. The Debian package, both
# Windows zips and the page are built a second time, from a copy of the tree
# in another directory, and every file is compared with the first builds:
# build/package (scripts/package-test.sh), build/windows-x64,
# build/windows-x86 and build/web. Where a first build is missing, that part
# is left out and said so. Tests are not built the second time.
#   scripts/reproducible.sh
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fail() {
  echo "reproducible: $*" >&2
  exit 1
}

# The time the builds stamp into archives, the same for both; the second
# builds run in another time zone (UTC+14), as zips hold local times.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
elsewhere=(env TZ=ZZZ-14)
version=$(sed -n 's/^project(ovu VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src=$work/ovu-$version
scripts/copy-tree.sh "$src" || fail "cannot copy the tree"

same=()
left_out=()
# Runs a build step quietly, showing its output only when it fails.
quietly() {
  "$@" >"$work/log" 2>&1 || { tail -n 40 "$work/log"; fail "failed: $*"; }
}
compare() {
  cmp "$1" "$2" || fail "$(basename "$1") differs between the two builds (diffoscope shows where)"
  same+=("$(basename "$1")")
}

deb=ovu_${version}_$(dpkg --print-architecture).deb
if [[ -f build/package/$deb ]]; then
  (cd "$src" && quietly "${elsewhere[@]}" DEB_BUILD_OPTIONS="nocheck parallel=$jobs" dpkg-buildpackage -us -uc -b -Pnocheck)
  compare "build/package/$deb" "$work/$deb"
else
  left_out+=("the Debian package (no build/package/$deb)")
fi

for preset in windows-x64 windows-x86; do
  if [[ ! -f build/$preset/ovu.exe ]]; then
    left_out+=("$preset (no build/$preset)")
    continue
  fi
  (cd "build/$preset" && quietly cpack -B "$work/first-$preset")
  (cd "$src" && quietly cmake --preset "$preset" -B "$work/$preset" -DBUILD_TESTING=OFF)
  quietly cmake --build "$work/$preset" -j"$jobs"
  (cd "$work/$preset" && quietly "${elsewhere[@]}" cpack -B "$work/second-$preset")
  for zip in "$work/first-$preset"/*.zip; do
    compare "$zip" "$work/second-$preset/$(basename "$zip")"
  done
done

if [[ -f build/web/ovu.js ]]; then
  (cd "$src" && quietly cmake --preset web -B "$work/web" -DBUILD_TESTING=OFF -DOVU_BUILD_BENCH=OFF)
  quietly "${elsewhere[@]}" cmake --build "$work/web" --target ovu -j"$jobs"
  for file in ovu.html ovu.js ovu.wasm ovu-48.png; do
    compare "build/web/$file" "$work/web/$file"
  done
else
  left_out+=("the page (no build/web)")
fi

echo "reproducible: the same bytes: ${same[*]:-nothing}"
[[ ${#left_out[@]} -eq 0 ]] || echo "reproducible: left out: $(IFS=';'; echo "${left_out[*]}" | sed 's/;/, /g')"
[[ ${#same[@]} -gt 0 ]] || fail "there was no first build to compare with"
