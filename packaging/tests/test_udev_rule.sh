#!/usr/bin/env bash
# Checks the camera's udev rule: exactly one rule per camera identity
# (normal 2207:2008, upgrade 1d6b:0102), each limited to that device's hidraw
# nodes and granting access only through the uaccess tag, in a file that
# sorts before 73-seat-late.rules. Then makes sure the check itself catches
# the mistakes it is there for, by running it on broken copies of the rule.
#
# Usage: test_udev_rule.sh RULES_FILE

set -uo pipefail

rules=${1:?usage: test_udev_rule.sh RULES_FILE}
expected_devices="1d6b:0102 2207:2008"
seat_late_number=73

# Prints why FILE is not an acceptable rule file, or nothing.
rule_problems() {
    local file=$1 name number
    name=$(basename "$file")
    if [[ ! $name =~ ^([0-9]+)-.+\.rules$ ]]; then
        echo "$name: not named NN-name.rules"
    else
        number=$((10#${BASH_REMATCH[1]}))
        if (( number >= seat_late_number )); then
            echo "$name: sorts after ${seat_late_number}-seat-late.rules, so uaccess would not be applied"
        fi
    fi

    if grep -q '\\$' "$file"; then
        echo "continued lines are not expected"
    fi

    local -a lines=()
    mapfile -t lines < <(grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$file")
    if (( ${#lines[@]} != 2 )); then
        echo "${#lines[@]} rules, expected one for each of the two identities"
    fi

    local line key devices="" token vendor product
    local -a tokens
    for line in "${lines[@]}"; do
        IFS=',' read -r -a tokens <<<"$line"
        local -A seen=()
        vendor="" product=""
        for token in "${tokens[@]}"; do
            token=$(sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' <<<"$token")
            case $token in
                'KERNEL=="hidraw*"') key=kernel ;;
                'SUBSYSTEM=="hidraw"') key=subsystem ;;
                'TAG+="uaccess"') key=uaccess ;;
                ATTRS\{idVendor\}==\"[0-9a-f][0-9a-f][0-9a-f][0-9a-f]\")
                    key=vendor; vendor=${token:18:4} ;;
                ATTRS\{idProduct\}==\"[0-9a-f][0-9a-f][0-9a-f][0-9a-f]\")
                    key=product; product=${token:19:4} ;;
                *) echo "unexpected key in rule: $token"; continue ;;
            esac
            if [[ -n ${seen[$key]:-} ]]; then
                echo "$key given twice in: $line"
            fi
            seen[$key]=1
        done
        for key in kernel subsystem vendor product uaccess; do
            if [[ -z ${seen[$key]:-} ]]; then
                echo "rule without its $key match: $line"
            fi
        done
        unset seen
        devices+="$vendor:$product"$'\n'
    done
    devices=$(sort <<<"$devices" | grep -v '^$' | tr '\n' ' ' | sed 's/ $//')
    if [[ $devices != "$expected_devices" ]]; then
        echo "rules for '$devices', expected exactly '$expected_devices'"
    fi
}

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

problems=$(rule_problems "$rules")
if [[ -n $problems ]]; then
    fail "$rules is not acceptable:"
    echo "$problems" | sed 's/^/    /'
else
    echo "ok: $(basename "$rules")"
fi

# Each broken copy must be refused.
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT

expect_refused() {
    local what=$1 name=$2 script=$3 copy problems
    copy=$workdir/$name
    sed -e "$script" "$rules" >"$copy"
    if [[ $name == "$(basename "$rules")" ]] && cmp -s "$rules" "$copy"; then
        fail "broken copy '$what' is unchanged: the test's edit no longer applies"
        return
    fi
    problems=$(rule_problems "$copy")
    if [[ -z $problems ]]; then
        fail "the check accepted a rule with $what"
    else
        echo "ok: refused $what ($(head -n1 <<<"$problems"))"
    fi
    rm -f "$copy"
}

base=$(basename "$rules")
expect_refused "upper-case hex" "$base" 's/"1d6b"/"1D6B"/'
expect_refused "no product match (all products of the vendor)" "$base" 's/, ATTRS{idProduct}=="2008"//'
expect_refused "a wildcard product" "$base" 's/"0102"/"*"/'
expect_refused "world-writable mode" "$base" 's/TAG+="uaccess"/TAG+="uaccess", MODE="0666"/'
expect_refused "a group instead of uaccess" "$base" '0,/TAG+="uaccess"/s//GROUP="plugdev"/'
expect_refused "the usb subsystem instead of hidraw" "$base" '0,/SUBSYSTEM=="hidraw"/s//SUBSYSTEM=="usb"/'
expect_refused "every kernel node" "$base" '0,/KERNEL=="hidraw\*"/s//KERNEL=="*"/'
expect_refused "the upgrade identity missing" "$base" '/"1d6b"/d'
expect_refused "a third, device-less rule" "$base" '$a KERNEL=="hidraw*", SUBSYSTEM=="hidraw", TAG+="uaccess"'
expect_refused "a duplicated identity" "$base" 's/"1d6b", ATTRS{idProduct}=="0102"/"2207", ATTRS{idProduct}=="2008"/'
expect_refused "an assignment where a match belongs" "$base" '0,/ATTRS{idVendor}==/s//ATTRS{idVendor}=/'
expect_refused "a number after 73-seat-late" "${base/#70-/80-}" ''

if (( failures > 0 )); then
    echo "$failures problem(s)"
    exit 1
fi
echo "the rule file is as it should be"
