#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Reads the library search paths (RUNPATH and RPATH) of every ELF executable under the
# given folders. An empty or relative entry makes the loader look in the current
# folder, where anyone could plant a library: each entry must be absolute or start at
# $ORIGIN. With --none, no search path is allowed at all (installed programs find
# every library in the system's own folders). Fails when a folder holds no executable.
# Usage: check_runpath.sh [--none] FOLDER...
set -euo pipefail
none=false
if [ "${1:-}" = --none ]; then none=true; shift; fi

status=0
for folder in "$@"; do
  count=0
  while IFS= read -r -d '' file; do
    head -c 4 "$file" | grep -q $'^\x7fELF' || continue
    count=$((count + 1))
    paths=$(readelf -d "$file" | sed -n 's/.*(R\(UN\)\?PATH).*\[\(.*\)\]$/\2/p' | paste -sd:)
    [ -n "$paths" ] || continue
    if $none; then
      echo "FAIL: $file has a library search path it does not need: $paths"
      status=1
      continue
    fi
    IFS=: read -r -a entries <<< "$paths:"
    for entry in "${entries[@]}"; do
      case $entry in
        /* | '$ORIGIN' | '$ORIGIN/'*) ;;
        *) echo "FAIL: $file searches the current folder (search path '$paths')"; status=1; break ;;
      esac
    done
  done < <(find "$folder" -path '*/CMakeFiles' -prune -o -type f -perm -u+x -print0)
  if [ "$count" -eq 0 ]; then
    echo "FAIL: no executable under $folder"
    status=1
  fi
  echo "$folder: $count executables read"
done
exit $status
