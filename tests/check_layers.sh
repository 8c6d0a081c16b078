#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The layering check passes on the tree as it is, and fails on each include that
# breaks a floor's rule when one is planted in a copy, and on a floor left empty.
# Usage: check_layers.sh PROJECT_ROOT
set -uo pipefail
root=$1
check="$root/scripts/check-layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fresh_copy() {
  rm -rf "$work/tree" && mkdir -p "$work/tree"
  cp -r "$root"/{app,calculation,cli,log,runtime,text,web,window} "$work/tree/"
}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

bash "$check" "$root" >/dev/null || fail "the tree itself does not pass"

# file to plant in | include planted
while IFS='|' read -r file include; do
  fresh_copy
  echo "$include" >> "$work/tree/$file"
  if output=$(bash "$check" "$work/tree" 2>&1); then
    fail "$include in $file passed"
  elif ! grep -qF "$file:" <<< "$output"; then
    fail "$include in $file failed without naming the file: $output"
  fi
done <<'ROWS'
runtime/runtime_error.h|#include <QString>
runtime/arithmetic.h|#include "calculation/fuel.h"
runtime/runtime_error.cpp|#include "text/names.h"
calculation/fuel.cpp|#include <QtCore/QString>
calculation/number_text.cpp|#include "text/names.h"
calculation/reading_advice.cpp|#include "log/reading.h"
calculation/reading_advice.h|#include "window/main_window.h"
calculation/calculate_command.cpp|  #  include "app/application.h"
text/names.cpp|#include <QObject>
text/csv.cpp|#include "log/columns.h"
text/encoding.h|#include "cli/commands.h"
text/numbers.cpp|#include "calculation/fuel.h"
log/columns.cpp|#include "cli/options.h"
log/log.cpp|#include <QString>
log/reading.h|#include "window/help.h"
cli/options.cpp|#include <QObject>
cli/commands.cpp|#include "window/help.h"
cli/table.h|#include "app/command_line.h"
window/help.cpp|#include "app/command_line.h"
window/main_window.h|#include "cli/options.h"
app/application.cpp|#include "cli/commands.h"
app/command_line.cpp|#include "web/page.h"
log/reading.cpp|#include "web/page.h"
web/page.cpp|#include <QString>
web/page.h|#include "cli/commands.h"
web/bindings.cpp|#include "window/main_window.h"
web/page.cpp|#include "app/application.h"
ROWS

fresh_copy
rm -f "$work"/tree/runtime/*
bash "$check" "$work/tree" >/dev/null 2>&1 && fail "an empty floor passed"

[ "$failures" -eq 0 ] && echo "layering check: every planted include caught"
exit $((failures > 0))
