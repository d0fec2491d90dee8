#!/usr/bin/env bash
# Runs examples/ansible/upgrade-cameras.yml with ansible-playbook against
# localhost, one "room" per inventory entry, each with its own virtual camera
# behind the demo program: one to upgrade, one already at the target version,
# one cut short in upgrade mode, one whose camera fails. The recap must say
# changed, ok, changed, failed; a second run changes nothing.
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
# 64 KiB: a readable header, then bytes of every value.
{ printf 'CAMERA FIRMWARE V2.2.0'; head -c 65514 /dev/urandom; } >"$image"
printf 'identity=camera\nmode=1\nversion=V2.2.0\n' >"$scratch/room-102.state"
printf 'identity=upgrade\nmode=1\nversion=V2.1.0\n' >"$scratch/room-103.state"

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
} >"$scratch/inventory.yml"

run_playbook() {
    ANSIBLE_HOME="$scratch/ansible-home" ANSIBLE_LOCAL_TEMP="$scratch/tmp" ANSIBLE_REMOTE_TEMP="$scratch/tmp" \
    ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 \
    ANSIBLE_FORKS=4 \
        ansible-playbook -i "$scratch/inventory.yml" "$playbook" \
            -e "camera_cli=$program" -e "firmware_image=$image" -e target_version=V2.2.0 "$@"
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

run_playbook >"$scratch/first.log" 2>&1
status=$?
cat "$scratch/first.log"
# A failed host makes ansible-playbook exit 2.
[[ $status -eq 2 ]] || fail "the first run exited $status, expected 2 (one room failed)"
for host in room-101 room-103; do
    line=$(recap "$scratch/first.log" $host)
    [[ $(count "$line" changed) == 1 && $(count "$line" failed) == 0 ]] || fail "$host: expected changed, recap: $line"
    grep -qx 'version=V2.2.0' "$scratch/$host.state" || fail "$host's camera does not run V2.2.0 afterwards"
    grep -qx 'identity=camera' "$scratch/$host.state" || fail "$host's camera is not back in normal mode"
done
line=$(recap "$scratch/first.log" room-102)
[[ $(count "$line" changed) == 0 && $(count "$line" failed) == 0 && $(count "$line" ok) -ge 1 ]] ||
    fail "room-102: expected ok and unchanged, recap: $line"
line=$(recap "$scratch/first.log" room-104)
[[ $(count "$line" failed) == 1 && $(count "$line" changed) == 0 ]] || fail "room-104: expected failed, recap: $line"
grep -q "the camera refused the upload (status 1) (exit code 6)" "$scratch/first.log" ||
    fail "the failed room's message does not say why"

# Again, without the failing room: nothing left to do.
run_playbook --limit room-101,room-102,room-103 >"$scratch/second.log" 2>&1
status=$?
cat "$scratch/second.log"
[[ $status -eq 0 ]] || fail "the second run exited $status"
for host in room-101 room-102 room-103; do
    line=$(recap "$scratch/second.log" $host)
    [[ $(count "$line" changed) == 0 && $(count "$line" failed) == 0 ]] || fail "$host on the second run: $line"
done

if (( failures > 0 )); then
    echo "$failures problem(s)"
    exit 1
fi
echo "the playbook upgraded, skipped and reported each room as it should"
