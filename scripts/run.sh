#!/usr/bin/env bash
# Installs what is missing, builds, and starts the configuration tool.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(build_jobs)"
exec ./build/kelvora-camera-config "$@"
