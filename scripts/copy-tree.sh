#!/usr/bin/env bash
# Copies the tree's files, tracked and new, without what builds left in it,
# into the folder DEST: what a build from a fresh checkout would see.
#   scripts/copy-tree.sh DEST
set -euo pipefail
dest=$1
cd "$(dirname "$0")/.."
mkdir -p "$dest"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do [[ -e $file ]] && printf '%s\0' "$file"; done |
  tar --null -T - -cf - | tar -xf - -C "$dest"
