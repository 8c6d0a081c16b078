#!/usr/bin/env bash
# The layering check, the format check, clang-tidy and cppcheck over the project's
# own sources. Needs the compile databases of the default, fuzz and bench builds
# (build/<preset>).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

bash scripts/check-layers.sh

# Every folder of our own sources; a check that finds nothing to check fails.
folders=(app calculation cli runtime window tests fuzz bench)
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
tidy default "^$top/(app|calculation|cli|runtime|window|tests)/|^$top/main\.cpp$"
tidy fuzz "^$top/fuzz/"
tidy bench "^$top/bench/"
echo "clang-tidy: clean"

cppcheck --quiet --std=c++20 --library=qt --enable=warning,style,performance,portability \
  --error-exitcode=1 --inline-suppr --suppress=missingIncludeSystem \
  --suppress='constParameterCallback:bench/*' \
  -I . -I build/default/generated main.cpp "${existing[@]}"
echo "cppcheck: clean"
