#!/usr/bin/python3
"""What a screen reader receives for one click of Calcular.

Starts the application with Qt's AT-SPI bridge on, types "3,5" in the O2 box and
presses Calcular through AT-SPI, then waits for the notification that announces the
results and the first notice, as an AT-SPI listener such as Orca receives it. Run
inside one session bus and one X server:
    dbus-run-session -- xvfb-run -a /usr/bin/python3 screen_reader.py <quemador1>
"""
import os
import subprocess
import sys
import tempfile
import threading
import time

import pyatspi

RESULTS = "Exceso aire: 15.66 %. Eficiencia: 83.94 %."
FIRST_NOTICE = ("Un aviso: O2: «3,5» se lee como 3: la coma no separa decimales; "
                "escriba 3.5.")


def find(accessible, name, role):
    if accessible is None:
        return None
    if accessible.name == name and accessible.getRoleName() == role:
        return accessible
    for i in range(accessible.childCount):
        found = find(accessible.getChildAtIndex(i), name, role)
        if found is not None:
            return found
    return None


def application(name, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def main():
    # The accessibility bus must be up before the program starts.
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                    "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                   check=True, stdout=subprocess.DEVNULL)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    runtime_dir = tempfile.TemporaryDirectory()
    env.setdefault("XDG_RUNTIME_DIR", runtime_dir.name)
    program = subprocess.Popen([sys.argv[1]], env=env)
    heard = []
    failure = []

    def listen(event):
        source = event.source
        if source.getRoleName() == "notification" and event.detail1 == 1:
            heard.append((source.name, source.description))
            pyatspi.Registry.stop()

    def act():
        try:
            app = application("Quemador1", 20)
            if app is None:
                failure.append("the application does not appear on the accessibility bus")
                return
            o2 = find(app, "% vol O2 ( Orsat )", "text")
            calcular = find(app, "Calcular", "push button")
            o2.queryEditableText().setTextContents("3,5")
            calcular.queryComponent().grabFocus()
            action = calcular.queryAction()
            action.doAction(next(i for i in range(action.nActions)
                                 if action.getName(i) in ("Press", "press", "click")))
            time.sleep(5)
        except Exception as error:  # reported below, after the listener stops
            failure.append(repr(error))
        pyatspi.Registry.stop()

    pyatspi.Registry.registerEventListener(listen, "object:state-changed:showing")
    threading.Thread(target=act, daemon=True).start()
    pyatspi.Registry.start()
    program.terminate()
    program.wait(10)

    if failure:
        print("FAIL:", failure[0])
        return 1
    if heard != [(RESULTS, FIRST_NOTICE)]:
        print("FAIL: notifications heard:", heard)
        return 1
    print("PASS: a notification appeared:", heard[0][0], heard[0][1])
    return 0


if __name__ == "__main__":
    sys.exit(main())
