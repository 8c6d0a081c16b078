#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The floors of the source tree, as the includes show them. From the ground up:
#   runtime/      plain C++: includes nothing of the floors above, and no Qt
#   calculation/  plain C++: runtime/ and itself, no Qt
#   cli/          plain C++ over the core: no Qt, nothing of window/ or app/
#   window/       Qt over the core: nothing of app/ or of its sibling cli/
#   app/          the start-up, over the window: nothing of cli/
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
# floor, forbidden includes (an extended regular expression), what they are
rule() {
  local floor=$1 forbidden=$2 what=$3 files hits
  files=$(find "$floor" -name '*.cpp' -o -name '*.h' 2>/dev/null | sort)
  if [ -z "$files" ]; then
    echo "layers: no source file in $floor/"
    status=1
    return
  fi
  checked=$((checked + $(wc -l <<< "$files")))
  # shellcheck disable=SC2086  # one file name a line, none with blanks
  hits=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*($forbidden)" $files || true)
  if [ -n "$hits" ]; then
    echo "layers: $floor/ must not include $what:"
    sed 's/^/  /' <<< "$hits"
    status=1
  fi
}

rule runtime "$qt|$(ours 'calculation|cli|window|app')" "Qt, calculation/, cli/, window/ or app/"
rule calculation "$qt|$(ours 'cli|window|app')" "Qt, cli/, window/ or app/"
rule cli "$qt|$(ours 'window|app')" "Qt, window/ or app/"
rule window "$(ours 'cli|app')" "cli/ or app/"
rule app "$(ours 'cli')" "cli/"

[ "$status" -eq 0 ] && echo "layers: clean ($checked files)"
exit "$status"
