#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, but
# only those that are missing, so running it again costs nothing.
#   scripts/deps.sh                  install what is missing (as root, or through sudo)
#   scripts/deps.sh --program        only what building and running the program need
#   scripts/deps.sh --with-windows   the same, plus the Windows cross-build's packages
#   scripts/deps.sh --list           print the package names
#   scripts/deps.sh --list-windows   print the Windows cross-build's package names
#   scripts/deps.sh --list-windows-x86  print the 32-bit Windows tests' (i386) package names
#   scripts/deps.sh --with-web       the same as the first, plus the web page's packages
#   scripts/deps.sh --list-web       print the web page's package names
# (--with-windows and --with-web go together.)
set -euo pipefail

# What building and running the program need, and nothing more.
program_packages=(
  build-essential cmake pkg-config
  libsdl2-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libstb-dev libx11-dev
  zlib1g-dev  # the icon's PNGs, which the build draws
  libwayland-dev libegl-dev wayland-protocols libwayland-bin  # the Wayland wallpaper
)
# What the tests and benchmarks add.
test_packages=(
  libgtest-dev libbenchmark-dev
  sway grim  # a headless compositor for the Wayland checks, and its screenshots
  swayidle wtype wev  # the screensaver started when idle, keys sent, and the keys a window gets
  weston kwin-wayland  # compositors without the layer shell, and with fractional scale (KWin brings Qt: about 40 MB, 1 min)
  xvfb xauth xdotool x11-utils apitrace
  xprintidle dbus-daemon dbus-bin  # the X idle time and the session bus of the display-power checks
  valgrind hyperfine time
  debhelper lintian  # the package test builds the Debian package and checks it
  file desktop-file-utils appstream  # and the icons, desktop entries and metainfo it installs
  mate-screensaver procps python3  # it runs the installed ovu under a screensaver host and probes its window
)

# The Windows cross-build (mingw-w64 for x86-64 and 32-bit x86, GoogleTest's
# sources) and its tests under wine64. Optional: where
# they cannot be installed, scripts/test.sh says so and skips that part.
windows_packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest
  wine wine64 python3-pil icoutils
  strip-nondeterminism  # the zips' entries in a fixed order
)
# The 32-bit Windows build's tests: wine's 32-bit loader and the 32-bit GL it
# draws with (wine32 only recommends them, and without them the program dies
# at its first GL call). Packages of the i386 architecture, which dpkg is told
# about first.
windows_x86_packages=(wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386)

# The web page (Emscripten) and its tests in headless
# Chromium through chromium-driver and python3-selenium, scored with
# python3-pil. Optional too.
web_packages=(emscripten chromium chromium-driver python3-pil python3-selenium)
# npm fetches the pinned closure compiler that minifies the page's JavaScript.
# A Node.js from elsewhere (NodeSource's) brings its own and conflicts with
# Debian's package, so that is asked for only where there is none.
command -v npm >/dev/null || web_packages+=(npm)

packages=("${program_packages[@]}" "${test_packages[@]}")
with_windows=false
with_web=false
for option in "$@"; do
  case "$option" in
    --list) printf '%s\n' "${packages[@]}"; exit 0 ;;
    --program) packages=("${program_packages[@]}") ;;
    --list-windows) printf '%s\n' "${windows_packages[@]}"; exit 0 ;;
    --list-windows-x86) printf '%s\n' "${windows_x86_packages[@]}"; exit 0 ;;
    --list-web) printf '%s\n' "${web_packages[@]}"; exit 0 ;;
    --with-windows) with_windows=true ;;
    --with-web) with_web=true ;;
  esac
done

# With multiarch a plain name also lists the package's copies of other
# architectures: only the native or architecture-independent one counts.
missing_of() {
  local package arch native status
  native=$(dpkg --print-architecture)
  for package in "$@"; do
    arch=$native
    [[ $package == *:* ]] && arch=${package#*:}
    status=$(dpkg-query -W -f='${Architecture} ${Status}\n' "$package" 2>/dev/null || true)
    grep -qxE "($arch|all) install ok installed" <<<"$status" || echo "$package"
  done
}

mapfile -t missing < <(missing_of "${packages[@]}")
missing_windows=()
missing_windows_x86=()
if $with_windows; then
  mapfile -t missing_windows < <(missing_of "${windows_packages[@]}")
  mapfile -t missing_windows_x86 < <(missing_of "${windows_x86_packages[@]}")
fi
missing_web=()
$with_web && mapfile -t missing_web < <(missing_of "${web_packages[@]}")
[[ ${#missing[@]} -eq 0 && ${#missing_windows[@]} -eq 0 && ${#missing_windows_x86[@]} -eq 0 &&
   ${#missing_web[@]} -eq 0 ]] && exit 0

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
if [[ ${#missing_windows_x86[@]} -gt 0 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "deps: adding the i386 architecture for the 32-bit Windows tests" >&2
  "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" apt-get update
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "deps: installing ${missing[*]}" >&2
  "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
if [[ ${#missing_windows[@]} -gt 0 ]]; then
  echo "deps: installing ${missing_windows[*]}" >&2
  "${as_root[@]}" apt-get install -y --no-install-recommends "${missing_windows[@]}" ||
    echo "deps: the Windows cross-build packages could not be installed; its checks will be skipped" >&2
fi
if [[ ${#missing_windows_x86[@]} -gt 0 ]]; then
  echo "deps: installing ${missing_windows_x86[*]}" >&2
  "${as_root[@]}" apt-get install -y --no-install-recommends "${missing_windows_x86[@]}" ||
    echo "deps: the i386 packages could not be installed; the 32-bit Windows tests will be skipped" >&2
fi
if [[ ${#missing_web[@]} -gt 0 ]]; then
  echo "deps: installing ${missing_web[*]}" >&2
  "${as_root[@]}" apt-get install -y --no-install-recommends "${missing_web[@]}" ||
    echo "deps: the web page's packages could not be installed; its checks will be skipped" >&2
fi
