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

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_session import START_TIMEOUT_S, Failure, demo_on_bus, main, wait_for  # noqa: E402

MODE_NAME = "VoiceTracking"
MODE_VALUE = 2


def run(program, scratch):
    # The program reports the camera's mode once its window is up.
    def window_up(lines):
        return any(line.startswith("demo: camera mode") for line in lines)

    with demo_on_bus(program, scratch, ["--report-camera-mode"], "the demo's window", window_up) as (reader, app, demo):
        pyatspi = reader.pyatspi
        pump, fresh, find = reader.pump, reader.fresh, reader.find

        def checked(accessible):
            return reader.has_state(accessible, pyatspi.STATE_CHECKED)

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

        used = reader.do_action(choice, {"press", "toggle"})
        wait_for(f"{MODE_NAME} to be selected", lambda: checked(choice), pump=pump)
        print(f"ok: {MODE_NAME} selected through its {used!r} action; "
              f"now described as {fresh(choice).description!r}")

        reader.do_action(apply_button, {"press"})
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
        reader.do_action(ok_button, {"press"})

        wanted = f"Mode: {MODE_NAME}"
        wait_for(f"the mode line to read {wanted!r}", lambda: fresh(mode_line).name == wanted, pump=pump)
        wait_for(f"the announcement {wanted!r}", lambda: wanted in announced, pump=pump)
        print(f"ok: the mode line reads and announced {wanted!r}")
        pyatspi.Registry.deregisterEventListener(on_name_change, "object:property-change:accessible-name")


if __name__ == "__main__":
    sys.exit(main(run, __doc__, "ok: the window works through the accessibility bus"))
