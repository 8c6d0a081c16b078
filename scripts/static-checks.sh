#!/usr/bin/env bash
# Format check, clang-tidy and cppcheck over the project's own sources. Needs the
# compile databases of the default, fuzz and bench builds (build/<preset>).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format-14 --dry-run --Werror "${sources[@]}"
echo "clang-format: clean"

# Each folder is checked from the one build that compiles it for its own sake.
tidy() {
  run-clang-tidy-14 -p "build/$1" -quiet -j "$(nproc)" "$2" > "build/clang-tidy-$1.log" 2>&1 || {
    grep -E 'warning:|error:' "build/clang-tidy-$1.log" | head -n 40
    echo "clang-tidy: findings in the $1 build"
    exit 1
  }
}
tidy default "^$top/(calculation|runtime|window|cli|tests)/|^$top/main\.cpp$"
tidy fuzz "^$top/fuzz/"
tidy bench "^$top/bench/"
echo "clang-tidy: clean"

cppcheck --quiet --std=c++20 --library=qt --enable=warning,style,performance,portability \
  --error-exitcode=1 --inline-suppr --suppress=missingIncludeSystem \
  --suppress='constParameterCallback:bench/*' \
  -I . -I build/default/generated calculation runtime window cli main.cpp tests fuzz bench
echo "cppcheck: clean"
