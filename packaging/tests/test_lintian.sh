#!/usr/bin/env bash
# Builds the Debian package with CPack in a scratch folder and runs Debian's
# own checker on it. Any error or warning fails the test, and so does a
# missing lintian; tags of lower levels are shown for the record.
#
# Usage: test_lintian.sh BUILD_DIR SCRATCH_DIR

set -uo pipefail

build=${1:?usage: test_lintian.sh BUILD_DIR SCRATCH_DIR}
scratch=${2:?}

if ! command -v lintian >/dev/null 2>&1; then
    echo "FAIL: lintian is not installed (Debian: lintian; scripts/test.sh installs it)"
    exit 1
fi
source "$(dirname "$0")/build_deb.sh"
build_deb "$build" "$scratch"

# lintian warns on stderr when it runs as root; only its findings count.
report=$(lintian --display-info --fail-on error,warning "$deb" 2>"$scratch/lintian.err")
status=$?
[[ -n $report ]] && echo "$report"
if (( status != 0 )) || grep -qE '^[EW]: ' <<<"$report"; then
    cat "$scratch/lintian.err"
    echo "FAIL: lintian reports errors or warnings on $(basename "$deb") (exit status $status)"
    exit 1
fi
echo "ok: lintian $(lintian --version | awk '{ print $2 }') reports no error and no warning on $(basename "$deb")"
