#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The floors of the source tree, as the includes show them. From the ground up:
#   runtime/      plain C++: includes nothing of the floors above, and no Qt
#   calculation/  plain C++: runtime/ and itself, no Qt
#   text/         CSV, encodings, numbers: of the core only its number conversion, no Qt
#   log/          a log's meaning, over the core and text/: no face, no Qt
# and the faces over them, siblings that never include each other:
#   cli/          quemador1-calc: no Qt
#   window/       Qt over the core
#   web/          the web page's bindings: no Qt
#   app/          the start-up, over the window
# Fails on the first floor that breaks its rule, naming the file and line, and when a
# floor has no file to check.
# Usage: check-layers.sh [PROJECT_ROOT]   (default: this script's project)
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

qt='<(Q[A-Z][A-Za-z0-9]*|Qt[A-Za-z]*/[^>]*|q[a-z0-9_]*\.h)>'
ours() { echo "\"($1)/"; }

status=0
checked=0
# floor, forbidden includes (an extended regular expression), what they are, and
# optionally includes allowed among the forbidden ones
rule() {
  local floor=$1 forbidden=$2 what=$3 allowed=${4:-} files hits
  files=$(find "$floor" -name '*.cpp' -o -name '*.h' 2>/dev/null | sort)
  if [ -z "$files" ]; then
    echo "layers: no source file in $floor/"
    status=1
    return
  fi
  checked=$((checked + $(wc -l <<< "$files")))
  # shellcheck disable=SC2086  # one file name a line, none with blanks
  hits=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*($forbidden)" $files || true)
  if [ -n "$allowed" ] && [ -n "$hits" ]; then
    hits=$(grep -vE "#[[:space:]]*include[[:space:]]*($allowed)" <<< "$hits" || true)
  fi
  if [ -n "$hits" ]; then
    echo "layers: $floor/ must not include $what:"
    sed 's/^/  /' <<< "$hits"
    status=1
  fi
}

faces='cli|window|web|app'
rule runtime "$qt|$(ours "calculation|text|log|$faces")" "Qt, calculation/, text/, log/ or a face"
rule calculation "$qt|$(ours "text|log|$faces")" "Qt, text/, log/ or a face"
rule text "$qt|$(ours "calculation|log|$faces")" \
  "Qt, log/, a face, or of calculation/ more than its number conversion" \
  '"calculation/number_text\.h"'
rule log "$qt|$(ours "$faces")" "Qt or a face"
rule cli "$qt|$(ours 'window|web|app')" "Qt, window/, web/ or app/"
rule window "$(ours 'cli|web|app')" "cli/, web/ or app/"
rule web "$qt|$(ours 'cli|window|app')" "Qt, cli/, window/ or app/"
rule app "$(ours 'cli|web')" "cli/ or web/"

[ "$status" -eq 0 ] && echo "layers: clean ($checked files)"
exit "$status"
