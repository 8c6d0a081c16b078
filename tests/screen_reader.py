#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What a screen reader hears for one press of Calcular: with Qt's AT-SPI bridge on,
types "3,5" in O2 and presses Calcular through AT-SPI, then waits for the notification
with the results and the first notice. Run on a session bus and an X server of its own:
    dbus-run-session -- xvfb-run -a /usr/bin/python3 screen_reader.py <quemador1>
"""
import os
import subprocess
import sys
import tempfile
import threading
import time

import pyatspi

EXPECTED = [("Exceso aire: 15.66 %. Eficiencia: 83.94 %.",
             "Un aviso: O2: «3,5» se lee como 3: la coma no separa decimales; escriba 3.5.")]


def find(accessible, name, role):
    if accessible.name == name and accessible.getRoleName() == role:
        return accessible
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        found = find(child, name, role) if child is not None else None
        if found is not None:
            return found
    return None


def press_calcular(failure):
    try:
        # The program joins the bus when its window is up, which a busy machine delays.
        o2 = calcular = None
        for _ in range(300):
            window = find(pyatspi.Registry.getDesktop(0),
                          "Calculador de eficiencia de calderas", "frame")
            if window is not None:
                o2 = find(window, "% vol O2 ( Orsat )", "text")
                calcular = find(window, "Calcular", "push button")
            if o2 is not None and calcular is not None:
                break
            time.sleep(0.2)
        o2.queryEditableText().setTextContents("3,5")
        calcular.queryAction().doAction(0)
        time.sleep(5)
    except Exception as error:
        failure.append(repr(error))
    pyatspi.Registry.stop()


def main():
    # The accessibility bus must be up before the program starts.
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                    "/org/a11y/bus", "org.a11y.Bus.GetAddress"], check=True,
                   stdout=subprocess.DEVNULL)
    runtime_dir = tempfile.TemporaryDirectory()
    program = subprocess.Popen([sys.argv[1]], env=dict(
        os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
        XDG_RUNTIME_DIR=runtime_dir.name))
    heard, failure = [], []

    def listen(event):
        if event.source.getRoleName() == "notification" and event.detail1 == 1:
            heard.append((event.source.name, event.source.description))
            pyatspi.Registry.stop()

    pyatspi.Registry.registerEventListener(listen, "object:state-changed:showing")
    threading.Thread(target=press_calcular, args=(failure,), daemon=True).start()
    pyatspi.Registry.start()
    program.terminate()
    program.wait(10)
    if failure or heard != EXPECTED:
        print("FAIL:", failure or f"notifications heard: {heard}")
        return 1
    print("PASS: notification:", *heard[0])
    return 0


if __name__ == "__main__":
    sys.exit(main())
