#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, but
# only those that are missing, so running it again costs nothing.
#   scripts/deps.sh          install what is missing (as root, or through sudo)
#   scripts/deps.sh --list   print the package names
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libbenchmark-dev
  libsdl2-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libpng-dev libx11-dev
  xvfb xauth xdotool x11-utils apitrace
)

if [[ "${1:-}" == "--list" ]]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "deps: installing ${missing[*]}" >&2
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
