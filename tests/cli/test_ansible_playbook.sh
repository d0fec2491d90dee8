#!/usr/bin/env bash
# Runs examples/ansible/upgrade-cameras.yml with ansible-playbook against
# localhost, one "room" per inventory entry, each with its own virtual camera
# behind the demo program: one to upgrade, one already at the package's
# version, one cut short in upgrade mode, one whose camera refuses the
# upload, one that runs newer firmware than the package. The package is made
# with the demo's own `pack`. In check mode (the tool's dry run) the recap
# must say changed, ok, changed, changed, failed and no camera may change;
# then a real run says changed, ok, changed, failed, failed, and a second
# real run changes nothing.
#
# Usage: test_ansible_playbook.sh DEMO_PROGRAM PLAYBOOK SCRATCH_DIR

set -uo pipefail
program=$(realpath "${1:?usage: test_ansible_playbook.sh DEMO_PROGRAM PLAYBOOK SCRATCH_DIR}")
playbook=${2:?}
scratch=${3:?}

if ! command -v ansible-playbook >/dev/null; then
    echo "FAIL: ansible-playbook is not installed (Debian package ansible-core, see scripts/deps.sh)"
    exit 1
fi

rm -rf "$scratch"
mkdir -p "$scratch/ansible-home" "$scratch/tmp"
image=$scratch/firmware.bin
package=$scratch/camera-2.2.0.cab
# 64 KiB: a readable header, then bytes of every value.
{ printf 'CAMERA FIRMWARE V2.2.0'; head -c 65514 /dev/urandom; } >"$image"
"$program" pack "$image" --firmware-version 2.2.0 --output "$package" >/dev/null ||
    { echo "FAIL: pack did not write the package"; exit 1; }

set_up_rooms() {
    printf 'identity=camera\nmode=1\nversion=V2.1.0\n' >"$scratch/room-101.state"
    printf 'identity=camera\nmode=1\nversion=V2.2.0\n' >"$scratch/room-102.state"
    printf 'identity=upgrade\nmode=1\nversion=V2.1.0\n' >"$scratch/room-103.state"
    printf 'identity=camera\nmode=1\nversion=V2.1.0\n' >"$scratch/room-104.state"
    printf 'identity=camera\nmode=1\nversion=V3.0.0\n' >"$scratch/room-105.state"
}
set_up_rooms

room() {   # name, demo settings
    printf '    %s:\n      ansible_connection: local\n      camera_cli_environment:\n' "$1"
    printf '        KELVORA_CLI_DEMO_STATE: "%s"\n        KELVORA_CLI_DEMO: "%s"\n' "$scratch/$1.state" "$2"
}
{
    echo "meeting_rooms:"
    echo "  hosts:"
    room room-101 fast
    room room-102 fast
    room room-103 fast
    room room-104 fast,refuse-start
    room room-105 fast
} >"$scratch/inventory.yml"

run_playbook() {
    ANSIBLE_HOME="$scratch/ansible-home" ANSIBLE_LOCAL_TEMP="$scratch/tmp" ANSIBLE_REMOTE_TEMP="$scratch/tmp" \
    ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 \
    ANSIBLE_FORKS=5 \
        ansible-playbook -i "$scratch/inventory.yml" "$playbook" \
            -e "camera_cli=$program" -e "firmware_package=$package" "$@"
}

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
recap() {   # log, host -> "ok=N changed=N ... failed=N"
    grep -E "^$2 +:" "$1" | sed -E 's/^[^:]+: +//; s/ +/ /g'
}
count() {   # recap line, field
    grep -oE "$2=[0-9]+" <<<"$1" | cut -d= -f2
}
expect() {   # log, host, changed|ok|failed
    local line
    line=$(recap "$1" "$2")
    case $3 in
        changed) [[ $(count "$line" changed) == 1 && $(count "$line" failed) == 0 ]] ;;
        ok) [[ $(count "$line" changed) == 0 && $(count "$line" failed) == 0 && $(count "$line" ok) -ge 1 ]] ;;
        failed) [[ $(count "$line" failed) == 1 && $(count "$line" changed) == 0 ]] ;;
    esac || fail "$(basename "$1" .log): $2: expected $3, recap: $line"
}

# Check mode: the dry run. Nothing may change on any camera.
cp -r "$scratch"/*.state "$scratch/tmp/" 2>/dev/null
run_playbook --check >"$scratch/check.log" 2>&1
status=$?
cat "$scratch/check.log"
[[ $status -eq 2 ]] || fail "the check-mode run exited $status, expected 2 (one room failed)"
for host in room-101 room-103 room-104; do expect "$scratch/check.log" $host changed; done
expect "$scratch/check.log" room-102 ok
expect "$scratch/check.log" room-105 failed
for host in room-101 room-102 room-103 room-104 room-105; do
    cmp -s "$scratch/$host.state" "$scratch/tmp/$host.state" || fail "check mode changed $host's camera"
done
grep -q "the package's version 2.2.0 is older than the camera's V3.0.0 (exit code 9)" "$scratch/check.log" ||
    fail "the newer room's message does not say why (check mode)"

# The real run.
run_playbook >"$scratch/first.log" 2>&1
status=$?
cat "$scratch/first.log"
[[ $status -eq 2 ]] || fail "the first run exited $status, expected 2 (two rooms failed)"
for host in room-101 room-103; do
    expect "$scratch/first.log" $host changed
    grep -qx 'version=V2.2.0' "$scratch/$host.state" || fail "$host's camera does not run V2.2.0 afterwards"
    grep -qx 'identity=camera' "$scratch/$host.state" || fail "$host's camera is not back in normal mode"
done
expect "$scratch/first.log" room-102 ok
expect "$scratch/first.log" room-104 failed
expect "$scratch/first.log" room-105 failed
grep -q "the camera refused the upload (status 1) (exit code 6)" "$scratch/first.log" ||
    fail "the refusing room's message does not say why"
grep -qx 'version=V3.0.0' "$scratch/room-105.state" || fail "room-105's newer firmware was replaced"

# Again, without the failing rooms: nothing left to do.
run_playbook --limit room-101,room-102,room-103 >"$scratch/second.log" 2>&1
status=$?
cat "$scratch/second.log"
[[ $status -eq 0 ]] || fail "the second run exited $status"
for host in room-101 room-102 room-103; do expect "$scratch/second.log" $host ok; done

if (( failures > 0 )); then
    echo "$failures problem(s)"
    exit 1
fi
echo "the playbook upgraded, skipped and reported each room as it should, and changed nothing in check mode"
