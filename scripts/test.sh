#!/usr/bin/env bash
# Installs what is missing, then builds and tests every part, one step each:
# the release build and the AddressSanitizer + UndefinedBehaviorSanitizer
# build with all their tests, the Debian
# package (scripts/package-test.sh), the Windows cross-builds tested under
# wine (the 32-bit one where wine32 and its GL are installed), the web
# page in headless Chromium, and second builds of the package, the zips and
# the page that must give the same bytes. A step that fails does not stop the later ones;
# the summary at the end says how each went, and the exit code is non-zero
# when any failed. A step is a function and one line in `steps` below.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
skip_note=$(mktemp)
trap 'rm -f "$skip_note"' EXIT

# A step that cannot run here says why and is counted as skipped.
skip() {
  echo "$1" >"$skip_note"
  return 77
}

# As root, the Wayland checks run their compositor as this user, since sway
# refuses root; made once here, as two checks making it at once would race.
deps() {
  scripts/deps.sh --with-windows --with-web || return
  [[ $(id -u) -ne 0 ]] || id ovu-wayland >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin ovu-wayland
}

# Configure, build and run every test of a preset. The end-to-end tests start
# X servers of their own; memcheck and the Windows tests use this one.
preset() {
  cmake --preset "$1" >/dev/null &&
    cmake --build "build/$1" -j"$jobs" &&
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --preset "$1" -j"$jobs"
}

# The Debian package, built from a clean copy of the tree: installed for
# real on CI's throwaway machine, else unpacked aside.
package() {
  scripts/package-test.sh ${CI:+--system}
}

# Why the Windows part cannot run here, or nothing when it can.
windows_unavailable() {
  local tool
  for tool in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix wine wineserver xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; return; }
  done
  [[ -f /usr/src/googletest/CMakeLists.txt ]] || { echo "the googletest sources are not installed"; return; }
  /usr/bin/python3 -c 'import PIL' 2>/dev/null || echo "python3-pil is not installed"
}

# Why the 32-bit build's tests cannot run here, or nothing when they can.
windows_x86_unavailable() {
  local package
  for package in $(scripts/deps.sh --list-windows-x86); do
    [[ $(dpkg-query -W -f='${Status}' "$package" 2>/dev/null) == "install ok installed" ]] ||
      { echo "$package is not installed"; return; }
  done
}

windows_builds() {
  local reason preset tested=(windows-x64) pids=() display=99 status=0 i
  reason=$(windows_unavailable)
  [[ -z "$reason" ]] || skip "$reason" || return
  for preset in windows-x64 windows-x86; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null || return
    cmake --build "build/$preset" -j"$jobs" || return
  done
  reason=$(windows_x86_unavailable)
  if [[ -n "$reason" ]]; then
    echo "== windows-x86: tests skipped: $reason (scripts/deps.sh --with-windows installs it)"
    # It must stand alone all the same: no runtime DLL of the compiler among its imports.
    if i686-w64-mingw32-objdump -p build/windows-x86/ovu.exe | grep -i "DLL Name: lib"; then
      echo "windows-x86: ovu.exe needs a compiler runtime DLL" >&2
      return 1
    fi
  else
    tested+=(windows-x86)
  fi
  # The suites mostly wait on wine, so they run side by side, each on an X
  # server of its own; numbered apart, the two never pick the same one.
  for preset in "${tested[@]}"; do
    xvfb-run -a -n "$display" -s "-screen 0 1280x1024x24 -noreset" ctest --preset "$preset" -j"$jobs" \
      >"build/$preset/ctest.log" 2>&1 &
    pids+=($!)
    display=$((display + 100))
  done
  for i in "${!tested[@]}"; do
    wait "${pids[i]}" || status=1
    echo "== ${tested[i]} tests"
    cat "build/${tested[i]}/ctest.log"
  done
  return "$status"
}

# Why the web page cannot be checked here, or nothing when it can.
web_unavailable() {
  local tool
  for tool in em++ chromium chromedriver /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; return; }
  done
  /usr/bin/python3 -c 'import PIL' 2>/dev/null || { echo "python3-pil is not installed"; return; }
  /usr/bin/python3 -c 'import selenium' 2>/dev/null || { echo "python3-selenium is not installed"; return; }
}

# The page against the native release build.
web_page() {
  local reason
  reason=$(web_unavailable)
  [[ -z "$reason" ]] || skip "$reason" || return
  [[ -x build/release/ovu ]] || skip "there is no release build to compare with" || return
  cmake --preset web >/dev/null && cmake --build build/web -j"$jobs" &&
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset web
}

# The package, the Windows zips and the page built again elsewhere: the same bytes.
reproducible() {
  scripts/reproducible.sh
}

steps=(
  "deps deps"
  "release preset release"
  "asan preset asan"
  "package package"
  "windows windows_builds"
  "web web_page"
  "reproducible reproducible"
)

summary=()
failed=0
for step in "${steps[@]}"; do
  name=${step%% *}
  echo "== $name"
  : >"$skip_note"
  started=$SECONDS
  ${step#* }
  code=$?
  took="$((SECONDS - started)) s"
  if [[ $code -eq 0 ]]; then
    summary+=("$name: passed ($took)")
  elif [[ $code -eq 77 ]]; then
    summary+=("$name: skipped: $(cat "$skip_note")")
  else
    summary+=("$name: FAILED with exit code $code ($took)")
    failed=1
  fi
done
echo "== summary"
printf '%s\n' "${summary[@]}"
exit $failed
