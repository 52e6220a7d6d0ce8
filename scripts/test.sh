#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the release
# build and the AddressSanitizer + UndefinedBehaviorSanitizer build, each
# under a virtual X server so the end-to-end tests have a real GL; then the
# Debian package (scripts/package-test.sh), the Windows cross-builds, the
# x86-64 one tested under wine64, and the web page in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --with-windows --with-web

jobs=$(nproc)
for preset in release asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" -j"$jobs"
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset" -j"$jobs"
done
# libFuzzer on the bitmap loaders and the command line, a bounded time each.
echo "== fuzz"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
ctest --preset fuzz -j"$jobs"
# The Debian package: installed for real on CI's throwaway machine, else unpacked aside.
echo "== package"
scripts/package-test.sh ${CI:+--system}

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
  if [[ -n "$reason" ]]; then
    echo "== windows: skipped: $reason"
    return
  fi
  for preset in windows-x64 windows-x86; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build "build/$preset" -j"$jobs"
  done
  # The 32-bit build is not run (that needs the i386 wine packages), but it
  # must stand alone as well: no runtime DLL of the compiler among its imports.
  if i686-w64-mingw32-objdump -p build/windows-x86/ovu.exe | grep -i "DLL Name: lib"; then
    echo "windows-x86: ovu.exe needs a compiler runtime DLL" >&2
    return 1
  fi
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows-x64 -j"$jobs"
}
windows_builds

# Why the web page cannot be checked here, or nothing when it can.
web_unavailable() {
  local tool
  for tool in em++ chromium chromedriver /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; return; }
  done
  /usr/bin/python3 -c 'import PIL' 2>/dev/null || { echo "python3-pil is not installed"; return; }
  [[ -f /usr/include/stb/stb_image_write.h ]] || { echo "libstb-dev is not installed"; return; }
}

# The page against the native release build above.
web_page() {
  local reason
  reason=$(web_unavailable)
  if [[ -n "$reason" ]]; then
    echo "== web: skipped: $reason"
    return
  fi
  echo "== web"
  cmake --preset web >/dev/null
  cmake --build build/web -j"$jobs"
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset web
}
web_page
