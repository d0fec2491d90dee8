#!/usr/bin/env python3
"""Makes check_translations.py fail the way it must: one case per fault,
each a copy of a real .ts file, desktop entry or metainfo with that fault
put in.

Usage: test_check_translations.py LUPDATE SRC_DIR TS_FILE DESKTOP_FILE METAINFO_FILE
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

def drop_line(text, start):
    lines = text.splitlines(keepends=True)
    kept = [line for line in lines if not line.lstrip().startswith(start)]
    if len(kept) != len(lines) - 1:
        raise SystemExit(f"no single line starting with {start!r} to drop")
    return "".join(kept)


# name, file the fault goes into, the fault, words the report must contain
CASES = [
    ("unfinished", "ts", lambda t: replace_translation(t, "Apply", '<translation type="unfinished"></translation>'),
     "'Apply': not translated"),
    ("empty", "ts", lambda t: replace_translation(t, "Apply", "<translation></translation>"),
     "'Apply': empty translation"),
    ("vanished", "ts", lambda t: t.replace("</context>", VANISHED_MESSAGE, 1),
     "'A text the code never had': no longer used"),
    ("lost placeholder", "ts", lambda t: replace_translation(t, "Mode: %1", "<translation>Modus</translation>"),
     "placeholders ['%1'] became []"),
    ("renumbered placeholder", "ts",
     lambda t: replace_translation(t, "Device: %1", "<translation>Gerät: %2</translation>"),
     "placeholders ['%1'] became ['%2']"),
    ("lost file pattern", "ts",
     lambda t: replace_translation(t, "Binary Files (*.bin);", "<translation>Binärdateien;</translation>"),
     "file patterns ['(*.bin)'] became []"),
    ("desktop entry without the name", "desktop", lambda t: drop_line(t, "Name[de]="), "no Name[de]"),
    ("metainfo without the summary", "metainfo", lambda t: drop_line(t, '<summary xml:lang="de">'),
     'no <summary xml:lang="de">'),
]


def check(lupdate, sources, files):
    run = subprocess.run([sys.executable, str(CHECK), "--lupdate", lupdate, "--sources", sources,
                          "--desktop", str(files["desktop"]), "--metainfo", str(files["metainfo"]),
                          str(files["ts"])],
                         capture_output=True, text=True)
    return run.returncode, run.stdout + run.stderr


def main():
    if len(sys.argv) != 6:
        print(__doc__)
        return 2
    lupdate, sources = sys.argv[1], sys.argv[2]
    originals = {kind: pathlib.Path(path) for kind, path in zip(("ts", "desktop", "metainfo"), sys.argv[3:])}
    texts = {kind: path.read_text(encoding="utf-8") for kind, path in originals.items()}
    failed = 0
    with tempfile.TemporaryDirectory() as scratch:
        copies = {kind: pathlib.Path(scratch) / path.name for kind, path in originals.items()}

        def lay_out(faulty=None, fault=None):
            for kind, copy in copies.items():
                copy.write_text(fault(texts[kind]) if kind == faulty else texts[kind], encoding="utf-8")

        lay_out()
        code, output = check(lupdate, sources, copies)
        if code != 0:
            print(f"FAIL: the unchanged files are refused:\n{output}")
            failed += 1
        for name, kind, fault, expected in CASES:
            lay_out(kind, fault)
            code, output = check(lupdate, sources, copies)
            if code == 0 or expected not in output:
                print(f"FAIL: {name}: exit {code}, expected a report with {expected!r}:\n{output}")
                failed += 1
            else:
                print(f"ok: {name}")
    print(f"{len(CASES) + 1 - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
