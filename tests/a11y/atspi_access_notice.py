#!/usr/bin/python3
"""The notice of a camera this user may not open, as a screen reader meets it.

Starts the demo in its no-access state (the virtual camera on the bus, its
nodes refused) on a virtual X display with Qt's accessibility bridge on,
then the desktop's accessibility bus, as atspi_apply_mode.py does. Through
pyatspi it finds the notice as a notification named by its heading, reads
its description and the commands, closes it with its button's action, and
has Refresh bring it back: the notification announces itself as it shows.

Must run inside a private D-Bus session:

    dbus-run-session -- /usr/bin/python3 atspi_access_notice.py DEMO_PROGRAM

Anything missing fails the test; nothing is skipped.
"""

import importlib.util
import os
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_apply_mode import (APP_NAME, START_TIMEOUT_S, Failure, Processes,  # noqa: E402
                              start_accessibility_bus, start_display, wait_for)

NOTICE_NAME = "This user may not open the camera"
COMMANDS_NAME = "Commands to run"


def run(program, scratch):
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        raise Failure("no D-Bus session: run under dbus-run-session")
    if importlib.util.find_spec("pyatspi") is None:
        raise Failure("pyatspi is not installed for this Python (Debian: python3-pyatspi)")
    if not os.access(program, os.X_OK):
        raise Failure(f"{program} is not an executable file")

    processes = Processes()
    log_path = os.path.join(scratch, "demo.log")
    try:
        environment = dict(os.environ)
        environment["DISPLAY"] = start_display(processes)
        demo_environment = dict(environment, **{
            "QT_QPA_PLATFORM": "xcb",
            "QT_ACCESSIBILITY": "1",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "LC_ALL": "C.UTF-8",
            "LANGUAGE": "",
            "QT_LOGGING_RULES": "default.debug=false",
        })
        if "ASAN_OPTIONS" in demo_environment:
            # As in atspi_apply_mode.py: the X keyboard library's strndup().
            demo_environment["ASAN_OPTIONS"] += ":strict_string_checks=0"
        lines = []
        with open(log_path, "w") as log:
            demo = processes.start(APP_NAME, [program, "--screenshot-state", "no-access"], env=demo_environment,
                                   stdout=subprocess.PIPE, stderr=log, text=True)
        threading.Thread(target=lambda: lines.extend(line.rstrip("\n") for line in demo.stdout),
                         daemon=True).start()
        # The bus comes up once the window shows the notice (see
        # atspi_apply_mode.py for why not before).
        wait_for("the demo's notice", lambda: processes.check_running() or "demo: ready" in lines,
                 START_TIMEOUT_S)
        start_accessibility_bus(processes, environment)

        import pyatspi
        from gi.repository import GLib
        context = GLib.MainContext.default()

        def pump():
            processes.check_running()
            while context.iteration(False):
                pass

        def fresh(accessible):
            accessible.clear_cache()
            return accessible

        def application():
            desktop = fresh(pyatspi.Registry.getDesktop(0))
            for index in range(desktop.childCount):
                child = desktop.getChildAtIndex(index)
                if child is not None and child.name == APP_NAME:
                    return child
            return None

        def find(root, role, name):
            return pyatspi.findDescendant(
                root, lambda accessible: accessible is not None and accessible.getRole() == role
                and fresh(accessible).name == name)

        def showing(accessible):
            return fresh(accessible).getState().contains(pyatspi.STATE_SHOWING)

        def press(accessible):
            action = accessible.queryAction()
            names = [action.getName(index) for index in range(action.nActions)]
            if "Press" not in names and "press" not in names:
                raise Failure(f"{accessible.name!r} offers no press action, only {names}")
            action.doAction([name.lower() for name in names].index("press"))

        app = wait_for("the demo on the accessibility bus", application, START_TIMEOUT_S, pump)
        notice = wait_for("the notice, a notification", lambda: find(app, pyatspi.ROLE_NOTIFICATION, NOTICE_NAME),
                          START_TIMEOUT_S, pump)
        if not showing(notice):
            raise Failure("the notice is not showing")
        if not fresh(notice).description.startswith("The camera is on the USB bus"):
            raise Failure(f"the notice is described as {notice.description!r}")
        print(f"ok: found the notification {notice.name!r}: {notice.description[:60]!r}...")

        commands = pyatspi.findDescendant(notice, lambda accessible: accessible is not None
                                          and accessible.name == COMMANDS_NAME)
        if commands is None:
            raise Failure(f"no {COMMANDS_NAME!r} in the notice")
        text = commands.queryText()
        content = text.getText(0, text.characterCount)
        if "sudo udevadm trigger --subsystem-match=hidraw" not in content or "kelvora-camera-cli doctor" not in content:
            raise Failure(f"the commands read {content!r}")
        print(f"ok: the commands read {content.splitlines()}")

        # A screen reader speaks a notification when it starts showing.
        announced = []

        def on_showing(event):
            if event.source is not None and event.detail1 == 1 \
                    and event.source.getRole() == pyatspi.ROLE_NOTIFICATION:
                announced.append(fresh(event.source).name)

        pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
        close = find(notice, pyatspi.ROLE_PUSH_BUTTON, "Close")
        refresh = find(app, pyatspi.ROLE_PUSH_BUTTON, "Refresh")
        if close is None or refresh is None:
            raise Failure("no 'Close' button in the notice, or no 'Refresh' in the window")
        press(close)
        wait_for("the notice to close", lambda: not showing(notice), pump=pump)
        print("ok: closed through its button's action")
        press(refresh)
        wait_for("the notice to show again", lambda: showing(notice), pump=pump)
        wait_for("the notification's announcement", lambda: NOTICE_NAME in announced, pump=pump)
        print(f"ok: Refresh brought it back, announced as {NOTICE_NAME!r}")
        pyatspi.Registry.deregisterEventListener(on_showing, "object:state-changed:showing")
    except Failure:
        if os.path.exists(log_path):
            with open(log_path) as log:
                lines = log.read().splitlines()
            if len(lines) > 200:
                lines = lines[:150] + ["..."] + lines[-20:]
            if lines:
                print("the demo's output:\n  " + "\n  ".join(lines))
        raise
    finally:
        processes.stop_all()


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    with tempfile.TemporaryDirectory() as scratch:
        try:
            run(sys.argv[1], scratch)
        except Failure as failure:
            print(f"FAIL: {failure}")
            return 1
    print("ok: the notice reaches a screen reader")
    return 0


if __name__ == "__main__":
    sys.exit(main())
