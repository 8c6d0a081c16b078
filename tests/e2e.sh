#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real application on the X server in DISPLAY, waits for its window, checks
# that the window's class is the one its desktop entry names (so that a dock matches
# the window to its launcher), then closes it the way a window manager would and
# checks that the process ends with 0. The desktop entry is the installed one that
# starts this program, beside its bin/ folder, or the generated one of a build tree.
# Usage: e2e.sh <path to quemador1> [screenshot.png]
set -euo pipefail
app=$1
shot=${2:-}
bin=$(dirname "$app")
shopt -s nullglob
entries=()
for entry in "$bin"/../share/applications/*.desktop "$bin"/generated/*.desktop; do
  grep -qx "Exec=$(basename "$app")" "$entry" && entries+=("$entry")
done
shopt -u nullglob
if [ "${#entries[@]}" -ne 1 ]; then
  echo "FAIL: expected one desktop entry for $app, found ${#entries[@]}"
  exit 1
fi
wm_class=$(sed -n 's/^StartupWMClass=//p' "${entries[0]}")

export QT_QPA_PLATFORM=xcb
export DBUS_SESSION_BUS_ADDRESS=disabled:
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

"$app" &
pid=$!

wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Calculador de eficiencia de calderas$' | head -n1)
if [ -z "$wid" ]; then
  echo "FAIL: no window titled 'Calculador de eficiencia de calderas'"
  kill "$pid" 2>/dev/null || true
  exit 1
fi
echo "window $wid: $(xdotool getwindowname "$wid")"

class=$(/usr/bin/python3 -c 'import sys; from Xlib import display
d = display.Display(); print(d.create_resource_object("window", int(sys.argv[1], 0)).get_wm_class()[1])' "$wid")
if [ -z "$wm_class" ] || [ "$class" != "$wm_class" ]; then
  echo "FAIL: window class '$class', desktop entry's StartupWMClass '$wm_class'"
  kill "$pid" 2>/dev/null || true
  exit 1
fi
echo "window class $class, as the desktop entry says"

if [ -n "$shot" ]; then
  sleep 0.5
  import -window "$wid" "$shot"
fi

# No window manager runs under a bare Xvfb: send its close request ourselves.
/usr/bin/python3 - "$wid" <<'PY'
import sys
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object('window', int(sys.argv[1], 0))
ev = protocol.event.ClientMessage(
    window=w, client_type=d.intern_atom('WM_PROTOCOLS'),
    data=(32, [d.intern_atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0]))
w.send_event(ev, event_mask=X.NoEventMask)
d.flush()
PY

status=0
timeout 20 tail --pid="$pid" -f /dev/null || { echo "FAIL: still running after close"; kill "$pid"; exit 1; }
wait "$pid" || status=$?
if [ "$status" -ne 0 ]; then
  echo "FAIL: exit status $status"
  exit 1
fi
echo "PASS: window shown, closed, exit status 0"
