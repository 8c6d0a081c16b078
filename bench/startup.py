#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Start-up time and peak memory of X11 programs, each started several times.

For every run: the time from starting the process until the X server maps its
top-level window, and the peak resident memory of the process, read when it exits
after being closed like a window manager would close it. Needs an X server in
DISPLAY (run under xvfb-run) and python3-xlib.

The programs are started in turn, once each per round. For every program before
the "--" the script also prints its ratio to every baseline after it: the median over
the rounds of the ratio within a round, so that drift of the machine hits both sides
of a ratio alike.

Usage: startup.py RUNS PROGRAM... -- BASELINE...
"""
import os
import statistics
import subprocess
import sys
import time

from Xlib import X, display, protocol


def close(d, window):
    event = protocol.event.ClientMessage(
        window=window, client_type=d.intern_atom('WM_PROTOCOLS'),
        data=(32, [d.intern_atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=X.NoEventMask)
    d.flush()


def window_pid(d, window):
    try:
        prop = window.get_full_property(d.intern_atom('_NET_WM_PID'), X.AnyPropertyType)
    except Exception:  # the window may be gone already
        return None
    return prop.value[0] if prop else None


def one_run(d, program):
    """Returns (seconds until the window is mapped, peak resident memory in KiB)."""
    root = d.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    d.sync()
    start = time.perf_counter()
    process = subprocess.Popen([program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    mapped = None
    while mapped is None:
        event = d.next_event()
        if event.type == X.MapNotify and window_pid(d, event.window) == process.pid:
            mapped = time.perf_counter() - start
            window = event.window
    time.sleep(0.5)  # let it paint and settle before it is closed
    close(d, window)
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        sys.exit(f'{program} ended with status {status}')
    return mapped, usage.ru_maxrss


def main():
    runs = int(sys.argv[1])
    separator = sys.argv.index('--')
    subjects, baselines = sys.argv[2:separator], sys.argv[separator + 1:]
    programs = subjects + baselines
    d = display.Display()
    results = {p: [] for p in programs}
    for _ in range(runs):
        for program in programs:  # interleaved, so that drift hits all alike
            results[program].append(one_run(d, program))
    name = os.path.basename
    print(f'{"program":<20} {"runs":>4} {"median start (ms)":>18} {"median peak RSS (KiB)":>22}')
    for program, values in results.items():
        start = statistics.median(v[0] for v in values) * 1000
        rss = statistics.median(v[1] for v in values)
        print(f'{name(program):<20} {len(values):>4} {start:>18.1f} {rss:>22.0f}')
    print(f'\n{"ratio (median of rounds)":<40} {"start":>7} {"peak RSS":>9}')
    for subject in subjects:
        for baseline in baselines:
            pairs = list(zip(results[subject], results[baseline]))
            start = statistics.median(s[0] / b[0] for s, b in pairs)
            rss = statistics.median(s[1] / b[1] for s, b in pairs)
            print(f'{name(subject) + " / " + name(baseline):<40} {start:>6.3f}x {rss:>8.3f}x')


if __name__ == '__main__':
    main()
