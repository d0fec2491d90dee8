#!/usr/bin/env bash
# Every package `pack` writes here is read back by other programs: gcab lists
# and unpacks it (exactly the image and one metainfo, the image unchanged),
# appstreamcli validates the metainfo, and the firmware service's own tool,
# fwupdtool, reads it without its daemon (the camera's GUIDs, the version,
# the notes, its own check of the content checksum). Packages made by those
# programs (gcab with MSZIP compression, fwupdtool build-cabinet) are taken
# by `upgrade --dry-run`; one whose image was changed after packing is
# refused by fwupdtool and by the tool alike.
#
# Usage: test_packages.sh DEMO_PROGRAM SCRATCH_DIR

set -uo pipefail
program=$(realpath "${1:?usage: test_packages.sh DEMO_PROGRAM SCRATCH_DIR}")
scratch=${2:?}

for tool in gcab fwupdtool appstreamcli python3; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (see scripts/deps.sh)"; exit 1; }
done

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch" || exit 1
unset KELVORA_CLI_DEMO_STATE KELVORA_CLI_DEMO

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The GUIDs, derived here by Python's own name-based UUIDs.
read -r camera_guid upgrade_guid < <(python3 -c '
import uuid
print(*(uuid.uuid5(uuid.NAMESPACE_DNS, i) for i in ("USB\\VID_2207&PID_2008", "USB\\VID_1D6B&PID_0102")))')

{ printf 'CAMERA FIRMWARE'; head -c 100000 /dev/urandom; } >image.bin

# check NAME VERSION DATE NOTE: the package NAME.cab against the other programs.
check() {
    local name=$1 version=$2 date=$3 note=$4 out=$scratch/$1
    mkdir -p "$out"
    local listed
    listed=$(gcab -t "$name.cab" | sort | tr '\n' ' ')
    [[ $listed == "firmware.bin firmware.metainfo.xml " ]] || fail "$name: gcab lists: $listed"
    (cd "$out" && gcab -x "../$name.cab") || fail "$name: gcab cannot unpack it"
    cmp -s image.bin "$out/firmware.bin" || fail "$name: the image in the package differs from the one packed"
    local sum
    sum=$(sha256sum image.bin | cut -d' ' -f1)
    grep -q "<checksum type=\"sha256\" filename=\"firmware.bin\" target=\"content\">$sum</checksum>" \
        "$out/firmware.metainfo.xml" || fail "$name: the metainfo does not carry the image's sha256 $sum"
    appstreamcli validate --no-net "$out/firmware.metainfo.xml" >"$out/appstream.log" 2>&1 ||
        { cat "$out/appstream.log"; fail "$name: appstreamcli does not validate the metainfo"; }
    fwupdtool get-details "$name.cab" >"$out/fwupd.log" 2>&1 ||
        { cat "$out/fwupd.log"; fail "$name: fwupdtool get-details fails"; }
    for guid in "$camera_guid" "$upgrade_guid"; do
        grep -q "$guid" "$out/fwupd.log" || fail "$name: fwupdtool does not see the GUID $guid"
    done
    grep -qE "New version: +$version\$" "$out/fwupd.log" || fail "$name: fwupdtool does not see version $version"
    grep -q "release version=\"$version\" date=\"$date\"" "$out/firmware.metainfo.xml" ||
        fail "$name: the release is not $version of $date"
    [[ -z $note ]] || grep -qF -- "$note" "$out/fwupd.log" || fail "$name: fwupdtool does not show the notes '$note'"
}

"$program" pack image.bin --firmware-version 2.2.0 --date 2026-12-08 \
    --release-notes $'Smoother voice tracking.\n\nFixes <framing> & "gallery" in dim rooms: ÄÖÜ.' \
    --output notes.cab >/dev/null || fail "pack with notes and a date failed"
check notes 2.2.0 2026-12-08 'Fixes <framing> & "gallery" in dim rooms: ÄÖÜ.'

"$program" pack image.bin --firmware-version V10.0.3 --output plain.cab >/dev/null ||
    fail "pack without notes or date failed"
check plain 10.0.3 "$(date -u +%F)" ""

# The same files packed by gcab, compressed and in the other order, and by
# fwupdtool: the tool takes both.
(cd notes && gcab -c -z ../by-gcab.cab firmware.bin firmware.metainfo.xml) || fail "gcab cannot pack"
fwupdtool build-cabinet by-fwupd.cab notes/firmware.bin notes/firmware.metainfo.xml >/dev/null 2>&1 ||
    fail "fwupdtool build-cabinet failed"
for made in by-gcab by-fwupd; do
    result=$("$program" --json upgrade --dry-run "$made.cab" 2>"$made.err")
    status=$?
    [[ $status -eq 0 && $result == *'"would_write":true'* && $result == *'"package_version":"2.2.0"'* ]] ||
        fail "upgrade --dry-run of the package made by $made: exit $status, $result $(cat "$made.err")"
done

# An image changed after packing: the firmware service and the tool refuse it.
mkdir -p changed && cp notes/firmware.metainfo.xml changed/
{ printf 'CAMERA FIRMWARE'; head -c 100000 /dev/urandom; } >changed/firmware.bin
(cd changed && gcab -c ../changed.cab firmware.bin firmware.metainfo.xml) || fail "gcab cannot pack"
fwupdtool get-details changed.cab >changed.log 2>&1 && fail "fwupdtool takes a package whose image was changed"
grep -q "checksum" changed.log || fail "fwupdtool refuses the changed package for another reason: $(cat changed.log)"
"$program" --json upgrade --dry-run changed.cab >/dev/null 2>changed.err
status=$?
[[ $status -eq 7 ]] && grep -q '"reason":"checksum-mismatch"' changed.err ||
    fail "the tool's dry run of the changed package: exit $status, $(cat changed.err)"

if (( failures > 0 )); then
    echo "$failures problem(s)"
    exit 1
fi
echo "gcab, appstreamcli and fwupdtool read every package pack wrote; the tool reads theirs"
