#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that Quemador1 needs, only those that are missing.
#   install-deps.sh          what building, running and packaging the application need
#   install-deps.sh --web    what building the web page's site needs (Emscripten, and the
#                            libraries of web/package-lock.json from npm into build/npm-web)
#   install-deps.sh --test   also what the tests, sanitizer, fuzzing, static checks and
#                            benchmarks need (the web page's too: node, Chromium and its
#                            driver, Selenium, poppler's pdftotext and pdftoppm for the
#                            page's PDFs, and the npm test tools of tests/web into
#                            build/npm), and a comma-decimal locale (es_ES.UTF-8) for the
#                            locale-independence tests
# Safe to run again: it does nothing when all is in place. Runs apt-get as root, or
# through sudo for a user.
set -euo pipefail

# cpack -G DEB needs file, and dpkg-dev for the package's library dependencies.
packages=(
  cmake g++ ninja-build
  qt6-base-dev qt6-translations-l10n fonts-dejavu-extra libfontconfig-dev libcli11-dev
  nlohmann-json3-dev libcairo2-dev libpango1.0-dev libtbb-dev
  file dpkg-dev
)
test_packages=(
  locales
  xvfb xauth xdotool python3-xlib dbus-daemon dbus-bin at-spi2-core python3-pyatspi
  desktop-file-utils appstream lintian binutils-mingw-w64-x86-64
  clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 cppcheck libbenchmark-dev
  python3-matplotlib mawk time python3-pandas libcsv-dev libxml2-utils
  chromium chromium-driver python3-selenium poppler-utils librsvg2-bin python3-jsonschema
)
# Emscripten's optimiser needs Debian's acorn.
web_packages=(emscripten node-acorn fonts-dejavu-extra python3-fonttools)

with_tests=false
with_web=false
case "${1:-}" in
  --test) with_tests=true; with_web=true; packages+=("${test_packages[@]}" "${web_packages[@]}") ;;
  --web) with_web=true; packages+=("${web_packages[@]}") ;;
  "") ;;
  *) echo "usage: $0 [--web | --test]" >&2; exit 2 ;;
esac
# node and npm: Debian's, unless the machine has them already (a node from elsewhere
# brings its own npm, which Debian's package would clash with).
if $with_web && ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# apt's status lines become one line per tenth of each phase; the rest of its output
# goes to a log, shown if apt fails.
show_progress() {
  awk -v logfile="$1" -F: '
    /^dlstatus:/ { phase = "downloading"; percent = $3 }
    /^pmstatus:/ { phase = "installing"; percent = $3 }
    /^(dl|pm)status:/ {
      step = int(percent / 10) * 10
      if (phase != last_phase || step > last_step) {
        printf "  %s %3d %%\n", phase, step; fflush()
        last_phase = phase; last_step = step
      }
      next
    }
    /^Need to get / { print "  " $0; fflush(); next }
    { print > logfile }'
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing ${#missing[@]} packages and what they need: ${missing[*]}"
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  as_root apt-get update -qq
  if ! as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      -o APT::Status-Fd=1 "${missing[@]}" | show_progress "$log"; then
    tail -n 30 "$log"
    echo "install-deps: apt-get failed" >&2
    exit 1
  fi
  echo "  done"
fi

# npm packages at the versions of a lock file, into a folder of build/.
npm_install() {
  local from=$1 npm_dir=$2 what=$3
  if ! cmp -s "$from/package-lock.json" "$npm_dir/installed-lock.json"; then
    echo "Installing $what into ${npm_dir#"$(dirname "$0")/../"}"
    mkdir -p "$npm_dir"
    cp "$from/package.json" "$from/package-lock.json" "$npm_dir/"
    if ! (cd "$npm_dir" && npm ci --no-audit --no-fund --loglevel=error); then
      echo "install-deps: npm could not install $what from its registry. Behind a proxy" \
        "that signs its own certificates, name that certificate in NODE_EXTRA_CA_CERTS." >&2
      exit 1
    fi
    cp "$from/package-lock.json" "$npm_dir/installed-lock.json"
  fi
}
# The libraries the site ships (web/package-lock.json), and the web tests' tools.
if $with_web; then
  npm_install "$(dirname "$0")/../web" "$(dirname "$0")/../build/npm-web" "the site's npm libraries"
fi
if $with_tests; then
  npm_install "$(dirname "$0")/../tests/web" "$(dirname "$0")/../build/npm" "the web tests' npm packages"
fi

if $with_tests && ! locale -a 2>/dev/null | grep -qix 'es_ES\.utf-\?8'; then
  as_root localedef -i es_ES -f UTF-8 es_ES.UTF-8
fi
