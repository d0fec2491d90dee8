#!/usr/bin/env bash
# Pictures of the demo for the README, each taken on a private virtual X
# display: the camera connected, the upgrade panel with the device in upgrade
# mode and the sample image chosen, and an upload under way; then the window
# in German and in Simplified Chinese. The demo brings
# its window into each state itself (--screenshot-state) and says when it is
# there; scripts/screenshot.sh takes the picture.
#
# Usage: scripts/screenshot-demo.sh [build-folder] [output-folder]
#   build-folder   defaults to build
#   output-folder  defaults to docs

set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

build=${1:-build}
output=${2:-docs}

ensure_packages "${BUILD_PACKAGES[@]}" xvfb x11-utils imagemagick locales fonts-wqy-microhei
# The translated pictures run in these locales; xwininfo needs them to print
# a window title that is not Latin.
ensure_locales de_DE.UTF-8 zh_CN.UTF-8
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(build_jobs)" --target kelvora-camera-config-demo make-demo-firmware

demo=$build/kelvora-camera-config-demo

# The sample image goes out between two window updates; the upload picture
# needs one large enough to take several (8 MiB, paced by the demo).
large_image=$build/demo-firmware-large.bin
"$build/demo/make-demo-firmware" "$large_image" $(( 8 * 1024 * 1024 ))

# The window's own diagnostics are not wanted here.
export QT_LOGGING_RULES="default.debug=false"
export SCREENSHOT_READY_TEXT="demo: ready"
# The source texts, whatever language this machine speaks.
export LC_ALL=C.UTF-8 LANGUAGE=

scripts/screenshot.sh "$demo" "$output/demo-connected.png" --screenshot-state connected
scripts/screenshot.sh "$demo" "$output/demo-upgrade-panel.png" --screenshot-state upgrade-panel
scripts/screenshot.sh "$demo" "$output/demo-uploading.png" --screenshot-state uploading --image "$large_image"

# The window title is translated too, and screenshot.sh finds the window by it.
LC_ALL=de_DE.UTF-8 SCREENSHOT_TITLE="Kelvora Camera 2 Konfiguration (v1.0.7)" \
    scripts/screenshot.sh "$demo" "$output/demo-upgrade-panel-de.png" --screenshot-state upgrade-panel
LC_ALL=zh_CN.UTF-8 SCREENSHOT_TITLE="Kelvora Camera 2 配置 (v1.0.7)" \
    scripts/screenshot.sh "$demo" "$output/demo-connected-zh_CN.png" --screenshot-state connected
