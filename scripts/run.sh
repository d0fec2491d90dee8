#!/usr/bin/env bash
# Installs what is missing, builds, and starts the configuration tool's demo:
# the real window with a virtual camera attached, so no hardware is needed.
# Options are passed on to the demo (try --help).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(build_jobs)" --target kelvora-camera-config-demo
exec ./build/kelvora-camera-config-demo "$@"
