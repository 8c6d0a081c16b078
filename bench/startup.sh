#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up time and peak memory of Quemador1 beside its two baselines, an empty Qt
# window and a bare program with the same controls, started in turn RUNS times
# (default 15) on a private Xvfb server. Needs the bench build.
# Usage: bench/startup.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
export QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled:
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" /usr/bin/python3 bench/startup.py "$runs" \
  build/bench/quemador1 -- build/bench/bench/empty_window build/bench/bench/bare_controls
