#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The layering check, the format check, clang-tidy and cppcheck over the project's
# own sources. Needs the compile databases of the default, fuzz and bench builds
# (build/<preset>).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

bash scripts/check-layers.sh

# Every source and build file states its licence in its first lines.
mapfile -t licensed < <(find main.cpp CMakeLists.txt .ci app calculation cli log runtime text web window tests \
  fuzz bench scripts resources \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.py' \
  -o -name '*.cmake' -o -name CMakeLists.txt -o -name '*.js' -o -name '*.mjs' -o -name '*.js.in' \
  -o -path .ci/run \) -type f | sort)
[ "${#licensed[@]}" -gt 0 ] || { echo "licence: no source file found"; exit 1; }
for file in "${licensed[@]}"; do
  head -n 2 "$file" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' ||
    { echo "licence: $file has no SPDX-License-Identifier line at its head"; exit 1; }
done
echo "licence: every file says GPL-3.0-or-later (${#licensed[@]} files)"

# Every folder of our own sources; a check that finds nothing to check fails.
folders=(app calculation cli log runtime text web window tests fuzz bench)
existing=()
for folder in "${folders[@]}"; do [ -d "$folder" ] && existing+=("$folder"); done
sources=$(find main.cpp "${existing[@]}" -name '*.cpp' -o -name '*.h' | sort)
[ -n "$sources" ] || { echo "static checks: no source file found"; exit 1; }
mapfile -t sources <<< "$sources"
clang-format-14 --dry-run --Werror "${sources[@]}"
echo "clang-format: clean (${#sources[@]} files)"

# Each folder is checked from the one build that compiles it for its own sake.
tidy() {
  grep -o '"file": "[^"]*' "build/$1/compile_commands.json" | cut -d'"' -f4 | grep -E "$2" >/dev/null || {
    echo "clang-tidy: the $1 build compiles no file matching $2"
    exit 1
  }
  run-clang-tidy-14 -p "build/$1" -quiet -j "$(nproc)" "$2" > "build/clang-tidy-$1.log" 2>&1 || {
    grep -E 'warning:|error:' "build/clang-tidy-$1.log" | head -n 40
    echo "clang-tidy: findings in the $1 build"
    exit 1
  }
}
tidy default "^$top/(app|calculation|cli|log|runtime|text|web|window|tests)/|^$top/main\.cpp$"
tidy fuzz "^$top/fuzz/"
tidy bench "^$top/bench/"
echo "clang-tidy: clean"

cppcheck --quiet --std=c++20 --library=qt --enable=warning,style,performance,portability \
  --error-exitcode=1 --inline-suppr --suppress=missingIncludeSystem \
  --suppress='constParameterCallback:bench/*' \
  -I . -I build/default/generated main.cpp "${existing[@]}"
echo "cppcheck: clean"
