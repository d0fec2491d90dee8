#!/usr/bin/env bash
# Runs a short scripted session of the window under Valgrind's memcheck:
# connects in both identities, replies of every kind, upgrades with and
# without faults, and some soak rounds. Fails on any memory error and on any
# definite leak that the toolkit's own (scripts/valgrind.supp) does not
# explain. Uses the plain build in build/ (./scripts/test.sh makes it).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

ensure_packages "${BUILD_PACKAGES[@]}"
ensure_packages "${HARDENING_PACKAGES[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(build_jobs)" --target tst_devicelink tst_camera tst_upgrade tst_soak

export QT_QPA_PLATFORM=offscreen
# Code that the regular-expression library compiles at run time (used by the
# file dialog's filters) looks like uninitialised reads to memcheck.
export QT_ENABLE_REGEXP_JIT=0
export SOAK_ROUNDS="${SOAK_ROUNDS:-25}"
memcheck() {
    echo "== memcheck: $*"
    valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite \
        --errors-for-leak-kinds=definite --num-callers=40 \
        --suppressions=scripts/valgrind.supp "$@" >/dev/null
}

memcheck build/tests/tst_devicelink cameraConnectSequence upgradeConnectSequence stateTransitions \
    repeatedRefreshKeepsHandleCount vanishedDeviceIsHarmless replyChecksAndLogLines \
    reconnectInsideNestedBoxIsSafe
memcheck build/tests/tst_camera applyEachMode nameAndVersionReplies enterUpgradeMode
memcheck build/tests/tst_upgrade fullUploads startAckTimeout refusedStart writeRetriesAndAbort \
    deviceVanishesMidUpload closingWindowMidUploadSendsNothingMore endToEndFromCameraMode
memcheck build/tests/tst_soak
echo "memcheck: no memory errors, no definite leaks"
