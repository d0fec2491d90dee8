#!/usr/bin/env bash
# The CLI's three descriptions of itself stay in step with the program: every
# command and option of --help is in the man page and the completion, every
# exit code of docs/cli.md in --help and the man page; the man page renders
# without a warning; the completion completes commands, modes, options and
# the serial numbers of the attached cameras.
#
# Usage: test_cli_docs.sh PROGRAM MAN_PAGE COMPLETION JSON_DOC

set -uo pipefail
program=${1:?usage: test_cli_docs.sh PROGRAM MAN_PAGE COMPLETION JSON_DOC}
man_page=${2:?}
completion=${3:?}
json_doc=${4:?}

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

help=$("$program" --help) || fail "--help exits with $?"
[[ -n $help ]] || fail "--help prints nothing"
# The man page with its escapes undone, as a reader sees the words.
man_text=$(sed -e 's/\\-/-/g' -e 's/\\fB//g; s/\\fI//g; s/\\fR//g' "$man_page")

commands=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | awk 'NR > 1 && /^  [a-z]/ { print $1 }')
options=$(sed -n '/^Options:/,/^$/p' <<<"$help" | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u)
[[ $(wc -w <<<"$commands") -eq 7 ]] || fail "expected seven commands in --help, found: $commands"
[[ $(wc -w <<<"$options") -ge 15 ]] || fail "expected at least fifteen options in --help, found: $options"

for command in $commands; do
    grep -q "^\.B.* $command\|^\.BI $command\|^\.B $command" "$man_page" || fail "the man page does not describe the command $command"
    grep -qw -- "$command" "$completion" || fail "the completion does not offer the command $command"
done
for option in $options; do
    grep -q -- "$option" <<<"$man_text" || fail "the man page does not describe the option $option"
    grep -q -- "$option" "$completion" || fail "the completion does not offer the option $option"
done

# Exit codes: the table in docs/cli.md is the reference.
codes=$(awk -F'|' '/^\| [0-9]+ +\|/ { gsub(/ /, "", $2); print $2 }' "$json_doc")
[[ $(wc -w <<<"$codes") -eq 14 ]] || fail "expected fourteen exit codes in $json_doc, found: $codes"
for code in $codes; do
    grep -qE "(^| )$code " <<<"$help" || fail "--help does not list exit code $code"
    grep -qx "\.B $code" "$man_page" || fail "the man page does not list exit code $code"
done

# The man page renders cleanly.
warnings=$(groff -man -Tutf8 -ww -z "$man_page" 2>&1)
[[ -z $warnings ]] || fail "groff warns about the man page: $warnings"
rendered=$(MANWIDTH=80 man -l "$man_page" 2>/dev/null | col -b)
for section in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS "EXIT STATUS"; do
    grep -q "^$section" <<<"$rendered" || fail "the rendered man page has no $section section"
done
grep -q "kelvora-camera-cli [0-9]" <<<"$rendered" || fail "the man page carries no version"

# The completion, driven the way bash drives it.
complete_words() {
    bash -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
        _kelvora_camera_cli
        printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@" | sort | tr '\n' ' '
}
[[ $(complete_words "$program" "") == "doctor enter-upgrade info list pack set-mode upgrade " ]] ||
    fail "commands completed as: $(complete_words "$program" "")"
[[ $(complete_words "$program" --json set-mode "") == "auto full gallery voice " ]] ||
    fail "modes completed as: $(complete_words "$program" --json set-mode "")"
[[ $(complete_words "$program" --ti) == "--timeout " ]] || fail "--ti completed as: $(complete_words "$program" --ti)"
[[ $(complete_words "$program" upgrade --allow) == "--allow-older --allow-reinstall " ]] ||
    fail "upgrade --allow completed as: $(complete_words "$program" upgrade --allow)"
[[ $(complete_words "$program" pack x.bin --f) == "--firmware-version " ]] ||
    fail "pack --f completed as: $(complete_words "$program" pack x.bin --f)"
[[ $(complete_words "$program" doctor --udev-rules-dir /) == *"/etc"* ]] ||
    fail "--udev-rules-dir did not complete a folder: $(complete_words "$program" doctor --udev-rules-dir /)"
[[ $(complete_words "$program" --device SIM) == *"SIM0001"* ]] ||
    fail "--device did not complete the serial number: $(complete_words "$program" --device SIM)"

if (( failures > 0 )); then
    echo "$failures problem(s)"
    exit 1
fi
echo "help, man page, completion and $json_doc agree"
