# Runs "$@" by default, with --no-vsync and with --vsync after it: on
# standard output the swap interval asked each time, on a line that says
# what came of it: Xvfb's GLX refuses every one, and the line must say why.
set -o pipefail
{ "$@" && "$@" --no-vsync && "$@" --no-vsync --vsync; } 2>&1 | tee -a /dev/stderr |
  sed -nE 's/^gl: swap interval asked (-?[0-9]+), refused \(.+\); the driver reports -?[0-9]+$/\1/p'
