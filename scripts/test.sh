#!/usr/bin/env bash
# Installs what is missing, then builds and tests every part, one step each:
# the release build and the AddressSanitizer + UndefinedBehaviorSanitizer
# build with all their tests, the fuzzing of the command line, the Debian
# package (scripts/package-test.sh) and the Windows cross-builds, the x86-64
# one tested under wine64. A step that fails does not stop the later ones;
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

deps() { scripts/deps.sh --with-windows; }

# Configure, build and run every test of a preset. The end-to-end tests start
# X servers of their own; memcheck and the Windows tests use this one.
preset() {
  cmake --preset "$1" >/dev/null &&
    cmake --build "build/$1" -j"$jobs" &&
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --preset "$1" -j"$jobs"
}

# libFuzzer on the command line, a bounded time.
fuzz() {
  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j"$jobs" && ctest --preset fuzz -j"$jobs"
}

# The Debian package: installed for real on CI's throwaway machine, else unpacked aside.
package() {
  [[ -x build/release/ovu ]] || skip "there is no release build to package" || return
  scripts/package-test.sh ${CI:+--system}
}

# Why the Windows part cannot run here, or nothing when it can.
windows_unavailable() {
  local tool
  for tool in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix wine wineserver python3; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; return; }
  done
  [[ -f /usr/src/googletest/CMakeLists.txt ]] || { echo "the googletest sources are not installed"; return; }
  [[ -f /usr/include/stb/stb_image_write.h ]] || { echo "libstb-dev is not installed"; return; }
}

windows_builds() {
  local reason preset
  reason=$(windows_unavailable)
  [[ -z "$reason" ]] || skip "$reason" || return
  for preset in windows-x64 windows-x86; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null || return
    cmake --build "build/$preset" -j"$jobs" || return
  done
  # The 32-bit build is not run (that needs the i386 wine packages), but it
  # must stand alone as well: no runtime DLL of the compiler among its imports.
  if i686-w64-mingw32-objdump -p build/windows-x86/ovu.exe | grep -i "DLL Name: lib"; then
    echo "windows-x86: ovu.exe needs a compiler runtime DLL" >&2
    return 1
  fi
  xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --preset windows-x64 -j"$jobs"
}

steps=(
  "deps deps"
  "release preset release"
  "asan preset asan"
  "fuzz fuzz"
  "package package"
  "windows windows_builds"
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
