#!/usr/bin/python3
"""The window as a screen reader finds it on the desktop's accessibility bus.

Starts a virtual X display, the demo (the window with the virtual camera)
with Qt's accessibility bridge on, then at-spi2-core's accessibility bus, as
when a screen reader is turned on while the program runs. Through pyatspi, the client library screen readers are built on, it finds
the window's controls by role and name, selects a framing mode and presses
Apply through their accessible actions, closes the confirmation box the same
way, and checks that the Mode status line announces the new mode and that
the virtual camera took it.

Must run inside a private D-Bus session:

    dbus-run-session -- /usr/bin/python3 atspi_apply_mode.py DEMO_PROGRAM

Anything missing (the session bus, Xvfb, the bus launcher, pyatspi) fails
the test; nothing is skipped.
"""

import importlib.util
import os
import select
import shutil
import subprocess
import sys
import tempfile
import threading
import time

APP_NAME = "kelvora-camera-config-demo"
MODE_NAME = "VoiceTracking"
MODE_VALUE = 2
BUS_LAUNCHERS = ["/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"]

START_TIMEOUT_S = 20     # X display, accessibility bus, the demo's window
STEP_TIMEOUT_S = 15      # each step after that
POLL_INTERVAL_S = 0.05


class Failure(Exception):
    pass


def wait_for(what, condition, timeout=STEP_TIMEOUT_S, pump=None):
    """Polls `condition` until it returns something true, and returns it."""
    deadline = time.monotonic() + timeout
    while True:
        if pump:
            pump()
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(POLL_INTERVAL_S)


class Processes:
    """The processes this test starts, stopped in reverse order at the end."""

    def __init__(self):
        self.started = []

    def start(self, name, *args, **kwargs):
        process = subprocess.Popen(*args, **kwargs)
        self.started.append((name, process))
        return process

    def check_running(self):
        for name, process in self.started:
            if process.poll() is not None:
                raise Failure(f"{name} exited with status {process.returncode}")

    def stop_all(self):
        for _, process in reversed(self.started):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


