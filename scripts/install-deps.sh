#!/usr/bin/env bash
# Installs the Debian packages that Quemador1 needs, only those that are missing.
#   install-deps.sh          what building and running the application needs
#   install-deps.sh --test   also what the tests, sanitizer, fuzzing, static checks and
#                            benchmarks need, and a comma-decimal
#                            locale (es_ES.UTF-8) for the locale-independence tests
# Safe to run again: it does nothing when all is in place.
set -euo pipefail

packages=(
  cmake g++ ninja-build
  qt6-base-dev qt6-translations-l10n fonts-dejavu-extra libcli11-dev
)
test_packages=(
  locales
  xvfb xauth xdotool python3-xlib
  desktop-file-utils appstream lintian binutils-mingw-w64-x86-64
  clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 cppcheck libbenchmark-dev
  python3-matplotlib mawk time
)

with_tests=false
case "${1:-}" in
  --test) with_tests=true; packages+=("${test_packages[@]}") ;;
  "") ;;
  *) echo "usage: $0 [--test]" >&2; exit 2 ;;
esac

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if $with_tests && ! locale -a 2>/dev/null | grep -qix 'es_ES\.utf-\?8'; then
  as_root localedef -i es_ES -f UTF-8 es_ES.UTF-8
fi
