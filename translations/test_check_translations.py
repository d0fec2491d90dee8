#!/usr/bin/env python3
"""Makes check_translations.py fail the way it must: one case per fault,
each a copy of a real .ts file with that fault put in.

Usage: test_check_translations.py LUPDATE SRC_DIR TS_FILE
"""

import pathlib
import re
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
CHECK = HERE / "check_translations.py"


def replace_translation(text, source, new):
    """The .ts text with the translation of `source` replaced by `new`."""
    pattern = re.compile(r"(<source>" + re.escape(source) + r"</source>.*?)<translation>[^<]*</translation>",
                         re.S)
    changed, count = pattern.subn(lambda match: match.group(1) + new, text, count=1)
    if count != 1:
        raise SystemExit(f"no finished translation of {source!r} to change")
    return changed


VANISHED_MESSAGE = """    <message>
        <source>A text the code never had</source>
        <translation>Ein Text</translation>
    </message>
</context>"""

# name, fault put into the file, words the report must contain
CASES = [
    ("unfinished", lambda t: replace_translation(t, "Apply", '<translation type="unfinished"></translation>'),
     "'Apply': not translated"),
    ("empty", lambda t: replace_translation(t, "Apply", "<translation></translation>"),
     "'Apply': empty translation"),
    ("vanished", lambda t: t.replace("</context>", VANISHED_MESSAGE, 1),
     "'A text the code never had': no longer used"),
    ("lost placeholder", lambda t: replace_translation(t, "Mode: %1", "<translation>Modus</translation>"),
     "placeholders ['%1'] became []"),
    ("renumbered placeholder", lambda t: replace_translation(t, "Device: %1", "<translation>Gerät: %2</translation>"),
     "placeholders ['%1'] became ['%2']"),
    ("lost file pattern",
     lambda t: replace_translation(t, "Binary Files (*.bin);", "<translation>Binärdateien;</translation>"),
     "file patterns ['(*.bin)'] became []"),
]


def check(lupdate, sources, ts_file):
    run = subprocess.run([sys.executable, str(CHECK), "--lupdate", lupdate, "--sources", sources, str(ts_file)],
                         capture_output=True, text=True)
    return run.returncode, run.stdout + run.stderr


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    lupdate, sources, original = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
    text = original.read_text(encoding="utf-8")
    failed = 0
    with tempfile.TemporaryDirectory() as scratch:
        copy = pathlib.Path(scratch) / original.name
        copy.write_text(text, encoding="utf-8")
        code, output = check(lupdate, sources, copy)
        if code != 0:
            print(f"FAIL: the unchanged file is refused:\n{output}")
            failed += 1
        for name, fault, expected in CASES:
            copy.write_text(fault(text), encoding="utf-8")
            code, output = check(lupdate, sources, copy)
            if code == 0 or expected not in output:
                print(f"FAIL: {name}: exit {code}, expected a report with {expected!r}:\n{output}")
                failed += 1
            else:
                print(f"ok: {name}")
    print(f"{len(CASES) + 1 - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
