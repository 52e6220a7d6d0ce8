# Runs "$@" recording in 4:4:4 with a screenshot; then without any display
# the screenshot alone, which must be the same (and --verbose says how it was
# drawn), and a film in 4:2:0 to standard output.
"$@" --record a.y4m --screenshot a.png &&
  env -u DISPLAY -u WAYLAND_DISPLAY "$@" --screenshot b.png --verbose && cmp a.png b.png &&
  env -u DISPLAY -u WAYLAND_DISPLAY "$@" --record - --record-format 420 >c.y4m
