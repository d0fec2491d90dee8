"""What the screen-reader tests share: a virtual X display, the desktop's
accessibility bus, the demo started with Qt's accessibility bridge on, and
the pyatspi calls a screen reader makes to find, read and press things.

Anything missing (the session bus, Xvfb, the bus launcher, pyatspi) is a
Failure; nothing is skipped.
"""

import contextlib
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

    def __init__(self, processes, arguments, environment, log):
        self.lines = []
        self.process = processes.start(APP_NAME, arguments, env=environment,
                                       stdout=subprocess.PIPE, stderr=log, text=True)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line.rstrip("\n"))


def check_prerequisites(program):
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        raise Failure("no D-Bus session: run under dbus-run-session")
    if importlib.util.find_spec("pyatspi") is None:
        raise Failure("pyatspi is not installed for this Python (Debian: python3-pyatspi)")
    if not os.access(program, os.X_OK):
        raise Failure(f"{program} is not an executable file")


def demo_environment(environment):
    """The demo's environment: the X display, the accessibility bridge always
    on, the source texts whatever the machine's language, no debug log."""
    demo = dict(environment, **{
        "QT_QPA_PLATFORM": "xcb",
        "QT_ACCESSIBILITY": "1",
        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        "LC_ALL": "C.UTF-8",
        "LANGUAGE": "",
        "QT_LOGGING_RULES": "default.debug=false",
    })
    if "ASAN_OPTIONS" in demo:
        # In a sanitizer build: the X keyboard library copies atom names
        # with strndup() from buffers that are not NUL-terminated, which
        # the length bounds, but which AddressSanitizer's strict string
        # checks report. The later setting wins.
        demo["ASAN_OPTIONS"] += ":strict_string_checks=0"
    return demo


class Reader:
    """What a screen reader does through pyatspi, once the accessibility bus
    is up (pyatspi connects to it when imported)."""

    def __init__(self, processes):
        import pyatspi
        from gi.repository import GLib
        self.pyatspi = pyatspi
        self.processes = processes
        self.context = GLib.MainContext.default()

    def pump(self):
        self.processes.check_running()
        while self.context.iteration(False):
            pass

    @staticmethod
    def fresh(accessible):
        accessible.clear_cache()
        return accessible

    def application(self):
        desktop = self.fresh(self.pyatspi.Registry.getDesktop(0))
        for index in range(desktop.childCount):
            child = desktop.getChildAtIndex(index)
            if child is not None and child.name == APP_NAME:
                return child
        return None

    def find(self, root, role, name=None, prefix=None):
        def matches(accessible):
            if accessible is None or accessible.getRole() != role:
                return False
            self.fresh(accessible)
            if name is not None:
                return accessible.name == name
            return prefix is None or accessible.name.startswith(prefix)
        return self.pyatspi.findDescendant(root, matches)

    def has_state(self, accessible, state):
        return self.fresh(accessible).getState().contains(state)

    def do_action(self, accessible, wanted):
        action = accessible.queryAction()
        names = [action.getName(index) for index in range(action.nActions)]
        for index, action_name in enumerate(names):
            if action_name.lower() in wanted:
                action.doAction(index)
                return action_name
        raise Failure(f"{accessible.name!r} offers no {sorted(wanted)} action, only {names}")


def print_demo_log(log_path):
    """After a failure: what the demo printed, a sanitizer's report first."""
    if not os.path.exists(log_path):
        return
    with open(log_path) as log:
        lines = log.read().splitlines()
    if len(lines) > 200:
        lines = lines[:150] + ["..."] + lines[-20:]
    if lines:
        print("the demo's output:\n  " + "\n  ".join(lines))


@contextlib.contextmanager
def demo_on_bus(program, scratch, arguments, what, ready):
    """Starts a virtual display and the demo with `arguments`, waits until
    `ready(demo.lines)` holds, and only then starts the accessibility bus:
    Qt 5.15 told to be always on, and finding the bus already there as it
    starts, can try to register before its connection to the bus is made,
    and does not try again. Yields the reader, the demo's application on the
    bus and the demo; after a Failure prints what the demo said, and stops
    everything it started."""
    check_prerequisites(program)
    processes = Processes()
    log_path = os.path.join(scratch, "demo.log")
    try:
        environment = dict(os.environ)
        environment["DISPLAY"] = start_display(processes)
        with open(log_path, "w") as log:
            demo = Demo(processes, [program] + arguments, demo_environment(environment), log)
        wait_for(what, lambda: processes.check_running() or ready(demo.lines), START_TIMEOUT_S)
        start_accessibility_bus(processes, environment)
        reader = Reader(processes)
        app = wait_for("the demo on the accessibility bus", reader.application, START_TIMEOUT_S, reader.pump)
        yield reader, app, demo
    except Failure:
        print_demo_log(log_path)
        raise
    finally:
        processes.stop_all()


def main(run, doc, passed):
    """Runs `run(program, scratch)` on the program the command line names."""
    if len(sys.argv) != 2:
        print(doc)
        return 2
    with tempfile.TemporaryDirectory() as scratch:
        try:
            run(sys.argv[1], scratch)
        except Failure as failure:
            print(f"FAIL: {failure}")
            return 1
    print(passed)
    return 0
