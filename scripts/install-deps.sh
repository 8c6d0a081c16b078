#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quemador1 need,
# only those that are missing, and makes a comma-decimal locale available for the
# locale-independence tests. Safe to run again: it does nothing when all is in place.
set -euo pipefail

packages=(
  cmake g++ ninja-build pkgconf
  qt6-base-dev qt6-translations-l10n
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qix 'es_ES\.utf-\?8'; then
  as_root localedef -i es_ES -f UTF-8 es_ES.UTF-8
fi
