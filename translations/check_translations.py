#!/usr/bin/env python3
"""Checks that every translation is complete and in step with the code.

Runs lupdate over the sources into copies of the .ts files (the files in the
repository stay as they are), then fails when any copy has
  - a text without a finished translation (new in the code, or never done),
  - a text the code no longer uses (obsolete or vanished),
  - a translation that lost or gained a placeholder (%1, %2, ...) or a file
    pattern such as (*.bin) that the program relies on.
Given the desktop entry and the AppStream metainfo, it also fails when one
of them lacks the translated name or summary for a language of the .ts files.

Usage: check_translations.py --lupdate LUPDATE --sources SRC_DIR
           [--desktop FILE] [--metainfo FILE] TS_FILE...
"""

import argparse
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

# As translations/CMakeLists.txt runs it for update-translations, but
# without -no-obsolete, so that texts gone from the code show up here.
LUPDATE_OPTIONS = ["-locations", "none"]

PLACEHOLDER = re.compile(r"%L?\d+")
FILE_PATTERN = re.compile(r"\(\*\.[A-Za-z0-9]+\)")


def tokens(pattern, text):
    return sorted(pattern.findall(text or ""))


def problems_in(ts_path, name):
    problems = []
    root = ET.parse(ts_path).getroot()
    if not root.get("language"):
        problems.append(f"{name}: the TS element names no language")
    for context in root.iter("context"):
        context_name = context.findtext("name")
        for message in context.iter("message"):
            source = message.findtext("source") or ""
            translation = message.find("translation")
            where = f"{name}: {context_name}: {source!r}"
            kind = translation.get("type") if translation is not None else "missing"
            if kind in ("obsolete", "vanished"):
                problems.append(f"{where}: no longer used by the code")
                continue
            if kind == "unfinished" or translation is None:
                problems.append(f"{where}: not translated (or not marked finished)")
                continue
            if message.get("numerus") == "yes":
                forms = [form.text or "" for form in translation.iter("numerusform")]
            else:
                forms = [translation.text or ""]
            for form in forms:
                if not form.strip():
                    problems.append(f"{where}: empty translation")
                for label, pattern in (("placeholders", PLACEHOLDER), ("file patterns", FILE_PATTERN)):
                    if tokens(pattern, source) != tokens(pattern, form):
                        problems.append(
                            f"{where}: {label} {tokens(pattern, source)} became "
                            f"{tokens(pattern, form)} in {form!r}")
    return problems


def language_of(ts_path):
    """The language a .ts file is for, from its name: xxx_de.ts, xxx_zh_CN.ts."""
    return pathlib.Path(ts_path).stem.split("_", 1)[1]


def desktop_problems(path, languages):
    keys = set()
    with open(path, encoding="utf-8") as desktop:
        for line in desktop:
            if "=" in line and not line.startswith("#"):
                keys.add(line.split("=", 1)[0].strip())
    return [f"{path}: no {key}[{language}]" for language in languages
            for key in ("Name", "Comment") if f"{key}[{language}]" not in keys]


def metainfo_problems(path, languages):
    root = ET.parse(path).getroot()
    lang = "{http://www.w3.org/XML/1998/namespace}lang"
    return [f"{path}: no <{tag} xml:lang=\"{language}\">" for language in languages
            for tag in ("name", "summary")
            if not any(element.get(lang) == language for element in root.findall(tag))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lupdate", required=True)
    parser.add_argument("--sources", required=True)
    parser.add_argument("--desktop")
    parser.add_argument("--metainfo")
    parser.add_argument("ts_files", nargs="+")
    args = parser.parse_args()

    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        copies = []
        for ts_file in args.ts_files:
            source = pathlib.Path(ts_file)
            if not source.is_file():
                problems.append(f"{ts_file}: missing")
                continue
            copy = pathlib.Path(scratch) / source.name
            shutil.copyfile(source, copy)
            copies.append((copy, source.name))
        if copies:
            run = subprocess.run(
                [args.lupdate, *LUPDATE_OPTIONS, args.sources, "-ts", *[str(copy) for copy, _ in copies]],
                capture_output=True, text=True)
            if run.returncode != 0:
                print(run.stdout + run.stderr)
                print("FAIL: lupdate did not run")
                return 1
        for copy, name in copies:
            problems.extend(problems_in(copy, name))
        languages = [language_of(copy) for copy, _ in copies]
        if args.desktop:
            problems.extend(desktop_problems(args.desktop, languages))
        if args.metainfo:
            problems.extend(metainfo_problems(args.metainfo, languages))

    if problems:
        print("\n".join(problems))
        print(f"FAIL: {len(problems)} problem(s). Run `cmake --build build --target "
              "update-translations`, then translate what it marks unfinished.")
        return 1
    print(f"ok: {len(args.ts_files)} translation(s) complete and in step with the code")
    return 0


if __name__ == "__main__":
    sys.exit(main())