def start_display(processes):
    if not shutil.which("Xvfb"):
        raise Failure("Xvfb is not installed (Debian: xvfb)")
    # Xvfb picks a free display itself and writes its number once it
    # accepts connections.
    read_end, write_end = os.pipe()
    processes.start("Xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,),
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + START_TIMEOUT_S
    while not number.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            raise Failure("Xvfb did not report a display")
        chunk = os.read(read_end, 16)
        if not chunk:
            raise Failure("Xvfb exited before reporting a display")
        number += chunk
    os.close(read_end)
    return ":" + number.decode().strip()


def start_accessibility_bus(processes, environment):
    from gi.repository import Gio, GLib

    launcher = next((path for path in BUS_LAUNCHERS if os.access(path, os.X_OK)), None)
    if not launcher:
        raise Failure("at-spi2-core's bus launcher is not installed (Debian: at-spi2-core)")
    processes.start("the accessibility bus launcher", [launcher, "--launch-immediately"],
                    env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def address():
        processes.check_running()
        try:
            reply = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                                      None, GLib.VariantType("(s)"),
                                      Gio.DBusCallFlags.NO_AUTO_START, 1000, None)
        except GLib.Error:
            return None
        return reply.unpack()[0]

    return wait_for("the accessibility bus", address, START_TIMEOUT_S)


class Demo:
    """The demo program, with what it prints collected as it goes."""

    def __init__(self, processes, program, environment, log):
        self.lines = []
        self.process = processes.start(APP_NAME, [program, "--report-camera-mode"], env=environment,
                                       stdout=subprocess.PIPE, stderr=log, text=True)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line.rstrip("\n"))


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
            # The source texts, whatever the machine's language.
            "LC_ALL": "C.UTF-8",
            "LANGUAGE": "",
            "QT_LOGGING_RULES": "default.debug=false",
        })
        if "ASAN_OPTIONS" in demo_environment:
            # In a sanitizer build: the X keyboard library copies atom names
            # with strndup() from buffers that are not NUL-terminated, which
            # the length bounds, but which AddressSanitizer's strict string
            # checks report. The later setting wins.
            demo_environment["ASAN_OPTIONS"] += ":strict_string_checks=0"
        with open(log_path, "w") as log:
            demo = Demo(processes, program, demo_environment, log)
        # The program reports the camera's mode once its window is up. Only
        # then does the bus start: Qt 5.15 told to be always on, and finding
        # the bus already there as it starts, can try to register before its
        # connection to the bus is made, and does not try again.
        wait_for("the demo's window", lambda: processes.check_running() or any(
            line.startswith("demo: camera mode") for line in demo.lines), START_TIMEOUT_S)
        start_accessibility_bus(processes, environment)

        # pyatspi connects to the accessibility bus when imported.
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

        def find(root, role, name=None, prefix=None):
            def matches(accessible):
                if accessible is None or accessible.getRole() != role:
                    return False
                fresh(accessible)
                if name is not None:
                    return accessible.name == name
                return prefix is None or accessible.name.startswith(prefix)
            return pyatspi.findDescendant(root, matches)

        def do_action(accessible, wanted):
            action = accessible.queryAction()
            names = [action.getName(index) for index in range(action.nActions)]
            for index, action_name in enumerate(names):
                if action_name.lower() in wanted:
                    action.doAction(index)
                    return action_name
            raise Failure(f"{accessible.name!r} offers no {sorted(wanted)} action, only {names}")

        def checked(accessible):
            return fresh(accessible).getState().contains(pyatspi.STATE_CHECKED)

        app = wait_for("the demo on the accessibility bus", application, START_TIMEOUT_S, pump)
        status = wait_for("the status line saying the camera is connected",
                          lambda: find(app, pyatspi.ROLE_STATUS_BAR, name="Status: Connected"),
                          START_TIMEOUT_S, pump)
        print(f"ok: found the status line {status.name!r}")
        # "MODE:" until the camera has said which mode it is in.
        mode_line = wait_for("the status line naming the camera's mode",
                             lambda: find(app, pyatspi.ROLE_STATUS_BAR, prefix="Mode: "), pump=pump)
        print(f"ok: found the mode line {mode_line.name!r}")

        # A screen reader hears of each new text through these events, and
        # then reads the name of the line that sent it.
        announced = []

        def on_name_change(event):
            if event.source is not None and event.source.getRole() == pyatspi.ROLE_STATUS_BAR:
                announced.append(fresh(event.source).name)

        pyatspi.Registry.registerEventListener(on_name_change, "object:property-change:accessible-name")

        choice = find(app, pyatspi.ROLE_RADIO_BUTTON, name=MODE_NAME)
        apply_button = find(app, pyatspi.ROLE_PUSH_BUTTON, name="Apply")
        if choice is None or apply_button is None:
            raise Failure(f"no radio button {MODE_NAME!r} or push button 'Apply' in the window")
        if checked(choice):
            raise Failure(f"{MODE_NAME} is selected before the test selects it")
        print(f"ok: found {MODE_NAME!r} ({choice.description!r}) and 'Apply' ({apply_button.description!r})")

        used = do_action(choice, {"press", "toggle"})
        wait_for(f"{MODE_NAME} to be selected", lambda: checked(choice), pump=pump)
        print(f"ok: {MODE_NAME} selected through its {used!r} action; "
              f"now described as {fresh(choice).description!r}")

        do_action(apply_button, {"press"})
        wait_for(f"the virtual camera to take mode {MODE_VALUE}",
                 lambda: f"demo: camera mode {MODE_VALUE}" in demo.lines, pump=pump)
        print(f"ok: the virtual camera is in mode {MODE_VALUE}")

        # The window confirms in a box; the label follows once it is closed.
        box = wait_for("the confirmation box",
                       lambda: find(app, pyatspi.ROLE_ALERT) or find(app, pyatspi.ROLE_DIALOG), pump=pump)
        ok_button = find(box, pyatspi.ROLE_PUSH_BUTTON, name="OK")
        if ok_button is None:
            raise Failure(f"the box {box.name!r} has no 'OK' button")
        print(f"ok: the box {box.name!r} is open")
        do_action(ok_button, {"press"})

        wanted = f"Mode: {MODE_NAME}"
        wait_for(f"the mode line to read {wanted!r}", lambda: fresh(mode_line).name == wanted, pump=pump)
        wait_for(f"the announcement {wanted!r}", lambda: wanted in announced, pump=pump)
        print(f"ok: the mode line reads and announced {wanted!r}")
        pyatspi.Registry.deregisterEventListener(on_name_change, "object:property-change:accessible-name")
    except Failure:
        if os.path.exists(log_path):
            with open(log_path) as log:
                lines = log.read().splitlines()
            # A sanitizer's report says what matters first.
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
    print("ok: the window works through the accessibility bus")
    return 0


if __name__ == "__main__":
    sys.exit(main())
